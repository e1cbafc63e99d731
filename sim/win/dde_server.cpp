#include "sim/win/dde_server.h"

#include <dde.h>

#include <cstddef>
#include <cstring>

#include "sim/win/ansi.h"

namespace pelmora::sim {

namespace {

constexpr wchar_t kClassName[] = L"GoldMineSimDde";
constexpr wchar_t kService[] = L"GoldMine";
constexpr wchar_t kTopic[] = L"Data";

}  // namespace

DdeServer::~DdeServer() {
  for (HWND client : clients_) {
    if (IsWindow(client))
      PostMessageW(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(hwnd_), 0);
  }
  if (hwnd_) DestroyWindow(hwnd_);
  if (service_) GlobalDeleteAtom(service_);
  if (topic_) GlobalDeleteAtom(topic_);
}

bool DdeServer::Create(HINSTANCE instance, Replier replier) {
  replier_ = std::move(replier);
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  service_ = GlobalAddAtomW(kService);
  topic_ = GlobalAddAtomW(kTopic);
  // Hidden but top-level: conversations start with a broadcast to those.
  hwnd_ = CreateWindowExW(0, kClassName, L"GoldMine DDE", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                          nullptr, instance, this);
  return hwnd_ != nullptr;
}

LRESULT CALLBACK DdeServer::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<DdeServer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr && message >= WM_DDE_FIRST && message <= WM_DDE_LAST) {
    return self->Handle(message, wparam, lparam);
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT DdeServer::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND client = reinterpret_cast<HWND>(wparam);
  switch (message) {
    case WM_DDE_INITIATE:
      Initiate(client, LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_DDE_REQUEST:
      Request(client, LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_DDE_TERMINATE:
      if (clients_.erase(client)) {
        PostMessageW(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(hwnd_), 0);
      }
      return 0;
    case WM_DDE_ADVISE:
    case WM_DDE_UNADVISE:
    case WM_DDE_POKE:
    case WM_DDE_EXECUTE:
      Refuse(client, message, lparam);
      return 0;
    default:
      return 0;
  }
}

void DdeServer::Initiate(HWND client, ATOM app, ATOM topic) {
  if (stopped_ || client == nullptr || client == hwnd_) return;
  if ((app != 0 && app != service_) || (topic != 0 && topic != topic_)) return;
  clients_.insert(client);
  // The acknowledgement of an initiate is sent, not posted; the client
  // deletes the atoms it receives.
  SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(hwnd_),
               MAKELPARAM(GlobalAddAtomW(kService), GlobalAddAtomW(kTopic)));
}

void DdeServer::Request(HWND client, UINT format, ATOM item) {
  wchar_t name[256] = {};
  GlobalGetAtomNameW(item, name, 256);
  std::optional<std::string> reply;
  if (!stopped_ && format == CF_TEXT && clients_.count(client)) reply = replier_(WideToUtf8(name));
  if (!reply) {
    PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(hwnd_),
                 PackDDElParam(WM_DDE_ACK, 0, item));
    return;
  }
  std::string text = Utf8ToAnsi(*reply);
  HGLOBAL data =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, offsetof(DDEDATA, Value) + text.size() + 1);
  if (data == nullptr) {
    PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(hwnd_),
                 PackDDElParam(WM_DDE_ACK, 0, item));
    return;
  }
  auto* dde = static_cast<DDEDATA*>(GlobalLock(data));
  std::memset(dde, 0, offsetof(DDEDATA, Value));
  dde->fResponse = 1;
  dde->fRelease = 1;  // the client frees the data
  dde->fAckReq = 0;
  dde->cfFormat = CF_TEXT;
  std::memcpy(dde->Value, text.c_str(), text.size() + 1);
  GlobalUnlock(data);
  LPARAM packed = PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(data), item);
  if (!PostMessageW(client, WM_DDE_DATA, reinterpret_cast<WPARAM>(hwnd_), packed)) {
    GlobalFree(data);
    FreeDDElParam(WM_DDE_DATA, packed);
  }
}

void DdeServer::Refuse(HWND client, UINT message, LPARAM lparam) {
  UINT_PTR item = 0;
  if (message == WM_DDE_EXECUTE) {
    item = static_cast<UINT_PTR>(lparam);  // the command handle goes back
  } else if (message == WM_DDE_UNADVISE) {
    item = HIWORD(lparam);
  } else {
    UINT_PTR data = 0;  // options or poked data: the client frees it on refusal
    UnpackDDElParam(message, lparam, &data, &item);
    FreeDDElParam(message, lparam);
  }
  PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(hwnd_),
               PackDDElParam(WM_DDE_ACK, 0, item));
}

}  // namespace pelmora::sim
