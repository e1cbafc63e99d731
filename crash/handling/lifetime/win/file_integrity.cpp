// The start-up integrity check of the reporter's module file and of its
// settings' module (CheckFileCrc): a file on disk that no longer matches the
// checksum the build stamped into it is reported, and an executable ends.
#include "crash/handling/lifetime/win/file_integrity.h"

#include <string>
#include <vector>

#include "crash/base/win/wide_text.h"
#include "crash/handling/lifetime/image_checksum.h"

namespace ostrel::rt {
namespace {

std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A file that cannot be read is not judged: the check looks for damage,
// and an unreadable file says nothing about that.
bool ModuleFileIsSound(HMODULE module) {
  const std::wstring path = ModulePath(module);
  if (path.empty()) return true;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  bool sound = true;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.HighPart == 0) {
    if (HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
      if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
        const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(view),
                                                  static_cast<std::size_t>(size.QuadPart));
        sound = integrity::CheckImage(bytes) != integrity::Verdict::Corrupt;
        UnmapViewOfFile(view);
      }
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
  return sound;
}

}  // namespace

void CheckModuleFiles(const ComPtr<IReporterModuleSettings>& settings, HMODULE reporter) {
  if (!settings || !settings->Enabled() || !settings->CheckFileCrc()) return;
  const auto owner = reinterpret_cast<HMODULE>(settings->OwnerModule());
  std::vector<HMODULE> modules{reporter};
  if (owner && owner != reporter) modules.push_back(owner);
  for (HMODULE module : modules) {
    if (ModuleFileIsSound(module)) continue;
    std::u16string text;
    if (ComPtr<ISettingsLookup> lookup = settings.As<ISettingsLookup>(kIidSettingsLookup)) {
      lookup->LookupText("BitFaultMsg", text);
    }
    const std::wstring wide = Wide(text);
    MessageBoxW(nullptr, wide.c_str(), nullptr, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    if (reporter == GetModuleHandleW(nullptr)) ExitProcess(0);
    return;
  }
}

}  // namespace ostrel::rt
