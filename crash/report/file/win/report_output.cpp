#include "crash/report/file/win/report_output.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "crash/report/file/print_layout.h"
#include "crash/report/file/report_path.h"
#include "crash/report/file/report_save.h"
#include "crash/report/file/win/file_store.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {}  // namespace

bool SaveReportInteractively(const std::u16string& report, HWND window,
                             const ReportOutputSettings& settings) {
  if (report.empty()) return false;
  const std::u16string absolute = AbsoluteReportPath(settings.bugRepFile, settings.exeFolder);
  std::wstring folder;
  if (settings.bugRepFile.find(u'\\') == std::u16string::npos) {
    wchar_t desktop[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop))) {
      folder = desktop;
    }
  } else {
    folder = Wide(absolute.substr(0, absolute.find_last_of(u'\\')));
  }
  std::wstring name = Wide(absolute.substr(absolute.find_last_of(u'\\') + 1));
  if (name.size() > 260) name.resize(260);
  std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
  name.copy(file.data(), name.size());
  const std::wstring title = Wide(settings.saveTitle);
  static const wchar_t kFilter[] = L"*.txt\0*.txt\0";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window;
  ofn.lpstrFilter = kFilter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"txt";
  ofn.Flags = OFN_HIDEREADONLY | OFN_NOREADONLYRETURN | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (!GetSaveFileNameW(&ofn)) return false;
  const std::wstring chosen = file.data();
  TWin32ReportFileStore store;
  return SaveReport(store, std::u16string(chosen.begin(), chosen.end()), u"", report,
                    settings.rules)
      .saved;
}

bool PrintReportText(const std::u16string& report, HWND window,
                     const ReportOutputSettings& settings) {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = window;
  pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
             PD_NONETWORKBUTTON | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOWARNING;
  if (!PrintDlgW(&pd) || !pd.hDC) {
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    return false;
  }
  HDC dc = pd.hDC;
  PrintDevice device;
  device.width = GetDeviceCaps(dc, HORZRES);
  device.height = GetDeviceCaps(dc, VERTRES);
  device.offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
  device.offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
  device.pixelsPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
  device.pixelsPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
  const PageLayout layout = LayoutPage(device);
  HFONT font = CreateFontW(layout.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, L"Courier New");
  HGDIOBJ old = SelectObject(dc, font);
  const std::vector<std::u16string> lines = PrintLines(report);
  const UINT format = DT_WORDBREAK | DT_EXTERNALLEADING | DT_NOPREFIX | DT_EXPANDTABS;
  std::vector<int> heights;
  for (const std::u16string& line : lines) {
    const std::wstring text = Wide(line);
    RECT r{layout.left, 0, layout.left + layout.textWidth, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    heights.push_back(r.bottom - r.top);
  }
  const std::vector<PlacedLine> placed = PlaceLines(heights, layout);
  const std::wstring title = Wide(settings.printTitle);
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = title.c_str();
  bool printed = StartDocW(dc, &doc) > 0;
  if (printed) {
    int page = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (placed[i].page != page) {
        if (page >= 0) EndPage(dc);
        StartPage(dc);
        page = placed[i].page;
      }
      const std::wstring text = Wide(lines[i]);
      RECT r{layout.left, placed[i].y, layout.left + layout.textWidth, placed[i].y + heights[i]};
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    }
    if (page >= 0) EndPage(dc);
    EndDoc(dc);
  }
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  return printed;
}

}  // namespace ostrel
