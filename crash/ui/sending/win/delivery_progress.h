#pragma once
// The progress window of one delivery, as SMTP and the uploads move it:
// areas named by the settings that hold their texts. Without a window
// (an automatic delivery with AutoSendBox off) it only counts.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crash/ui/delivery/send_progress.h"
#include "crash/ui/progress/win/progress_alert.h"
#include "crash/ui/upload/upload_progress.h"

namespace ostrel::sending {

class TDeliveryProgress final : public delivery::ISendProgressSink, public upload::IUploadProgress {
 public:
  // `text` gives a setting's text by its name ("ConnMsg").
  TDeliveryProgress(std::unique_ptr<IProgressAlert> window,
                    std::function<std::u16string(const char*)> text);
  ~TDeliveryProgress() override;

  // The delivery's own areas before any way is tried.
  void Begin(const std::vector<const char*>& areas);
  void Show(HWND owner, bool activate);
  void Close();

  // SMTP.
  void SetAreas(const std::vector<delivery::SendAreaWeight>& areas) override;
  void SetArea(int index) override;
  void SetPosition(int perMille) override;
  // Uploads.
  void SetAreas(const std::vector<upload::ProgressArea>& areas) override;
  void NextArea() override;

 private:
  void Pump();

  std::unique_ptr<IProgressAlert> window_;
  std::function<std::u16string(const char*)> text_;
};

}  // namespace ostrel::sending
