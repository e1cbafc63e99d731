#include "crash/report/compose/plugin_registry.h"

#include <stdexcept>

#include "crash/report/compose/report_fields_list.h"
#include "ostrel/ostrel.h"
#include "crash/base/utf.h"

namespace ostrel {
void TReportPlugins::Add(ReportPlugin plugin) {
  std::lock_guard<std::mutex> hold(lock_);
  plugins_.push_back(std::move(plugin));
}

bool TReportPlugins::Remove(const std::u16string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = plugins_.begin(); it != plugins_.end(); ++it) {
    if (it->name == name) {
      plugins_.erase(it);
      return true;
    }
  }
  return false;
}

std::optional<ReportPlugin> TReportPlugins::Find(const std::u16string& name) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const ReportPlugin& p : plugins_) {
    if (SameFieldName(p.name, name)) return p;
  }
  return std::nullopt;
}

std::size_t TReportPlugins::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return plugins_.size();
}

TReportPlugins& ReportPlugins() {
  static TReportPlugins registry;
  return registry;
}

std::u16string CallReportPlugin(const ReportPlugin& plugin, void* report) {
  if (plugin.bytes) return AsciiToUtf16(plugin.bytes());
  if (plugin.text) return plugin.text();
  if (plugin.bytesForReport) return AsciiToUtf16(plugin.bytesForReport(report));
  if (plugin.textForReport) return plugin.textForReport(report);
  throw std::invalid_argument("report plug-in without a callback");
}

std::vector<std::u16string> PluginNames(const std::u16string& list) {
  std::vector<std::u16string> names;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t bar = list.find(u'|', start);
    if (bar == std::u16string::npos) bar = list.size();
    if (bar > start) names.push_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  return names;
}

std::vector<std::pair<std::u16string, std::u16string>> PluginHeaderFields(
    const TReportPlugins& plugins, const std::u16string& list, void* report) {
  std::vector<std::pair<std::u16string, std::u16string>> fields;
  for (const std::u16string& name : PluginNames(list)) {
    const std::optional<ReportPlugin> plugin = plugins.Find(name);
    if (!plugin || plugin->ownSection) continue;
    try {
      fields.emplace_back(plugin->name, CallReportPlugin(*plugin, report));
    } catch (...) {
    }
  }
  return fields;
}

void AddReportPlugin(const std::u16string& name, const std::u16string& description,
                     std::u16string (*callback)(), bool ownSection) {
  ReportPlugin plugin;
  plugin.name = name;
  plugin.description = description;
  if (callback) plugin.text = callback;
  plugin.ownSection = ownSection;
  ReportPlugins().Add(std::move(plugin));
}

bool RemoveReportPlugin(const std::u16string& name) { return ReportPlugins().Remove(name); }

}  // namespace ostrel
