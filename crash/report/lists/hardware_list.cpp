#include "crash/report/lists/hardware_list.h"
#include "crash/base/short_text.h"

namespace ostrel {
namespace {

using text::Trim;

char16_t Fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

// Negative, 0 or positive, as a is before, equal to or after b.
int Compare(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

void AddHardwareDevice(std::vector<HardwareClass>& classes, const std::u16string& label,
                       HardwareDevice device) {
  auto at = classes.begin();
  while (at != classes.end() && Compare(at->label, label) < 0) ++at;
  // Labels that differ only in case sit together: the one spelled the same
  // takes the device, wherever it is among them.
  auto same = at;
  while (same != classes.end() && Compare(same->label, label) == 0 && same->label != label) ++same;
  if (same != classes.end() && same->label == label) {
    at = same;
  } else {
    at = classes.insert(at, HardwareClass{label, {}});
  }
  auto& devices = at->devices;
  auto before = devices.begin();
  while (before != devices.end() && Compare(before->name, device.name) < 0) ++before;
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
        if (!provider.empty() && provider[0] != u'(' && Compare(provider, u"Microsoft") != 0) {
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
