#include "crash/settings/placeholders.h"
#include "crash/base/text_case.h"
#include "crash/base/utf.h"

#include <cstdio>
#include <functional>

namespace ostrel {

namespace {

// Replaces every occurrence; inserted text is not searched again.
void ReplaceAll(std::u16string& text, std::u16string_view placeholder,
                const std::function<std::u16string()>& value) {
  std::size_t at = FindNoCase(text, placeholder, 0);
  if (at == std::u16string::npos) return;
  const std::u16string v = value();
  while (at != std::u16string::npos) {
    text.replace(at, placeholder.size(), v);
    at = FindNoCase(text, placeholder, at + v.size());
  }
}

std::u16string FileNameOf(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? u"" : path.substr(0, slash));
}

std::u16string Folder(IPlaceholderSystem& system, ShellFolder which) {
  const auto path = system.FolderPath(which);
  if (!path) return {};
  std::u16string p = path->empty() ? FolderOf(system.ModuleFileName(0)) : *path;
  while (p.size() > 1 && (p.back() == u'\\' || p.back() == u'/')) p.pop_back();
  return p;
}

std::u16string Version(IPlaceholderSystem& system, ModuleHandle module) {
  std::u16string v = system.ModuleVersion(module);
  return v.empty() ? u"?" : v;
}

}  // namespace

std::u16string FormatDate(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return AsciiToUtf16(buf);
}

std::u16string FormatTime(const LocalTime& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d, %dms", t.hour, t.minute, t.second, t.millisecond);
  return AsciiToUtf16(buf);
}

std::u16string ExpandPlaceholders(IPlaceholderSystem& system, ModuleHandle module,
                                  std::u16string_view text, std::u16string_view exceptClass,
                                  std::u16string_view errorDetails, std::u16string_view bugReport,
                                  std::u16string_view exceptMsg) {
  std::u16string out(text);
  if (out.find(u'%') == std::u16string::npos) return out;
  ReplaceAll(out, u"%appname%", [&] { return FileNameOf(system.ModuleFileName(0)); });
  ReplaceAll(out, u"%modname%", [&] { return FileNameOf(system.ModuleFileName(module)); });
  ReplaceAll(out, u"%appversion%", [&] { return Version(system, 0); });
  ReplaceAll(out, u"%modversion%", [&] { return Version(system, module); });
  ReplaceAll(out, u"%exceptClass%", [&] { return std::u16string(exceptClass); });
  ReplaceAll(out, u"%exceptMsg%", [&] {
    return exceptMsg.empty() ? std::u16string(u"Unknown") : std::u16string(exceptMsg);
  });
  ReplaceAll(out, u"%bugReport%", [&] { return std::u16string(bugReport); });
  ReplaceAll(out, u"%LF%", [] { return std::u16string(u"\r\n"); });
  // One clock reading serves every date and time in the text.
  std::optional<LocalTime> now;
  auto clock = [&] {
    if (!now) now = system.Now();
    return *now;
  };
  ReplaceAll(out, u"%date%", [&] { return FormatDate(clock()); });
  ReplaceAll(out, u"%time%", [&] { return FormatTime(clock()); });
  ReplaceAll(out, u"%datetime%", [&] { return FormatDate(clock()) + u", " + FormatTime(clock()); });
  ReplaceAll(out, u"%computerName%", [&] { return system.ComputerName(); });
  ReplaceAll(out, u"%os%", [&] { return system.OsDescription(); });
  ReplaceAll(out, u"%errorDetails%", [&] { return std::u16string(errorDetails); });
  ReplaceAll(out, u"%desktop%", [&] { return Folder(system, ShellFolder::Desktop); });
  ReplaceAll(out, u"%userappdata%", [&] { return Folder(system, ShellFolder::UserAppData); });
  ReplaceAll(out, u"%commonappdata%", [&] { return Folder(system, ShellFolder::CommonAppData); });
  return out;
}

}  // namespace ostrel
