#include "crash/report/file/report_path.h"

namespace ostrel {

std::u16string AbsoluteReportPath(std::u16string_view name, std::u16string_view exeFolder) {
  std::u16string path;
  const bool drive = name.size() >= 2 && name[1] == u':';
  const bool rooted = !name.empty() && name[0] == u'\\';
  if (name.size() < 3 || (!rooted && !drive)) {
    path = std::u16string(exeFolder) + std::u16string(name);
  } else if (rooted && !(name.size() >= 2 && name[1] == u'\\')) {
    path =
        std::u16string(exeFolder.substr(0, exeFolder.size() >= 2 && exeFolder[1] == u':' ? 2 : 0)) +
        std::u16string(name);
  } else {
    path = std::u16string(name);
  }
  for (std::size_t at; (at = path.find(u"\\.\\")) != std::u16string::npos;) path.erase(at, 2);
  for (std::size_t at; (at = path.find(u"\\..\\")) != std::u16string::npos;) {
    const std::size_t folder = at == 0 ? std::u16string::npos : path.rfind(u'\\', at - 1);
    if (folder == std::u16string::npos) {
      path.erase(at, 3);  // nothing above to remove: only the "\.."
      continue;
    }
    path.erase(folder, at + 3 - folder);
  }
  return path;
}

}  // namespace ostrel
