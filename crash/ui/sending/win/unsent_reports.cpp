#include "crash/ui/sending/win/unsent_reports.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "crash/base/utf.h"
#include "crash/report/file/text_fields.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/sending/unsent_report.h"

namespace ostrel::sending {

namespace {

// A kept report larger than this is not a report of ours.
constexpr DWORD kLargestKept = 64u << 20;

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::u16string FromWide(const wchar_t* s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s));
}

std::u16string FolderOf(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string NameOf(const std::u16string& path) {
  return path.substr(path.find_last_of(u"\\/") + 1);
}

// "%appdata%\<program>\": the place when the report file's folder is
// closed to writing.
std::u16string AppDataFolder() {
  wchar_t appData[MAX_PATH], exe[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return {};
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::u16string program = NameOf(FromWide(exe));
  program = program.substr(0, program.rfind(u'.'));
  return FromWide(appData) + u"\\" + program + u"\\";
}

bool WriteNewFile(const std::u16string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok) DeleteFileW(Wide(path));
  return ok;
}

std::uint64_t UtcFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void FindIn(const std::u16string& folder, const std::u16string& pattern,
            std::vector<std::u16string>& found) {
  if (folder.empty()) return;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(Wide(folder + pattern), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      found.push_back(folder + FromWide(data.cFileName));
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

// The report's file held so that no other instance of the program offers
// it at the same time; it stays on disk until the offer has an answer, so
// a program that ends meanwhile loses nothing.
struct HeldReport {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string bytes;
  ~HeldReport() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  bool Open(const std::u16string& path) {
    file = CreateFileW(Wide(path), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kLargestKept) return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
  }
  void Delete() {
    FILE_DISPOSITION_INFO gone{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
  }
};

// The program's first visible window, waited for up to a few seconds: the
// question belongs in front of it, not before it.
struct WindowSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK TakeProgramWindow(HWND window, LPARAM parameter) {
  auto* s = reinterpret_cast<WindowSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != s->process || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
  s->found = window;
  return FALSE;
}

HWND ProgramWindow() {
  WindowSearch search{GetCurrentProcessId(), nullptr};
  for (int round = 0; round < 40 && !search.found; ++round) {
    EnumWindows(TakeProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(250);
  }
  return search.found;
}

struct Offer {
  DeliveryRequest request;
  std::u16string title;
  ModuleHandle module;
  std::vector<std::u16string> files;
};

DWORD WINAPI OfferThread(void* parameter) {
  std::unique_ptr<Offer> offer(static_cast<Offer*>(parameter));
  const HWND owner = ProgramWindow();
  std::u16string message;
  offer->request.settings->LookupText("UnsentMsg", message);
  for (const std::u16string& path : offer->files) {
    HeldReport held;
    if (!held.Open(path)) continue;
    std::string error;
    const std::optional<UnsentReport> kept = ParseUnsentReport(held.bytes, error);
    // A damaged file stays for whoever wants to look at it.
    if (!kept) continue;
    const int answer =
        MessageBoxW(owner, Wide(UnsentOfferText(message, kept->reason)), Wide(offer->title),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | (owner ? 0 : MB_TOPMOST));
    // A question that could not be shown leaves the report for next time.
    if (answer != IDYES && answer != IDNO) continue;
    held.Delete();
    if (answer != IDYES) continue;
    // On a thread of its own, which the program's end waits for.
    DeliveryRequest q = offer->request;
    q.reportText = kept->text;
    const ModuleHandle module = offer->module;
    const std::u16string report = kept->text;
    q.expand = [module, report](const std::u16string& t) {
      return ExpandPlaceholders(module, t, HeaderField(report, u"exception class"),
                                ReportSection(report, u"error details"), report,
                                HeaderField(report, u"exception message"));
    };
    q.parent = owner;
    q.background = true;
    DeliverReport(std::move(q), nullptr);
  }
  return 0;
}

}  // namespace

bool KeepUnsentReport(const std::u16string& reportFile, const std::u16string& text,
                      const std::string& reason) {
  if (text.empty()) return false;
  const std::uint64_t time = UtcFileTime();
  const std::string bytes = FormatUnsentReport({Utf8ToUtf16(reason), time, text});
  const std::u16string name = UnsentFileName(NameOf(reportFile), time, GetCurrentProcessId());
  const std::u16string folder = FolderOf(reportFile);
  if (!folder.empty() && WriteNewFile(folder + name, bytes)) return true;
  const std::u16string appData = AppDataFolder();
  if (appData.empty()) return false;
  CreateDirectoryW(Wide(appData), nullptr);
  return WriteNewFile(appData + name, bytes);
}

std::vector<std::u16string> FindUnsentReports(const std::u16string& reportFile) {
  const std::u16string pattern = UnsentFilePattern(NameOf(reportFile));
  std::vector<std::u16string> found;
  FindIn(FolderOf(reportFile), pattern, found);
  const std::u16string appData = AppDataFolder();
  if (!appData.empty() && _wcsicmp(Wide(appData), Wide(FolderOf(reportFile))) != 0)
    FindIn(appData, pattern, found);
  // The names carry the time in fixed-width hexadecimal.
  std::sort(found.begin(), found.end(),
            [](const std::u16string& a, const std::u16string& b) { return NameOf(a) < NameOf(b); });
  return found;
}

void OfferUnsentReportsLater(DeliveryRequest request, std::u16string title, ModuleHandle module) {
  if (!request.settings) return;
  std::vector<std::u16string> files = FindUnsentReports(request.reportFile);
  if (files.empty()) return;
  auto* offer = new Offer{std::move(request), std::move(title), module, std::move(files)};
  HANDLE thread = CreateThread(nullptr, 0, OfferThread, offer, 0, nullptr);
  if (thread)
    CloseHandle(thread);
  else
    delete offer;
}

}  // namespace ostrel::sending
