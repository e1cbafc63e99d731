// The GoldMine stand-in as the end-to-end tests use it: started with a data
// folder, steered with control commands, watched through its event log.
#pragma once

#include <string>
#include <vector>

#include "support/gui_driver.h"

namespace e2e {

class GoldMineSim {
 public:
  // Starts gmw.exe with the data folder and extra arguments; waits for it.
  bool Start(const std::wstring& dataFolder, const std::wstring& extraArgs);
  void Stop();
  // A control command ("select ACC", "stop", ...); true when it was done.
  bool Command(const std::string& text);
  std::vector<std::string> Events() const;
  bool HasEvent(const std::string& line) const;
  int CountEvents(const std::string& line) const;
  const std::wstring& DataFolder() const { return dataFolder_; }

 private:
  Process process_;
  HWND window_ = nullptr;
  std::wstring dataFolder_;
};

// The program folder of the stand-in in this build (bin\goldmine\).
std::wstring GoldMineFolder();

}  // namespace e2e
