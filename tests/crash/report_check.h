#pragma once
// Reads a saved bug report the way a person checks it: header fields in
// order and aligned, the crashing function and line first, the threads, the
// registers, the stack dump and the marked instruction, the three lists.
#include <string>
#include <vector>

namespace zoo {

struct ReportExpectations {
  std::string exceptionClass;  // empty: not checked
  std::string function;        // the first call-stack line's function ends with it
  int line = 0;                // and shows this source line (0: not checked)
  std::vector<std::string> threads;
  bool processorFault = false;        // eip, the stack dump and the marked instruction agree
  std::vector<std::string> sections;  // present, not empty
  std::vector<std::pair<std::string, std::string>> fields;  // header name, contents
  std::string beforeChecksums;  // the header field directly before "callstack crc"
};

// Everything found wrong, one message each; empty when the text is sound.
std::vector<std::string> CheckReport(const std::string& text, const ReportExpectations& x);

// How many reports the file holds, and the "count" field of the first one
// (1 when it has none).
int ReportsInFile(const std::string& text);
int RepeatCount(const std::string& text);

}  // namespace zoo
