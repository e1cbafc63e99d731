#include "crash/report/compose/report_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrel {
namespace {

const std::u16string kExe = u"C:\\Program Files\\Pelmora\\pelmora.exe";
const std::u16string kDll = u"D:\\Shared\\ostrel.dll";

// A machine answering from its members; a question named in `failing`
// throws instead.
struct FakeSystem : IHeaderSystem {
  // Ann at home, in a remote-desktop session on the office machine.
  std::u16string computer = u"BUILD-07", wtsClient = u"ANN-HOME", user = u"ann",
                 owner = u"Ann Smith", organization = u"Pelmora Ltd",
                 language = u"English (United States)";
  std::optional<WindowsVersion> windows = [] {
    WindowsVersion v;
    v.platform = WindowsVersion::Platform::Nt;
    v.major = 10;
    v.build = 19045;
    v.x64 = true;
    return v;
  }();
  bool admin = true;
  std::int64_t systemUp = 93784, programUp = 4500;
  std::vector<std::u16string> processors =
      std::vector<std::u16string>(4, u" Intel(R)  Core(TM)   i7-4770 CPU @ 3.40GHz ");
  std::optional<MemoryStatus> memory = MemoryStatus{3221225472ull + 524288, 8589934591ull};
  char16_t windowsDrive = u'c';
  std::u16string exe = kExe, module = kExe;
  bool inExecutable = true;
  std::map<char16_t, std::uint64_t> disks = {{u'C', 123456789012ull}, {u'D', 2048}};
  std::optional<DisplayMode> display = DisplayMode{1920, 1080, 32};
  std::uint32_t pid = 0x1a2c;
  ProcessMemory use{5767168, 805306368};
  std::u16string commandLine = u"\"" + kExe + u"\" /safe";
  std::map<std::u16string, LocalTime> writeTimes = {{kExe, {2023, 11, 28, 17, 4, 59, 0}},
                                                    {kDll, {2022, 2, 1, 8, 30, 0, 0}}};
  std::map<std::u16string, std::u16string> versions = {{kExe, u"4.2.0.118"}, {kDll, u"4.0.17.3"}};
  std::u16string compiler = u"GCC 13.2.0 (mingw-w64)";
  char16_t separator = u'.';

  std::set<std::string> failing;
  std::vector<int> processorsAsked;
  std::vector<char16_t> drivesAsked;

  void Ask(const char* question) {
    if (failing.count(question)) throw std::runtime_error(question);
  }
  template <class T>
  T Answer(const char* question, const T& value) {
    Ask(question);
    return value;
  }

  std::u16string ComputerName() override { return Answer("ComputerName", computer); }
  std::u16string WtsClientName() override { return Answer("WtsClientName", wtsClient); }
  std::u16string UserName() override { return Answer("UserName", user); }
  bool IsAdministrator() override { return Answer("IsAdministrator", admin); }
  std::u16string RegisteredOwner() override { return Answer("RegisteredOwner", owner); }
  std::u16string RegisteredOrganization() override {
    return Answer("RegisteredOrganization", organization);
  }
  std::optional<WindowsVersion> Windows() override { return Answer("Windows", windows); }
  std::u16string SystemLanguage() override { return Answer("SystemLanguage", language); }
  std::int64_t SystemUpTimeSeconds() override { return Answer("SystemUpTimeSeconds", systemUp); }
  std::int64_t ProgramUpTimeMs() override { return Answer("ProgramUpTimeMs", programUp); }
  std::u16string ProcessorName(int index) override {
    Ask("ProcessorName");
    processorsAsked.push_back(index);
    return index < static_cast<int>(processors.size()) ? processors[static_cast<std::size_t>(index)]
                                                       : std::u16string();
  }
  std::optional<MemoryStatus> PhysicalMemory() override { return Answer("PhysicalMemory", memory); }
  char16_t WindowsDrive() override { return Answer("WindowsDrive", windowsDrive); }
  std::optional<std::uint64_t> FreeDiskBytes(char16_t drive) override {
    Ask("FreeDiskBytes");
    drivesAsked.push_back(drive);
    const auto at = disks.find(drive);
    return at == disks.end() ? std::nullopt : std::optional<std::uint64_t>(at->second);
  }
  std::optional<DisplayMode> Display() override { return Answer("Display", display); }
  std::uint32_t ProcessId() override { return Answer("ProcessId", pid); }
  ProcessMemory MemoryUse() override { return Answer("MemoryUse", use); }
  std::u16string CommandLine() override { return Answer("CommandLine", commandLine); }
  std::u16string ExecutablePath() override { return Answer("ExecutablePath", exe); }
  std::u16string ReporterModulePath() override { return Answer("ReporterModulePath", module); }
  bool ReporterIsExecutable() override { return Answer("ReporterIsExecutable", inExecutable); }
  std::optional<LocalTime> FileWriteTime(const std::u16string& path) override {
    Ask("FileWriteTime");
    const auto at = writeTimes.find(path);
    return at == writeTimes.end() ? std::nullopt : std::optional<LocalTime>(at->second);
  }
  std::u16string FileVersion(const std::u16string& path) override {
    Ask("FileVersion");
    const auto at = versions.find(path);
    return at == versions.end() ? std::u16string() : at->second;
  }
  std::u16string Compiler() override { return Answer("Compiler", compiler); }
  char16_t DecimalSeparator() override { return Answer("DecimalSeparator", separator); }
};

HeaderInputs Inputs() {
  HeaderInputs in;
  in.time = {2024, 3, 7, 9, 5, 2, 45};
  in.number = 3;
  in.className = u"EAccessViolation";
  in.message = u"Access violation at address 0040A1B2.\r\nRead of address 00000000!!";
  in.pluginFields = {{u"licence", u"Site 42"}};
  return in;
}

using Fields = std::vector<std::pair<std::u16string, std::u16string>>;

Fields Build(FakeSystem& system, const HeaderInputs& inputs = Inputs()) {
  TReportFields header;
  BuildReportHeader(header, system, inputs);
  Fields all;
  for (std::int32_t i = 0; i < header.FieldCount(); ++i) {
    const std::u16string name = header.FieldName(i);
    all.emplace_back(name, header.FieldContents(name));
  }
  return all;
}

std::u16string Names(const Fields& fields) {
  std::u16string all;
  for (const auto& f : fields) all += (all.empty() ? u"" : u",") + f.first;
  return all;
}

std::u16string Contents(const Fields& fields, const std::u16string& name) {
  for (const auto& f : fields) {
    if (f.first == name) return f.second;
  }
  return u"<none>";
}

TEST(ReportHeader, TypicalMachineGivesEveryFieldInOrder) {
  FakeSystem system;
  const Fields expected = {
      {u"date/time", u"2024-03-07, 09:05:02, 45ms"},
      {u"computer name", u"BUILD-07"},
      {u"wts client name", u"ANN-HOME"},
      {u"user name", u"ann  <admin>"},
      {u"registered owner", u"Ann Smith / Pelmora Ltd"},
      {u"operating system", u"Windows 10 x64 build 19045"},
      {u"system language", u"English (United States)"},
      {u"system up time", u"1 day 2 hours"},
      {u"program up time", u"4 seconds"},
      {u"processors", u"4x Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz"},
      {u"physical memory", u"3073/8192 MB (free/total)"},
      {u"free disk space", u"(C:) 114.97 GB"},
      {u"display mode", u"1920x1080, 32 bit"},
      {u"process id", u"$1a2c"},
      {u"allocated memory", u"5.50 MB"},
      {u"largest free block", u"768.00 MB"},
      {u"command line", u"\"C:\\Program Files\\Pelmora\\pelmora.exe\" /safe"},
      {u"executable", u"pelmora.exe"},
      {u"exec. date/time", u"2023-11-28 17:04"},
      {u"version", u"4.2.0.118"},
      {u"compiled with", u"GCC 13.2.0 (mingw-w64)"},
      {u"Ostrel version", u"4.0.17"},
      {u"licence", u"Site 42"},
      {u"callstack crc", u"will be calculated soon"},
      {u"exception number", u"3"},
      {u"exception class", u"EAccessViolation"},
      {u"exception message", u"Access violation at address 0040A1B2. Read of address 00000000."},
  };
  EXPECT_EQ(Build(system), expected);
  EXPECT_EQ(system.drivesAsked, std::vector<char16_t>{u'C'}) << "one drive asked once";
}

TEST(ReportHeader, AThrowingQuestionDropsOnlyItsOwnField) {
  const struct {
    const char* question;
    std::set<std::u16string> dropped;
  } cases[] = {
      {"ComputerName", {u"computer name"}},
      {"WtsClientName", {u"wts client name"}},
      {"UserName", {u"user name"}},
      {"IsAdministrator", {u"user name"}},
      {"RegisteredOwner", {u"registered owner"}},
      {"RegisteredOrganization", {u"registered owner"}},
      {"Windows", {u"operating system"}},
      {"SystemLanguage", {u"system language"}},
      {"SystemUpTimeSeconds", {u"system up time"}},
      {"ProgramUpTimeMs", {u"program up time"}},
      {"ProcessorName", {u"processors"}},
      {"PhysicalMemory", {u"physical memory"}},
      {"WindowsDrive", {u"free disk space"}},
      {"FreeDiskBytes", {u"free disk space"}},
      {"Display", {u"display mode"}},
      {"ProcessId", {u"process id"}},
      {"MemoryUse", {u"allocated memory", u"largest free block"}},
      {"CommandLine", {u"command line"}},
      {"ExecutablePath", {u"executable", u"free disk space"}},
      {"ReporterModulePath", {u"exec. date/time", u"version"}},
      {"ReporterIsExecutable", {u"exec. date/time", u"version"}},
      {"FileWriteTime", {u"exec. date/time"}},
      {"FileVersion", {u"version"}},
      {"Compiler", {u"compiled with"}},
  };
  FakeSystem healthy;
  const Fields all = Build(healthy);
  for (const auto& c : cases) {
    FakeSystem system;
    system.failing = {c.question};
    Fields expected;
    for (const auto& f : all) {
      if (!c.dropped.count(f.first)) expected.push_back(f);
    }
    EXPECT_EQ(Build(system), expected) << c.question;
  }
}

TEST(ReportHeader, WithoutADecimalSeparatorSizesUseAComma) {
  FakeSystem system;
  system.failing = {"DecimalSeparator"};
  const Fields fields = Build(system);
  EXPECT_EQ(Contents(fields, u"free disk space"), u"(C:) 114,97 GB");
  EXPECT_EQ(Contents(fields, u"allocated memory"), u"5,50 MB");
  EXPECT_EQ(Contents(fields, u"largest free block"), u"768,00 MB");
}

TEST(ReportHeader, UnknownAnswersLeaveTheirFieldsOut) {
  FakeSystem system;
  system.computer = system.wtsClient = system.user = system.owner = system.organization =
      system.language = system.commandLine = system.exe = system.module = system.compiler = u"";
  system.windows.reset();
  system.systemUp = 0;
  system.programUp = -1;
  system.processors.clear();
  system.memory.reset();
  system.display.reset();
  system.disks.clear();
  HeaderInputs in = Inputs();
  in.pluginFields = {{u"licence", u" "}};
  // Without the module's file there is no version, not even the program's own.
  in.versionText = u"4.2 beta";
  const Fields fields = Build(system, in);
  EXPECT_EQ(Names(fields),
            u"date/time,process id,allocated memory,largest free block,Ostrel version,"
            u"callstack crc,exception number,exception class,exception message");
  EXPECT_EQ(system.drivesAsked, std::vector<char16_t>{}) << "no executable, no drive";
}

TEST(ReportHeader, UpTimesAndTheirShortestForms) {
  FakeSystem system;
  system.systemUp = 42;
  system.programUp = 999;
  Fields fields = Build(system);
  EXPECT_EQ(Contents(fields, u"system up time"), u"42 seconds");
  EXPECT_EQ(Contents(fields, u"program up time"), u"999 milliseconds");
  system.programUp = 0;
  EXPECT_EQ(Contents(Build(system), u"program up time"), u"0 milliseconds");
  system.systemUp = -5;
  EXPECT_EQ(Contents(Build(system), u"system up time"), u"<none>");
}

TEST(ReportHeader, UserNameAndOwner) {
  FakeSystem system;
  system.admin = false;
  system.organization = u"";
  Fields fields = Build(system);
  EXPECT_EQ(Contents(fields, u"user name"), u"ann");
  EXPECT_EQ(Contents(fields, u"registered owner"), u"Ann Smith");
  system.user = u"";
  system.admin = true;
  EXPECT_EQ(Contents(Build(system), u"user name"), u"<none>") << "no name, no admin mark alone";
}

TEST(ReportHeader, OneProcessorOrSeveral) {
  FakeSystem system;
  system.processors = {u"AMD  Ryzen 5 "};
  Fields fields = Build(system);
  EXPECT_EQ(Contents(fields, u"processor"), u"AMD Ryzen 5");
  EXPECT_EQ(Contents(fields, u"processors"), u"<none>");

  // Counting stops at the first processor without a name.
  system.processors = {u"AMD Ryzen 5", u"AMD Ryzen 5", u"", u"AMD Ryzen 5"};
  fields = Build(system);
  EXPECT_EQ(Contents(fields, u"processors"), u"2x AMD Ryzen 5");
  EXPECT_EQ(Contents(fields, u"processor"), u"<none>");

  system.processors.assign(40, u"Xeon");
  system.processorsAsked.clear();
  EXPECT_EQ(Contents(Build(system), u"processors"), u"16x Xeon");
  EXPECT_EQ(system.processorsAsked.back(), 15) << "no more than 16 asked";

  // A blank first name: no field, and the others are not asked.
  system.processors = {u"   ", u"Xeon"};
  system.processorsAsked.clear();
  fields = Build(system);
  EXPECT_EQ(Contents(fields, u"processor"), u"<none>");
  EXPECT_EQ(Contents(fields, u"processors"), u"<none>");
  EXPECT_EQ(system.processorsAsked, std::vector<int>{0});
}

TEST(ReportHeader, FreeMemoryNeverShowsAboveTotal) {
  FakeSystem system;
  system.memory = MemoryStatus{16ull << 30, 2ull << 30};
  EXPECT_EQ(Contents(Build(system), u"physical memory"), u"2048/2048 MB (free/total)");
  system.memory = MemoryStatus{(1ull << 20) - 1, (1ull << 20) * 4 + 524287};
  EXPECT_EQ(Contents(Build(system), u"physical memory"), u"1/4 MB (free/total)")
      << "rounded to the nearest megabyte";
}

TEST(ReportHeader, FreeDiskSpaceOfTheWindowsDriveAndTheExecutables) {
  FakeSystem system;
  system.windowsDrive = u'C';
  system.exe = u"d:\\Games\\pelmora.exe";
  EXPECT_EQ(Contents(Build(system), u"free disk space"), u"(C:) 114.97 GB (D:) 2.00 KB");
  std::sort(system.drivesAsked.begin(), system.drivesAsked.end());
  EXPECT_EQ(system.drivesAsked, (std::vector<char16_t>{u'C', u'D'}));

  // A drive without an answer is left out of the text.
  system.disks.erase(u'C');
  EXPECT_EQ(Contents(Build(system), u"free disk space"), u"(D:) 2.00 KB");
  system.disks = {{u'C', 100}};
  EXPECT_EQ(Contents(Build(system), u"free disk space"), u"(C:) 100 Bytes");

  // Network paths have no drive: no field, no drive asked.
  const std::vector<std::pair<char16_t, std::u16string>> network = {{u'C', u"\\\\srv\\apps\\p.exe"},
                                                                    {u'\\', u"C:\\p.exe"}};
  for (const auto& [windows, exe] : network) {
    system.windowsDrive = windows;
    system.exe = exe;
    system.drivesAsked.clear();
    EXPECT_EQ(Contents(Build(system), u"free disk space"), u"<none>");
    EXPECT_TRUE(system.drivesAsked.empty());
  }
}

TEST(ReportHeader, CommandLineOnlyWithParameters) {
  const struct {
    std::u16string line;
    bool shown;
  } cases[] = {
      {u"\"C:\\Program Files\\Pelmora\\pelmora.exe\"", false},
      {u"\"C:\\Program Files\\Pelmora\\pelmora.exe\"  \t ", false},
      {u"C:\\Pelmora\\pelmora.exe", false},
      {u"", false},
      {u"\"C:\\Program Files\\Pelmora\\pelmora.exe\" /safe", true},
      {u"\"C:\\Program Files\\Pelmora\\pelmora.exe\"\t-x", true},
      {u"C:\\Pelmora\\pelmora.exe report.txt", true},
      // Unquoted, the first blank ends the program's path.
      {u"C:\\Program Files\\pelmora.exe", true},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    FakeSystem system;
    system.commandLine = cases[i].line;
    EXPECT_EQ(Contents(Build(system), u"command line"), cases[i].shown ? cases[i].line : u"<none>")
        << "case " << i;
  }
}

TEST(ReportHeader, ModuleFieldsForTheExecutableOrALibrary) {
  FakeSystem system;
  Fields fields = Build(system);
  EXPECT_EQ(Contents(fields, u"current module"), u"<none>");
  EXPECT_EQ(Contents(fields, u"module date/time"), u"<none>");

  system.inExecutable = false;
  system.module = kDll;
  fields = Build(system);
  EXPECT_EQ(Contents(fields, u"exec. date/time"), u"<none>");
  const Fields expected = {{u"executable", u"pelmora.exe"},
                           {u"current module", u"ostrel.dll"},
                           {u"module date/time", u"2022-02-01 08:30"},
                           {u"version", u"4.0.17.3"}};
  const auto first = std::find(fields.begin(), fields.end(), expected.front());
  ASSERT_NE(first, fields.end());
  EXPECT_EQ(Fields(first, first + std::min<std::ptrdiff_t>(4, fields.end() - first)), expected);

  // A bare file name has no folder to cut.
  system.exe = u"pelmora.exe";
  EXPECT_EQ(Contents(Build(system), u"executable"), u"pelmora.exe");
}

TEST(ReportHeader, FrozenReportShowsItsMessageOnly) {
  FakeSystem system;
  HeaderInputs in = Inputs();
  in.frozen = true;
  in.frozenMessage = u"The application seems to be frozen.";
  const Fields fields = Build(system, in);
  EXPECT_EQ(Contents(fields, u"exception class"), u"<none>");
  EXPECT_EQ(Contents(fields, u"exception message"), u"The application seems to be frozen.");
  EXPECT_EQ(fields.back().first, u"exception message");

  in.frozen = false;
  in.message = in.className;
  const Fields plain = Build(system, in);
  EXPECT_EQ(Contents(plain, u"exception class"), u"EAccessViolation");
  EXPECT_EQ(Contents(plain, u"exception message"), u"<none>") << "a message naming the class";
}

TEST(ReportHeader, PluginFieldsAndLaterFieldsGoBeforeTheCallstackCrc) {
  FakeSystem system;
  HeaderInputs in = Inputs();
  in.pluginFields = {{u"licence", u"Site 42"}, {u"database", u"pelmora.db"}};
  TReportFields header;
  BuildReportHeader(header, system, in);
  const std::int32_t crc = header.IndexOfField(u"callstack crc");
  EXPECT_EQ(header.FieldName(crc - 3), u"Ostrel version");
  EXPECT_EQ(header.FieldName(crc - 2), u"licence");
  EXPECT_EQ(header.FieldName(crc - 1), u"database");
  EXPECT_EQ(header.InsertIndex(), crc);
  header.SetField(u"contact name", u"Ann");
  EXPECT_EQ(header.FieldName(crc), u"contact name");
  EXPECT_EQ(header.FieldName(crc + 1), u"callstack crc");

  // Wherever "callstack crc" ends up when earlier fields are left out.
  FakeSystem bare;
  bare.computer = bare.wtsClient = bare.user = bare.owner = bare.language = u"";
  bare.windows.reset();
  bare.processors.clear();
  TReportFields small;
  BuildReportHeader(small, bare, Inputs());
  EXPECT_LT(small.IndexOfField(u"callstack crc"), crc);
  EXPECT_EQ(small.InsertIndex(), small.IndexOfField(u"callstack crc"));
}

TEST(ReportHeader, VersionPrefersTheProgramsOwnText) {
  FakeSystem system;
  HeaderInputs in = Inputs();
  in.versionText = u"4.2 beta 3";
  system.failing = {"FileVersion"};
  EXPECT_EQ(Contents(Build(system, in), u"version"), u"4.2 beta 3") << "the file is not asked";

  system.failing.clear();
  in.versionText = u"  ";
  EXPECT_EQ(Contents(Build(system, in), u"version"), u"4.2.0.118");

  // A reporter in a library: its file's version, unless the settings name one.
  system.inExecutable = false;
  system.module = kDll;
  in.versionText = u"";
  EXPECT_EQ(Contents(Build(system, in), u"version"), u"4.0.17.3");
  in.versionText = u"4.2 beta 3";
  EXPECT_EQ(Contents(Build(system, in), u"version"), u"4.2 beta 3");

  system.versions.clear();
  in.versionText = u"";
  EXPECT_EQ(Contents(Build(system, in), u"version"), u"<none>");
}

TEST(ReportHeader, AdditionalFieldsComeBeforeTheCallstackCrcAndUpdateFieldsOfTheirName) {
  FakeSystem system;
  HeaderInputs in = Inputs();
  in.additionalFields = {{u"build", u"77"}, {u"flag", u""}, {u"Branch", u" main "}};
  TReportFields header;
  BuildReportHeader(header, system, in);
  const std::int32_t crc = header.IndexOfField(u"callstack crc");
  EXPECT_EQ(header.FieldName(crc - 3), u"licence");
  EXPECT_EQ(header.FieldName(crc - 2), u"build");
  EXPECT_EQ(header.FieldName(crc - 1), u"Branch");
  EXPECT_EQ(header.FieldContents(u"branch"), u"main");
  EXPECT_EQ(header.IndexOfField(u"flag"), -1) << "an empty value is no field";
  header.SetField(u"contact name", u"Ann");
  EXPECT_EQ(header.FieldName(crc), u"contact name");
  EXPECT_EQ(header.FieldName(crc + 1), u"callstack crc");

  // A field that exists already keeps its place.
  in.additionalFields = {{u"Computer Name", u"BUILD-07 (lab)"}};
  TReportFields updated;
  BuildReportHeader(updated, system, in);
  EXPECT_EQ(updated.IndexOfField(u"computer name"), 1);
  EXPECT_EQ(updated.FieldName(1), u"Computer Name");
  EXPECT_EQ(updated.FieldContents(u"computer name"), u"BUILD-07 (lab)");
  EXPECT_EQ(updated.FieldCount(), header.FieldCount() - 3);
}

// An address space laid out as `regions`; past them the system has no
// answer.
struct FakeSpace {
  std::vector<MemoryRegion> regions;
  std::set<std::uint64_t> modules;
  std::vector<std::uint64_t> modulesAsked;

  ProcessMemory Measure() {
    return MeasureAddressSpace(
        [this](std::uint64_t address) -> std::optional<MemoryRegion> {
          for (const MemoryRegion& r : regions) {
            if (address >= r.base && address < r.base + r.size) return r;
          }
          return std::nullopt;
        },
        [this](std::uint64_t base) {
          modulesAsked.push_back(base);
          return modules.count(base) != 0;
        });
  }
};

MemoryRegion Region(MemoryRegion::State state, std::uint64_t base, std::uint64_t size,
                    std::uint64_t allocationBase = 0) {
  MemoryRegion r;
  r.state = state;
  r.base = base;
  r.size = size;
  r.allocationBase = allocationBase;
  return r;
}

TEST(AddressSpace, LargestFreeRunAndAllocatedMemoryOutsideModules) {
  using S = MemoryRegion::State;
  FakeSpace space;
  space.regions = {
      Region(S::Free, 0, 0x10000),  // from 0: never counted
      Region(S::Committed, 0x10000, 0x1000, 0x10000),
      Region(S::Reserved, 0x11000, 0xf000, 0x10000),
      Region(S::Free, 0x20000, 0x30000),  // two free regions make one run
      Region(S::Free, 0x50000, 0x20000),
      Region(S::Committed, 0x70000, 0x1000, 0x70000),  // a module
      Region(S::Committed, 0x71000, 0x3000, 0x70000),
      Region(S::Reserved, 0x74000, 0x2000, 0x70000),
      Region(S::Committed, 0x76000, 0x2000, 0x70000),
      Region(S::Committed, 0x78000, 0x4000, 0x78000),
      Region(S::Free, 0x7c000, 0x4000),
  };
  space.modules = {0x70000};
  const ProcessMemory use = space.Measure();
  EXPECT_EQ(use.largestFree, 0x50000u);
  EXPECT_EQ(use.allocated, 0x1000u + 0x4000u);
  EXPECT_EQ(space.modulesAsked, (std::vector<std::uint64_t>{0x10000, 0x70000, 0x78000}))
      << "each allocation base asked once in a row";
}

TEST(AddressSpace, AFreeRunAtTheEndIsClosedWhereTheAnswersStop) {
  using S = MemoryRegion::State;
  FakeSpace space;
  // A process of 2 GB whose largest free run is its last one.
  space.regions = {Region(S::Committed, 0, 0x10000, 0), Region(S::Free, 0x10000, 0x2fff0000),
                   Region(S::Committed, 0x30000000, 0x10000, 0x30000000),
                   Region(S::Free, 0x30010000, 0x4fff0000)};
  EXPECT_EQ(space.Measure().largestFree, 0x4fff0000u);
  // Answered up to the top of 4 GB: the run reaches it.
  space.regions.back().size = 0xcfff0000;
  EXPECT_EQ(space.Measure().largestFree, 0xcfff0000u);

  space.regions = {Region(S::Free, 0, 0x80000000)};
  EXPECT_EQ(space.Measure().largestFree, 0u);
  space.regions.clear();
  EXPECT_EQ(space.Measure().largestFree, 0u);
}

TEST(AddressSpace, AnAnswerThatLeadsNowhereEndsTheWalk) {
  using S = MemoryRegion::State;
  // The third answer describes the region before the address asked for.
  const std::vector<MemoryRegion> answers = {Region(S::Committed, 0, 0x10000),
                                             Region(S::Free, 0x10000, 0x10000),
                                             Region(S::Free, 0x10000, 0x10000)};
  std::size_t asked = 0;
  const ProcessMemory use = MeasureAddressSpace(
      [&](std::uint64_t) -> std::optional<MemoryRegion> {
        if (asked == answers.size()) return std::nullopt;
        return answers[asked++];
      },
      [](std::uint64_t) { return true; });
  EXPECT_EQ(asked, 3u);
  EXPECT_EQ(use.largestFree, 0x10000u);
}

}  // namespace
}  // namespace ostrel
