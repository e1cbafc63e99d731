// The zoo's mail program for mailto: links: keeps its command line in
// "mailto_link.txt" beside it.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"mailto_link.txt";
  const wchar_t* line = GetCommandLineW();
  const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
  if (std::FILE* out = _wfopen(path.c_str(), L"wb")) {
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fclose(out);
  }
  return 0;
}
