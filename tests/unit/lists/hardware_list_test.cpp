#include "crash/report/lists/hardware_list.h"

#include <gtest/gtest.h>

#include <map>

namespace ostrel {
namespace {

TEST(HardwareList, ClassesAndDevicesStaySortedAndNothingIsMerged) {
  std::vector<HardwareClass> classes;
  AddHardwareDevice(classes, u"Ports", {u"COM1", u""});
  AddHardwareDevice(classes, u"Display adapters", {u"Video", u""});
  AddHardwareDevice(classes, u"ports", {u"COM9", u""});  // another class: case differs
  AddHardwareDevice(classes, u"Ports", {u"COM1", u""});  // the same name twice stays twice,
  // and in the class spelled the same, not a new one beside "ports"
  AddHardwareDevice(classes, u"Ports", {u"Com", u""});  // a prefix goes first
  // \u00c4 folds to \u00e4: "\u00e4lter" comes before "\u00c4rger".
  AddHardwareDevice(classes, u"Disk", {u"\u00c4rger", u""});
  AddHardwareDevice(classes, u"Disk", {u"\u00e4lter", u""});
  const std::u16string text = FormatHardwareList(classes, nullptr);
  EXPECT_EQ(text,
            u"+ Disk\r\n  - \u00e4lter\r\n  - \u00c4rger\r\n"
            u"+ Display adapters\r\n  - Video\r\n"
            u"+ ports\r\n  - COM9\r\n"
            u"+ Ports\r\n  - Com\r\n  - COM1\r\n  - COM1");
  EXPECT_EQ(FormatHardwareList({}, nullptr), u"");
}

TEST(HardwareList, DriverVersionsOnlyFromOtherProviders) {
  std::map<std::u16string, std::map<std::u16string, std::u16string>> registry = {
      {u"k\\vendor", {{u"ProviderName", u"Acme"}, {u"DriverVersion", u" 1.2.3 "}}},
      {u"k\\dated", {{u"ProviderName", u"Acme"}, {u"DriverDate", u"6-21-2006"}}},
      {u"k\\ms", {{u"ProviderName", u"microsoft"}, {u"DriverVersion", u"10.0"}}},
      {u"k\\paren", {{u"ProviderName", u"(Standard)"}, {u"DriverVersion", u"1"}}},
      {u"k\\none", {{u"ProviderName", u"Acme"}}},
  };
  auto read = [&](const std::u16string& key, const std::u16string& value) {
    return registry[key][value];
  };
  std::vector<HardwareClass> classes;
  for (const char16_t* key : {u"k\\vendor", u"k\\dated", u"k\\ms", u"k\\paren", u"k\\none"}) {
    AddHardwareDevice(classes, u"C", {key, key});
  }
  AddHardwareDevice(classes, u"C", {u"nokey", u""});
  EXPECT_EQ(FormatHardwareList(classes, read),
            u"+ C\r\n  - k\\dated (driver 6-21-2006)\r\n  - k\\ms\r\n  - k\\none\r\n"
            u"  - k\\paren\r\n  - k\\vendor (driver 1.2.3)\r\n  - nokey");
}

}  // namespace
}  // namespace ostrel
