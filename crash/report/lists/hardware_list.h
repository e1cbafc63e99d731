#pragma once
// The installed hardware as report text: device classes in order of their
// labels, each with its devices in order of their names.
#include <functional>
#include <string>
#include <vector>

namespace ostrel {

struct HardwareDevice {
  std::u16string name;
  std::u16string driverKey;  // below HKEY_LOCAL_MACHINE; empty: no driver entry
};

struct HardwareClass {
  std::u16string label;
  std::vector<HardwareDevice> devices;
};

// Keeps both lists sorted: names compared without regard to case (letters
// below 256 folded), a prefix before the longer name. A class whose label
// differs only in case is a class of its own.
void AddHardwareDevice(std::vector<HardwareClass>& classes, const std::u16string& label,
                       HardwareDevice device);

// Reads a text value of a key below HKEY_LOCAL_MACHINE; empty when absent.
using RegistryText =
    std::function<std::u16string(const std::u16string& key, const std::u16string& value)>;

// "+ label" lines, each followed by "  - name" lines; a device whose driver
// comes from a provider other than Microsoft gets " (driver <version>)".
std::u16string FormatHardwareList(const std::vector<HardwareClass>& classes,
                                  const RegistryText& registry);

}  // namespace ostrel
