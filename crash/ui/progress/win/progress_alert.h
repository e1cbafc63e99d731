#pragma once
// The progress window of a delivery or of a report being completed: a
// caption, an optional 32 x 32 picture, the current step's text and a bar.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

class IProgressAlert {
 public:
  virtual ~IProgressAlert() = default;  // dismisses the window
  virtual std::u16string Caption() = 0;
  virtual void SetCaption(const std::u16string& title) = 0;
  virtual int Progress() = 0;
  virtual void SetProgress(int position) = 0;  // 0 .. 1000 within the area
  virtual void AppendArea(const std::u16string& text, std::uint64_t weight) = 0;
  virtual void ResetAreas() = 0;
  virtual void NextArea() = 0;
  virtual int ActiveArea() = 0;
  virtual void SetActiveArea(int area) = 0;
  virtual void PumpMessages() = 0;
  // True when the window was made now; false when it was up already.
  virtual bool Display(HWND owner, bool activate) = 0;
  virtual void Dismiss() = 0;
  virtual HWND Window() = 0;
};

// Not shown yet. The picture is a 32 x 32 bitmap resource of 4-byte pixels
// with alpha; none when bitmapName is empty or the resource is missing.
std::unique_ptr<IProgressAlert> CreateProgressAlert(const std::u16string& title,
                                                    HMODULE bitmapModule,
                                                    const std::u16string& bitmapName);

}  // namespace ostrel
