// The one DDE client conversation with GoldMine (service "GoldMine", topic
// "Data").
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

namespace pelmora {

class DdeConversation {
 public:
  DdeConversation() = default;
  ~DdeConversation();
  DdeConversation(const DdeConversation&) = delete;
  DdeConversation& operator=(const DdeConversation&) = delete;

  // Opens the conversation once; a missing server leaves it closed for good.
  void Open(const char* service, const char* topic);
  bool IsOpen() const { return conv_ != nullptr; }

  // Text of the item up to its first zero byte; empty on any failure.
  std::string Request(const std::string& item, DWORD timeoutMs = 10000);

 private:
  DWORD instance_ = 0;
  HCONV conv_ = nullptr;
};

}  // namespace pelmora
