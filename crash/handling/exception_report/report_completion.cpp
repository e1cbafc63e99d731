// The completion of a report: the threads' stacks walked, the lists, the
// registers, the stack dump and the disassembly put into their sections,
// normally on a thread of its own while the exception box is shown
// (completion_thread.cpp).
#include <mutex>

#include "crash/base/crc32.h"
#include "crash/base/hex.h"
#include "crash/base/short_text.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/report/compose/plugin_registry.h"
#include "crash/report/compose/report_text.h"
#include "crash/report/disasm/listing.h"
#include "crash/report/disasm/win/process_memory.h"
#include "crash/report/stack/win/thread_stacks.h"
#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "crash/base/utf.h"

namespace ostrel {

void TExceptionReport::ReplaceSectionContents(const std::u16string& title,
                                              const std::u16string& contents) {
  if (completion_.Cancelled().load() || !sections_) return;
  EnterUpdate();
  sections_->SetField(title, contents);
  LeaveUpdate();
}

std::u16string TExceptionReport::Disassembly(std::uint32_t start, std::uint32_t at) {
  if (start == 0) {
    // The walk found no function: the public the symbols name around the address.
    const auto symbols = SymbolsForModule(address_);
    const TMfPublic function = symbols && symbols->valid
                                   ? PublicAt(*symbols, static_cast<std::uint32_t>(address_))
                                   : TMfPublic{};
    if (!function.valid || !function.code) return {};
    start = function.address;
    at = static_cast<std::uint32_t>(address_);
  }
  const TProcessMemoryReader reader;
  TListingOptions options;
  options.formatDelimiters = GetBool("FormatDisAsm");
  options.lineLimit = GetInt("LimitDisAsm");
  const TDisasmSymbols callbacks = SymbolCallbacksForDisassembler();
  TFunctionInfo info;
  const std::string listing = DisassembleFunction(reader, start, at, options, &callbacks, {}, info);
  return AsciiToUtf16(listing);
}

void TExceptionReport::CompleteReport() {
  // One completion at a time: reports of exceptions in several threads
  // would otherwise list the system side by side.
  static std::mutex oneAtATime;
  std::unique_lock<std::mutex> hold(oneAtATime);
  try {
    // Without the thread list the sections hold the exception's thread and
    // the main thread; the main thread's stack is completed as well (left
    // as a placeholder it would say "will be calculated soon" for good), but
    // only the exception's thread counts in the checksums.
    const bool listThreads = GetBool("ListThreads");
    std::vector<std::u16string> minimal;
    ThreadWalkOptions options = WalkOptions();
    options.area = &completion_.Area();
    options.position = &completion_.Position();
    // Threads have moved on since the placeholders: their contexts are read
    // now, as the walk is made.
    for (ThreadWalk& w : walks_) {
      if (!w.live || !w.readable) continue;
      bool suspended = false;
      w.stackTop = 0;
      w.readable = ReadThreadState(w, suspended, options);
      w.gone = !w.readable;
    }
    WalkThreads(walks_, options, &completion_.Cancelled(), &minimal);
    if (completion_.Cancelled().load()) return;
    std::uint32_t sums[3] = {};
    std::uint32_t function = 0, functionAddress = 0;
    for (std::size_t i = 0; i < walks_.size(); ++i) {
      const ThreadWalk& w = walks_[i];
      const ThreadSection& e = threadSections_[i];
      if (w.gone) ReplaceSectionContents(e.title, e.prefix + u">> stack not accessible");
      if (!w.readable) continue;
      std::u16string text = w.failed ? InternalErrorText(u"GetThreadReport") : w.result.text;
      // An empty contents would drop the section.
      if (text.empty()) text = u">> no return address found on the stack";
      if (!e.creatorTitle.empty() && !text.empty() && text[0] != u'>') {
        // The creation location, the walk's last line, gets its own title.
        const std::size_t last = text.rfind(u"\r\n");
        const std::u16string line = u"\r\n>> created by " + e.creatorTitle + u" at:";
        if (last == std::u16string::npos) {
          text = line.substr(2) + u"\r\n" + text;
        } else {
          text.insert(last, line);
        }
      }
      ReplaceSectionContents(e.title, e.prefix + text);
      if (i == 0) {
        sums[0] = w.result.checksum1;
        sums[1] = sums[2] = w.result.checksum2;
        function = w.result.exceptionFunction;
        functionAddress = w.result.exceptionFunctionAddress;
      } else if (w.result.hasLineNumbers && (listThreads || w.exceptionThread)) {
        sums[2] = Crc32UpdateWord(sums[2], w.result.checksum2);
      }
      if (e.innerLevel > 0 && e.innerLevel == static_cast<int>(inner_.size())) {
        function = w.result.exceptionFunction;
        functionAddress = w.result.exceptionFunctionAddress;
      }
    }
    if (completion_.Cancelled().load()) return;
    // Registers and stack of the exception, or of its last inner exception.
    const CONTEXT* context = !inner_.empty() ? &inner_.back().context
                             : hasContext_   ? &context_
                                             : nullptr;
    if (context && hasContext_) {
      try {
        CpuRegisters r;
        r.eax = context->Eax;
        r.ebx = context->Ebx;
        r.ecx = context->Ecx;
        r.edx = context->Edx;
        r.esi = context->Esi;
        r.edi = context->Edi;
        r.eip = context->Eip;
        r.esp = context->Esp;
        r.ebp = context->Ebp;
        if (GetBool("CpuRegs")) ReplaceSectionContents(u"cpu registers", CpuRegistersText(r));
      } catch (...) {
        ReplaceSectionContents(u"cpu registers", InternalErrorText(u"GetCpuRegisters"));
      }
      if (GetBool("StackDump")) {
        try {
          MEMORY_BASIC_INFORMATION region{};
          std::uint32_t end = 0;
          if (VirtualQuery(reinterpret_cast<void*>(static_cast<std::uintptr_t>(context->Esp)),
                           &region, sizeof region) == sizeof region) {
            end = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(region.BaseAddress) +
                                             region.RegionSize);
          }
          const TProcessMemoryReader reader;
          ReplaceSectionContents(u"stack dump", StackDumpText(reader, context->Esp, end));
        } catch (...) {
          ReplaceSectionContents(u"stack dump", InternalErrorText(u"GetStackDump"));
        }
      }
    }
    if (GetBool("ShowDisAsm") && address_) {
      try {
        const std::u16string listing = Disassembly(function, functionAddress);
        // An empty listing drops the placeholder section.
        ReplaceSectionContents(u"disassembling", listing);
      } catch (...) {
        ReplaceSectionContents(u"disassembling", InternalErrorText(u"GetCleartextDisAsm"));
      }
    }
    for (const std::u16string& name : PluginNames(GetText("Plugins"))) {
      if (completion_.Cancelled().load()) return;
      const std::optional<ReportPlugin> plugin = ReportPlugins().Find(name);
      if (!plugin || !plugin->ownSection) continue;
      try {
        ReplaceSectionContents(plugin->name, CallReportPlugin(*plugin, this));
      } catch (...) {
        ReplaceSectionContents(plugin->name, InternalErrorText(u"plugin"));
      }
    }
    if (completion_.Cancelled().load()) return;
    EnterUpdate();
    for (int k = 0; k < 3; ++k) checksums_[k] = sums[k];
    header_->SetField(u"callstack crc", u"$" + HexText16(sums[0], 8) + u", $" +
                                            HexText16(sums[1], 8) + u", $" + HexText16(sums[2], 8));
    for (const std::u16string& m : minimal) {
      const std::size_t bar = m.find(u'|');
      if (bar != std::u16string::npos)
        header_->SetField(m.substr(0, bar) + u".ostrel", m.substr(bar + 1));
    }
    complete_ = true;
    Changed();
    LeaveUpdate();
    // Completed while the exception is shown: the handlers of the complete
    // report run now, on this thread, with other reports free to complete.
    hold.unlock();
    if (!completion_.Cancelled().load()) EnterCompletePhase(true);
  } catch (...) {
    // The completion never throws out of its thread; the report keeps what it has.
  }
}

void TExceptionReport::BuildLists() {
  bool start = false;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (header_) return;
    auto header = std::make_unique<TReportFields>();
    auto sections = std::make_unique<TReportFields>();
    BuildHeader(*header);
    BuildSections(*sections);
    // Every change is the report's: its text is made again, its callbacks told.
    header->OnChange([this] {
      ++changes_;
      Changed();
    });
    sections->OnChange([this] {
      ++changes_;
      Changed();
    });
    headerObject_ = std::make_unique<TReportFieldsObject>(*header, *this);
    sectionsObject_ = std::make_unique<TReportFieldsObject>(*sections, *this);
    header_ = std::move(header);
    sections_ = std::move(sections);
    start = !dontCompleteYet_;
  }
  if (start) completion_.Start(completionElsewhereAllowed_ || host_.IsHandlerThread());
}

IReportFields* TExceptionReport::ReportHeader() {
  BuildLists();
  return headerObject_.get();
}

IReportFields* TExceptionReport::ReportSections() {
  BuildLists();
  return sectionsObject_.get();
}

std::vector<std::uint64_t> TExceptionReport::WalkWeights() const {
  std::vector<std::uint64_t> weights;
  for (const ThreadWalk& w : walks_) {
    weights.push_back(w.stackTop > w.stackPointer ? (w.stackTop - w.stackPointer) * 100ull : 100);
  }
  return weights;
}

}  // namespace ostrel
