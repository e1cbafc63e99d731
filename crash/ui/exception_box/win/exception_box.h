#pragma once
// The exception box: the window that tells the user about an exception and
// hands every choice back to the exception report as an action.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "crash/ui/exception_box/box_layout.h"
#include "ostrel/exception_report.h"

namespace ostrel {

// The box's own window messages.
constexpr UINT kBoxReportChanged = WM_USER + 777;  // wParam 1357, lParam 2468
constexpr UINT kBoxShowReport = WM_USER + 778;     // open the details view
constexpr UINT kBoxEnd = WM_USER + 779;            // destroy the box
constexpr UINT_PTR kBoxCountDownTimer = 777;

// What the box asks of the handling that shows it.
struct ExceptionBoxHost {
  // The automatic close or restart is due for the setting's value.
  std::function<bool(std::int32_t value)> autoButtonDue;
  // Fires the action handlers of a code (9: details opening, 10: F1).
  std::function<void(int code, HWND box)> fireAction;
  // The text with the exception's placeholders expanded.
  std::function<std::u16string(const std::u16string& text)> expand;
  // A frozen report: asks the main thread to answer this box once it serves
  // messages again (WM_NULL 777, 777 closes the box).
  std::function<void(HWND box)> watchMainThread;
};

// Shows the box for the report and runs its message loop until the box is
// gone; the user's choice has then been carried out through the report's
// actions. Asked for the details view, it shows again in full mode with
// the details open and the automatic choices cleared.
void RunExceptionBox(IExceptionReport& report, box::BoxMode mode, bool beep,
                     const ExceptionBoxHost& host);

}  // namespace ostrel
