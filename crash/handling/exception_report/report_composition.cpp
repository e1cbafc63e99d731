// The bug report of one exception: the header (laid out by
// crash/report/compose/report_header.cpp from the system's answers) and the
// sections with their placeholders (report_completion.cpp fills them in).
#include <atomic>

#include "crash/base/hex.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/report/compose/plugin_registry.h"
#include "crash/report/compose/report_header.h"
#include "crash/report/compose/thread_title.h"
#include "crash/report/compose/win/header_system.h"
#include "crash/report/lists/win/system_lists.h"
#include "crash/report/stack/win/thread_stacks.h"

namespace ostrel {
namespace {

std::atomic<std::uint64_t> exceptionNumber{0};

}  // namespace

void TExceptionReport::BuildHeader(TReportFields& header) {
  WinHeaderSystem system(
      host_.Module(), [this] { return host_.MillisecondsSinceStart(); }, FormatFileVersion);
  HeaderInputs inputs;
  inputs.time = {time_.wYear,   time_.wMonth,  time_.wDay,         time_.wHour,
                 time_.wMinute, time_.wSecond, time_.wMilliseconds};
  // Plug-ins without a section of their own: a header field each. Called
  // before the exception's text is read, as a plug-in may change it.
  inputs.pluginFields = PluginHeaderFields(ReportPlugins(), GetText("Plugins"), this);
  // Numbered once: the report is composed again when it must be complete.
  if (number_ == 0) number_ = ++exceptionNumber;
  inputs.number = number_;
  ExceptionClassName(inputs.className);
  ExceptionText(inputs.message);
  inputs.frozen = kind_ == ReportKind::Frozen;
  if (inputs.frozen) inputs.frozenMessage = GetText("FrozenMsg");
  inputs.versionText = ReadVersionText();
  inputs.additionalFields = FieldList()->Fields();
  BuildReportHeader(header, system, inputs);
}

// The sections with their placeholders; the completion fills them in.
void TExceptionReport::BuildSections(TReportFields& sections) {
  sections.EnableInput();
  // The threads: the exception's (or, for a freeze, the main thread), its
  // inner exceptions, the main thread, then every other thread of the
  // registry.
  const std::vector<rt::ThreadCreator> threads = rt::ThreadCreators();
  const DWORD mainId = host_.MainThreadId();
  const DWORD first = kind_ == ReportKind::Frozen ? mainId : threadId_;
  const ThreadWalkOptions walkOptions = WalkOptions();
  auto titleInput = [&](DWORD id) {
    ThreadTitleInput t;
    t.threadId = id;
    for (const rt::ThreadCreator& c : threads) {
      if (c.threadId == id) {
        t.name = c.name;
        t.className = c.className;
      }
    }
    return t;
  };
  auto section = [&](DWORD id, int innerLevel, bool exceptionThread, const std::u16string& prefix,
                     const rt::InnerException* inner) {
    try {
      ThreadTitleInput t = titleInput(id);
      t.innerLevel = innerLevel;
      t.tracing = trace_;
      t.showsTheException = exceptionThread;
      if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id)) {
        const int priority = GetThreadPriority(thread);
        t.priority = priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority;
        CloseHandle(thread);
      }
      ThreadWalk w;
      w.threadId = id;
      w.exceptionThread = exceptionThread;
      // A freeze has no context of its own: the frozen main thread's is read
      // as any other thread's, and its first line is where it waits.
      const bool frozen = kind_ == ReportKind::Frozen;
      w.live = !exceptionThread || frozen;
      w.atInstruction = exceptionThread && frozen;
      if (exceptionThread && !frozen) {
        w.address = inner ? inner->address : address_;
        w.external = inner ? inner->external : description_.external;
        const CONTEXT* context = inner ? &inner->context : hasContext_ ? &context_ : nullptr;
        if (context && context->Esp != 0) {
          w.stackPointer = context->Esp;
          w.framePointer = context->Ebp;
          w.readable = true;
        } else if (stackPointer_ != 0) {
          w.stackPointer = stackPointer_;
          w.framePointer = framePointer_;
          w.readable = true;
        }
        w.prepared = &preparedStack_;
      }
      // The reporter's own threads get no section: they are not suspended
      // for one either (one may hold a lock the handling needs next).
      if (ThreadSectionTitle(t).empty()) return;
      bool suspended = false;
      if (!w.readable) w.readable = ReadThreadState(w, suspended, walkOptions);
      t.suspended = suspended;
      ThreadSection entry;
      for (const rt::ThreadCreator& c : threads) {
        if (c.threadId == id && c.creatorAddress != 0) {
          w.creator = c.creatorAddress;
          ThreadTitleInput creator = titleInput(c.creatorThreadId);
          // The creator is named even when it is one of the reporter's own.
          creator.showsTheException = true;
          if (creator.name == u"-") creator.name.clear();
          entry.creatorTitle = ThreadSectionTitle(creator);
          if (!entry.creatorTitle.empty() && entry.creatorTitle.back() == u':')
            entry.creatorTitle.pop_back();
        }
      }
      entry.title = ThreadSectionTitle(t);
      if (entry.title.empty()) return;
      entry.prefix = prefix;
      entry.innerLevel = innerLevel;
      std::u16string contents;
      if (w.readable) {
        if (exceptionThread && w.address)
          contents = FormatAddress(w.address, walkOptions) + u"\r\n";
        contents += u">> stack will be calculated soon";
      } else {
        contents = u">> stack not accessible";
        if (exceptionThread && w.address)
          contents += u", exception location: \r\n" + FormatAddress(w.address, walkOptions);
      }
      sections.SetField(entry.title, prefix + contents);
      threadSections_.push_back(std::move(entry));
      walks_.push_back(std::move(w));
    } catch (...) {
      sections.SetField(u"thread $" + HexText16(id) + u":", InternalErrorText(u"GetThreadStack"));
    }
  };
  section(first, 0, true, u"", nullptr);
  int level = 0;
  for (const rt::InnerException& inner : inner_) {
    section(first, ++level, true, u">> " + inner.className + u", " + inner.message + u"\r\n",
            &inner);
  }
  if (mainId != first) section(mainId, 0, false, u"", nullptr);
  if (GetBool("ListThreads")) {
    for (const rt::ThreadCreator& c : threads) {
      if (c.threadId != first && c.threadId != mainId) section(c.threadId, 0, false, u"", nullptr);
    }
  }
  for (const std::u16string& name : PluginNames(GetText("Plugins"))) {
    const std::optional<ReportPlugin> plugin = ReportPlugins().Find(name);
    if (plugin && plugin->ownSection)
      sections.SetField(plugin->name, u">> will be calculated soon");
  }
  if (hasContext_) {
    if (GetBool("CpuRegs")) sections.SetField(u"cpu registers", u">> will be calculated soon");
    if (GetBool("StackDump")) sections.SetField(u"stack dump", u">> will be calculated soon");
  }
  if (GetBool("ShowDisAsm") && address_)
    sections.SetField(u"disassembling", u">> will be calculated soon");
}

ThreadWalkOptions TExceptionReport::WalkOptions() {
  ThreadWalkOptions options;
  options.hideUglyItems = GetBool("HideUglyItems");
  options.showRelativeAddresses = GetBool("ShowRelAddrs");
  options.showRelativeLines = GetBool("ShowRelLines");
  options.whileRegistered = [](DWORD threadId, const std::function<void()>& work) {
    return rt::WhileRegistered(threadId, work);
  };
  options.serviceThread = [](bool start) {
    if (!start) return rt::RemoveThreadEntry(GetCurrentThreadId());
    const std::u16string name = u"Ostrel - StackWalkThread";
    rt::UpdateThreadEntry(GetCurrentThreadId(), nullptr, &name, 0, 0, nullptr);
  };
  options.inPlace = rt::LoaderLockHeldHere();
  // The test the completion thread passed, made again: the walk starts its
  // thread later, and the locks may have been taken since.
  options.threadCanBeAwaited = [] { return !rt::WaitingIsUnsafe(250); };
  return options;
}

}  // namespace ostrel
