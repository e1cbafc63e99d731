// settings: assistant
// subsystem: windows
// Show setting 1: the group's assistant comes instead of the box; its
// values reach the report, and the program goes on.
// expect exit: 0
// expect within: 120
// expect output: first page: Send Assistant
// expect output: box shown: no
// expect output: main goes on
// expect output: report has contact email: yes
#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/page_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

struct EZooF1 : std::runtime_error {
  EZooF1() : std::runtime_error("shown as an assistant") {}
};

namespace {

void Drive() {
  zoo::PageSeen contact = zoo::WaitForPage(20000, nullptr);
  zoo::Say("first page: %s", contact.title.c_str());
  zoo::Say("box shown: %s", FindWindowW(L"OstrelWndClass", nullptr) ? "yes" : "no");
  zoo::TypeInto(contact, 6, "show@example.com");
  zoo::ClickItem(contact, 0);
  zoo::WaitForPageGone(contact.window, 10000);
  // The F1 group takes no screenshot: two pages.
  zoo::PageSeen details = zoo::WaitForPage(20000, nullptr);
  zoo::TypeInto(details, 4, "nothing much");
  { auto d = zoo::ReadPage(details.window); }
  zoo::ClickItem(details, 0);
}

}  // namespace

int main() {
  DeleteFileW(L"zoo_assistant_report.txt");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Verrick\\ContactForm");
  zoo::Detached(Drive);
  try {
    throw EZooF1();
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  zoo::Say("main goes on");
  std::ifstream in("zoo_assistant_report.txt", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  in.close();
  zoo::Say("report has contact email: %s",
           all.str().find("show@example.com") != std::string::npos ? "yes" : "no");
  DeleteFileW(L"zoo_assistant_report.txt");
}
