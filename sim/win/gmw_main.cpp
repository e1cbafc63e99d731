// gmw.exe: the GoldMine stand-in's client window and DDE server.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <random>

#include "sim/win/ansi.h"
#include "sim/core/data_folder.h"
#include "sim/core/database.h"
#include "sim/core/demo_data.h"
#include "sim/core/gmw_options.h"
#include "sim/win/sim_window.h"

using namespace pelmora::sim;

namespace {

std::string NewTicket() {
  std::random_device random;
  char text[40];
  std::snprintf(text, sizeof text, "GMSIM-%08X%08X%08X", random(), random(), random());
  return text;
}

std::string WithSeparator(std::string path) {
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "gmw: %s\n", message.c_str());
  return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::vector<std::string> args = SplitCommandLine(WideToUtf8(GetCommandLineW()));
  if (!args.empty()) args.erase(args.begin());

  std::string error;
  auto options = ParseGmwOptions(args, &error);
  if (!options) return Fail(error + "\n" + kGmwUsage);
  auto folder = PrepareDataFolder(*options, kDemoSql, NewTicket(), &error);
  if (!folder) return Fail(error);

  wchar_t exe[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
  DdeState state;
  state.exe_path = WideToUtf8(exe);
  state.gold_dir = WithSeparator(PathToUtf8(folder->gold_dir.lexically_normal().make_preferred()));
  state.common_dir =
      WithSeparator(PathToUtf8(folder->common_dir.lexically_normal().make_preferred()));
  state.ticket = folder->ticket;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  SimWindow window(*options, state, folder->gold_dir / kDatabaseFile);
  if (!window.Create(instance)) return Fail("cannot create the windows");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
