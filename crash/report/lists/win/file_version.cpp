#include <windows.h>

#include <vector>

#include "crash/report/lists/win/system_lists.h"
#include "crash/base/short_text.h"

namespace ostrel {

std::u16string FormatFileVersion(const std::u16string& file) {
  const std::wstring path(file.begin(), file.end());
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
      (fixed->dwFileVersionMS || fixed->dwFileVersionLS)) {
    wchar_t text[64];
    wsprintfW(text, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return std::u16string(text, text + lstrlenW(text));
  }
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      !translation || length < sizeof(Translation)) {
    return {};
  }
  wchar_t key[64];
  wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileVersion", translation->language,
            translation->codePage);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &length) || !value) {
    return {};
  }
  return text::Trim(std::u16string(value, value + lstrlenW(value)));
}

}  // namespace ostrel
