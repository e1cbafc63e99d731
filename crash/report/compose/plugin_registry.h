#pragma once
// The registry of report plug-ins: named callbacks whose text becomes a
// section of its own (the module, process and hardware lists) or one
// header field. The `Plugins` setting names the ones a report carries.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

struct ReportPlugin {
  std::u16string name, description;
  // One of these is set; the first present is called, in this order.
  std::function<std::string()> bytes;  // 8-bit text, read as Latin-1
  std::function<std::u16string()> text;
  std::function<std::string(void* report)> bytesForReport;
  std::function<std::u16string(void* report)> textForReport;
  bool ownSection = true;
};

class TReportPlugins {
 public:
  // Appended at the end.
  void Add(ReportPlugin plugin);
  // The first entry of exactly that name; later entries move up.
  bool Remove(const std::u16string& name);
  // The first registered plug-in of the name, matched without regard to case.
  std::optional<ReportPlugin> Find(const std::u16string& name) const;
  std::size_t Count() const;

 private:
  mutable std::mutex lock_;
  std::vector<ReportPlugin> plugins_;
};

// The process's registry.
TReportPlugins& ReportPlugins();

// The plug-in's text; throws what its callback throws, and
// std::invalid_argument when it has no callback.
std::u16string CallReportPlugin(const ReportPlugin& plugin, void* report);

// The names of a `Plugins` value, split at "|", empty names dropped.
std::vector<std::u16string> PluginNames(const std::u16string& list);

// The header fields of the plug-ins named in `list` (a `Plugins` value)
// that have no section of their own, in the list's order. A plug-in whose
// callback throws adds no field.
std::vector<std::pair<std::u16string, std::u16string>> PluginHeaderFields(
    const TReportPlugins& plugins, const std::u16string& list, void* report);

}  // namespace ostrel
