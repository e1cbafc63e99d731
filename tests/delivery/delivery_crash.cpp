// The program the delivery test crashes: it reports one exception, which
// the reporter sends automatically by the way the command line names, and
// ends once that delivery is over (the program's end waits for it).
//   delivery_crash smtp PORT [tls|ssl|direct|zip] [ACCOUNT PASSWORD]
//   delivery_crash upload|fogbugz|bugzilla|mantis URL
//   delivery_crash offer yes|no    answers the start's offer of kept reports
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "ostrel/ostrel.h"

namespace {

std::vector<std::u16string> g_args;
DWORD g_mainThread = 0;

std::u16string Arg(std::size_t i) { return i < g_args.size() ? g_args[i] : std::u16string(); }

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

void Configure(ostrel::IExceptionReport* report, bool&) {
  const std::u16string way = Arg(1);
  if (way == u"smtp") {
    const std::u16string mode = Arg(3);
    if (mode == u"direct") {
      report->SetMailAsSmtpServer(true);
    } else {
      // Both files in one archive of that name.
      if (mode == u"zip") {
        report->SetBugRepZip(u"report.zip");
        report->SetScrShotZip(u"report.zip");
      }
      report->SetMailAsSmtpClient(true);
      report->SetSmtpPort(std::stoi(Narrow(Arg(2))));
      report->SetSmtpTls(mode == u"tls");
      report->SetSmtpSsl(mode == u"ssl");
      const std::size_t account = mode.empty() ? 3 : 4;
      report->SetSmtpAccount(Arg(account));
      report->SetSmtpPassword(Arg(account + 1));
    }
    return;
  }
  report->SetHttpServer(Narrow(Arg(2)));
  report->SetBugTrAccount(u"reporter@pelmora.example");
  report->SetBugTrPassword(u"tracker <secret> & co");
  report->SetBugTrProject(u"Pelmora");
  report->SetBugTrArea(u"Crashes");
  if (way == u"upload") report->SetUploadViaHttp(true);
  if (way == u"fogbugz") report->SetFogBugz(true);
  if (way == u"bugzilla") report->SetBugZilla(true);
  if (way == u"mantis") report->SetMantis(true);
}

// A line of its own per message, so that the test reads it whole.
void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

struct OfferSearch {
  DWORD process;
  HWND box;
};

BOOL CALLBACK FindOfferBox(HWND window, LPARAM parameter) {
  auto* s = reinterpret_cast<OfferSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (process == s->process && IsWindowVisible(window) && lstrcmpW(cls, L"#32770") == 0) {
    s->box = window;
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI AnswerOffer(void* answer) {
  OfferSearch search{GetCurrentProcessId(), nullptr};
  for (int i = 0; i < 120 && !search.box; ++i) {
    EnumWindows(FindOfferBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) Sleep(100);
  }
  if (!search.box) {
    Say("offer: none");
  } else {
    wchar_t text[512] = {};
    GetDlgItemTextW(search.box, 0xFFFF, text, 512);
    std::wstring shown = text;
    for (wchar_t& c : shown)
      if (c == L'\r' || c == L'\n') c = L' ';
    Say("offer: " + std::string(shown.begin(), shown.end()));
    const int button = answer ? IDYES : IDNO;
    PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.box, button)));
  }
  // Time for the delivery to start; the program's end waits for it.
  Sleep(3000);
  PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
  return 0;
}

int Offer(bool yes) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DeliveryCrashWindow";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(wc.lpszClassName, L"delivery crash", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                              200, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(window, SW_SHOW);
  g_mainThread = GetCurrentThreadId();
  HANDLE answerer =
      CreateThread(nullptr, 0, AnswerOffer, yes ? reinterpret_cast<void*>(1) : nullptr, 0, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  WaitForSingleObject(answerer, INFINITE);
  CloseHandle(answerer);
  DestroyWindow(window);
  Say("offered");
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; i < count; ++i) g_args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  LocalFree(argv);
  if (Arg(1) == u"offer") return Offer(Arg(2) == u"yes");
  if (g_args.size() < 3) {
    Say("usage: delivery_crash smtp PORT [tls|ssl|direct|zip] [ACCOUNT PASSWORD] | upload URL | "
        "offer");
    return 2;
  }
  ostrel::RegisterExceptionHandler(Configure, ostrel::SyncMode::HandlerThread, 1);
  try {
    throw std::runtime_error("crash for delivery.");
  } catch (...) {
    ostrel::ReportException();
  }
  Say("reported");
  return 0;
}
