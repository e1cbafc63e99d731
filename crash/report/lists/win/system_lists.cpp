// Collecting the entries of the three lists; the layouts are in
// ../list_text.cpp and ../hardware_list.cpp. Every entry point that a
// system may lack is looked up by name, so that such a system still gets a
// list.
#include "crash/report/lists/win/system_lists.h"

#include <windows.h>
// After windows.h, which they need.
#include <setupapi.h>
#include <tlhelp32.h>

#include <vector>

#include "crash/base/text_case.h"
#include "crash/report/lists/hardware_list.h"
#include "crash/report/lists/list_text.h"
#include "crash/report/lists/long_path.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {

template <class F>
F Lookup(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (!module) module = LoadLibraryW(library);
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

std::u16string FindName(const std::u16string& path) {
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(WidePtr(path), &found);
  if (find == INVALID_HANDLE_VALUE) return {};
  FindClose(find);
  return FromWide(found.cFileName);
}

// The text of a registry value whatever its type, up to the first zero.
std::u16string ReadRegText(HKEY root, const std::u16string& key, const std::u16string& value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, WidePtr(key), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  DWORD size = 0;
  std::u16string text;
  const std::wstring name = Wide(value);
  if (RegQueryValueExW(opened, name.empty() ? nullptr : name.c_str(), nullptr, nullptr, nullptr,
                       &size) == ERROR_SUCCESS &&
      size > 0) {
    std::vector<wchar_t> buffer(size + 2, L'\0');  // twice the size in bytes, zero-filled
    DWORD got = size;
    if (RegQueryValueExW(opened, name.empty() ? nullptr : name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &got) == ERROR_SUCCESS) {
      text = FromWide(buffer.data());
    }
  }
  RegCloseKey(opened);
  return text;
}

void AddProcess(std::vector<ProcessEntry>& list, const std::u16string& path, DWORD id,
                DWORD session) {
  using GetGuiResourcesFn = DWORD(WINAPI*)(HANDLE, DWORD);
  static const auto guiResources = Lookup<GetGuiResourcesFn>(L"user32.dll", "GetGuiResources");
  ProcessEntry e;
  SplitAtLastBackslash(path, e.directory, e.fileName);
  e.processId = id;
  e.sessionId = session;
  if (id != 0) {
    if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id)) {
      e.priorityClass = static_cast<std::int32_t>(GetPriorityClass(process));
      if (guiResources) {
        e.gdiObjects = guiResources(process, 0);
        e.userObjects = guiResources(process, 1);
      }
      CloseHandle(process);
    }
  }
  list.push_back(std::move(e));
}

// The records of SystemProcessInformation, as far as this list reads them.
struct ProcessRecord {
  ULONG nextEntryOffset;
  ULONG threads;
  LARGE_INTEGER reserved[6];
  USHORT nameLength, nameMaximumLength;
  PWSTR name;
  LONG basePriority;
  HANDLE processId;
  HANDLE parentId;
  ULONG handleCount;
  ULONG sessionId;
};

}  // namespace

std::u16string ListModules() {
  std::vector<ModuleEntry> modules;
  MEMORY_BASIC_INFORMATION region{};
  void* previousBase = reinterpret_cast<void*>(1);
  for (std::uintptr_t address = 0;
       VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.AllocationBase != previousBase &&
        region.AllocationBase == region.BaseAddress) {
      wchar_t name[MAX_PATH + 1];
      const DWORD n =
          GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), name, MAX_PATH);
      if (n > 0) {
        const std::u16string path = ExpandShortPath(std::u16string(name, name + n), FindName);
        ModuleEntry e;
        e.handle =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(region.AllocationBase));
        SplitAtLastBackslash(path, e.directory, e.fileName);
        e.version = FormatFileVersion(path);
        modules.push_back(std::move(e));
      }
    }
    previousBase = region.AllocationBase;
    const std::uintptr_t next = address + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return FormatModuleList(modules);
}

std::u16string ListProcesses() {
  std::vector<ProcessEntry> list;
  using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  static const auto query = Lookup<QueryFn>(L"ntdll.dll", "NtQuerySystemInformation");
  static const auto moduleName = [] {
    auto f = Lookup<ModuleNameFn>(L"kernel32.dll", "K32GetModuleFileNameExW");
    return f ? f : Lookup<ModuleNameFn>(L"psapi.dll", "GetModuleFileNameExW");
  }();
  if (!query) return {};
  std::vector<unsigned char> buffer;
  ULONG needed = 0;
  query(5, nullptr, 0, &needed);
  bool ok = false;
  if (needed != 0) {
    buffer.assign(static_cast<std::size_t>(needed) * 2, 0);
    ok = query(5, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) >= 0;
  } else {
    for (ULONG size = 0x20000; size <= 0x400000 && !ok; size *= 2) {
      buffer.assign(size, 0);
      ok = query(5, buffer.data(), size, &needed) >= 0;
    }
  }
  if (!ok) return {};
  wchar_t system[MAX_PATH];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  const std::u16string systemDirectory(system, system + systemLength);
  for (std::size_t offset = 0; offset + sizeof(ProcessRecord) <= buffer.size();) {
    const auto* r = reinterpret_cast<const ProcessRecord*>(buffer.data() + offset);
    const auto id = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(r->processId));
    if (!r->name || r->nameLength == 0) {
      AddProcess(list, u"Idle", id, r->sessionId);
    } else {
      std::u16string path(r->name, r->name + r->nameLength / 2);
      if (moduleName) {
        if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id)) {
          wchar_t name[MAX_PATH + 1];
          const DWORD n = moduleName(process, nullptr, name, MAX_PATH);
          if (n > 0) path = OrdinaryProcessPath(std::u16string(name, name + n), systemDirectory);
          CloseHandle(process);
        }
      }
      AddProcess(list, path, id, r->sessionId);
    }
    if (r->nextEntryOffset == 0) break;
    offset += r->nextEntryOffset;
  }
  return FormatProcessList(list);
}

std::u16string ListHardware() {
  HMODULE setup = LoadLibraryA("setupapi.dll");
  if (!setup) return {};
  using ClassDevsFn = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
  using EnumFn = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
  using PropertyFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);
  using DestroyFn = BOOL(WINAPI*)(HDEVINFO);
  auto get = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(setup, name)); };
  const auto classDevs = reinterpret_cast<ClassDevsFn>(get("SetupDiGetClassDevsW"));
  const auto enumerate = reinterpret_cast<EnumFn>(get("SetupDiEnumDeviceInfo"));
  const auto property = reinterpret_cast<PropertyFn>(get("SetupDiGetDeviceRegistryPropertyW"));
  const auto destroy = reinterpret_cast<DestroyFn>(get("SetupDiDestroyDeviceInfoList"));
  std::vector<HardwareClass> classes;
  if (classDevs && enumerate && property && destroy) {
    HDEVINFO devices = classDevs(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (devices != INVALID_HANDLE_VALUE) {
      SP_DEVINFO_DATA device{};
      device.cbSize = sizeof device;
      auto text = [&](DWORD which) {
        DWORD size = 0;
        property(devices, &device, which, nullptr, nullptr, 0, &size);
        if (size == 0) return std::u16string();
        std::vector<wchar_t> buffer(size + 2, L'\0');
        if (!property(devices, &device, which, nullptr, reinterpret_cast<PBYTE>(buffer.data()),
                      size, nullptr)) {
          return std::u16string();
        }
        return FromWide(buffer.data());
      };
      const std::u16string classRoot = u"System\\CurrentControlSet\\Control\\Class\\";
      for (DWORD i = 0; enumerate(devices, i, &device); ++i) {
        const std::u16string cls = text(SPDRP_CLASS), hardwareId = text(SPDRP_HARDWAREID);
        if (cls == u"LegacyDriver" || cls == u"Unknown" || cls == u"Volume") continue;
        if (StartsWithNoCase(hardwareId, u"sw\\")) continue;
        const std::u16string guid = text(SPDRP_CLASSGUID);
        std::u16string label = ReadRegText(HKEY_LOCAL_MACHINE, classRoot + guid, u"");
        if (label.empty()) label = guid;
        if (label.empty()) continue;
        std::u16string name = text(SPDRP_FRIENDLYNAME);
        if (name.empty()) name = text(SPDRP_DEVICEDESC);
        const std::u16string driver = text(SPDRP_DRIVER);
        const std::u16string driverKey = driver.empty() ? u"" : classRoot + driver;
        // Choice: a device whose driver is marked hidden (characteristics
        // bit 0x08, stored as text of four characters) is left out.
        if (!driverKey.empty()) {
          const std::u16string c = ReadRegText(HKEY_LOCAL_MACHINE, driverKey, u"Characteristics");
          if (c.size() == 4 && (c[0] & 0x08)) continue;
        }
        AddHardwareDevice(classes, label, {name, driverKey});
      }
      destroy(devices);
    }
  }
  FreeLibrary(setup);
  return FormatHardwareList(classes, [](const std::u16string& key, const std::u16string& value) {
    return ReadRegText(HKEY_LOCAL_MACHINE, key, value);
  });
}

}  // namespace ostrel
