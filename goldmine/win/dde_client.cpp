#include "goldmine/win/dde_client.h"

#include <vector>

namespace pelmora {

namespace {
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}
}  // namespace

DdeConversation::~DdeConversation() {
  if (conv_) DdeDisconnect(conv_);
  if (instance_) DdeUninitialize(instance_);
}

void DdeConversation::Open(const char* service, const char* topic) {
  if (instance_ || conv_) return;
  if (DdeInitializeA(&instance_, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
    instance_ = 0;
    return;
  }
  HSZ hService = DdeCreateStringHandleA(instance_, service, CP_WINANSI);
  HSZ hTopic = DdeCreateStringHandleA(instance_, topic, CP_WINANSI);
  conv_ = DdeConnect(instance_, hService, hTopic, nullptr);
  DdeFreeStringHandle(instance_, hService);
  DdeFreeStringHandle(instance_, hTopic);
}

std::string DdeConversation::Request(const std::string& item, DWORD timeoutMs) {
  if (!conv_) return {};
  HSZ hItem = DdeCreateStringHandleA(instance_, item.c_str(), CP_WINANSI);
  if (!hItem) return {};
  DWORD result = 0;
  HDDEDATA data =
      DdeClientTransaction(nullptr, 0, conv_, hItem, CF_TEXT, XTYP_REQUEST, timeoutMs, &result);
  DdeFreeStringHandle(instance_, hItem);
  if (!data) return {};
  std::string text;
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  if (size > 0) {
    std::vector<char> buffer(size + 1, '\0');
    DdeGetData(data, reinterpret_cast<LPBYTE>(buffer.data()), size, 0);
    text = buffer.data();  // up to the first zero byte
  }
  DdeFreeDataHandle(data);
  return text;
}

}  // namespace pelmora
