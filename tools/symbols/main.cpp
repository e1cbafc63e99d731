// ostrel-symbols: attaches symbol information to Windows programs at build
// time and answers address questions about them, on the build host.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/settings_stamp.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/imaging/compression.h"
#include "tools/symbols/file_environment.h"
#include "tools/symbols/pe_editor.h"
#include "tools/symbols/symbol_collector.h"
#include "crash/base/crc32.h"

namespace ostrel::tools {
namespace {

constexpr std::uint16_t kRcData = 10;

const char kUsage[] =
    "usage:\n"
    "  ostrel-symbols embed [--minimal] [--strip] [--ostrel] [--debug-copy FILE] EXE\n"
    "      reads EXE's DWARF and symbol table and attaches them as resource EXCEPT;\n"
    "      --strip drops DWARF and COFF symbols, --debug-copy saves the input first,\n"
    "      --ostrel also writes the container beside EXE as <name>.ostrel,\n"
    "      --minimal attaches data without names and writes the named data as\n"
    "      <name>.ostrel, recording its stamp as MinDebugInfo in TOSTREL\n"
    "  ostrel-symbols write EXE [OUT]       the container as a file (default <name>.ostrel)\n"
    "  ostrel-symbols strip EXE OUT         a copy without symbol resource, DWARF and symbols\n"
    "  ostrel-symbols dump FILE             units, publics and lines\n"
    "  ostrel-symbols lookup FILE ADDR...   module, unit, function, line, function start\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "ostrel-symbols: %s\n", message.c_str());
  return 1;
}

std::string SiblingOstrel(const std::string& exe) {
  return Utf16ToUtf8(WithoutExtension(Utf8ToUtf16(exe))) + ".ostrel";
}

struct Loaded {
  std::vector<std::uint8_t> bytes;
};

bool Load(const std::string& path, Loaded& out, std::string& error) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    error = "cannot read " + path;
    return false;
  }
  out.bytes = std::move(*bytes);
  if (!TPeImage(out.bytes, false).valid()) {
    error = path + " is not a 32-bit PE image";
    return false;
  }
  return true;
}

std::vector<std::uint8_t> ContainerOf(const TPeImage& pe, bool minimal, std::string& error) {
  TSymbolSource source;
  if (!CollectSymbols(pe, source, error)) return {};
  // Part A names the build, part B the content.
  const auto payload = BuildPayload(source, false);
  const std::uint32_t crc = ~Crc32Update(0xFFFFFFFFu, payload.data(), payload.size());
  auto container = BuildContainer(source, minimal, pe.timeStamp(), crc);
  if (container.empty()) error = "compression failed";
  return container;
}

int Embed(int argc, char** argv) {
  bool minimal = false, strip = false, ostrel = false;
  std::string debugCopy, exe;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--minimal") {
      minimal = true;
    } else if (a == "--strip") {
      strip = true;
    } else if (a == "--ostrel") {
      ostrel = true;
    } else if (a == "--debug-copy" && i + 1 < argc) {
      debugCopy = argv[++i];
    } else if (!a.empty() && a[0] != '-' && exe.empty()) {
      exe = a;
    } else {
      return Fail("unexpected argument " + a + "\n" + kUsage);
    }
  }
  if (exe.empty()) return Fail(std::string("embed needs EXE\n") + kUsage);
  Loaded in;
  std::string error;
  if (!Load(exe, in, error)) return Fail(error);
  const TPeImage pe(in.bytes, false);
  const auto full = ContainerOf(pe, false, error);
  if (full.empty()) return Fail(exe + ": " + error);
  TPeEdit edit;
  edit.stripDebug = strip;
  edit.resources = ReadAllResources(pe);
  std::vector<std::uint8_t> attached = full;
  if (minimal) {
    attached = ContainerOf(pe, true, error);
    if (attached.empty()) return Fail(exe + ": " + error);
    const auto header = ReadContainerHeader(full);
    const std::string stamp =
        ContainerStamp(static_cast<std::uint32_t>(full.size()), header->stampA, header->stampB);
    bool stamped = false;
    for (TResourceEntry& e : edit.resources) {
      if (e.type == TResourceId{kRcData, {}} && EqualsNoCase(e.name.text, u"TOSTREL")) {
        auto updated = SetMinDebugInfo(e.data, stamp);
        if (updated.empty()) return Fail(exe + ": the TOSTREL resource is not a property stream");
        e.data = std::move(updated);
        stamped = true;
      }
    }
    if (!stamped)
      std::fprintf(stderr, "ostrel-symbols: %s has no TOSTREL resource; MinDebugInfo not set\n",
                   exe.c_str());
    std::printf("MinDebugInfo %s\n", stamp.c_str());
  }
  PutResource(edit.resources, {{0, kSymbolResourceType}, {0, kSymbolResourceName}, 0, 0, attached});
  const auto out = EditPe(in.bytes, edit, error);
  if (out.empty()) return Fail(exe + ": " + error);
  if (!debugCopy.empty() && !WriteFileBytes(debugCopy, in.bytes))
    return Fail("cannot write " + debugCopy);
  if ((ostrel || minimal) && !WriteFileBytes(SiblingOstrel(exe), full))
    return Fail("cannot write " + SiblingOstrel(exe));
  if (!WriteFileBytes(exe, out)) return Fail("cannot write " + exe);
  return 0;
}

int Write(int argc, char** argv) {
  if (argc < 1 || argc > 2) return Fail(kUsage);
  Loaded in;
  std::string error;
  if (!Load(argv[0], in, error)) return Fail(error);
  const auto full = ContainerOf(TPeImage(in.bytes, false), false, error);
  if (full.empty()) return Fail(std::string(argv[0]) + ": " + error);
  const std::string out = argc == 2 ? argv[1] : SiblingOstrel(argv[0]);
  if (!WriteFileBytes(out, full)) return Fail("cannot write " + out);
  return 0;
}

int Strip(int argc, char** argv) {
  if (argc != 2) return Fail(kUsage);
  Loaded in;
  std::string error;
  if (!Load(argv[0], in, error)) return Fail(error);
  TPeEdit edit;
  edit.stripDebug = true;
  edit.resources = ReadAllResources(TPeImage(in.bytes, false));
  std::erase_if(edit.resources, [](const TResourceEntry& e) {
    return e.type == TResourceId{0, kSymbolResourceType};
  });
  const auto out = EditPe(in.bytes, edit, error);
  if (out.empty()) return Fail(std::string(argv[0]) + ": " + error);
  if (!WriteFileBytes(argv[1], out)) return Fail(std::string("cannot write ") + argv[1]);
  return 0;
}

// The symbols the running program would find for this file, loaded at its
// preferred base.
bool Symbols(const std::string& path, TMapFile& m, std::string& error) {
  Loaded in;
  if (!Load(path, in, error)) return false;
  const TPeImage pe(in.bytes, false);
  TFileEnvironment env(MapImage(pe));
  m.moduleHandle = pe.imageBase();
  m.moduleFileName = Utf8ToUtf16(path);
  BuildModuleSymbols(m, env);
  if (!m.valid) error = path + ": no symbol resource and no usable file beside it";
  return m.valid;
}

std::string Text(const std::u16string& s) { return s.empty() ? "?" : Utf16ToUtf8(s); }

int Dump(int argc, char** argv) {
  if (argc != 1) return Fail(kUsage);
  TMapFile m;
  std::string error;
  const std::string path = argv[0];
  if (EndsWithNoCase(Utf8ToUtf16(path), u".ostrel")) {
    const auto bytes = ReadFileBytes(path);
    if (!bytes) return Fail("cannot read " + path);
    if (!ReadContainer(m, *bytes, nullptr)) return Fail(path + ": not a readable symbol container");
  } else if (!Symbols(path, m, error)) {
    return Fail(error);
  }
  std::printf("code %08x-%08x entry %08x%s%s\n", m.codeBase, m.codeTop, m.entryPoint,
              m.stamp.empty() ? "" : " stamp ", m.stamp.c_str());
  std::printf("units %zu\n", m.segments.size());
  for (const auto& s : m.segments)
    std::printf("  %08x %08x %s\n", s.start, s.length, Text(s.unit).c_str());
  std::printf("publics %zu\n", m.publics.size());
  for (const auto& p : m.publics) std::printf("  %08x %s\n", p.address, Text(p.name).c_str());
  std::printf("lines %zu\n", m.lines.size());
  for (const auto& l : m.lines) std::printf("  %08x %d\n", l.address, l.line);
  return 0;
}

int Lookup(int argc, char** argv) {
  if (argc < 2) return Fail(kUsage);
  TMapFile m;
  std::string error;
  if (!Symbols(argv[0], m, error)) return Fail(error);
  const std::string module = Utf16ToUtf8(FileNamePart(m.moduleFileName));
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(argv[i], &end, 16);
    if (end == argv[i] || *end != 0 || value > 0xFFFFFFFFul)
      return Fail(std::string("bad address ") + argv[i]);
    const TAddressInfo info = DescribeInSymbols(m, static_cast<std::uint32_t>(value));
    std::printf("%08lx\t%s\t%s\t%s\t%d\t%08x\n", value, module.c_str(), Text(info.unit).c_str(),
                Text(info.functionName).c_str(), info.line, info.functionStart);
  }
  return 0;
}

}  // namespace
}  // namespace ostrel::tools

int main(int argc, char** argv) {
  using namespace ostrel::tools;
  if (argc < 2) return Fail(kUsage);
  const std::string command = argv[1];
  if (command == "embed") return Embed(argc - 2, argv + 2);
  if (command == "write") return Write(argc - 2, argv + 2);
  if (command == "strip") return Strip(argc - 2, argv + 2);
  if (command == "dump") return Dump(argc - 2, argv + 2);
  if (command == "lookup") return Lookup(argc - 2, argv + 2);
  return Fail("unknown command " + command + "\n" + kUsage);
}
