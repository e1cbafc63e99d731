#include "crash/report/lists/long_path.h"

namespace ostrel {
namespace {

// "C:" or "\\server\share".
std::size_t DrivePartLength(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':') return 2;
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const std::size_t server = path.find(u'\\', 2);
    if (server == std::u16string::npos) return path.size();
    const std::size_t share = path.find(u'\\', server + 1);
    return share == std::u16string::npos ? path.size() : share;
  }
  return 0;
}

}  // namespace

std::u16string ExpandShortPath(std::u16string path, const FindFileName& find) {
  if (!path.empty() && path.back() == u'\\') path.pop_back();
  const std::size_t drive = DrivePartLength(path);
  std::u16string result;
  while (!path.empty()) {
    const std::size_t slash = path.rfind(u'\\');
    if (drive == 0 || slash == std::u16string::npos || slash < drive) {
      result = path + u"\\" + result;
      break;
    }
    const std::u16string component = path.substr(slash + 1);
    std::u16string name = component;
    if (component.find(u'~') != std::u16string::npos &&
        component.find_first_of(u"*?") == std::u16string::npos && find) {
      const std::u16string found = find(path);
      if (!found.empty()) name = found;
    }
    result = name + u"\\" + result;
    path.resize(slash);
  }
  if (!result.empty() && result.back() == u'\\') result.pop_back();
  return result;
}

}  // namespace ostrel
