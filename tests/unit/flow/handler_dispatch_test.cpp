#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "crash/flow/handler_dispatch.h"

namespace ostrel {
namespace {

using Calls = std::vector<std::string>;

// Handlers get this recorder as their report, so plain routines have
// somewhere to write.
struct Recorder {
  Calls calls;
  std::map<std::string, std::function<void(bool&)>> effects;
  bool onMainThread = false;

  void Hit(const std::string& name, bool& handled) {
    calls.push_back(onMainThread ? name + "@main" : name);
    if (auto it = effects.find(name); it != effects.end()) it->second(handled);
  }
};

Recorder& Of(IExceptionReport* report) { return *reinterpret_cast<Recorder*>(report); }

template <int N>
void Routine(IExceptionReport* report, bool& handled) {
  Of(report).Hit("r" + std::to_string(N), handled);
}

void Method(void* object, IExceptionReport* report, bool& handled) {
  Of(report).Hit(*static_cast<std::string*>(object), handled);
}

template <int N>
void ActionRoutine(ReportAction action, IExceptionReport* report, bool& handled) {
  Of(report).Hit("r" + std::to_string(N) + ":" + std::to_string(action), handled);
}

void ActionMethod(void* object, ReportAction action, IExceptionReport* report, bool& handled) {
  Of(report).Hit(*static_cast<std::string*>(object) + ":" + std::to_string(action), handled);
}

struct FakeMainThread : IMainThreadCalls {
  Recorder& recorder;
  bool answers = true;
  bool throwsAfterRunning = false;
  int asked = 0;

  explicit FakeMainThread(Recorder& r) : recorder(r) {}
  bool RunOnMainThread(const std::function<void()>& work) override {
    ++asked;
    if (!answers) return false;
    recorder.onMainThread = true;
    work();
    recorder.onMainThread = false;
    if (throwsAfterRunning) throw std::runtime_error("lost the reply");
    return true;
  }
};

const auto SetHandled = [](bool& h) { h = true; };

constexpr auto kHere = SyncMode::HandlerThread;
constexpr auto kMain = SyncMode::MainThread;
constexpr auto kMainOrHere = SyncMode::MainThreadOrHere;

struct HandlerDispatch : ::testing::Test {
  HandlerLists lists;
  Recorder rec;
  FakeMainThread main{rec};
  std::string m1 = "m1", m2 = "m2";

  DispatchContext Context() {
    return {reinterpret_cast<IExceptionReport*>(&rec), true, false, &main};
  }
  bool Fire(std::uint8_t phase, DispatchContext c) {
    bool handled = false;
    FireExceptionHandlers(lists, phase, c, handled);
    return handled;
  }
  bool Fire(std::uint8_t phase) { return Fire(phase, Context()); }
  void Reset(std::map<std::string, std::function<void(bool&)>> effects = {}) {
    rec.calls.clear();
    rec.effects = std::move(effects);
  }
};

TEST_F(HandlerDispatch, Registration) {
  EXPECT_FALSE(lists.RegisterException(ExceptionHandlerRoutine{}, kHere, 1));
  EXPECT_FALSE(lists.RegisterException(&Routine<1>, kHere, 0));
  EXPECT_FALSE(lists.RegisterException(&Routine<1>, kHere, 5));
  EXPECT_FALSE(lists.RegisterException(&Routine<1>, static_cast<SyncMode>(3), 1));
  EXPECT_FALSE(lists.Any(HandlerKind::Exception));

  lists.RegisterException(&Routine<1>, kHere, 1);
  lists.RegisterException(&Routine<2>, kHere, 1);
  lists.RegisterException(&Routine<1>, kMain, 1);  // only the mode changes
  lists.RegisterException(&Routine<1>, kHere, 3);  // another phase, another entry
  lists.RegisterException(&Method, &m1, kHere, 1);
  lists.RegisterException(&Method, &m2, kHere, 1);
  auto snap = lists.ExceptionSnapshot();
  ASSERT_EQ(snap.routines.size(), 3u);
  EXPECT_EQ(snap.routines[0].mode, kMain);
  EXPECT_TRUE(lists.AnyExceptionHandlerForPhase(3));

  EXPECT_TRUE(lists.UnregisterException(&Routine<1>));
  EXPECT_FALSE(lists.AnyExceptionHandlerForPhase(3));
  EXPECT_TRUE(lists.UnregisterException(&Method, &m1));
  EXPECT_FALSE(lists.UnregisterException(&Method, &m1));
  EXPECT_EQ(lists.ExceptionSnapshot().methods.size(), 1u);
  EXPECT_FALSE(lists.Any(HandlerKind::Action));

  // The lock-free answer every catch block asks follows the hidden list.
  EXPECT_FALSE(lists.AnyHidden());
  lists.RegisterHidden(&Routine<1>, kHere);
  lists.RegisterHidden(&Method, &m1, kHere);
  EXPECT_TRUE(lists.AnyHidden());
  EXPECT_TRUE(lists.UnregisterHidden(&Routine<1>));
  EXPECT_TRUE(lists.AnyHidden());
  EXPECT_TRUE(lists.UnregisterHidden(&Method, &m1));
  EXPECT_FALSE(lists.AnyHidden());
  lists.RegisterHidden(&Routine<2>, kHere);
  lists.Clear();
  EXPECT_FALSE(lists.AnyHidden());
}

TEST_F(HandlerDispatch, EarlyPhasesRunThePhaseMethodsFirstUntilHandled) {
  lists.RegisterException(&Routine<1>, kHere, 2);
  lists.RegisterException(&Routine<9>, kHere, 1);
  lists.RegisterException(&Method, &m1, kHere, 2);
  lists.RegisterException(&Routine<2>, kHere, 2);
  lists.RegisterException(&Method, &m2, kHere, 2);
  EXPECT_FALSE(Fire(2));
  EXPECT_EQ(rec.calls, (Calls{"m1", "m2", "r1", "r2"}));
  Reset({{"m1", SetHandled}});
  EXPECT_TRUE(Fire(2));
  EXPECT_EQ(rec.calls, (Calls{"m1"}));
  Reset({{"r1", SetHandled}});
  EXPECT_TRUE(Fire(2));
  EXPECT_EQ(rec.calls, (Calls{"m1", "m2", "r1"}));
  Reset();
  Fire(0);
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(HandlerDispatch, LatePhasesRunAllAndForgetHandled) {
  for (std::uint8_t phase : {3, 4}) {
    lists.Clear();
    lists.RegisterException(&Method, &m1, kHere, phase);
    lists.RegisterException(&Method, &m2, kHere, phase);
    lists.RegisterException(&Routine<1>, kHere, phase);
    lists.RegisterException(&Routine<2>, kHere, phase);
    lists.RegisterException(&Routine<3>, kMain, phase);
    Reset({{"r1", SetHandled}});
    EXPECT_FALSE(Fire(phase));
    // Cleared after the first round, so the main thread's round runs too.
    EXPECT_EQ(rec.calls, (Calls{"m1", "m2", "r1", "r2", "r3@main"}));
    // A method that sets handled skips the routines, not the other methods.
    Reset({{"m1", SetHandled}});
    EXPECT_FALSE(Fire(phase));
    EXPECT_EQ(rec.calls, (Calls{"m1", "m2", "r3@main"}));
  }
}

TEST_F(HandlerDispatch, ActionsStopAtHandledHiddenAllRun) {
  lists.RegisterAction(&ActionMethod, &m1, kHere);
  lists.RegisterAction(&ActionRoutine<1>, kHere);
  bool handled = false;
  FireActionHandlers(lists, kActionRestart, Context(), handled);
  EXPECT_EQ(rec.calls, (Calls{"m1:12", "r1:12"}));
  Reset({{"m1:6", SetHandled}});
  FireActionHandlers(lists, kActionSent, Context(), handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(rec.calls, (Calls{"m1:6"}));

  lists.RegisterHidden(&Method, &m1, kHere);
  lists.RegisterHidden(&Routine<1>, kHere);
  lists.RegisterHidden(&Routine<2>, kMain);
  Reset({{"m1", [](bool& h) { h = false; }}, {"r1", SetHandled}});
  handled = true;
  FireHiddenHandlers(lists, Context(), handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(rec.calls, (Calls{"m1", "r1", "r2@main"}));
}

TEST_F(HandlerDispatch, SwitchedOffOrRaisingHandlers) {
  lists.RegisterException(&Method, &m1, kHere, 1);
  lists.RegisterException(&Routine<1>, kHere, 1);
  lists.RegisterException(&Routine<2>, kMainOrHere, 1);
  DispatchContext off = Context();
  off.callHandlers = false;
  Fire(1, off);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(main.asked, 0);

  // A raising handler is skipped, and what it did to handled does not count.
  const auto raise = [](bool& h) {
    h = true;
    throw std::runtime_error("handler failed");
  };
  Reset({{"m1", raise}, {"r1", raise}});
  EXPECT_FALSE(Fire(1));
  EXPECT_EQ(rec.calls, (Calls{"m1", "r1", "r2@main"}));
}

TEST_F(HandlerDispatch, MainThreadRunsModesOneAndTwo) {
  lists.RegisterException(&Routine<1>, kMain, 1);
  lists.RegisterException(&Routine<2>, kHere, 1);
  lists.RegisterException(&Routine<3>, kMainOrHere, 1);
  lists.RegisterException(&Method, &m1, kMainOrHere, 1);
  lists.RegisterException(&Routine<4>, kMainOrHere, 2);
  EXPECT_FALSE(Fire(1));
  EXPECT_EQ(rec.calls, (Calls{"r2", "m1@main", "r1@main", "r3@main"}));
  EXPECT_EQ(main.asked, 1);
  // Handled on the handling thread: the main thread is not asked.
  Reset({{"r2", SetHandled}});
  EXPECT_TRUE(Fire(1));
  EXPECT_EQ(rec.calls, (Calls{"r2"}));
  EXPECT_EQ(main.asked, 1);

  // Main thread unreachable, silent or frozen: mode 2 runs here.
  DispatchContext none = Context(), frozen = Context();
  none.mainThread = nullptr;
  frozen.frozen = true;
  main.answers = false;
  for (const DispatchContext& c : {Context(), none, frozen}) {
    Reset();
    Fire(1, c);
    EXPECT_EQ(rec.calls, (Calls{"r2", "m1", "r3"}));
  }
  EXPECT_EQ(main.asked, 2);

  // Handlers that ran there do not run twice, however the call ended.
  main.answers = true;
  main.throwsAfterRunning = true;
  Reset();
  Fire(2);
  EXPECT_EQ(rec.calls, (Calls{"r4@main"}));
}

void RegistersAnother(void* object, IExceptionReport* report, bool& handled) {
  auto& lists = *static_cast<HandlerLists*>(object);
  Of(report).Hit("changer", handled);
  lists.RegisterException(&Routine<9>, kHere, 1);
  lists.UnregisterException(&RegistersAnother, object);
  lists.UnregisterException(&Routine<1>);
}

TEST_F(HandlerDispatch, ListsChangedWhileRunningTakeEffectNextTime) {
  lists.RegisterException(&RegistersAnother, &lists, kHere, 1);
  lists.RegisterException(&Routine<1>, kHere, 1);
  Fire(1);
  EXPECT_EQ(rec.calls, (Calls{"changer", "r1"}));
  Reset();
  Fire(1);
  EXPECT_EQ(rec.calls, (Calls{"r9"}));
}

}  // namespace
}  // namespace ostrel
