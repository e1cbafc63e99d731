// settings: assistant
// subsystem: windows
// Send in the exception box runs the send assistant: the contact page with
// its address check, the details page, the screenshot page; the values end
// up in the report saved once the box closed.
// expect exit: 0
// expect within: 120
// expect output: action 0
// expect output: screenshot taken: yes
// expect output: contact: Send Assistant|Continue|Skip|Cancel|your name:||your email:||remember me
// expect output: contact continue: no, skip: no, focus: 4
// expect output: with a bad address continue: no
// expect output: with a good address continue: yes
// expect output: tab from the name goes to: 6
// expect output: details: Continue|Skip|Cancel|what were you doing when the error occurred?|
// expect output: details continue: no, skip: yes
// expect output: enter in the memo kept the page: yes
// expect output: screenshot: Continue|Skip|Cancel|attach a screenshot to the bug report||(click to edit image)
// expect output: screenshot focus: 0
// expect output: enter on the check box moves to: 0
// expect output: action 3
// expect output: action 11
// expect output: attach screenshot: no
// expect output: contact name: Ann Lee
// expect output: contact email before callstack crc: yes
// expect output: error details: I pressed <save> & it|crashed %s twice
#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/page_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "|" : "") + parts[i];
  return out;
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport* report, bool&) {
  if (action == ostrel::kActionSend)
    zoo::Say("screenshot taken: %s", YesNo(report->MakeScreenShot()));
  if (action == ostrel::kActionContinue)
    zoo::Say("attach screenshot: %s", YesNo(report->AttachScreenShot()));
}

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(box, "send bug report");

  zoo::PageSeen contact = zoo::WaitForPage(20000, "zoo_assistant_contact.bmp");
  zoo::Say("contact: %s|%s", contact.title.c_str(), Joined(contact.texts).c_str());
  zoo::Say("contact continue: %s, skip: %s, focus: %d", YesNo(contact.enabled[0]),
           YesNo(contact.enabled[1]), contact.focused);
  zoo::TypeInto(contact, 6, "ann at example");
  zoo::Say("with a bad address continue: %s", YesNo(zoo::ReadPage(contact.window).enabled[0]));
  zoo::TypeInto(contact, 6, "ann@example.com");
  zoo::Say("with a good address continue: %s", YesNo(zoo::ReadPage(contact.window).enabled[0]));
  zoo::TypeInto(contact, 4, "Ann Lee");
  zoo::PressPageKey(contact, VK_TAB);
  Sleep(300);
  zoo::Say("tab from the name goes to: %d", zoo::ReadPage(contact.window).focused);
  zoo::ClickItem(contact, 0);
  zoo::WaitForPageGone(contact.window, 10000);

  zoo::PageSeen details = zoo::WaitForPage(20000, "zoo_assistant_details.bmp");
  zoo::Say("details: %s", Joined(details.texts).c_str());
  zoo::Say("details continue: %s, skip: %s", YesNo(details.enabled[0]), YesNo(details.enabled[1]));
  zoo::TypeInto(details, 4, "I pressed <save> & it\r\ncrashed %s");
  // Enter in a nine-line edit is a new line, not a move.
  zoo::PressPageKey(details, VK_RETURN);
  Sleep(300);
  zoo::Say("enter in the memo kept the page: %s", YesNo(IsWindow(details.window) != FALSE));
  zoo::TypeInto(details, 4, "I pressed <save> & it\r\ncrashed %s twice");
  zoo::ClickItem(details, 0);
  zoo::WaitForPageGone(details.window, 10000);

  zoo::PageSeen shot = zoo::WaitForPage(20000, "zoo_assistant_screenshot.bmp");
  zoo::Say("screenshot: %s", Joined(shot.texts).c_str());
  zoo::Say("screenshot focus: %d", shot.focused);
  zoo::ClickItem(shot, 3);  // leave the screenshot out
  Sleep(300);
  // Enter on a check box moves on (past the image and the label, round to
  // Continue); on a button it presses it.
  zoo::PressPageKey(shot, VK_RETURN);
  Sleep(300);
  zoo::Say("enter on the check box moves to: %d", zoo::ReadPage(shot.window).focused);
  zoo::PressPageKey(shot, VK_RETURN);
  zoo::WaitForPageGone(shot.window, 10000);

  Sleep(500);
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

}  // namespace

int main() {
  DeleteFileW(L"zoo_assistant_report.txt");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Verrick\\ContactForm");
  zoo::Watch();
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("sent through the assistant");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  std::ifstream in("zoo_assistant_report.txt", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  in.close();
  std::string line, previous, name, details;
  bool emailBeforeCrc = false, inDetails = false;
  std::istringstream lines(all.str());
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find("contact name") != std::string::npos) name = line.substr(line.find(':') + 2);
    if (line.find("callstack crc") != std::string::npos)
      emailBeforeCrc = previous.find("contact email") != std::string::npos &&
                       previous.find("ann@example.com") != std::string::npos;
    if (inDetails && !line.empty() && line.find("---") == std::string::npos)
      details += (details.empty() ? "" : "|") + line;
    if (line.find("error details") != std::string::npos)
      inDetails = true;
    else if (inDetails && line.empty() && !details.empty())
      inDetails = false;
    previous = line;
  }
  zoo::Say("contact name: %s", name.c_str());
  zoo::Say("contact email before callstack crc: %s", YesNo(emailBeforeCrc));
  zoo::Say("error details: %s", details.c_str());
  DeleteFileW(L"zoo_assistant_report.txt");
}
