// settings: assistant_custom
// pages: custom.page
// symbols: embed
// subsystem: windows
// A page of the program's own, whose OnAction names a routine of the
// program: the routine is found through the symbol information and sees
// the page created, shown, its items' actions, its timer and its closing;
// it fills the memo from the extra button. Standard buttons without Skip
// sit at the right. The values reach the report.
// expect exit: 0
// expect within: 120
// expect output: handler: created CustomForm with 7 items
// expect output: handler: showing
// expect output: page: Custom Assistant|Done||Abort|Pick one:|yes please|Fill in|
// expect output: buttons at the right: yes
// expect output: handler: item Choice
// expect output: handler: item Extra
// expect output: handler: item Note
// expect output: handler: closing with 1
// expect output: report: picked = yes, note = filled in by the handler
// expect output: timer ticked: yes
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/page_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/assistant.h"
#include "ostrel/ostrel.h"

std::atomic<int> g_timerTicks{0};

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Named by the page: found by its unit and name, not by this declaration.
__attribute__((used, noinline)) void OnCustomPage(ostrel::INVForm* page,
                                                  ostrel::AssistantAction action,
                                                  ostrel::INVItem* item,
                                                  ostrel::IExceptionReport*) {
  std::u16string name;
  switch (action) {
    case ostrel::kPageCreated:
      page->PageName(name);
      zoo::Say("handler: created %s with %d items", Narrow(name).c_str(), page->ItemCount());
      break;
    case ostrel::kPageShowing:
      zoo::Say("handler: showing");
      break;
    case ostrel::kItemAction:
      if (!item) {
        ++g_timerTicks;
        break;
      }
      item->ItemName(name);
      zoo::Say("handler: item %s", Narrow(name).c_str());
      if (name == u"Extra") page->FindEdit(u"Note")->SetText(u"filled in by the handler");
      break;
    case ostrel::kPageClosing:
      zoo::Say("handler: closing with %d", page->ModalResult());
      break;
  }
}

namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "|" : "") + parts[i];
  return out;
}

void Drive() {
  zoo::PageSeen page = zoo::WaitForPage(20000, "zoo_assistant_custom.bmp");
  zoo::Say("page: %s|%s", page.title.c_str(), Joined(page.texts).c_str());
  RECT client, done, abort;
  GetClientRect(page.window, &client);
  GetWindowRect(GetDlgItem(page.window, 100), &done);
  GetWindowRect(GetDlgItem(page.window, 102), &abort);
  POINT right{abort.right, abort.top};
  ScreenToClient(page.window, &right);
  zoo::Say("buttons at the right: %s",
           right.x == client.right - 8 && done.right + 8 == abort.left ? "yes" : "no");
  Sleep(500);  // a timer tick or two
  zoo::ClickItem(page, 4);
  Sleep(300);
  zoo::ClickItem(page, 5);
  Sleep(500);
  zoo::ClickItem(page, 0);
  zoo::WaitForPageGone(page.window, 10000);
}

}  // namespace

int main() {
  DeleteFileW(L"zoo_assistant_custom.txt");
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("a page of our own");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  std::ifstream in("zoo_assistant_custom.txt", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  in.close();
  const std::string text = all.str();
  std::string picked, note;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("picked", 0) == 0) picked = line.substr(line.find(':') + 2);
    if (line == "note:" && std::getline(lines, note) && !note.empty() && note.back() == '\r')
      note.pop_back();
  }
  zoo::Say("report: picked = %s, note = %s", picked.c_str(), note.c_str());
  zoo::Say("timer ticked: %s", g_timerTicks > 0 ? "yes" : "no");
  DeleteFileW(L"zoo_assistant_custom.txt");
}
