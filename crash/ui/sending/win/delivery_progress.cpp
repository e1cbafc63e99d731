#include "crash/ui/sending/win/delivery_progress.h"

namespace ostrel::sending {

namespace {

const char* SettingOf(delivery::SendArea area) {
  switch (area) {
    case delivery::SendArea::PrepAttMsg:
      return "PrepAttMsg";
    case delivery::SendArea::MxLookMsg:
      return "MxLookMsg";
    case delivery::SendArea::ConnMsg:
      return "ConnMsg";
    case delivery::SendArea::SendMailMsg:
      return "SendMailMsg";
    case delivery::SendArea::SendAttMsg:
      return "SendAttMsg";
    case delivery::SendArea::SendFinalMsg:
      return "SendFinalMsg";
  }
  return "ConnMsg";
}

const char* SettingOf(upload::ProgressText text) {
  switch (text) {
    case upload::ProgressText::PrepareAttachments:
      return "PrepAttMsg";
    case upload::ProgressText::Connect:
      return "ConnMsg";
    case upload::ProgressText::SendAttachment:
      return "SendAttMsg";
    case upload::ProgressText::SendFinal:
      return "SendFinalMsg";
  }
  return "ConnMsg";
}

}  // namespace

TDeliveryProgress::TDeliveryProgress(std::unique_ptr<IProgressAlert> window,
                                     std::function<std::u16string(const char*)> text)
    : window_(std::move(window)), text_(std::move(text)) {}

TDeliveryProgress::~TDeliveryProgress() { Close(); }

void TDeliveryProgress::Begin(const std::vector<const char*>& areas) {
  if (!window_) return;
  window_->ResetAreas();
  for (const char* name : areas) window_->AppendArea(text_(name), 100);
  window_->SetActiveArea(0);
  Pump();
}

void TDeliveryProgress::Show(HWND owner, bool activate) {
  if (!window_) return;
  window_->Display(owner, activate);
  Pump();
}

void TDeliveryProgress::Close() {
  if (window_) window_->Dismiss();
  window_.reset();
}

void TDeliveryProgress::SetAreas(const std::vector<delivery::SendAreaWeight>& areas) {
  if (!window_) return;
  window_->ResetAreas();
  for (const delivery::SendAreaWeight& a : areas)
    window_->AppendArea(text_(SettingOf(a.area)), a.weight);
  window_->SetActiveArea(0);
  Pump();
}

void TDeliveryProgress::SetArea(int index) {
  if (!window_) return;
  window_->SetActiveArea(index);
  Pump();
}

void TDeliveryProgress::SetPosition(int perMille) {
  if (!window_) return;
  window_->SetProgress(perMille);
  Pump();
}

void TDeliveryProgress::SetAreas(const std::vector<upload::ProgressArea>& areas) {
  if (!window_) return;
  window_->ResetAreas();
  for (const upload::ProgressArea& a : areas)
    window_->AppendArea(text_(SettingOf(a.text)), a.weight);
  window_->SetActiveArea(0);
  Pump();
}

void TDeliveryProgress::NextArea() {
  if (!window_) return;
  window_->NextArea();
  Pump();
}

// The window belongs to the delivering thread, which blocks in the
// network between these calls.
void TDeliveryProgress::Pump() {
  if (window_ && window_->Window()) window_->PumpMessages();
}

}  // namespace ostrel::sending
