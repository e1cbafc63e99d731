#include "tests/crash/report_check.h"

#include <cstdlib>
#include <map>

namespace zoo {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Sections by title (without the colon): their lines.
std::map<std::string, std::vector<std::string>> Sections(const std::vector<std::string>& lines,
                                                         std::size_t from,
                                                         std::string& firstTitle) {
  std::map<std::string, std::vector<std::string>> all;
  std::string title;
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].empty()) {
      title.clear();
      continue;
    }
    if (title.empty()) {
      title = lines[i];
      const std::size_t colon = title.rfind(':');
      title = title.substr(0, colon);
      if (firstTitle.empty()) firstTitle = title;
      all[title];
      continue;
    }
    all[title].push_back(lines[i]);
  }
  return all;
}

std::string RegisterValue(const std::vector<std::string>& registers, const std::string& name) {
  for (const std::string& r : registers) {
    if (r.rfind(name + " = ", 0) == 0) return r.substr(name.size() + 3);
  }
  return {};
}

}  // namespace

std::vector<std::string> CheckReport(const std::string& text, const ReportExpectations& x) {
  std::vector<std::string> wrong;
  const std::vector<std::string> lines = Lines(text);
  // The header: every field's colon in one column, the fields in order.
  std::size_t i = 0;
  std::size_t column = std::string::npos;
  std::vector<std::string> names;
  std::map<std::string, std::string> fields;
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    const std::size_t colon = lines[i].find(" : ");
    if (colon == std::string::npos) {
      wrong.push_back("header line without \" : \": " + lines[i]);
      continue;
    }
    if (column == std::string::npos) column = colon;
    if (colon != column) wrong.push_back("header field out of line: " + lines[i]);
    std::string name = lines[i].substr(0, colon);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    names.push_back(name);
    fields[name] = lines[i].substr(colon + 3);
  }
  const char* order[] = {"date/time",     "computer name",    "operating system",
                         "callstack crc", "exception number", "exception message"};
  std::size_t at = 0;
  for (const char* want : order) {
    std::size_t k = at;
    while (k < names.size() && names[k] != want) ++k;
    if (k == names.size()) {
      wrong.push_back(std::string("header field missing or out of order: ") + want);
    } else {
      at = k;
    }
  }
  if (fields["callstack crc"].rfind("$", 0) != 0 || fields["callstack crc"].size() != 31)
    wrong.push_back("callstack crc not three checksums: " + fields["callstack crc"]);
  if (!x.exceptionClass.empty() && fields["exception class"] != x.exceptionClass)
    wrong.push_back("exception class " + fields["exception class"]);
  std::string firstTitle;
  auto sections = Sections(lines, i, firstTitle);
  const std::vector<std::string>& stack = sections[firstTitle];
  if (stack.empty() || stack[0].rfind(">>", 0) == 0) {
    wrong.push_back("the first thread has no call stack: " + (stack.empty() ? "" : stack[0]));
  } else {
    const std::string& top = stack[0];
    if (!x.function.empty() && !EndsWith(top, " " + x.function) && !EndsWith(top, "." + x.function))
      wrong.push_back("first call-stack line is not in " + x.function + ": " + top);
    if (x.line > 0 && top.find(" " + std::to_string(x.line) + " ") == std::string::npos)
      wrong.push_back("first call-stack line does not show line " + std::to_string(x.line) + ": " +
                      top);
  }
  for (const std::string& thread : x.threads) {
    bool found = false;
    for (const auto& [title, body] : sections) {
      if (title.rfind(thread + " ($", 0) == 0) found = true;
    }
    if (!found) wrong.push_back("no section for thread " + thread);
  }
  if (!x.beforeChecksums.empty()) {
    std::size_t crc = 0;
    while (crc < names.size() && names[crc] != "callstack crc") ++crc;
    if (crc == 0 || crc == names.size() || names[crc - 1] != x.beforeChecksums)
      wrong.push_back("not directly before callstack crc: " + x.beforeChecksums);
  }
  for (const auto& [name, contents] : x.fields) {
    if (fields[name] != contents) wrong.push_back("header field " + name + ": " + fields[name]);
  }
  for (const std::string& name : x.sections) {
    if (sections[name].empty()) wrong.push_back("no section " + name);
  }
  for (const char* list : {"modules", "processes", "hardware"}) {
    if (sections[list].empty()) wrong.push_back(std::string("no list of ") + list);
  }
  if (x.processorFault) {
    const auto& registers = sections["cpu registers"];
    const std::string eip = RegisterValue(registers, "eip"), esp = RegisterValue(registers, "esp");
    if (eip.size() != 8) wrong.push_back("no eip in cpu registers");
    if (!stack.empty() && stack[0].rfind(eip + " ", 0) != 0)
      wrong.push_back("eip " + eip + " is not the first call-stack line: " + stack[0]);
    const auto& dump = sections["stack dump"];
    if (dump.empty() || dump[0].rfind(esp + "  ", 0) != 0)
      wrong.push_back("the stack dump does not start at esp " + esp);
    bool marked = false;
    for (const std::string& l : sections["disassembling"]) {
      if (l.rfind(eip + "     > ", 0) == 0) marked = true;
    }
    if (!marked) wrong.push_back("no marked instruction at " + eip + " in disassembling");
  }
  return wrong;
}

int ReportsInFile(const std::string& text) {
  int n = text.rfind("date/time", 0) == 0 ? 1 : 0;
  for (std::size_t at = text.find("\r\ndate/time"); at != std::string::npos;
       at = text.find("\r\ndate/time", at + 1))
    ++n;
  return n;
}

int RepeatCount(const std::string& text) {
  for (const std::string& line : Lines(text)) {
    if (line.empty()) break;
    if (line.rfind("count ", 0) == 0) return std::atoi(line.substr(line.find(" : ") + 3).c_str());
  }
  return 1;
}

}  // namespace zoo
