#pragma once
// The readable form of an assistant page, in the manner of a form's text:
//
//   object ContactForm: TNVForm
//     Message = 'Contact Information'
//     object ContinueBtn: INVButton
//       Enabled = True
//     end
//   end
//
// Values: a single-quoted UTF-8 text ('' is one quote), a decimal integer,
// True or False, or a bare identifier. '#' starts a comment line.

#include <stdexcept>
#include <string>
#include <string_view>

#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"

namespace ostrel::assistant {

class PageSourceError : public std::runtime_error {
 public:
  PageSourceError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// The page's object with the value types it is stored with: texts as 8-bit
// strings when they are ASCII, else UTF-8; integers in the smallest type.
// Throws PageSourceError.
FormObject ParsePageSource(std::string_view source);

// The source of `root`, which compiles back to the same stream when the
// stream was compiled from a source. Stored 8-bit texts are shown through
// `codePage`. Throws std::invalid_argument for what a source line cannot
// hold: a name that is no identifier, a line break inside a text.
std::string WritePageSource(const FormObject& root, const ICodePage& codePage);

// A name the source and a resource script can both carry: ASCII letters,
// digits and '_', not starting with a digit.
bool IsPageName(std::string_view name);

}  // namespace ostrel::assistant
