#include "crash/ui/delivery/attachment_plan.h"

#include "crash/base/text_case.h"

namespace ostrel::delivery {

AttachmentSpec CompleteAttachment(AttachmentSpec item) {
  if (item.sendAs.empty()) item.sendAs = item.file.substr(item.file.find_last_of(u"\\/") + 1);
  if (item.field.empty()) item.field = item.sendAs.substr(0, item.sendAs.rfind(u'.'));
  return item;
}

AttachmentPlan PlanAttachments(const std::vector<AttachmentSpec>& items,
                               const std::u16string& tempFolder,
                               const std::function<bool(const std::u16string&)>& exists) {
  AttachmentPlan plan;
  std::vector<std::u16string> archiveNames;
  for (const AttachmentSpec& raw : items) {
    if (raw.file.empty() || !exists(raw.file)) continue;
    const AttachmentSpec item = CompleteAttachment(raw);
    if (item.zip.empty()) {
      plan.files.push_back({item.file, item.sendAs, item.field, -1});
      continue;
    }
    std::size_t at = 0;
    while (at < archiveNames.size() && !EqualsNoCase(archiveNames[at], item.zip)) ++at;
    if (at == archiveNames.size()) {
      archiveNames.push_back(item.zip);
      plan.archives.push_back({tempFolder + item.zip, {}, {}});
      plan.files.push_back({tempFolder + item.zip, item.zip, item.zip, static_cast<int>(at)});
    }
    plan.archives[at].files.push_back(item.file);
    plan.archives[at].names.push_back(item.sendAs);
  }
  return plan;
}

}  // namespace ostrel::delivery
