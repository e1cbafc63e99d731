#include "support/goldmine_sim.h"

namespace e2e {

std::wstring GoldMineFolder() { return ExeFolder() + L"goldmine\\"; }

bool GoldMineSim::Start(const std::wstring& dataFolder, const std::wstring& extraArgs) {
  dataFolder_ = dataFolder;
  // Each run reads its own events, not an earlier run's in the same folder.
  DeleteFileW((dataFolder + L"sim-events.log").c_str());
  const std::wstring cmd =
      L"\"" + GoldMineFolder() + L"gmw.exe\" --data \"" + dataFolder + L"\" " + extraArgs;
  if (!process_.Start(cmd)) return false;
  window_ = WaitForTopLevel(L"GoldMineSimMain", nullptr, process_.Id(), 180000);
  return window_ != nullptr;
}

void GoldMineSim::Stop() {
  if (window_) Command("quit");
  if (process_.Wait(20000) == STILL_ACTIVE) process_.Kill();
  window_ = nullptr;
}

bool GoldMineSim::Command(const std::string& text) {
  COPYDATASTRUCT cds{};
  cds.dwData = 0x474D;
  cds.cbData = static_cast<DWORD>(text.size());
  cds.lpData = const_cast<char*>(text.data());
  DWORD_PTR result = 0;
  // Not SMTO_ABORTIFHUNG: a stand-in still loading its seed on a loaded
  // machine looks hung after 5 s and the command would fail at once.
  if (!SendMessageTimeoutW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL,
                           60000, &result))
    return false;
  return result == 1;
}

std::vector<std::string> GoldMineSim::Events() const {
  return ReadLines(dataFolder_ + L"sim-events.log");
}

int GoldMineSim::CountEvents(const std::string& line) const {
  int n = 0;
  for (const auto& e : Events()) n += e == line ? 1 : 0;
  return n;
}

bool GoldMineSim::HasEvent(const std::string& line) const {
  for (const auto& e : Events())
    if (e == line) return true;
  return false;
}

}  // namespace e2e
