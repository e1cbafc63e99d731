// The walk's persistent tables (modules and parsed functions) and the
// state of one walk: items and the links between them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crash/report/stack/stack_trace.h"

namespace ostrel {

struct TStackModule {
  std::uint32_t handle = 0, size = 0;
  std::u16string fileName;
  std::uint32_t codeBegin = 0, codeEnd = 0, dataBegin = 0, dataEnd = 0;
  std::shared_ptr<const TMapFile> symbols;
  bool isProgram = false;
  bool exportsRead = false;
  std::vector<std::pair<std::uint32_t, std::u16string>> exports;  // ascending by address
  bool helpersRead = false;
  TRuntimeHelpers helpers;
};

struct TStackFunction {
  int module = -1;
  std::u16string name;
  TFunctionInfo info;
  bool approved = false;
  bool invalid = false;
};

// A call found before a return address.
struct TFoundCall {
  bool found = false;
  int function = -1;
  std::uint32_t callAddress = 0;
  std::uint32_t target = 0;
  bool knownTarget = false;
  std::uint32_t returnAddress = 0;  // may move for a raise call
  // The module's naming information covers the address: only a found call
  // verifies it.
  bool named = false;
};

class TStackTables {
 public:
  TStackTables(const IMemoryReader& reader, IStackEnvironment& environment)
      : reader_(reader), env_(environment) {}

  // Index of the module whose image holds address, registering it; -1 for none.
  int ModuleAt(std::uint32_t address);
  TStackModule& Module(int index) { return modules_[static_cast<std::size_t>(index)]; }
  TStackFunction& Function(int index) { return functions_[static_cast<std::size_t>(index)]; }
  std::size_t FunctionCount() const { return functions_.size(); }

  // The record of the function at entry, parsed once; the functions it
  // calls directly are made too. Approving an existing record approves the
  // recorded functions it calls.
  int MakeFunction(std::uint32_t entry, const std::u16string* name, bool approved);
  // A zero-length stand-in for code that cannot be read.
  int MakePlaceholder(std::uint32_t address);
  void Invalidate(int function) { Function(function).invalid = true; }

  // The nearest export at or below address (the entry point counts as one).
  bool NearestExport(int module, std::uint32_t address, std::uint32_t& start, std::u16string& name);
  // Name of the symbol or export starting at address; empty when none.
  std::u16string NameAt(std::uint32_t address);

  // Algorithm: the call before return address v (tested: the byte looked up).
  TFoundCall FindCall(std::uint32_t v, std::uint32_t tested, bool forced, bool external,
                      int module);
  // The call returning to v inside function f.
  TFoundCall SearchCall(int f, std::uint32_t v, std::uint32_t tested, bool forced, bool external);

  const IMemoryReader& Reader() const { return reader_; }
  IStackEnvironment& Environment() { return env_; }
  void SetSnapshot(const TDATryRead* snapshot) { snapshot_ = snapshot; }
  const TDATryRead* Snapshot() const { return snapshot_; }

 private:
  void ReadExports(TStackModule& module);
  void Approve(int function);
  const TRuntimeHelpers& HelpersOf(int module);

  const IMemoryReader& reader_;
  IStackEnvironment& env_;
  const TDATryRead* snapshot_ = nullptr;
  std::vector<TStackModule> modules_;
  std::vector<TStackFunction> functions_;
  std::map<std::uint32_t, int> functionAt_;
  // Addresses that are in no module (checked once each allocation base).
  std::map<std::uint32_t, bool> notModules_;
};

struct TLink {
  int target = -1;
  std::uint32_t callAddress = 0;
  bool knownTarget = false;
  std::uint32_t callTarget = 0;
  int function = -1;
  std::uint64_t score = 0;
};

struct TStackLinks {
  std::vector<TLink> links;
  int chosen = -1;
};

struct TInternalStackItem {
  std::uint32_t address = 0;
  bool anchored = false, shown = false, deleted = false;
  bool plausible = false;  // points just behind a call into code
  int module = -1;
  TStackLinks lists[2];  // 0: callees (inner), 1: callers (outer)
  // Output.
  std::uint32_t shownAddress = 0;
  std::u16string moduleName, unitName, functionName;
  // Where nothing names the function: the module and the offset into it, so
  // that the address can still be looked up at another load address.
  std::u16string offsetName;
  std::int32_t line = 0, secondLine = 0;
  std::uint32_t functionStart = 0;
};

// One walk.
struct TWalkState {
  TStackTables& tables;
  const TWalkRequest& request;
  std::vector<TInternalStackItem> items;
  std::vector<std::uint32_t> framePointerSlots;
  std::uint32_t tryFinallyReturn = 0;
  std::uint32_t top = 0, bottom = 0, current = 0;

  bool Cancelled() const { return request.cancel && request.cancel->load(); }
  void Progress(int position) const {
    if (request.progress) request.progress(position);
  }
  // Deletes an item and every link that names it.
  void RemoveItem(int index);
  // Marks a function invalid and drops every link naming it.
  void InvalidateFunction(int function);
};

// The steps of a walk, in order.
void CollectPossibleStackItems(TWalkState& walk);
void RemoveRecursiveAreas(TWalkState& walk, bool fullRemoval);
void InDeepChecks(TWalkState& walk);
void RealizeOptimalLinkChains(TWalkState& walk);
void FillFinalOutput(TWalkState& walk, TWalkResult& result);
void ComposeResult(TWalkState& walk, TWalkResult& result);

// The call-instruction pattern in the 8 bytes before v.
bool CallPatternBefore(const std::uint8_t before[8]);

}  // namespace ostrel
