#pragma once
// Saving a report into the bug report file without ever losing what the
// file held: the new content is written beside the file and only a
// complete, flushed copy takes the file's place.
#include <string>

#include "crash/report/file/report_file.h"

namespace ostrel {

// How putting the new copy in the file's place went.
enum class PlaceOutcome {
  Placed,
  // Another process (a viewer, a virus scanner) has the file open for a
  // moment: trying again later may succeed.
  Busy,
  Failed,
};

// The file system as a save sees it; the Win32 one is in win/.
class IReportFileStore {
 public:
  virtual ~IReportFileStore() = default;
  // Opens the file for this save alone (no other saver meanwhile), creating
  // it and its folders when absent. False when it cannot.
  virtual bool Open(const std::u16string& path) = 0;
  virtual bool ReadAll(std::string& out) = 0;
  // Writes content to a new file beside the open one and flushes it.
  virtual bool WriteBeside(const std::string& content) = 0;
  // Puts the file written beside in the open file's place. Anything but
  // Placed leaves the file and the copy beside it as they were, so that it
  // can be called again.
  virtual PlaceOutcome PutInPlace() = 0;
  // Waits between two tries of PutInPlace.
  virtual void Pause(int milliseconds) = 0;
  // Removes what WriteBeside left, if anything.
  virtual void DiscardBeside() = 0;
  virtual void Close() = 0;
};

struct SaveOutcome {
  bool saved = false;
  std::u16string path;  // where it went (or was tried last)
  int count = 0;        // the report's "count"; 0 when it repeats none
};

// A file held open by another process is tried this often, about a second
// in all, before the save fails.
constexpr int kPlaceTries = 10;
constexpr int kPlacePauseMs = 110;

// Saves report into path, or into fallback when path cannot be opened and a
// fallback is given.
SaveOutcome SaveReport(IReportFileStore& store, const std::u16string& path,
                       const std::u16string& fallback, const std::u16string& report,
                       const ReportFileRules& rules);

}  // namespace ostrel
