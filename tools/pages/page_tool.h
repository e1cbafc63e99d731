#pragma once
// The host tool's pieces beside the source form: dumping stored pages and
// writing the resource script that carries them.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"

namespace ostrel::assistant {

struct PageDump {
  std::string text;    // the page's source, as far as the stream could be read
  std::string errors;  // one line a fault
  bool complete = true;
};

// A stored page as source, under a comment line with its name when
// `titled`; errors start with the name. A stream that stops early shows
// what it held, and its error text.
PageDump DumpPage(std::string_view name, std::span<const std::uint8_t> stream,
                  const ICodePage& codePage, bool titled);

// Whether an RCDATA name is a page's: it starts with the pages' prefix.
bool IsPageResourceName(std::u16string_view name);

struct ScriptPage {
  std::string pageName;  // "ContactForm"
  std::string file;      // the stream, as windres is to find it
};

// One line a page: OAPCONTACTFORM RCDATA "contactform.bin". Throws
// std::invalid_argument for a page name IsPageName rejects or a file name
// a script string cannot hold.
std::string ResourceScript(const std::vector<ScriptPage>& pages);

// Adds `page` to `pages`; one with the same resource name is replaced in its
// place, so a program's own page stands in for a built-in one.
void AddPage(std::vector<FormObject>& pages, FormObject page);

}  // namespace ostrel::assistant
