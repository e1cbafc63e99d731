// Program entry. The crash reporter is set up before this runs; the
// application itself starts here.
#include <windows.h>
#include <commctrl.h>

#include "app/win/about_box.h"
#include "app/win/pelmora_form.h"
#include "app/win/website_dialog.h"

namespace pelmora {

// The message loop; the main window's idle work runs whenever the queue
// has become empty.
int RunMessageLoop(TPelmoraForm& mainForm) {
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      if (!IsDialogMessageW(mainForm.Handle(), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    mainForm.OnIdle();
    WaitMessage();
  }
}

int RunApplication() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  TForm2 form2;
  TForm3 form3;
  TPelmoraForm mainForm(form2, form3);
  const bool started = mainForm.Create();
  form2.Create();
  form3.Create();
  if (!started) return 0;
  ShowWindow(mainForm.Handle(), SW_SHOW);
  UpdateWindow(mainForm.Handle());
  return RunMessageLoop(mainForm);
}

}  // namespace pelmora

// The crash reporter has started before this runs (it links as a library
// that starts with the process); its settings travel in the executable.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return pelmora::RunApplication(); }
