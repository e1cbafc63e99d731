// Runs every crash-zoo program and checks what it states about itself: its
// exit code, lines it must print (in order), lines it must not print, lines
// it prints a given number of times, a file it leaves, a time limit, and the
// bug report it saves (read by report_check.cpp; a second run of the same
// crash must count 2 in the one report).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/crash/report_check.h"

namespace {

std::wstring g_bin;       // folder of the programs
std::string g_sources;    // folder of their sources
bool g_emulated = false;  // 32-bit code runs under an emulator

struct Expectations {
  std::string name;
  int exitCode = 0;
  bool statesExit = false;
  int withinSeconds = 20;
  std::vector<std::string> unknown;  // lines the runner cannot read
  std::vector<std::string> inOrder, absent;
  std::vector<std::pair<int, std::string>> counted;
  std::vector<std::pair<std::string, std::string>> files;
  bool report = false;  // saves "bugreport.txt": checked, then run again
  zoo::ReportExpectations reportExpected;
};

// The first line of the source that holds the text.
int SourceLine(const std::string& source, const std::string& text) {
  std::ifstream in(source);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.find(text) != std::string::npos && line.rfind("// expect", 0) != 0 &&
        line.rfind("// emulated", 0) != 0)
      return n;
  }
  return -1;
}

std::vector<Expectations> ReadAll() {
  std::vector<Expectations> all;
  WIN32_FIND_DATAA found;
  const std::string pattern = g_sources + "\\zoo_*.cpp";
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return all;
  do {
    Expectations e;
    e.name = std::string(found.cFileName).substr(0, std::strlen(found.cFileName) - 4);
    std::ifstream in(g_sources + "\\" + found.cFileName);
    std::vector<std::string> plain, emulated;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("// expect ", 0) == 0) plain.push_back(line.substr(10));
      if (line.rfind("// emulated expect ", 0) == 0) emulated.push_back(line.substr(19));
    }
    // Where the emulator itself misreports a fault, the program states what
    // the reporter makes of the fault the emulator delivers.
    const std::vector<std::string>& chosen = g_emulated && !emulated.empty() ? emulated : plain;
    for (const std::string& rest : chosen) {
      const std::size_t colon = rest.find(": ");
      if (colon == std::string::npos) {
        e.unknown.push_back(rest);
        continue;
      }
      const std::string kind = rest.substr(0, colon), value = rest.substr(colon + 2);
      if (kind == "exit") {
        e.exitCode = std::stoi(value);
        e.statesExit = true;
      } else if (kind == "within") {
        e.withinSeconds = std::stoi(value);
      } else if (kind == "output") {
        e.inOrder.push_back(value);
      } else if (kind == "not") {
        e.absent.push_back(value);
      } else if (kind.rfind("report", 0) == 0) {
        e.report = true;
        zoo::ReportExpectations& r = e.reportExpected;
        if (kind == "report class") {
          r.exceptionClass = value;
        } else if (kind == "report function") {
          r.function = value;
        } else if (kind == "report line") {
          r.line = SourceLine(g_sources + "\\" + found.cFileName, value);
        } else if (kind == "report thread") {
          r.threads.push_back(value);
        } else if (kind == "report field before crc") {
          r.beforeChecksums = value;
        } else if (kind == "report section") {
          r.sections.push_back(value);
        } else if (kind == "report field") {
          const std::size_t eq = value.find(" = ");
          r.fields.emplace_back(value.substr(0, eq),
                                eq == std::string::npos ? "" : value.substr(eq + 3));
        } else if (kind == "report fault" && value == "processor") {
          r.processorFault = true;
        } else {
          e.unknown.push_back(rest);
        }
      } else if (kind != "count" && kind != "file") {
        e.unknown.push_back(rest);
      }
      if (kind == "count") {
        const std::size_t space = value.find(' ');
        e.counted.emplace_back(std::stoi(value.substr(0, space)), value.substr(space + 1));
      }
      if (kind == "file") {
        const std::size_t sep = value.find(": ");
        e.files.emplace_back(value.substr(0, sep), value.substr(sep + 2));
      }
    }
    // A program that states nothing (its lines reflowed, say) fails rather
    // than passing unseen.
    all.push_back(e);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return all;
}

struct Outcome {
  DWORD exitCode = 0;
  bool timedOut = false;
  std::string output;
  DWORD milliseconds = 0;
};

Outcome RunProgram(const std::string& name, int seconds) {
  Outcome run;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  CreatePipe(&read, &write, &sa, 1 << 16);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = write;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring command = L"\"" + g_bin + L"\\" + std::wstring(name.begin(), name.end()) + L".exe\"";
  PROCESS_INFORMATION pi{};
  const DWORD start = GetTickCount();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, g_bin.c_str(),
                      &si, &pi)) {
    run.output = "could not start";
    run.exitCode = 0xFFFFFFFF;
    CloseHandle(read);
    CloseHandle(write);
    return run;
  }
  CloseHandle(write);
  // Read while it runs: a full pipe would stop the program.
  const DWORD limit = static_cast<DWORD>(seconds) * 1000;
  for (;;) {
    DWORD available = 0;
    while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available) {
      char buffer[4096];
      DWORD got = 0;
      if (!ReadFile(read, buffer, sizeof buffer, &got, nullptr) || !got) break;
      run.output.append(buffer, got);
    }
    if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start > limit) {
      run.timedOut = true;
      TerminateProcess(pi.hProcess, 0xDEAD);
      WaitForSingleObject(pi.hProcess, 5000);
      break;
    }
  }
  char buffer[4096];
  DWORD got = 0;
  DWORD available = 0;
  while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available &&
         ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got) {
    run.output.append(buffer, got);
  }
  run.milliseconds = GetTickCount() - start;
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(read);
  return run;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class CrashZoo : public ::testing::TestWithParam<Expectations> {};

TEST_P(CrashZoo, EndsAsItStates) {
  const Expectations& e = GetParam();
  ASSERT_TRUE(e.statesExit) << e.name << " states no \"// expect exit:\" line";
  for (const std::string& line : e.unknown) ADD_FAILURE() << "unreadable expect line: " << line;
  const std::string reportPath = std::string(g_bin.begin(), g_bin.end()) + "\\bugreport.txt";
  if (e.report) DeleteFileA(reportPath.c_str());
  const Outcome run = RunProgram(e.name, e.withinSeconds);
  SCOPED_TRACE("output of " + e.name + ":\n" + run.output);
  EXPECT_FALSE(run.timedOut) << "did not end within " << e.withinSeconds << " s";
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(e.exitCode));
  std::size_t from = 0;
  for (const std::string& line : e.inOrder) {
    const std::size_t at = run.output.find(line, from);
    EXPECT_NE(at, std::string::npos) << "missing (in this order): " << line;
    if (at != std::string::npos) from = at + line.size();
  }
  for (const std::string& line : e.absent) {
    EXPECT_EQ(run.output.find(line), std::string::npos) << "must not appear: " << line;
  }
  for (const auto& [n, line] : e.counted) {
    EXPECT_EQ(Count(run.output, line), n) << "times: " << line;
  }
  for (const auto& [file, text] : e.files) {
    // Left by another process (a restarted instance): wait for it.
    const std::string path = std::string(g_bin.begin(), g_bin.end()) + "\\" + file;
    std::string content;
    for (int i = 0; i < 200 && content.find(text) == std::string::npos; ++i) {
      std::ifstream in(path);
      std::stringstream s;
      s << in.rdbuf();
      content = s.str();
      if (content.find(text) == std::string::npos) Sleep(50);
    }
    EXPECT_NE(content.find(text), std::string::npos) << file << " holds: " << content;
  }
  if (e.report) {
    const std::string first = ReadFile(reportPath);
    SCOPED_TRACE("bugreport.txt:\n" + first);
    EXPECT_EQ(zoo::ReportsInFile(first), 1);
    for (const std::string& fault : zoo::CheckReport(first, e.reportExpected))
      ADD_FAILURE() << fault;
    // The same crash again: still one report, now counted twice.
    const Outcome again = RunProgram(e.name, e.withinSeconds);
    EXPECT_EQ(again.exitCode, static_cast<DWORD>(e.exitCode));
    const std::string second = ReadFile(reportPath);
    EXPECT_EQ(zoo::ReportsInFile(second), 1) << second;
    EXPECT_EQ(zoo::RepeatCount(second), 2) << second;
  }
}

void PrintTo(const Expectations& e, std::ostream* os) { *os << e.name; }

std::string NameOf(const ::testing::TestParamInfo<Expectations>& info) { return info.param.name; }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Programs, CrashZoo, ::testing::ValuesIn(ReadAll()), NameOf);

// Usage: zoo_runner <folder of the programs' sources> [gtest flags]; the
// programs lie beside the runner. The folder is read before gtest starts,
// since the list of programs is the list of tests.
int main(int argc, char** argv) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  g_bin = self;
  g_bin = g_bin.substr(0, g_bin.find_last_of(L'\\'));
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') g_sources = argv[i];
  }
  for (char& c : g_sources) c = c == '/' ? '\\' : c;
  if (g_sources.empty() || ReadAll().empty()) {
    std::fprintf(stderr, "usage: zoo_runner <folder with the zoo programs' sources>\n");
    return 2;
  }
  char route[32] = {};
  GetEnvironmentVariableA("PELMORA_WINE_ROUTE", route, sizeof route);
  g_emulated = std::string(route) == "emulated";
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
