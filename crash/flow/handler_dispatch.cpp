#include "crash/flow/handler_dispatch.h"

#include <algorithm>

namespace ostrel {

namespace {

enum class RoundRule {
  StopAtHandled,     // the first handler that sets handled ends the round
  AllRunClearAfter,  // a method that sets it skips the routines; cleared after
  AllRun,
};

// A handler that raises is ignored, including what it did to `handled`.
template <class Call>
void Guarded(bool& handled, Call&& call) {
  bool local = handled;
  try {
    call(local);
  } catch (...) {
    return;
  }
  handled = local;
}

// Calls one handler entry, routine or method, with `handled`.
template <class Entry>
using EntryCall = std::function<void(const Entry&, bool&)>;

template <class List>
struct Callers {
  EntryCall<typename decltype(List::methods)::value_type> method;
  EntryCall<typename decltype(List::routines)::value_type> routine;
};

template <class List, class Pick>
bool RunRound(const List& list, Pick pick, RoundRule rule, bool& handled,
              const Callers<List>& call) {
  bool methodRan = false;
  for (const auto& e : list.methods) {
    if (!pick(e.mode, e.phase)) continue;
    methodRan = true;
    Guarded(handled, [&](bool& h) { call.method(e, h); });
    if (rule == RoundRule::StopAtHandled && handled) return true;
  }
  bool routineRan = false;
  if (rule == RoundRule::AllRun || !(methodRan && handled)) {
    for (const auto& e : list.routines) {
      if (!pick(e.mode, e.phase)) continue;
      routineRan = true;
      Guarded(handled, [&](bool& h) { call.routine(e, h); });
      if (rule == RoundRule::StopAtHandled && handled) break;
    }
  }
  if (rule == RoundRule::AllRunClearAfter) handled = false;
  return methodRan || routineRan;
}

template <class List, class PhaseOk>
void Fire(const List& list, PhaseOk phaseOk, RoundRule rule, const DispatchContext& context,
          bool& handled, const Callers<List>& call) {
  if (list.Empty()) return;
  auto pickModes = [&](auto modeOk) {
    return [=](SyncMode mode, std::uint8_t phase) { return modeOk(mode) && phaseOk(phase); };
  };
  auto here = pickModes([](SyncMode m) { return m == SyncMode::HandlerThread; });
  auto elsewhere = pickModes([](SyncMode m) { return m != SyncMode::HandlerThread; });
  auto fallback = pickModes([](SyncMode m) { return m == SyncMode::MainThreadOrHere; });

  const bool ranHere = RunRound(list, here, rule, handled, call);
  // Hidden-exception handlers all run, wherever they belong.
  if (rule != RoundRule::AllRun && handled && ranHere) return;
  auto wanted = [&](const auto& e) { return elsewhere(e.mode, e.phase); };
  if (std::ranges::none_of(list.methods, wanted) && std::ranges::none_of(list.routines, wanted))
    return;

  bool ranOnMain = false;
  if (!context.frozen && context.mainThread) {
    bool started = false;
    const std::function<void()> work = [&] {
      started = true;
      RunRound(list, elsewhere, rule, handled, call);
    };
    try {
      ranOnMain = context.mainThread->RunOnMainThread(work);
    } catch (...) {
    }
    // However the call ended, handlers that ran there must not run twice.
    ranOnMain = ranOnMain || started;
  }
  if (!ranOnMain) RunRound(list, fallback, rule, handled, call);
}

bool AnyPhase(std::uint8_t) { return true; }

}  // namespace

void FireExceptionHandlers(const HandlerLists& lists, std::uint8_t phase,
                           const DispatchContext& context, bool& handled) {
  if (!context.callHandlers) return;
  const ExceptionHandlerList list = lists.ExceptionSnapshot();
  IExceptionReport* report = context.report;
  const Callers<ExceptionHandlerList> call{
      [report](const auto& e, bool& h) { e.method(e.object, report, h); },
      [report](const auto& e, bool& h) { e.routine(report, h); }};
  const RoundRule rule = phase <= 2 ? RoundRule::StopAtHandled : RoundRule::AllRunClearAfter;
  Fire(
      list, [phase](std::uint8_t p) { return p == phase; }, rule, context, handled, call);
}

void FireActionHandlers(const HandlerLists& lists, ReportAction action,
                        const DispatchContext& context, bool& handled) {
  if (!context.callHandlers) return;
  const ActionHandlerList list = lists.ActionSnapshot();
  IExceptionReport* report = context.report;
  const Callers<ActionHandlerList> call{
      [action, report](const auto& e, bool& h) { e.method(e.object, action, report, h); },
      [action, report](const auto& e, bool& h) { e.routine(action, report, h); }};
  Fire(list, AnyPhase, RoundRule::StopAtHandled, context, handled, call);
}

void FireHiddenHandlers(const HandlerLists& lists, const DispatchContext& context, bool& handled) {
  if (!context.callHandlers) return;
  const HiddenHandlerList list = lists.HiddenSnapshot();
  IExceptionReport* report = context.report;
  const Callers<HiddenHandlerList> call{
      [report](const auto& e, bool& h) { e.method(e.object, report, h); },
      [report](const auto& e, bool& h) { e.routine(report, h); }};
  Fire(list, AnyPhase, RoundRule::AllRun, context, handled, call);
}

}  // namespace ostrel
