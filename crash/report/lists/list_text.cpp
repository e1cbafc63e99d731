#include "crash/report/lists/list_text.h"
#include "crash/base/short_text.h"
#include "crash/base/text_case.h"
#include "crash/base/hex.h"

#include <algorithm>

namespace ostrel {
namespace {

using text::Decimal;

void Column(std::u16string& line, const std::u16string& text, std::size_t width) {
  line += text;
  line.append(width - text.size(), u' ');
}

}  // namespace

std::u16string PriorityText(std::int32_t priorityClass) {
  switch (priorityClass) {
    case 0:
    case -1:
      return u"";
    case 32:
      return u"normal";
    case 64:
      return u"idle";
    case 128:
      return u"high";
    case 256:
      return u"realtime";
    case 0x4000:
      return u"below normal";
    case 0x8000:
      return u"above normal";
    default:
      return u"$" + HexText16(static_cast<std::uint32_t>(priorityClass));
  }
}

std::u16string FormatModuleList(const std::vector<ModuleEntry>& modules) {
  std::size_t nameWidth = 0, versionWidth = 0;
  for (const ModuleEntry& m : modules) {
    nameWidth = std::max(nameWidth, m.fileName.size() + 1);
    versionWidth = std::max(versionWidth, m.version.size() + 1);
  }
  std::u16string text;
  for (const ModuleEntry& m : modules) {
    if (!text.empty()) text += u"\r\n";
    text += HexText16(m.handle, 8) + u" ";
    Column(text, m.fileName, nameWidth);
    Column(text, m.version, versionWidth);
    text += m.directory;
  }
  return text;
}

std::u16string FormatProcessList(const std::vector<ProcessEntry>& processes) {
  std::size_t idDigits = 0, nameWidth = 0, sessionWidth = 0, gdiWidth = 0, userWidth = 0,
              priorityWidth = 0;
  bool sessions = false;
  for (const ProcessEntry& p : processes) {
    idDigits = std::max(idDigits, HexText16(p.processId).size());
    nameWidth = std::max(nameWidth, p.fileName.size() + 1);
    if (p.sessionId != 0) {
      sessions = true;
      sessionWidth = std::max(sessionWidth, Decimal(p.sessionId).size() + 1);
    }
    gdiWidth = std::max(gdiWidth, Decimal(p.gdiObjects).size() + 1);
    userWidth = std::max(userWidth, Decimal(p.userObjects).size() + 1);
    priorityWidth = std::max(priorityWidth, PriorityText(p.priorityClass).size() + 1);
  }
  std::u16string text;
  for (const ProcessEntry& p : processes) {
    if (!text.empty()) text += u"\r\n";
    text += HexText16(p.processId, idDigits) + u" ";
    Column(text, p.fileName, nameWidth);
    if (sessions) Column(text, Decimal(p.sessionId), std::max<std::size_t>(sessionWidth, 2));
    Column(text, Decimal(p.gdiObjects), gdiWidth);
    Column(text, Decimal(p.userObjects), userWidth);
    Column(text, PriorityText(p.priorityClass), priorityWidth);
    text += p.directory;
  }
  return text;
}

void SplitAtLastBackslash(const std::u16string& path, std::u16string& directory,
                          std::u16string& fileName) {
  const std::size_t slash = path.rfind(u'\\');
  if (slash == std::u16string::npos) {
    directory.clear();
    fileName = path;
    return;
  }
  directory = path.substr(0, slash);
  fileName = path.substr(slash + 1);
}

std::u16string OrdinaryProcessPath(const std::u16string& path,
                                   const std::u16string& systemDirectory) {
  constexpr std::u16string_view kSystemRoot = u"\\SystemRoot\\System32\\";
  if (StartsWithNoCase(path, kSystemRoot)) {
    return systemDirectory + u"\\" + path.substr(kSystemRoot.size());
  }
  if (path.rfind(u"\\??\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace ostrel
