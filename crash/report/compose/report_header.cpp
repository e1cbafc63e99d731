#include "crash/report/compose/report_header.h"

#include <algorithm>

#include "crash/base/hex.h"
#include "crash/base/short_text.h"
#include "crash/base/text_case.h"
#include "crash/report/compose/field_formats.h"
#include "crash/report/compose/report_text.h"
#include "ostrel/version.h"

namespace ostrel {
namespace {

using text::Decimal;

std::u16string Two(unsigned value) { return (value < 10 ? u"0" : u"") + Decimal(value); }

std::u16string FileName(const std::u16string& path) {
  return path.substr(path.find_last_of(u'\\') + 1);
}

bool Blank(char16_t c) { return c == u' ' || c == u'\t'; }

// Whether anything follows the program's path, which may be quoted and
// hold blanks.
bool HasParameters(const std::u16string& line) {
  std::size_t at = 0;
  bool quoted = false;
  for (; at < line.size() && (quoted || !Blank(line[at])); ++at) {
    if (line[at] == u'"') quoted = !quoted;
  }
  while (at < line.size() && Blank(line[at])) ++at;
  return at < line.size();
}

// A field's question may throw: that field alone is left out.
template <class F>
void Guarded(TReportFields& header, const std::u16string& name, F&& probe) {
  try {
    header.SetField(name, probe());
  } catch (...) {
  }
}

}  // namespace

ProcessMemory MeasureAddressSpace(
    const std::function<std::optional<MemoryRegion>(std::uint64_t address)>& query,
    const std::function<bool(std::uint64_t allocationBase)>& isModule) {
  ProcessMemory use;
  std::uint64_t address = 0, runStart = 0;
  bool inRun = false;
  std::optional<std::uint64_t> base;
  bool baseIsModule = false;
  // A run from address 0 is the null page's guard, not room to allocate.
  auto closeRun = [&](std::uint64_t end) {
    if (inRun && runStart != 0) use.largestFree = std::max(use.largestFree, end - runStart);
    inRun = false;
  };
  while (const std::optional<MemoryRegion> r = query(address)) {
    if (r->state == MemoryRegion::State::Free) {
      if (!inRun) runStart = r->base;
      inRun = true;
    } else {
      closeRun(r->base);
      if (r->state == MemoryRegion::State::Committed) {
        if (base != r->allocationBase) {
          base = r->allocationBase;
          baseIsModule = isModule(*base);
        }
        if (!baseIsModule) use.allocated += r->size;
      }
    }
    const std::uint64_t next = r->base + r->size;
    if (next <= address) break;
    address = next;
  }
  // The space ends where the system stopped answering.
  closeRun(address);
  return use;
}

void BuildReportHeader(TReportFields& header, IHeaderSystem& system, const HeaderInputs& inputs) {
  header.EnableInput();
  char16_t separator = u',';
  try {
    separator = system.DecimalSeparator();
  } catch (...) {
  }

  Guarded(header, u"date/time", [&] {
    const LocalTime& t = inputs.time;
    return Decimal(t.year) + u"-" + Two(t.month) + u"-" + Two(t.day) + u", " + Two(t.hour) + u":" +
           Two(t.minute) + u":" + Two(t.second) + u", " + Decimal(t.millisecond) + u"ms";
  });
  Guarded(header, u"computer name", [&] { return system.ComputerName(); });
  Guarded(header, u"wts client name", [&] { return system.WtsClientName(); });
  Guarded(header, u"user name", [&] {
    const std::u16string name = system.UserName();
    if (name.empty()) return name;
    return name + (system.IsAdministrator() ? u"  <admin>" : u"");
  });
  Guarded(header, u"registered owner", [&] {
    std::u16string owner = system.RegisteredOwner();
    const std::u16string organization = system.RegisteredOrganization();
    if (!organization.empty()) owner += u" / " + organization;
    return owner;
  });
  Guarded(header, u"operating system", [&] {
    const std::optional<WindowsVersion> version = system.Windows();
    return version ? OperatingSystemText(*version) : std::u16string();
  });
  Guarded(header, u"system language", [&] { return system.SystemLanguage(); });
  Guarded(header, u"system up time", [&] { return FormatUpTime(system.SystemUpTimeSeconds()); });
  Guarded(header, u"program up time", [&] {
    const std::int64_t ms = system.ProgramUpTimeMs();
    if (ms < 0) return std::u16string();
    const std::u16string text = FormatUpTime(ms / 1000);
    return text.empty() ? Decimal(static_cast<std::uint64_t>(ms)) + u" milliseconds" : text;
  });
  try {
    std::u16string name = system.ProcessorName(0);
    for (std::size_t at; (at = name.find(u"  ")) != std::u16string::npos;) name.erase(at, 1);
    name = text::Trim(name);
    if (!name.empty()) {
      int count = 1;
      while (count < 16 && !system.ProcessorName(count).empty()) ++count;
      if (count == 1) {
        header.SetField(u"processor", name);
      } else {
        header.SetField(u"processors", Decimal(static_cast<std::uint64_t>(count)) + u"x " + name);
      }
    }
  } catch (...) {
  }
  Guarded(header, u"physical memory", [&] {
    const std::optional<MemoryStatus> m = system.PhysicalMemory();
    if (!m) return std::u16string();
    // A 32-bit process may be told a total clamped to its own reach and the
    // machine's whole free memory (Wine does): free never shows above total.
    const std::uint64_t free = std::min(m->free, m->total);
    return Decimal((free + 524288) / 1048576) + u"/" + Decimal((m->total + 524288) / 1048576) +
           u" MB (free/total)";
  });
  Guarded(header, u"free disk space", [&] {
    const char16_t windows = system.WindowsDrive();
    const std::u16string exe = system.ExecutablePath();
    // No drive letter on a network path.
    if (windows == u'\\' || exe.empty() || exe[0] == u'\\') return std::u16string();
    auto drive = [&](char16_t letter) {
      const std::optional<std::uint64_t> free = system.FreeDiskBytes(letter);
      if (!free) return std::u16string();
      return u"(" + std::u16string(1, letter) + u":) " + FormatByteSize(*free, separator);
    };
    const char16_t a = AsciiUpper(windows), b = AsciiUpper(exe[0]);
    return a == b ? drive(a) : drive(a) + u" " + drive(b);
  });
  Guarded(header, u"display mode", [&] {
    const std::optional<DisplayMode> d = system.Display();
    if (!d) return std::u16string();
    return Decimal(static_cast<std::uint64_t>(d->width)) + u"x" +
           Decimal(static_cast<std::uint64_t>(d->height)) + u", " +
           Decimal(static_cast<std::uint64_t>(d->bits)) + u" bit";
  });
  Guarded(header, u"process id", [&] { return u"$" + HexText16(system.ProcessId()); });
  try {
    const ProcessMemory use = system.MemoryUse();
    header.SetField(u"allocated memory", FormatByteSize(use.allocated, separator));
    header.SetField(u"largest free block", FormatByteSize(use.largestFree, separator));
  } catch (...) {
  }
  Guarded(header, u"command line", [&] {
    const std::u16string line = system.CommandLine();
    return HasParameters(line) ? line : std::u16string();
  });

  Guarded(header, u"executable", [&] { return FileName(system.ExecutablePath()); });
  // Without the reporter's module file, none of its three fields.
  try {
    const bool inExecutable = system.ReporterIsExecutable();
    const std::u16string path = system.ReporterModulePath();
    if (!path.empty()) {
      if (!inExecutable) Guarded(header, u"current module", [&] { return FileName(path); });
      Guarded(header, inExecutable ? u"exec. date/time" : u"module date/time", [&] {
        const std::optional<LocalTime> t = system.FileWriteTime(path);
        if (!t) return std::u16string();
        return Decimal(t->year) + u"-" + Two(t->month) + u"-" + Two(t->day) + u" " + Two(t->hour) +
               u":" + Two(t->minute);
      });
      Guarded(header, u"version", [&] {
        const std::u16string own = text::Trim(inputs.versionText);
        return own.empty() ? system.FileVersion(path) : own;
      });
    }
  } catch (...) {
  }
  Guarded(header, u"compiled with", [&] { return system.Compiler(); });
  header.SetField(u"Ostrel version", u"" OSTREL_VERSION);
  for (const auto& [name, contents] : inputs.pluginFields) header.SetField(name, contents);
  header.SetField(u"callstack crc", u"will be calculated soon");
  header.SetField(u"exception number", Decimal(inputs.number));
  if (inputs.frozen) {
    header.SetField(u"exception message", inputs.frozenMessage);
  } else {
    header.SetField(u"exception class", inputs.className);
    header.SetField(u"exception message", ExceptionMessageField(inputs.className, inputs.message));
  }
  // Fields added later by name (the contact page's) land before "callstack
  // crc", whatever was dropped above.
  header.SetInsertIndex(header.IndexOfField(u"callstack crc"));
  for (const auto& [name, contents] : inputs.additionalFields) header.SetField(name, contents);
}

}  // namespace ostrel
