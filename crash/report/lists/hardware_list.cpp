#include "crash/report/lists/hardware_list.h"
#include "crash/base/short_text.h"
#include "crash/base/text_case.h"

namespace ostrel {
namespace {

using text::Trim;

}  // namespace

void AddHardwareDevice(std::vector<HardwareClass>& classes, const std::u16string& label,
                       HardwareDevice device) {
  auto at = classes.begin();
  while (at != classes.end() && CompareNoCaseLatin1(at->label, label) < 0) ++at;
  // Labels that differ only in case sit together: the one spelled the same
  // takes the device, wherever it is among them.
  auto same = at;
  while (same != classes.end() && CompareNoCaseLatin1(same->label, label) == 0 &&
         same->label != label)
    ++same;
  if (same != classes.end() && same->label == label) {
    at = same;
  } else {
    at = classes.insert(at, HardwareClass{label, {}});
  }
  auto& devices = at->devices;
  auto before = devices.begin();
  while (before != devices.end() && CompareNoCaseLatin1(before->name, device.name) < 0) ++before;
  devices.insert(before, std::move(device));
}

std::u16string FormatHardwareList(const std::vector<HardwareClass>& classes,
                                  const RegistryText& registry) {
  std::u16string text;
  auto line = [&](const std::u16string& l) {
    if (!text.empty()) text += u"\r\n";
    text += l;
  };
  for (const HardwareClass& c : classes) {
    line(u"+ " + c.label);
    for (const HardwareDevice& d : c.devices) {
      std::u16string entry = u"  - " + d.name;
      if (!d.driverKey.empty() && registry) {
        const std::u16string provider = registry(d.driverKey, u"ProviderName");
        if (!provider.empty() && provider[0] != u'(' &&
            CompareNoCaseLatin1(provider, u"Microsoft") != 0) {
          std::u16string version = registry(d.driverKey, u"DriverVersion");
          if (version.empty()) version = registry(d.driverKey, u"DriverDate");
          version = Trim(version);
          if (!version.empty()) entry += u" (driver " + version + u")";
        }
      }
      line(entry);
    }
  }
  return text;
}

}  // namespace ostrel
