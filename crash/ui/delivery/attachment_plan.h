#pragma once
// Which files a delivery sends: the attachment list turned into the files,
// the names the recipient sees and the upload form fields, with the items
// that share an archive name packed into one zip archive.

#include <functional>
#include <string>
#include <vector>

#include "ostrel/settings_lists.h"

namespace ostrel::delivery {

struct PlannedArchive {
  std::u16string path;  // in the temporary folder
  std::vector<std::u16string> files, names;
};

struct PlannedFile {
  std::u16string path, sendAs, field;
  int archive = -1;  // index into archives: the file is that archive
};

struct AttachmentPlan {
  std::vector<PlannedFile> files;
  std::vector<PlannedArchive> archives;
};

// An item with an empty AttachName gets its path's file name; an empty
// FormField the AttachName without its extension.
AttachmentSpec CompleteAttachment(AttachmentSpec item);

// Items whose file does not exist are skipped; the first item of an
// archive name (without regard to case) stands for all of them.
AttachmentPlan PlanAttachments(const std::vector<AttachmentSpec>& items,
                               const std::u16string& tempFolder,
                               const std::function<bool(const std::u16string&)>& exists);

}  // namespace ostrel::delivery
