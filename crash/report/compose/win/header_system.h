#pragma once
// The report header's questions answered by the running Win32 system.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "crash/report/compose/report_header.h"

namespace ostrel {

class WinHeaderSystem : public IHeaderSystem {
 public:
  using UpTime = std::function<std::int64_t()>;
  using VersionOf = std::function<std::u16string(const std::u16string& path)>;

  // What only the handling knows: the module the reporter is in and how long
  // the program has run (negative: unknown). The version texts come from the
  // module lists (crash/report/lists), which stand on this library.
  WinHeaderSystem(HMODULE reporter, UpTime programUpTimeMs, VersionOf fileVersion);

  std::u16string ComputerName() override;
  std::u16string WtsClientName() override;
  std::u16string UserName() override;
  bool IsAdministrator() override;
  std::u16string RegisteredOwner() override;
  std::u16string RegisteredOrganization() override;
  std::optional<WindowsVersion> Windows() override;
  std::u16string SystemLanguage() override;
  std::int64_t SystemUpTimeSeconds() override;
  std::int64_t ProgramUpTimeMs() override;
  std::u16string ProcessorName(int index) override;
  std::optional<MemoryStatus> PhysicalMemory() override;
  char16_t WindowsDrive() override;
  std::optional<std::uint64_t> FreeDiskBytes(char16_t drive) override;
  std::optional<DisplayMode> Display() override;
  std::uint32_t ProcessId() override;
  ProcessMemory MemoryUse() override;
  std::u16string CommandLine() override;
  std::u16string ExecutablePath() override;
  std::u16string ReporterModulePath() override;
  bool ReporterIsExecutable() override;
  std::optional<LocalTime> FileWriteTime(const std::u16string& path) override;
  std::u16string FileVersion(const std::u16string& path) override;
  std::u16string Compiler() override;
  char16_t DecimalSeparator() override;

 private:
  HMODULE reporter_;
  UpTime programUpTimeMs_;
  VersionOf fileVersion_;
};

}  // namespace ostrel
