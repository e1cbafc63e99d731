// Pelmora against the GoldMine stand-in, driven as a user would drive it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/win/control_ids.h"
#include "support/goldmine_sim.h"
#include "support/gui_driver.h"

namespace {

using e2e::Click;
using e2e::Control;
using e2e::Text;
using e2e::WaitUntil;
using Rows = std::vector<std::vector<std::wstring>>;

constexpr int kStartMs = 30000;  // a cold start on a slow, busy machine
constexpr int kUiMs = 20000;

const std::string kAlice = "E2E0000000001AA";
const std::string kBruno = "E2E0000000002BB";
const std::string kOneill = "E2E'O'NEILL'S";
const std::string kDora = "E2E0000000004DD";
const std::string kCarl = "E2EC2CARL000011";

std::wstring TestFolder() { return e2e::ExeFolder() + L"e2e-run\\"; }

void RegisterUrlRecorder() {
  const std::wstring command = L"\"" + e2e::ExeFolder() + L"url_recorder.exe\" \"%1\"";
  for (const wchar_t* scheme : {L"http", L"https", L"mailto"}) {
    const std::wstring key =
        std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                        nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(h);
    }
  }
}

// The crash zoo's Simple MAPI provider beside Pelmora, chosen over Wine's
// own; "mapi_answer.txt" beside it makes it fail.
void InstallMailClient() {
  const std::wstring folder = e2e::ExeFolder();
  CopyFileW((folder + L"zoo\\mapi32.dll").c_str(), (folder + L"mapi32.dll").c_str(), FALSE);
  for (const wchar_t* old : {L"mapi_outbox.txt", L"mapi_outbox_bugreport.txt", L"mapi_answer.txt"})
    DeleteFileW((folder + old).c_str());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    const wchar_t value[] = L"native,builtin";
    RegSetValueExW(key, L"mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
  }
}

std::string ReadAll(const std::wstring& path) {
  std::string all;
  for (const std::string& line : e2e::ReadLines(path)) all += line + "\n";
  return all;
}

std::vector<std::string> OpenedUrls() {
  return e2e::ReadLines(e2e::ExeFolder() + L"opened-urls.txt");
}

// The whole screen, after the given windows have painted: under emulation a
// new dialog paints late.
// The screen after the windows have painted; with `cropped`, only the
// first window.
void Screenshot(const wchar_t* name, std::initializer_list<HWND> windows, bool cropped = false) {
  for (HWND w : windows) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    e2e::WaitResponsive(w, kUiMs);
  }
  Sleep(1000);
  CreateDirectoryW((e2e::ExeFolder() + L"screenshots").c_str(), nullptr);
  e2e::SaveScreenshot(e2e::ExeFolder() + L"screenshots\\" + name + L".bmp",
                      cropped ? *windows.begin() : nullptr);
}

std::wstring PelmoraCommand() { return L"\"" + e2e::ExeFolder() + L"Pelmora.exe\""; }

class PelmoraSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // What the checks take from the machine, stated rather than assumed.
    ASSERT_EQ(GetACP(), 1252u) << "\"Bruno B\u00f6hm\" needs the ANSI code page 1252: run "
                                  "through scripts/wine-run.sh (LANG=C.UTF-8)";
    ASSERT_GE(GetSystemMetrics(SM_CXSCREEN), 1600) << "Pelmora sits at 1294,699: the screen "
                                                      "must be at least 1600 x 920";
    ASSERT_GE(GetSystemMetrics(SM_CYSCREEN), 920);
    RegisterUrlRecorder();
    InstallMailClient();
    DeleteFileW((e2e::ExeFolder() + L"opened-urls.txt").c_str());
    sim_ = std::make_unique<e2e::GoldMineSim>();
    const std::wstring seed = L"\"" + e2e::ExeFolder() + L"e2e-data.sql\"";
    ASSERT_TRUE(sim_->Start(TestFolder(), L"--seed " + seed)) << "gmw.exe did not start";
    ASSERT_TRUE(sim_->Command("select " + kAlice));
    pelmora_ = std::make_unique<e2e::Process>();
    ASSERT_TRUE(pelmora_->Start(PelmoraCommand()));
    main_ = e2e::WaitForTopLevel(pelmora::kMainWindowClass, L"Pelmora", pelmora_->Id(), kStartMs);
    ASSERT_NE(main_, nullptr) << "Pelmora's main window did not appear";
  }
  static void TearDownTestSuite() {
    if (pelmora_) pelmora_->Kill();
    if (sim_) sim_->Stop();
    DeleteFileW((e2e::ExeFolder() + L"mapi32.dll").c_str());
  }

  static HWND Grid() { return Control(main_, pelmora::kIdGrid); }
  static std::wstring ContactName() { return Text(Control(main_, pelmora::kIdContactName)); }
  // Type and Description of every row.
  static Rows Shown() {
    Rows rows;
    for (auto& r : e2e::ListViewRows(Grid())) rows.push_back(r);
    return rows;
  }
  static bool WaitForContact(const std::wstring& name) {
    return WaitUntil([&] { return ContactName() == name; }, kUiMs);
  }
  static bool Enabled(int id) { return IsWindowEnabled(Control(main_, id)) != FALSE; }
  static bool SelectAccount(const std::string& acc, const std::wstring& name) {
    return sim_->Command("select " + acc) && WaitForContact(name);
  }
  static HWND OpenEditor(int button) {
    Click(Control(main_, button));
    HWND editor = e2e::WaitForTopLevel(pelmora::kEditorWindowClass, nullptr, pelmora_->Id(), kUiMs);
    if (editor && !WaitUntil([&] { return IsWindowVisible(editor) != FALSE; }, kUiMs))
      return nullptr;
    return editor;
  }

  static std::unique_ptr<e2e::GoldMineSim> sim_;
  static std::unique_ptr<e2e::Process> pelmora_;
  static HWND main_;
};

std::unique_ptr<e2e::GoldMineSim> PelmoraSession::sim_;
std::unique_ptr<e2e::Process> PelmoraSession::pelmora_;
HWND PelmoraSession::main_ = nullptr;

TEST_F(PelmoraSession, FollowsThePrimaryContactWithItsLinksInOrder) {
  ASSERT_TRUE(WaitForContact(L"Alice Archer"));
  EXPECT_EQ(
      Shown(),
      (Rows{{L"Company", L"Facebook "}, {L"Company", L"Website"}, {L"Personal", L"LinkedIn "}}));
  // Screen readers get the same rows as the grid's window text.
  std::wstring text = Text(Grid());
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  EXPECT_EQ(text, L"Company\tFacebook \r\nCompany\tWebsite\r\nPersonal\tLinkedIn ");
  // After a load the last row is current; the buttons follow it at idle.
  EXPECT_EQ(e2e::ListViewSelected(Grid()), 2);
  EXPECT_TRUE(WaitUntil([] { return Enabled(pelmora::kIdGoToButton); }, kUiMs));
  for (int id : {pelmora::kIdGoToButton, pelmora::kIdAddButton, pelmora::kIdEditButton,
                 pelmora::kIdDeleteButton, pelmora::kIdInfoButton})
    EXPECT_TRUE(IsWindowVisible(Control(main_, id))) << id;
  EXPECT_EQ(Text(Control(main_, pelmora::kIdGoToButton)), L"Go To ");
  EXPECT_EQ(Text(Control(main_, pelmora::kIdDeleteButton)), L"Delete ");
  RECT client{};
  GetClientRect(main_, &client);
  EXPECT_EQ(client.right, 287);
  EXPECT_EQ(client.bottom, 195);
  EXPECT_TRUE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  Screenshot(L"main-window", {main_});
}

TEST_F(PelmoraSession, FollowsAnAdditionalContactAndBack) {
  ASSERT_TRUE(sim_->Command("select-additional " + kCarl));
  ASSERT_TRUE(WaitForContact(L"Carl Cole"));
  EXPECT_EQ(Shown(), (Rows{{L"Personal", L"Twitter"}}));
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Website"}}));
}

TEST_F(PelmoraSession, AccountNumberWithApostrophesIsQueriedSafely) {
  ASSERT_TRUE(SelectAccount(kOneill, L"Orla O'Neill"));
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Website"}}));
}

TEST_F(PelmoraSession, ContactWithoutLinksShowsOneEmptyRow) {
  ASSERT_TRUE(SelectAccount(kDora, L"Dora Dias"));
  EXPECT_EQ(Shown(), (Rows{{L"", L""}}));
  // The idle pass sets the buttons one after another: wait for all of them.
  EXPECT_TRUE(WaitUntil(
      [] {
        return !Enabled(pelmora::kIdGoToButton) && !Enabled(pelmora::kIdEditButton) &&
               !Enabled(pelmora::kIdDeleteButton);
      },
      kUiMs))
      << "Go To " << Enabled(pelmora::kIdGoToButton) << ", Edit " << Enabled(pelmora::kIdEditButton)
      << ", Delete " << Enabled(pelmora::kIdDeleteButton);
  EXPECT_TRUE(Enabled(pelmora::kIdAddButton));
}

TEST_F(PelmoraSession, GoToDoubleClickAndKeyPressOpenTheStoredAddress) {
  ASSERT_TRUE(SelectAccount(kAlice, L"Alice Archer"));
  ASSERT_TRUE(WaitUntil([] { return Enabled(pelmora::kIdGoToButton); }, kUiMs));
  // Each open starts the recorder, a new Wine process, and the shell keeps
  // Pelmora busy until it has started: one open at a time.
  auto opened = [](std::size_t count) {
    return WaitUntil([&] { return OpenedUrls().size() >= count; }, kStartMs, 500) &&
           e2e::WaitResponsive(main_, kStartMs);
  };
  Click(Control(main_, pelmora::kIdGoToButton));  // current row: LinkedIn
  ASSERT_TRUE(opened(1));
  e2e::ClickRow(Grid(), 0, true);  // Facebook
  ASSERT_TRUE(opened(2));
  EXPECT_EQ(e2e::ListViewSelected(Grid()), 0);
  e2e::ClickRow(Grid(), 1, false);
  ASSERT_TRUE(WaitUntil([] { return e2e::ListViewSelected(Grid()) == 1; }, kUiMs));
  e2e::TypeChar(Grid(), L' ');  // Website
  ASSERT_TRUE(opened(3));
  EXPECT_EQ(OpenedUrls(), (std::vector<std::string>{"https://www.linkedin.example/in/alice-archer",
                                                    "http://facebook.example/alpha",
                                                    "http://www.alpha.example"}));
}

TEST_F(PelmoraSession, AddWritesALinkTiedToTheContact) {
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  HWND editor = OpenEditor(pelmora::kIdAddButton);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text(editor), L"Add New Website");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdOkButton)), L"Add");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdDescription)), L"");
  e2e::SetText(Control(editor, pelmora::kIdDescription), L"YouTube");
  e2e::SetText(Control(editor, pelmora::kIdSiteType), L"Personal");
  const std::wstring longAddress =
      L"www.video.example/channel/bruno-boehm-official-cooking-and-travel-videos-2026-xx";
  e2e::SetText(Control(editor, pelmora::kIdWebsite), longAddress);
  Screenshot(L"editor-dialog", {main_, editor});
  Click(Control(editor, pelmora::kIdOkButton));
  ASSERT_TRUE(WaitUntil([] { return Shown().size() == 2; }, kUiMs));
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Website"}, {L"Personal", L"YouTube"}}));
  EXPECT_TRUE(sim_->HasEvent("execute WriteDetail 1"));
  // The stored address is the 35 + 40 characters kept in the two fields.
  e2e::ClickRow(Grid(), 1, false);
  ASSERT_TRUE(WaitUntil([] { return e2e::ListViewSelected(Grid()) == 1; }, kUiMs));
  ASSERT_TRUE(WaitUntil([] { return Enabled(pelmora::kIdEditButton); }, kUiMs));
  editor = OpenEditor(pelmora::kIdEditButton);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text(Control(editor, pelmora::kIdWebsite)), (L"http://" + longAddress).substr(0, 75));
  Click(Control(editor, pelmora::kIdCancelButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(editor); }, kUiMs));
}

TEST_F(PelmoraSession, EditChangesTheRecordTheDialogShowedEvenIfGoldMineMoves) {
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  e2e::ClickRow(Grid(), 0, false);
  ASSERT_TRUE(WaitUntil([] { return e2e::ListViewSelected(Grid()) == 0; }, kUiMs));
  ASSERT_TRUE(WaitUntil([] { return Enabled(pelmora::kIdEditButton); }, kUiMs));
  HWND editor = OpenEditor(pelmora::kIdEditButton);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text(editor), L"Edit Website");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdOkButton)), L"OK");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdDescription)), L"Website");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdSiteType)), L"Company");
  EXPECT_EQ(Text(Control(editor, pelmora::kIdWebsite)), L"http://www.beta.example");
  // GoldMine moves on while the dialog is open; the list follows it.
  ASSERT_TRUE(SelectAccount(kDora, L"Dora Dias"));
  e2e::SetText(Control(editor, pelmora::kIdDescription), L"Pinterest");
  Click(Control(editor, pelmora::kIdOkButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(editor); }, kUiMs));
  EXPECT_TRUE(WaitUntil([] { return Shown() == Rows{{L"", L""}}; }, kUiMs)) << "Dora got a link";
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Pinterest"}, {L"Personal", L"YouTube"}}));
}

// The record ids of the stand-in's "delete" events so far.
std::vector<std::string> DeletedIds(const e2e::GoldMineSim& sim) {
  std::vector<std::string> ids;
  for (const auto& e : sim.Events()) {
    if (e.rfind("delete ", 0) == 0) ids.push_back(e.substr(7));
  }
  return ids;
}

TEST_F(PelmoraSession, CancelWritesNothingAndDeleteRemovesTheLink) {
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  ASSERT_TRUE(WaitUntil([] { return Enabled(pelmora::kIdDeleteButton); }, kUiMs));
  const std::vector<std::string> before = DeletedIds(*sim_);
  HWND editor = OpenEditor(pelmora::kIdDeleteButton);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text(editor), L"Delete Website");
  Click(Control(editor, pelmora::kIdCancelButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(editor); }, kUiMs));
  // The dialog deletes, if at all, before it closes: the program is idle
  // again once it answers.
  ASSERT_TRUE(e2e::WaitResponsive(main_, kUiMs));
  EXPECT_EQ(DeletedIds(*sim_), before) << "Cancel deleted a record";
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Pinterest"}, {L"Personal", L"YouTube"}}));
  editor = OpenEditor(pelmora::kIdDeleteButton);  // current row: YouTube
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text(Control(editor, pelmora::kIdOkButton)), L"Delete");
  Click(Control(editor, pelmora::kIdOkButton));
  ASSERT_TRUE(WaitUntil([] { return Shown().size() == 1; }, kUiMs));
  EXPECT_EQ(Shown(), (Rows{{L"Company", L"Pinterest"}}));
  const std::vector<std::string> after = DeletedIds(*sim_);
  ASSERT_EQ(after.size(), before.size() + 1) << "one record deleted";
  // The YouTube link went; the seeded one, now Pinterest, stayed.
  EXPECT_NE(after.back(), "E2EP3B000000201");
  EXPECT_TRUE(std::find(before.begin(), before.end(), after.back()) == before.end());
}

TEST_F(PelmoraSession, MinimiseAndTrayClicksHideAndShow) {
  PostMessageW(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([] { return !IsWindowVisible(main_); }, kUiMs));
  EXPECT_FALSE(IsIconic(main_));
  // The list keeps following GoldMine while hidden.
  ASSERT_TRUE(SelectAccount(kAlice, L"Alice Archer"));
  PostMessageW(main_, pelmora::kTrayMessage, 0, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(main_) != FALSE; }, kUiMs));
  RECT r{};
  GetWindowRect(main_, &r);
  PostMessageW(main_, pelmora::kTrayMessage, 0, WM_MOUSEMOVE);
  PostMessageW(main_, pelmora::kTrayMessage, 0, WM_RBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([] { return !IsWindowVisible(main_); }, kUiMs));
  PostMessageW(main_, pelmora::kTrayMessage, 0, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(main_) != FALSE; }, kUiMs));
  RECT again{};
  GetWindowRect(main_, &again);
  EXPECT_EQ(again.left, r.left);
  EXPECT_EQ(again.top, r.top);
}

TEST_F(PelmoraSession, AboutBoxShowsItsEighteenLines) {
  Click(Control(main_, pelmora::kIdInfoButton));
  HWND about = e2e::WaitForTopLevel(pelmora::kAboutWindowClass, L"Info", pelmora_->Id(), kUiMs);
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(about) != FALSE; }, kUiMs));
  const std::wstring text = Text(Control(about, pelmora::kIdMemo));
  EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 17);
  EXPECT_EQ(text.rfind(L"Pelmora is a free utility for GoldMine provided by \r\n", 0), 0u);
  EXPECT_NE(text.find(L"\r\nVersion 1.1 \r\n"), std::wstring::npos);
  EXPECT_EQ(Text(Control(about, pelmora::kIdHomePageButton)), L"Go To Quillon Services Website");
  EXPECT_FALSE(IsWindowEnabled(main_));
  Screenshot(L"about-box", {main_, about});
  Click(Control(about, pelmora::kIdCloseButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(about); }, kUiMs));
  EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(PelmoraSession, GoldMineThatStopsAnsweringEmptiesTheListOnce) {
  ASSERT_TRUE(SelectAccount(kAlice, L"Alice Archer"));
  ASSERT_TRUE(sim_->Command("stop"));
  EXPECT_TRUE(WaitForContact(L""));
  EXPECT_TRUE(Shown().empty());
  ASSERT_TRUE(sim_->Command("resume"));
  EXPECT_TRUE(WaitForContact(L"Alice Archer"));
}

// GoldMine's library faults inside the panel's timer: the window
// procedure's guard reports it as continuable, and after Continue the panel
// follows GoldMine as before.
TEST_F(PelmoraSession, FaultInTheWindowProcedureIsReportedAndTheProgramGoesOn) {
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  const Rows bruno = Shown();
  ASSERT_TRUE(SelectAccount(kAlice, L"Alice Archer"));
  const Rows alice = Shown();
  const std::wstring reportFile = e2e::ExeFolder() + L"bugreport.txt";
  DeleteFileW(reportFile.c_str());
  HANDLE fault = CreateEventW(nullptr, FALSE, TRUE, L"GoldMineSimFaultOnce");
  ASSERT_NE(fault, nullptr);
  ASSERT_TRUE(sim_->Command("select " + kBruno));
  HWND box = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (box = e2e::FindExceptionBox(pelmora_->Id())) != nullptr; }, kUiMs))
      << "no exception box";
  EXPECT_EQ(WaitForSingleObject(fault, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "fault not taken";
  CloseHandle(fault);
  // The box tells it in the program's words; the details are in the report.
  EXPECT_EQ(e2e::ExceptionBoxMessage(box), L"An error occurred in the application.");
  EXPECT_EQ(Text(box).find(L'%'), std::wstring::npos) << Text(box);
  for (const wchar_t* caption :
       {L"send bug report", L"show bug report", L"restart application", L"close application"})
    EXPECT_NE(e2e::ExceptionBoxButton(box, caption), nullptr) << caption;
  // Continuable: the main thread's unhandled path would not offer it.
  HWND continueButton = e2e::ExceptionBoxButton(box, L"continue application");
  ASSERT_NE(continueButton, nullptr);
  EXPECT_TRUE(IsWindowEnabled(continueButton));
  // Above Pelmora's own always-on-top window.
  RECT boxArea, panelArea;
  GetWindowRect(box, &boxArea);
  GetWindowRect(main_, &panelArea);
  POINT middle{(boxArea.left + boxArea.right) / 2, (boxArea.top + boxArea.bottom) / 2};
  EXPECT_EQ(GetAncestor(WindowFromPoint(middle), GA_ROOT), box);
  Screenshot(L"exception-box", {box});
  // Send runs the send assistant, in front of the panel as the box is.
  Click(e2e::ExceptionBoxButton(box, L"send bug report"));
  HWND page = nullptr;
  auto nextPage = [&](HWND previous) {
    page = nullptr;
    if (previous && !WaitUntil([&] { return !IsWindow(previous); }, kUiMs)) return false;
    return WaitUntil(
        [&] {
          page = e2e::FindTopLevel(L"OstrelAssistantPage", nullptr, pelmora_->Id());
          return page && IsWindowVisible(page);
        },
        kUiMs);
  };
  ASSERT_TRUE(nextPage(nullptr)) << "no contact page";
  EXPECT_EQ(Text(page), L"Send Assistant");
  RECT pageArea;
  GetWindowRect(page, &pageArea);
  POINT pageMiddle{(pageArea.left + pageArea.right) / 2, (pageArea.top + pageArea.bottom) / 2};
  EXPECT_EQ(GetAncestor(WindowFromPoint(pageMiddle), GA_ROOT), page);
  // Items are numbered from 100: the fixed buttons, then the page's own.
  EXPECT_FALSE(IsWindowEnabled(Control(page, 100))) << "continue without an address";
  // A text set, then its last character typed at its end, as a user's is.
  auto type = [](HWND edit, const std::wstring& text) {
    e2e::SetText(edit, text.substr(0, text.size() - 1));
    SendMessageW(edit, EM_SETSEL, text.size() - 1, text.size() - 1);
    e2e::TypeChar(edit, text.back());
  };
  type(Control(page, 104), L"Dora Dias");
  type(Control(page, 106), L"dora@example.com");
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(page, 100)) != FALSE; }, kUiMs));
  Screenshot(L"assistant-contact", {page}, true);
  Click(Control(page, 100));
  HWND contactPage = page;
  ASSERT_TRUE(nextPage(contactPage)) << "no details page";
  type(Control(page, 104), L"Selected Bruno in GoldMine.");
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(page, 100)) != FALSE; }, kUiMs));
  Screenshot(L"assistant-details", {page}, true);
  Click(Control(page, 100));
  HWND detailsPage = page;
  ASSERT_TRUE(nextPage(detailsPage)) << "no screenshot page";
  Screenshot(L"assistant-screenshot", {page}, true);
  Click(Control(page, 100));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(page); }, kUiMs));
  // The mail client got the report, with what the assistant was told, and
  // the screenshot, through its compose window.
  const std::wstring outbox = e2e::ExeFolder() + L"mapi_outbox.txt";
  EXPECT_TRUE(WaitUntil(
      [&] { return ReadAll(outbox).find("file: screenshot.png") != std::string::npos; }, kUiMs))
      << ReadAll(outbox);
  const std::string mail = ReadAll(outbox);
  EXPECT_NE(mail.find("flags: dialog"), std::string::npos) << mail;
  EXPECT_NE(mail.find("to: support@pelmora.example|SMTP:support@pelmora.example"),
            std::string::npos)
      << mail;
  EXPECT_NE(mail.find("file: bugreport.txt"), std::string::npos) << mail;
  EXPECT_NE(ReadAll(e2e::ExeFolder() + L"mapi_outbox_bugreport.txt").find("dora@example.com"),
            std::string::npos);
  Click(continueButton);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kUiMs));
  EXPECT_TRUE(pelmora_->Running());
  // Delivered, so not saved beside the program as well (AutoSaveIfNotSent);
  // the end of handling would have saved it by now.
  EXPECT_FALSE(WaitUntil(
      [&] {
        const auto saved = e2e::ReadLines(reportFile);
        return std::any_of(saved.begin(), saved.end(),
                           [](const std::string& l) { return l.rfind("date/time", 0) == 0; });
      },
      5000));
  char route[32] = {};
  GetEnvironmentVariableA("PELMORA_WINE_ROUTE", route, sizeof route);
  // The report that went is the complete one.
  const auto lines = e2e::ReadLines(e2e::ExeFolder() + L"mapi_outbox_bugreport.txt");
  // Under emulation a memory fault arrives as an illegal instruction.
  const std::string expected =
      std::string(route) == "emulated" ? "External exception C000001D" : "EAccessViolation";
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(expected) != std::string::npos;
  })) << expected;
  // What the assistant was told is in it.
  auto has = [&](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("contact name")) << "contact name";
  EXPECT_TRUE(has(": dora@example.com")) << "contact email";
  EXPECT_TRUE(has("error details:")) << "error details";
  EXPECT_TRUE(has("Selected Bruno in GoldMine.")) << "error details text";
  // The load that faulted showed nothing new: Alice's list, whole.
  EXPECT_EQ(ContactName(), L"Alice Archer");
  EXPECT_EQ(Shown(), alice);
  ASSERT_TRUE(SelectAccount(kDora, L"Dora Dias"));
  EXPECT_EQ(Shown(), (Rows{{L"", L""}}));
  ASSERT_TRUE(SelectAccount(kBruno, L"Bruno B\u00f6hm"));
  EXPECT_EQ(Shown(), bruno);
}

TEST_F(PelmoraSession, WithoutAMailClientTheMailtoLinkCarriesTheReport) {
  ASSERT_TRUE(SelectAccount(kAlice, L"Alice Archer"));
  const std::wstring folder = e2e::ExeFolder();
  {
    std::FILE* f = _wfopen((folder + L"mapi_answer.txt").c_str(), L"wb");
    if (f) {
      std::fputs("fail", f);
      std::fclose(f);
    }
  }
  HANDLE fault = CreateEventW(nullptr, FALSE, TRUE, L"GoldMineSimFaultOnce");
  ASSERT_NE(fault, nullptr);
  ASSERT_TRUE(sim_->Command("select " + kBruno));
  HWND box = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (box = e2e::FindExceptionBox(pelmora_->Id())) != nullptr; }, kUiMs))
      << "no exception box";
  CloseHandle(fault);
  HWND continueButton = e2e::ExceptionBoxButton(box, L"continue application");
  ASSERT_NE(continueButton, nullptr);
  Click(e2e::ExceptionBoxButton(box, L"send bug report"));
  // Contact, details and screenshot.
  HWND previous = nullptr;
  for (int step = 0; step < 3; ++step) {
    HWND page = nullptr;
    if (previous) {
      ASSERT_TRUE(WaitUntil([&] { return !IsWindow(previous); }, kUiMs));
    }
    ASSERT_TRUE(WaitUntil(
        [&] {
          page = e2e::FindTopLevel(L"OstrelAssistantPage", nullptr, pelmora_->Id());
          return page && IsWindowVisible(page);
        },
        kUiMs))
        << "page " << step;
    // Typed as a user types, so that the page checks it.
    auto type = [](HWND edit, const std::wstring& text) {
      e2e::SetText(edit, text.substr(0, text.size() - 1));
      SendMessageW(edit, EM_SETSEL, text.size() - 1, text.size() - 1);
      e2e::TypeChar(edit, text.back());
    };
    if (step == 0) {
      type(Control(page, 104), L"Dora Dias");
      type(Control(page, 106), L"dora@example.com");
    }
    if (step == 1) type(Control(page, 104), L"Selected Bruno again.");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(page, 100)) != FALSE; }, kUiMs))
        << "continue on page " << step;
    Click(Control(page, 100));
    previous = page;
  }
  // MAPI failed: the registered mail program got a link with the report.
  std::string link;
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const std::string& url : OpenedUrls())
          if (url.rfind("mailto:", 0) == 0) link = url;
        return !link.empty();
      },
      kUiMs))
      << "no mailto: link";
  EXPECT_EQ(link.rfind("mailto:support@pelmora.example?subject=", 0), 0u) << link;
  EXPECT_NE(link.find("&body="), std::string::npos) << link;
  EXPECT_NE(link.find("dora@example.com"), std::string::npos) << "the report's contact";
  EXPECT_NE(link.find("callstack%20crc"), std::string::npos) << "the report itself";
  Click(continueButton);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kUiMs));
  EXPECT_TRUE(pelmora_->Running());
  DeleteFileW((folder + L"mapi_answer.txt").c_str());
}

TEST_F(PelmoraSession, ClosingLogsOutAndEndsTheProgram) {
  PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(pelmora_->Wait(kUiMs), 0u);
  EXPECT_TRUE(sim_->HasEvent("logout"));
}

}  // namespace
