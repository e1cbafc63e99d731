// The screenshot page's handler: shows the report's screenshot, lets the
// user leave it out, and lets them edit it in the program the system opens
// bitmaps with for editing; the page's timer watches the file for saves.

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "crash/ui/assistant/win/nv_assistant.h"

namespace ostrel {

namespace {

// The page's data while it is open.
struct EditingState {
  bool started = false;
  // The file's last write: the full time and the size, so that a second
  // save within the same two seconds is not taken for the first.
  FILETIME written{};
  ULONGLONG size = 0;
  HANDLE editor = nullptr;
};

std::u16string EditFile(TNVAssistant& assistant) {
  return assistant.host.tempFolder + u"screenShot.bmp";
}

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool Stamp(const std::u16string& path, FILETIME& written, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data)) return false;
  written = data.ftLastWriteTime;
  size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

void DropEditing(INVForm& page, TNVAssistant& assistant) {
  auto* state = static_cast<EditingState*>(page.PageData());
  if (!state) return;
  if (state->editor) CloseHandle(state->editor);  // the editor itself is left running
  if (state->started) DeleteFileW(Wide(EditFile(assistant)));
  delete state;
  page.SetPageData(nullptr);
}

void StartEditing(INVForm& page, TNVAssistant& assistant, EditingState& state) {
  const std::u16string file = EditFile(assistant);
  if (!state.started) {
    NVBitmapPtr shot = assistant.host.screenshot ? assistant.host.screenshot() : NVBitmapPtr();
    if (!shot || !shot->WriteBmpFile(Wide(file))) return;
    state.started = Stamp(file, state.written, state.size);
    if (!state.started) return;
  }
  if (state.editor && WaitForSingleObject(state.editor, 0) == WAIT_OBJECT_0) {
    CloseHandle(state.editor);
    state.editor = nullptr;
  }
  if (state.editor) return;
  SHELLEXECUTEINFOW run{sizeof run};
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  run.hwnd = static_cast<HWND>(page.WindowHandle());
  run.lpVerb = L"edit";
  run.lpFile = Wide(file);
  run.nShow = SW_SHOWMAXIMIZED;
  if (ShellExecuteExW(&run) && reinterpret_cast<INT_PTR>(run.hInstApp) > 32)
    state.editor = run.hProcess;
  else
    Beep(60, 60);
}

void PickUpSave(INVForm& page, TNVAssistant& assistant, EditingState& state,
                IExceptionReport& report) {
  const std::u16string file = EditFile(assistant);
  FILETIME written{};
  ULONGLONG size = 0;
  if (!Stamp(file, written, size)) return;
  if (std::memcmp(&written, &state.written, sizeof written) == 0 && size == state.size) return;
  NVBitmapPtr edited = LoadBmpFile(Wide(file));
  // A file still being written reads as nothing: the next tick tries again.
  if (!edited) return;
  state.written = written;
  state.size = size;
  report.ReplaceScreenShot(edited.Get());
  if (INVImage* image = page.FindImage(u"ScrShotImg")) image->SetBitmap(edited.Get());
}

}  // namespace

void HandleScreenshotForm(INVForm* page, AssistantAction action, INVItem* item,
                          IExceptionReport* report) {
  if (!page || !report) return;
  auto& assistant = static_cast<TNVAssistant&>(*page->Assistant());
  INVImage* image = page->FindImage(u"ScrShotImg");
  INVCheckBox* attach = page->FindCheckBox(u"AttachCheck");
  auto* state = static_cast<EditingState*>(page->PageData());
  switch (action) {
    case kPageCreated:
      if (image && assistant.host.screenshot)
        if (NVBitmapPtr shot = assistant.host.screenshot()) image->SetBitmap(shot.Get());
      if (attach) attach->SetChecked(report->AttachScreenShot());
      return;
    case kItemAction:
      if (item && image && item == static_cast<INVItem*>(image)) {
        if (!image->Bitmap()) return;
        if (!state) {
          state = new EditingState();
          page->SetPageData(state);
        }
        StartEditing(*page, assistant, *state);
      } else if (!item && state && state->started) {
        PickUpSave(*page, assistant, *state, *report);
      }
      return;
    case kPageClosing:
      DropEditing(*page, assistant);
      if (attach) report->SetAttachScreenShot(attach->Checked());
      return;
    default:
      return;
  }
}

}  // namespace ostrel
