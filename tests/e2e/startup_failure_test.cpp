// Every way Pelmora's start-up can fail: the message, and no main window.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "app/win/control_ids.h"
#include "support/goldmine_sim.h"
#include "support/gui_driver.h"

namespace {

constexpr int kStartMs = 60000;  // ten Pelmoras start at once

std::wstring PelmoraCommand() { return L"\"" + e2e::ExeFolder() + L"Pelmora.exe\""; }
std::wstring RunFolder() { return e2e::ExeFolder() + L"e2e-startup\\"; }
std::wstring Seed() { return L"--seed \"" + e2e::ExeFolder() + L"e2e-data.sql\""; }

struct Outcome {
  std::wstring message;
  bool mainWindowShown = false;
  DWORD exitCode = STILL_ACTIVE;
};

// Starts Pelmora once per environment, all at once, and collects what each
// showed before it ended.
std::vector<Outcome> RunPelmoras(const std::vector<std::vector<std::wstring>>& envs) {
  std::vector<std::unique_ptr<e2e::Process>> processes;
  for (const auto& env : envs) {
    processes.push_back(std::make_unique<e2e::Process>());
    EXPECT_TRUE(processes.back()->Start(PelmoraCommand(), env));
  }
  std::vector<Outcome> outcomes(envs.size());
  std::vector<bool> done(envs.size(), false);
  e2e::WaitUntil(
      [&] {
        bool all = true;
        for (std::size_t i = 0; i < processes.size(); ++i) {
          if (done[i]) continue;
          const DWORD pid = processes[i]->Id();
          HWND main = e2e::FindTopLevel(pelmora::kMainWindowClass, nullptr, pid);
          if (main && IsWindowVisible(main)) outcomes[i].mainWindowShown = true;
          if (HWND box = e2e::FindMessageBox(pid)) {
            // A box that did not answer is asked again at the next round.
            if (const auto text = e2e::MessageBoxTextIfAnswered(box)) {
              outcomes[i].message = *text;
              e2e::CloseMessageBox(box);
            }
          }
          if (!processes[i]->Running()) {
            done[i] = true;
            outcomes[i].exitCode = processes[i]->Wait(0);
          } else {
            all = false;
          }
        }
        return all;
      },
      kStartMs, 200);
  for (auto& p : processes) p->Kill();
  return outcomes;
}

TEST(StartupFailure, EachLoginFailureShowsItsMessageAndEndsTheProgram) {
  e2e::GoldMineSim sim;
  ASSERT_TRUE(sim.Start(RunFolder() + L"codes\\", Seed()));
  struct Case {
    std::wstring env;
    std::wstring message;
  };
  const std::vector<Case> cases = {
      {L"GM_SIM_LOGIN_CODE=0", L"API already loaded"},
      {L"GM_SIM_LOGIN_CODE=-1", L"API failed to load (dll not in path?)"},
      {L"GM_SIM_LOGIN_CODE=-5", L"Invalid GoldDir"},
      {L"GM_SIM_LOGIN_CODE=-6", L"Invalid CommonDir"},
      {L"GM_SIM_LOGIN_CODE=-7", L"Failed to allocate the needed TLS slot"},
      {L"GM_SIM_LOGIN_CODE=-8", L"General Failure"},
      {L"GM_SIM_LOGIN_CODE=-9", L"No access to specified contact set for this user"},
      {L"GM_SIM_LOGIN_CODE=-12", L""},
  };
  std::vector<std::vector<std::wstring>> envs;
  for (const auto& c : cases) envs.push_back({c.env});
  const auto outcomes = RunPelmoras(envs);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string label(cases[i].env.begin(), cases[i].env.end());
    EXPECT_EQ(outcomes[i].message, cases[i].message) << label;
    EXPECT_FALSE(outcomes[i].mainWindowShown) << label;
    EXPECT_NE(outcomes[i].exitCode, STILL_ACTIVE) << label;
  }
  // No session was opened, so none is closed.
  EXPECT_EQ(sim.CountEvents("logout"), 0);
  sim.Stop();
}

TEST(StartupFailure, AContainerFailureAfterTheLogInLogsOut) {
  e2e::GoldMineSim sim;
  ASSERT_TRUE(sim.Start(RunFolder() + L"container\\", Seed()));
  // Logged in, but the library cannot give the default container.
  const auto outcomes = RunPelmoras({{L"GM_SIM_NV_CREATE=fail"}, {L"GM_SIM_NV_CREATE=raise"}});
  for (const Outcome& o : outcomes) {
    EXPECT_EQ(o.message, L"Could not create default NV container");
    EXPECT_FALSE(o.mainWindowShown);
    EXPECT_NE(o.exitCode, STILL_ACTIVE);
  }
  EXPECT_EQ(sim.CountEvents("login 1"), 2);
  EXPECT_EQ(sim.CountEvents("logout"), 2);
  sim.Stop();
}

TEST(StartupFailure, SysInfoWithoutTheProgramPathFindsNoLibrary) {
  e2e::GoldMineSim sim;
  ASSERT_TRUE(
      sim.Start(RunFolder() + L"nopath\\", Seed() + L" --sysinfo \"GoldMine 2026 gmw.exe\""));
  const auto outcomes = RunPelmoras({{}});
  EXPECT_EQ(outcomes[0].message, L"gm7s32.dll not found in ");
  EXPECT_FALSE(outcomes[0].mainWindowShown);
  sim.Stop();
}

TEST(StartupFailure, LibraryThatCannotBeLoaded) {
  const std::wstring bogus = RunFolder() + L"bogus\\";
  CreateDirectoryW(RunFolder().c_str(), nullptr);
  CreateDirectoryW(bogus.c_str(), nullptr);
  HANDLE f = CreateFileW((bogus + L"gm7s32.dll").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, "not a library", 13, &written, nullptr);
  CloseHandle(f);
  e2e::GoldMineSim sim;
  ASSERT_TRUE(sim.Start(RunFolder() + L"bogusdata\\",
                        Seed() + L" --sysinfo \"GoldMine EXE = " + bogus + L"gmw.exe\""));
  const auto outcomes = RunPelmoras({{}});
  EXPECT_EQ(outcomes[0].message, L"API failed to load (dll not in path?)");
  EXPECT_FALSE(outcomes[0].mainWindowShown);
  sim.Stop();
}

TEST(StartupFailure, NoGoldMineRunning) {
  const auto outcomes = RunPelmoras({{}});
  EXPECT_EQ(outcomes[0].message, L"Please make sure that GoldMine is running");
  EXPECT_FALSE(outcomes[0].mainWindowShown);
}

}  // namespace
