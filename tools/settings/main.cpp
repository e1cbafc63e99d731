// ostrel-settings: builds the reporter's settings resource from its readable
// source, lists the settings a PE file carries, and stamps the image
// checksum that CheckFileCrc compares at start-up.

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "crash/handling/lifetime/image_checksum.h"
#include "crash/settings/property_stream.h"
#include "tools/common/file_io.h"
#include "tools/settings/pe_resources.h"
#include "tools/settings/settings_dump.h"
#include "tools/settings/settings_source.h"

namespace {

constexpr char kUsage[] =
    "usage: ostrel-settings compile <source> <out.bin> [<out.rc>]\n"
    "       ostrel-settings dump [--show-passwords] <pe-file>\n"
    "       ostrel-settings dump-stream [--show-passwords] <stream-file>\n"
    "       ostrel-settings stamp <pe-file>\n";

using ostrel::tools::ReadFile;
using ostrel::tools::WriteFile;

int Compile(const std::string& source, const std::string& bin, const std::string& rc) {
  std::vector<std::uint8_t> text;
  if (!ReadFile(source, text)) {
    std::cerr << "ostrel-settings: cannot read " << source << "\n";
    return 1;
  }
  std::vector<std::uint8_t> stream;
  try {
    stream = ostrel::WritePropertyStream(ostrel::ParseSettingsSource(
        std::string_view(reinterpret_cast<const char*>(text.data()), text.size())));
  } catch (const std::exception& e) {
    std::cerr << source << ": " << e.what() << "\n";
    return 1;
  }
  if (!WriteFile(bin, stream.data(), stream.size())) {
    std::cerr << "ostrel-settings: cannot write " << bin << "\n";
    return 1;
  }
  if (!rc.empty()) {
    // windres reads the stream from the file next to the script.
    std::string name = bin.substr(bin.find_last_of("/\\") + 1);
    const std::string script = "TOSTREL RCDATA \"" + name + "\"\n";
    if (!WriteFile(rc, script.data(), script.size())) {
      std::cerr << "ostrel-settings: cannot write " << rc << "\n";
      return 1;
    }
  }
  return 0;
}

int Dump(const std::string& path, bool peFile, bool showPasswords) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(path, bytes)) {
    std::cerr << "ostrel-settings: cannot read " << path << "\n";
    return 1;
  }
  std::optional<std::vector<std::uint8_t>> stream;
  if (peFile) {
    try {
      if (auto r = ostrel::FindPeResource(bytes, ostrel::kRtRcdata, u"TOSTREL"))
        stream = std::move(r->data);
    } catch (const std::exception& e) {
      std::cerr << path << ": " << e.what() << "\n";
      return 1;
    }
  } else {
    stream = std::move(bytes);
  }
  std::span<const std::uint8_t> view;
  if (stream) view = *stream;
  const auto result = ostrel::DumpSettings(stream ? &view : nullptr, {showPasswords});
  std::cout << result.text;
  return result.resourceUsable ? 0 : 3;
}

// Written beside the file and renamed over it: a failed write loses nothing.
int Stamp(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(path, bytes)) {
    std::cerr << "ostrel-settings: cannot read " << path << "\n";
    return 1;
  }
  if (!ostrel::integrity::StampImage(bytes)) {
    std::cerr << "ostrel-settings: " << path << " is not a PE image\n";
    return 1;
  }
  const std::string temp = path + ".stamping";
  if (!WriteFile(temp, bytes.data(), bytes.size())) {
    std::remove(temp.c_str());
    std::cerr << "ostrel-settings: cannot write " << temp << "\n";
    return 1;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    std::cerr << "ostrel-settings: cannot replace " << path << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 3 && args.size() <= 4 && args[0] == "compile")
    return Compile(args[1], args[2], args.size() == 4 ? args[3] : "");
  if (!args.empty() && (args[0] == "dump" || args[0] == "dump-stream")) {
    const bool show = args.size() == 3 && args[1] == "--show-passwords";
    if (args.size() == 2 || show) return Dump(args.back(), args[0] == "dump", show);
  }
  if (args.size() == 2 && args[0] == "stamp") return Stamp(args[1]);
  std::cerr << kUsage;
  return 2;
}
