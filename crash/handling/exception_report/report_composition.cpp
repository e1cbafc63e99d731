// The bug report of one exception: the header fields gathered from the
// system, each under its own guard, and the sections with their
// placeholders (report_completion.cpp fills them in).
#include <lmcons.h>

#include <algorithm>
#include <atomic>

#include "crash/handling/exception_report/exception_report.h"
#include "crash/report/stack/win/thread_stacks.h"
#include "crash/report/compose/field_formats.h"
#include "crash/report/compose/plugin_registry.h"
#include "crash/report/compose/report_fields_list.h"
#include "crash/report/compose/report_text.h"
#include "crash/report/compose/thread_title.h"
#include "crash/report/lists/win/system_lists.h"
#include "crash/base/short_text.h"
#include "crash/imaging/compression.h"

namespace ostrel {
namespace {

using text::Decimal;

std::u16string U16(const wchar_t* text) { return std::u16string(text, text + lstrlenW(text)); }

std::u16string Two(unsigned value) {
  wchar_t text[8];
  wsprintfW(text, L"%02u", value);
  return U16(text);
}

std::u16string ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::u16string() : std::u16string(path, path + n);
}

std::u16string FileName(const std::u16string& path) {
  return path.substr(path.find_last_of(u'\\') + 1);
}

char16_t DecimalSeparator() {
  wchar_t separator[4] = {};
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) > 1 ? separator[0]
                                                                                : L',';
}

std::u16string RegText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  const LONG result =
      RegQueryValueExW(opened, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS ? U16(buffer) : std::u16string();
}

std::u16string OperatingSystem() {
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  auto get = reinterpret_cast<GetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!get || get(&v) != 0) {
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return {};
  }
  const bool server = v.wProductType != VER_NT_WORKSTATION;
  std::u16string name;
  const DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  if (major <= 3) {
    name = u"Windows NT 3";
  } else if (major == 4) {
    name = u"Windows NT 4";
  } else if (major == 5) {
    name = minor == 0 ? u"Windows 2000" : (minor == 1 || !server) ? u"Windows XP" : u"Windows 2003";
  } else if (major == 6) {
    const char16_t* names[][2] = {{u"Windows Vista", u"Windows 2008"},
                                  {u"Windows 7", u"Windows 2008 R2"},
                                  {u"Windows 8", u"Windows 2012"},
                                  {u"Windows 8.1", u"Windows 2012 R2"}};
    name = minor <= 3 ? names[minor][server ? 1 : 0] : u"Windows NT New";
  } else if (major == 10) {
    name = u"Windows 10";
  } else {
    name = u"Windows NT New";
  }
  if (v.szCSDVersion[0]) name += u" " + U16(v.szCSDVersion);
  return name + u" build " + Decimal(v.dwBuildNumber);
}

bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &admins)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

// Committed private memory outside modules, and the largest free region.
void MemoryWalk(std::uint64_t& allocated, std::uint64_t& largestFree) {
  allocated = largestFree = 0;
  MEMORY_BASIC_INFORMATION r{};
  std::uintptr_t address = 0, freeStart = 0;
  bool inFree = false;
  void* base = nullptr;
  bool baseIsModule = false;
  while (VirtualQuery(reinterpret_cast<void*>(address), &r, sizeof r) == sizeof r) {
    if (r.State == MEM_FREE) {
      if (!inFree) freeStart = address;
      inFree = true;
    } else {
      if (inFree && freeStart != 0)
        largestFree = std::max<std::uint64_t>(largestFree, address - freeStart);
      inFree = false;
      if (r.State == MEM_COMMIT) {
        if (r.AllocationBase != base) {
          base = r.AllocationBase;
          wchar_t name[MAX_PATH];
          baseIsModule = GetModuleFileNameW(static_cast<HMODULE>(base), name, MAX_PATH) > 0;
        }
        if (!baseIsModule) allocated += r.RegionSize;
      }
    }
    const std::uintptr_t next = address + r.RegionSize;
    if (next <= address) break;
    address = next;
  }
  if (inFree && freeStart != 0) {
    largestFree = std::max<std::uint64_t>(largestFree, 0x100000000ull - freeStart);
  }
}

std::atomic<std::uint64_t> exceptionNumber{0};

template <class F>
void Guarded(TReportFields& header, const char16_t* name, F&& probe) {
  try {
    header.SetField(name, probe());
  } catch (...) {
  }
}

}  // namespace

void TExceptionReport::BuildHeader(TReportFields& header) {
  header.EnableInput();
  rt::Runtime& runtime = rt::Runtime::Get();
  const char16_t separator = DecimalSeparator();

  Guarded(header, u"date/time", [&] {
    return Decimal(time_.wYear) + u"-" + Two(time_.wMonth) + u"-" + Two(time_.wDay) + u", " +
           Two(time_.wHour) + u":" + Two(time_.wMinute) + u":" + Two(time_.wSecond) + u", " +
           Decimal(time_.wMilliseconds) + u"ms";
  });
  Guarded(header, u"computer name", [] {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 2] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? U16(name) : std::u16string();
  });
  Guarded(header, u"user name", [] {
    wchar_t name[261] = {};
    DWORD size = 260;
    if (!GetUserNameW(name, &size)) return std::u16string();
    return U16(name) + (IsAdministrator() ? u"  <admin>" : u"");
  });
  Guarded(header, u"registered owner", [] {
    const wchar_t* key = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
    std::u16string owner = RegText(HKEY_LOCAL_MACHINE, key, L"RegisteredOwner");
    const std::u16string organization = RegText(HKEY_LOCAL_MACHINE, key, L"RegisteredOrganization");
    if (!organization.empty()) owner += u" / " + organization;
    return owner;
  });
  Guarded(header, u"operating system", OperatingSystem);
  Guarded(header, u"system language", [] {
    wchar_t language[128] = {};
    return GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, 128) ? U16(language)
                                                                                     : u"";
  });
  Guarded(header, u"system up time", [] {
    LARGE_INTEGER now{}, frequency{};
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) ||
        frequency.QuadPart == 0) {
      return std::u16string();
    }
    return FormatUpTime(now.QuadPart / frequency.QuadPart);
  });
  Guarded(header, u"program up time", [&] {
    const std::int64_t ms = runtime.MillisecondsSinceStart();
    if (ms < 0) return std::u16string();
    const std::u16string text = FormatUpTime(ms / 1000);
    return text.empty() ? Decimal(static_cast<std::uint64_t>(ms)) + u" milliseconds" : text;
  });
  try {
    const wchar_t* cpu0 = L"hardware\\description\\system\\centralProcessor\\0";
    std::u16string name = RegText(HKEY_LOCAL_MACHINE, cpu0, L"ProcessorNameString");
    for (std::size_t at; (at = name.find(u"  ")) != std::u16string::npos;) name.erase(at, 1);
    name = text::Trim(name);
    if (!name.empty()) {
      int count = 1;
      while (count < 16) {
        const std::wstring key =
            L"hardware\\description\\system\\centralProcessor\\" + std::to_wstring(count);
        if (RegText(HKEY_LOCAL_MACHINE, key.c_str(), L"ProcessorNameString").empty()) break;
        ++count;
      }
      if (count == 1) {
        header.SetField(u"processor", name);
      } else {
        header.SetField(u"processors", Decimal(static_cast<std::uint64_t>(count)) + u"x " + name);
      }
    }
  } catch (...) {
  }
  Guarded(header, u"physical memory", [] {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    if (!GlobalMemoryStatusEx(&m)) return std::u16string();
    // A 32-bit process may be told a total clamped to its own reach and the
    // machine's whole free memory (Wine does): free never shows above total.
    const DWORDLONG free = std::min(m.ullAvailPhys, m.ullTotalPhys);
    return Decimal((free + 524288) / 1048576) + u"/" +
           Decimal((m.ullTotalPhys + 524288) / 1048576) + u" MB (free/total)";
  });
  Guarded(header, u"free disk space", [&] {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::u16string exe = ModulePath(nullptr);
    if (windows[0] == L'\\' || exe.empty() || exe[0] == u'\\') return std::u16string();
    auto drive = [&](wchar_t letter) {
      const wchar_t root[] = {static_cast<wchar_t>(towupper(letter)), L':', L'\\', 0};
      ULARGE_INTEGER free{};
      if (!GetDiskFreeSpaceExW(root, nullptr, nullptr, &free)) return std::u16string();
      return u"(" + std::u16string(1, static_cast<char16_t>(root[0])) + u":) " +
             FormatByteSize(free.QuadPart, separator);
    };
    const auto a = static_cast<wchar_t>(towupper(windows[0]));
    const auto b = static_cast<wchar_t>(towupper(static_cast<wchar_t>(exe[0])));
    return a == b ? drive(a) : drive(a) + u" " + drive(b);
  });
  Guarded(header, u"display mode", [] {
    HDC screen = GetDC(nullptr);
    if (!screen) return std::u16string();
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return Decimal(static_cast<std::uint64_t>(GetSystemMetrics(SM_CXSCREEN))) + u"x" +
           Decimal(static_cast<std::uint64_t>(GetSystemMetrics(SM_CYSCREEN))) + u", " +
           Decimal(static_cast<std::uint64_t>(bits)) + u" bit";
  });
  Guarded(header, u"process id", [] { return u"$" + text::Hex(GetCurrentProcessId()); });
  std::uint64_t allocated = 0, largestFree = 0;
  try {
    MemoryWalk(allocated, largestFree);
  } catch (...) {
  }
  Guarded(header, u"allocated memory", [&] { return FormatByteSize(allocated, separator); });
  Guarded(header, u"largest free block", [&] { return FormatByteSize(largestFree, separator); });
  Guarded(header, u"command line", [] {
    int count = 0;
    const wchar_t* line = GetCommandLineW();
    // Only when the program was started with parameters.
    const wchar_t* p = line;
    bool quoted = false;
    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
      if (*p == L'"') quoted = !quoted;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    count = *p ? 1 : 0;
    return count ? U16(line) : std::u16string();
  });
  const HMODULE exeModule = GetModuleHandleW(nullptr);
  const bool inExecutable = runtime.Module() == exeModule;
  const std::u16string modulePath = ModulePath(inExecutable ? exeModule : runtime.Module());
  Guarded(header, u"executable", [&] { return FileName(ModulePath(exeModule)); });
  if (!inExecutable) Guarded(header, u"current module", [&] { return FileName(modulePath); });
  Guarded(header, inExecutable ? u"exec. date/time" : u"module date/time", [&] {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    SYSTEMTIME t{};
    const std::wstring path(modulePath.begin(), modulePath.end());
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &t)) {
      return std::u16string();
    }
    return Decimal(t.wYear) + u"-" + Two(t.wMonth) + u"-" + Two(t.wDay) + u" " + Two(t.wHour) +
           u":" + Two(t.wMinute);
  });
  Guarded(header, u"version", [&] { return FormatFileVersion(modulePath); });
  Guarded(header, u"compiled with", [] {
    return std::u16string(u"GCC ") +
           std::u16string(__VERSION__, __VERSION__ + sizeof __VERSION__ - 1) + u" (mingw-w64)";
  });
  header.SetField(u"Ostrel version", u"4.0.17");
  // Plug-ins without a section of their own: a header field each.
  for (const std::u16string& name : PluginNames(GetText("Plugins"))) {
    const std::optional<ReportPlugin> plugin = ReportPlugins().Find(name);
    if (!plugin || plugin->ownSection) continue;
    try {
      header.SetField(plugin->name, CallReportPlugin(*plugin, this));
    } catch (...) {
      header.SetField(plugin->name, InternalErrorText(u"plugin"));
    }
  }
  header.SetField(u"callstack crc", u"will be calculated soon");
  // Numbered once: the report is composed again when it must be complete.
  if (number_ == 0) number_ = ++exceptionNumber;
  header.SetField(u"exception number", Decimal(number_));
  std::u16string cls, msg;
  ExceptionClassName(cls);
  ExceptionText(msg);
  if (kind_ == ReportKind::Frozen) {
    header.SetField(u"exception message", GetText("FrozenMsg"));
  } else {
    header.SetField(u"exception class", cls);
    header.SetField(u"exception message", ExceptionMessageField(cls, msg));
  }
  // Fields added later by name (the contact page's) land before "callstack
  // crc", whatever was dropped above.
  header.SetInsertIndex(header.IndexOfField(u"callstack crc"));
}

// The sections with their placeholders; the completion fills them in.
void TExceptionReport::BuildSections(TReportFields& sections) {
  sections.EnableInput();
  rt::Runtime& runtime = rt::Runtime::Get();
  // The threads: the exception's (or, for a freeze, the main thread), its
  // inner exceptions, the main thread, then every other thread of the
  // registry.
  const std::vector<rt::ThreadCreator> threads = rt::ThreadCreators();
  const DWORD mainId = runtime.MainThreadId();
  const DWORD first = kind_ == ReportKind::Frozen ? mainId : threadId_;
  const rt::ThreadWalkOptions walkOptions = WalkOptions();
  auto titleInput = [&](DWORD id) {
    ThreadTitleInput t;
    t.threadId = id;
    for (const rt::ThreadCreator& c : threads) {
      if (c.threadId == id) {
        t.name = c.name;
        t.className = c.className;
      }
    }
    return t;
  };
  auto section = [&](DWORD id, int innerLevel, bool exceptionThread, const std::u16string& prefix,
                     const rt::InnerException* inner) {
    try {
      ThreadTitleInput t = titleInput(id);
      t.innerLevel = innerLevel;
      t.showsTheException = exceptionThread;
      if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id)) {
        const int priority = GetThreadPriority(thread);
        t.priority = priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority;
        CloseHandle(thread);
      }
      rt::ThreadWalk w;
      w.threadId = id;
      w.exceptionThread = exceptionThread;
      if (exceptionThread) {
        w.address = inner ? inner->address : address_;
        w.external = inner ? inner->external : description_.external;
        const CONTEXT* context = inner ? &inner->context : hasContext_ ? &context_ : nullptr;
        if (context && context->Esp != 0) {
          w.stackPointer = context->Esp;
          w.framePointer = context->Ebp;
          w.readable = true;
        } else if (stackPointer_ != 0) {
          w.stackPointer = stackPointer_;
          w.framePointer = framePointer_;
          w.readable = true;
        }
        w.prepared = &preparedStack_;
      }
      // The reporter's own threads get no section: they are not suspended
      // for one either (one may hold a lock the handling needs next).
      if (ThreadSectionTitle(t).empty()) return;
      bool suspended = false;
      if (!w.readable) w.readable = rt::ReadThreadState(w, suspended, walkOptions);
      t.suspended = suspended;
      ThreadSection entry;
      for (const rt::ThreadCreator& c : threads) {
        if (c.threadId == id && c.creatorAddress != 0) {
          w.creator = c.creatorAddress;
          ThreadTitleInput creator = titleInput(c.creatorThreadId);
          // The creator is named even when it is one of the reporter's own.
          creator.showsTheException = true;
          if (creator.name == u"-") creator.name.clear();
          entry.creatorTitle = ThreadSectionTitle(creator);
          if (!entry.creatorTitle.empty() && entry.creatorTitle.back() == u':')
            entry.creatorTitle.pop_back();
        }
      }
      entry.title = ThreadSectionTitle(t);
      if (entry.title.empty()) return;
      entry.prefix = prefix;
      entry.innerLevel = innerLevel;
      std::u16string contents;
      if (w.readable) {
        if (exceptionThread && w.address)
          contents = rt::FormatAddress(w.address, walkOptions) + u"\r\n";
        contents += u">> stack will be calculated soon";
      } else {
        contents = u">> stack not accessible";
        if (exceptionThread && w.address)
          contents += u", exception location: \r\n" + rt::FormatAddress(w.address, walkOptions);
      }
      sections.SetField(entry.title, prefix + contents);
      threadSections_.push_back(std::move(entry));
      walks_.push_back(std::move(w));
    } catch (...) {
      sections.SetField(u"thread $" + text::Hex(id) + u":", InternalErrorText(u"GetThreadStack"));
    }
  };
  section(first, 0, true, u"", nullptr);
  int level = 0;
  for (const rt::InnerException& inner : inner_) {
    section(first, ++level, true, u">> " + inner.className + u", " + inner.message + u"\r\n",
            &inner);
  }
  if (mainId != first) section(mainId, 0, false, u"", nullptr);
  if (GetBool("ListThreads")) {
    for (const rt::ThreadCreator& c : threads) {
      if (c.threadId != first && c.threadId != mainId) section(c.threadId, 0, false, u"", nullptr);
    }
  }
  for (const std::u16string& name : PluginNames(GetText("Plugins"))) {
    const std::optional<ReportPlugin> plugin = ReportPlugins().Find(name);
    if (plugin && plugin->ownSection)
      sections.SetField(plugin->name, u">> will be calculated soon");
  }
  if (hasContext_) {
    if (GetBool("CpuRegs")) sections.SetField(u"cpu registers", u">> will be calculated soon");
    if (GetBool("StackDump")) sections.SetField(u"stack dump", u">> will be calculated soon");
  }
  if (GetBool("ShowDisAsm") && address_)
    sections.SetField(u"disassembling", u">> will be calculated soon");
}

rt::ThreadWalkOptions TExceptionReport::WalkOptions() {
  rt::ThreadWalkOptions options;
  options.hideUglyItems = GetBool("HideUglyItems");
  options.showRelativeAddresses = GetBool("ShowRelAddrs");
  options.showRelativeLines = GetBool("ShowRelLines");
  options.whileRegistered = [](DWORD threadId, const std::function<void()>& work) {
    return rt::WhileRegistered(threadId, work);
  };
  options.serviceThread = [](bool start) {
    if (!start) return rt::RemoveThreadEntry(GetCurrentThreadId());
    const std::u16string name = u"Ostrel - StackWalkThread";
    rt::UpdateThreadEntry(GetCurrentThreadId(), nullptr, &name, 0, 0, nullptr);
  };
  options.inPlace = rt::LoaderLockHeldHere();
  return options;
}

}  // namespace ostrel
