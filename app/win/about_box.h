// The about box (TForm3), created at start-up and reused.
#pragma once

#include "app/win/window_base.h"

namespace pelmora {

inline constexpr wchar_t kHomePageAddress[] = L"https://www.quillon-services.example/pelmora";

class TForm3 : public WindowBase {
 public:
  bool Create();
  int ShowModal();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Button1Click();
  void Button2Click() { modalResult_ = 1; }

  HFONT font_ = nullptr;
  HWND memo_ = nullptr;
  int modalResult_ = 0;
};

}  // namespace pelmora
