#pragma once
// A submission as delivery would make it from a report whose text holds
// the characters XML is most particular about.
#include "crash/ui/upload/tracker_entry.h"

namespace ostrel::upload::test {

inline TrackerEntry SampleEntry() {
  TrackerEntry e;
  e.title = u"Pelmora, Access violation at <0x0040A1B2> & more";
  e.description =
      u"error details: \r\nuser <admin> is <suspended> & job at <priority:2>\r\n"
      u"\"quoted\" 'single' \u00e9\u20ac\r\n";
  e.project = u"pelmora";
  e.area = u"crashes";
  e.assignTo = u"Ann Lee";
  e.version = u"1.1";
  e.computerName = u"DESK-7";
  e.operatingSystem = u"Windows 10 x64 build 19045";
  e.callstackCrc = u"$1A2B3C4D, $5E6F7081, $92A3B4C5";
  e.sender = u"Ostrel <support@example.com>";
  e.files = {{u"BugReport", u"bugreport.txt", "report <admin>\r\n"},
             {u"Empty", u"empty.txt", ""},
             {u"ScreenShot", u"screenshot.png", std::string("\x89PNG\r\n\x1a\n\0\xff", 10)}};
  return e;
}

}  // namespace ostrel::upload::test
