#pragma once
// The bug report's header: its fields in their order and texts, from what
// the system tells (IHeaderSystem; the Win32 one is in win/header_system.h)
// and what the report itself knows. A field whose question throws or has
// no answer is left out; the others stay.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crash/report/compose/report_fields_list.h"
#include "crash/settings/windows_name.h"

namespace ostrel {

struct LocalTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct MemoryStatus {
  std::uint64_t free = 0, total = 0;
};

struct DisplayMode {
  int width = 0, height = 0, bits = 0;
};

struct ProcessMemory {
  // Committed private memory outside modules, and the largest free region.
  std::uint64_t allocated = 0, largestFree = 0;
};

// One region of the address space as the system describes the one holding
// an address.
struct MemoryRegion {
  enum class State { Free, Reserved, Committed };
  State state = State::Free;
  std::uint64_t base = 0, size = 0, allocationBase = 0;
};

// Walks the address space from 0 upwards until `query` has no answer.
// `isModule` tells whether an allocation base is a loaded module, whose
// committed memory is not counted as allocated.
ProcessMemory MeasureAddressSpace(
    const std::function<std::optional<MemoryRegion>(std::uint64_t address)>& query,
    const std::function<bool(std::uint64_t allocationBase)>& isModule);

// The questions the header asks of the system. Empty texts and empty
// optionals mean "unknown".
class IHeaderSystem {
 public:
  virtual ~IHeaderSystem() = default;

  virtual std::u16string ComputerName() = 0;
  // The remote-desktop client's computer; empty outside such a session.
  virtual std::u16string WtsClientName() = 0;
  virtual std::u16string UserName() = 0;
  virtual bool IsAdministrator() = 0;
  virtual std::u16string RegisteredOwner() = 0;
  virtual std::u16string RegisteredOrganization() = 0;
  virtual std::optional<WindowsVersion> Windows() = 0;
  virtual std::u16string SystemLanguage() = 0;
  // Negative: unknown.
  virtual std::int64_t SystemUpTimeSeconds() = 0;
  virtual std::int64_t ProgramUpTimeMs() = 0;
  // The name string of processor `index` as the system has it.
  virtual std::u16string ProcessorName(int index) = 0;
  virtual std::optional<MemoryStatus> PhysicalMemory() = 0;
  // The first character of the Windows folder's path (0: unknown).
  virtual char16_t WindowsDrive() = 0;
  // drive: an upper-case letter.
  virtual std::optional<std::uint64_t> FreeDiskBytes(char16_t drive) = 0;
  virtual std::optional<DisplayMode> Display() = 0;
  virtual std::uint32_t ProcessId() = 0;
  virtual ProcessMemory MemoryUse() = 0;
  virtual std::u16string CommandLine() = 0;
  virtual std::u16string ExecutablePath() = 0;
  // The module the reporter is linked into: the executable or a library.
  virtual std::u16string ReporterModulePath() = 0;
  virtual bool ReporterIsExecutable() = 0;
  virtual std::optional<LocalTime> FileWriteTime(const std::u16string& path) = 0;
  virtual std::u16string FileVersion(const std::u16string& path) = 0;
  // "GCC 13.2.0 (mingw-w64)": what built the reporter.
  virtual std::u16string Compiler() = 0;
  virtual char16_t DecimalSeparator() = 0;
};

// What the report itself gives the header.
struct HeaderInputs {
  LocalTime time;
  std::uint64_t number = 0;  // "exception number"
  std::u16string className, message;
  bool frozen = false;
  std::u16string frozenMessage;
  // The settings' VersionVar text: "version" prefers it to the file's.
  std::u16string versionText;
  // The plug-ins without a section of their own, their texts already made
  // (PluginHeaderFields).
  std::vector<std::pair<std::u16string, std::u16string>> pluginFields;
  // The settings' AddFields: entered like fields added later by name.
  std::vector<std::pair<std::u16string, std::u16string>> additionalFields;
};

// Fills the header (input enabled here) and sets its insertion index to
// "callstack crc", where fields added later by name belong; the additional
// fields are the first of them.
void BuildReportHeader(TReportFields& header, IHeaderSystem& system, const HeaderInputs& inputs);

}  // namespace ostrel
