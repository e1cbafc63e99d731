#pragma once
// The bug report file on a Windows file system.
#include <windows.h>

#include "crash/report/file/report_save.h"

namespace ostrel {

// Savers of one file, in every process, take turns through a named mutex;
// the file itself is opened unshared, as other tools expect. The new
// content goes to "<file>.saving" and replaces the file once complete.
class TWin32ReportFileStore : public IReportFileStore {
 public:
  ~TWin32ReportFileStore() override;
  bool Open(const std::u16string& path) override;
  bool ReadAll(std::string& out) override;
  bool WriteBeside(const std::string& content) override;
  PlaceOutcome PutInPlace() override;
  void Pause(int milliseconds) override;
  void DiscardBeside() override;
  void Close() override;

 private:
  std::wstring path_, beside_;
  HANDLE turn_ = nullptr, file_ = INVALID_HANDLE_VALUE;
  bool besideWritten_ = false;
};

// Creates the folders of path that are missing; true when its folder exists.
bool CreateFolders(const std::wstring& path);

}  // namespace ostrel
