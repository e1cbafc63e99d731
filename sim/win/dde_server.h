#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace pelmora::sim {

// A DDE server for service "GoldMine", topic "Data", speaking the raw
// WM_DDE_* messages: Wine's DDEML server acknowledges its own data messages
// once too often, which makes every second request of a client fail.
class DdeServer {
 public:
  // The reply (UTF-8) to a requested item, or nothing for an unknown item.
  using Replier = std::function<std::optional<std::string>(const std::string& item)>;

  DdeServer() = default;
  DdeServer(const DdeServer&) = delete;
  DdeServer& operator=(const DdeServer&) = delete;
  ~DdeServer();

  bool Create(HINSTANCE instance, Replier replier);
  // Stopped: every request is refused at once, and no new conversation is
  // accepted, so clients see empty replies without waiting.
  void SetStopped(bool stopped) { stopped_ = stopped; }
  bool Stopped() const { return stopped_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Initiate(HWND client, ATOM app, ATOM topic);
  void Request(HWND client, UINT format, ATOM item);
  void Refuse(HWND client, UINT message, LPARAM lparam);

  HWND hwnd_ = nullptr;
  Replier replier_;
  bool stopped_ = false;
  ATOM service_ = 0;
  ATOM topic_ = 0;
  std::set<HWND> clients_;
};

}  // namespace pelmora::sim
