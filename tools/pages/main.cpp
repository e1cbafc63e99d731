// ostrel-pages: compiles the assistant's pages from their readable source,
// lists the pages a PE file carries, and writes the resource script that
// embeds them.

#include <iostream>
#include <string>
#include <vector>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"
#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"
#include "tools/common/file_io.h"
#include "tools/pages/page_source.h"
#include "tools/pages/page_tool.h"
#include "tools/settings/pe_resources.h"

namespace {

using namespace ostrel;
using namespace ostrel::assistant;

constexpr char kUsage[] =
    "usage: ostrel-pages compile <source> <out.bin>\n"
    "       ostrel-pages dump <pe-file> [page-name]\n"
    "       ostrel-pages dump-stream <stream-file>\n"
    "       ostrel-pages rc <out.rc> <PageName>=<file.bin>...\n"
    "       ostrel-pages bundle <out.rc> <source>...\n";

using ostrel::tools::ReadFile;
using ostrel::tools::WriteFile;

// The page of a source file; the error, with the file and line, on stderr.
bool ReadPage(const std::string& path, FormObject& page) {
  std::vector<std::uint8_t> text;
  if (!ReadFile(path, text)) {
    std::cerr << "ostrel-pages: cannot read " << path << "\n";
    return false;
  }
  try {
    page =
        ParsePageSource(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    return true;
  } catch (const PageSourceError& e) {
    std::cerr << path << ": " << e.what() << "\n";
    return false;
  }
}

bool Stream(const std::string& path, const FormObject& page, std::vector<std::uint8_t>& out) {
  try {
    out = WriteFormStream(page);
    return true;
  } catch (const std::invalid_argument& e) {
    std::cerr << path << ": " << e.what() << "\n";
    return false;
  }
}

int Compile(const std::string& source, const std::string& bin) {
  FormObject page;
  std::vector<std::uint8_t> stream;
  if (!ReadPage(source, page) || !Stream(source, page, stream)) return 1;
  if (!WriteFile(bin, stream)) {
    std::cerr << "ostrel-pages: cannot write " << bin << "\n";
    return 1;
  }
  return 0;
}

bool Show(const PageDump& dump) {
  std::cout << dump.text;
  std::cerr << dump.errors;
  return dump.complete;
}

int DumpStream(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(path, bytes)) {
    std::cerr << "ostrel-pages: cannot read " << path << "\n";
    return 1;
  }
  const Latin1CodePage codePage;
  return Show(DumpPage(path, bytes, codePage, false)) ? 0 : 1;
}

int DumpPe(const std::string& path, const std::string& pageName) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(path, bytes)) {
    std::cerr << "ostrel-pages: cannot read " << path << "\n";
    return 1;
  }
  const std::u16string wanted = pageName.empty() ? u"" : PageResourceName(Utf8ToUtf16(pageName));
  const Latin1CodePage codePage;
  bool complete = true, found = false;
  try {
    for (const std::u16string& name : ListPeResourceNames(bytes, kRtRcdata)) {
      if (!IsPageResourceName(name)) continue;
      if (!wanted.empty() && PageResourceName(name.substr(3)) != wanted) continue;
      const auto resource = FindPeResource(bytes, kRtRcdata, name);
      if (!resource) continue;
      if (found) std::cout << "\n";
      found = true;
      complete = Show(DumpPage(Utf16ToUtf8(name), resource->data, codePage, true)) && complete;
    }
  } catch (const std::exception& e) {
    std::cerr << path << ": " << e.what() << "\n";
    return 1;
  }
  if (!found) {
    if (wanted.empty())
      std::cerr << path << ": no assistant page resources\n";
    else
      std::cerr << path << ": no page resource " << Utf16ToUtf8(wanted) << "\n";
    return 3;
  }
  return complete ? 0 : 1;
}

bool WriteScript(const std::string& rc, const std::vector<ScriptPage>& pages) {
  std::string script;
  try {
    script = ResourceScript(pages);
  } catch (const std::invalid_argument& e) {
    std::cerr << "ostrel-pages: " << e.what() << "\n";
    return false;
  }
  if (!WriteFile(rc, script.data(), script.size())) {
    std::cerr << "ostrel-pages: cannot write " << rc << "\n";
    return false;
  }
  return true;
}

int Rc(const std::string& rc, const std::vector<std::string>& args) {
  std::vector<ScriptPage> pages;
  for (const std::string& arg : args) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      std::cerr << "ostrel-pages: expected <PageName>=<file.bin>, not " << arg << "\n";
      return 2;
    }
    pages.push_back({arg.substr(0, eq), arg.substr(eq + 1)});
  }
  return WriteScript(rc, pages) ? 0 : 1;
}

// Every source compiled beside the script, a later page replacing an
// earlier one of the same name.
int Bundle(const std::string& rc, const std::vector<std::string>& sources) {
  std::vector<FormObject> pages;
  for (const std::string& source : sources) {
    FormObject page;
    if (!ReadPage(source, page)) return 1;
    if (!IsPageName(page.name)) {
      std::cerr << source
                << ": a page's object needs a name of ASCII letters, digits and '_', not '"
                << page.name << "'\n";
      return 1;
    }
    AddPage(pages, std::move(page));
  }
  const std::size_t slash = rc.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? "" : rc.substr(0, slash + 1);
  std::vector<ScriptPage> script;
  for (const FormObject& page : pages) {
    std::string file = Utf16ToUtf8(PageResourceName(Utf8ToUtf16(page.name))) + ".bin";
    for (char& c : file) c = AsciiLower(c);
    std::vector<std::uint8_t> stream;
    if (!Stream(page.name, page, stream)) return 1;
    if (!WriteFile(dir + file, stream)) {
      std::cerr << "ostrel-pages: cannot write " << dir + file << "\n";
      return 1;
    }
    script.push_back({page.name, file});
  }
  return WriteScript(rc, script) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "compile") return Compile(args[1], args[2]);
  if ((args.size() == 2 || args.size() == 3) && args[0] == "dump")
    return DumpPe(args[1], args.size() == 3 ? args[2] : "");
  if (args.size() == 2 && args[0] == "dump-stream") return DumpStream(args[1]);
  if (args.size() >= 3 && args[0] == "rc") return Rc(args[1], {args.begin() + 2, args.end()});
  if (args.size() >= 3 && args[0] == "bundle")
    return Bundle(args[1], {args.begin() + 2, args.end()});
  std::cerr << kUsage;
  return 2;
}
