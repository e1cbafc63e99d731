#include "tools/pages/page_tool.h"

#include <stdexcept>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"
#include "tools/pages/page_source.h"

namespace ostrel::assistant {

PageDump DumpPage(std::string_view name, std::span<const std::uint8_t> stream,
                  const ICodePage& codePage, bool titled) {
  PageDump dump;
  const std::string label(name);
  if (titled) dump.text = "# " + label + "\n";
  const ParsedForm parsed = ReadFormStream(stream);
  if (parsed.stop == FormStop::NoSignature) {
    dump.complete = false;
    dump.errors = label + ": not an assistant page (no TPF0 signature)\n";
    return dump;
  }
  // A stream cut inside the page's own header has nothing to show.
  if (!parsed.root.className.empty()) {
    try {
      dump.text += WritePageSource(parsed.root, codePage);
    } catch (const std::invalid_argument& e) {
      dump.complete = false;
      dump.errors += label + ": " + e.what() + "\n";
    }
  }
  if (parsed.stop != FormStop::End) {
    dump.complete = false;
    dump.errors += label + ": " + Utf16ToUtf8(FormStreamErrorText(parsed)) + " (at offset " +
                   std::to_string(parsed.stopOffset) + ")\n";
  }
  return dump;
}

bool IsPageResourceName(std::u16string_view name) {
  return StartsWithNoCase(name, PageResourceName(u""));
}

std::string ResourceScript(const std::vector<ScriptPage>& pages) {
  std::string script;
  for (const ScriptPage& page : pages) {
    if (!IsPageName(page.pageName))
      throw std::invalid_argument("bad page name '" + page.pageName +
                                  "' (ASCII letters, digits and '_')");
    if (page.file.empty() || page.file.find_first_of("\"\r\n") != std::string::npos)
      throw std::invalid_argument("a resource script cannot name the file '" + page.file + "'");
    std::string quoted;
    for (char c : page.file) {
      if (c == '\\') quoted.push_back('\\');
      quoted.push_back(c);
    }
    script +=
        Utf16ToUtf8(PageResourceName(Utf8ToUtf16(page.pageName))) + " RCDATA \"" + quoted + "\"\n";
  }
  return script;
}

void AddPage(std::vector<FormObject>& pages, FormObject page) {
  const std::u16string name = PageResourceName(Utf8ToUtf16(page.name));
  for (FormObject& existing : pages) {
    if (PageResourceName(Utf8ToUtf16(existing.name)) == name) {
      existing = std::move(page);
      return;
    }
  }
  pages.push_back(std::move(page));
}

}  // namespace ostrel::assistant
