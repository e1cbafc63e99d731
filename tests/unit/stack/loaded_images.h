// Windows images laid out in memory as the loader would: relocated to the
// base asked for, their imports bound to each other, each with the symbols
// the running program would find; plus stacks built slot by slot.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crash/report/disasm/memory_image.h"
#include "crash/report/stack/stack_trace.h"

namespace ostrel::test {

class TLoadedImages : public IStackEnvironment {
 public:
  // Maps the file at base (0: its own); false with a message on failure.
  bool Load(const std::string& path, std::uint32_t base, std::string& error);
  // A stack block of size bytes below top.
  void AddStack(std::uint32_t top, std::uint32_t size);
  void Write32(std::uint32_t address, std::uint32_t value);

  // Address of the public (or export) of the module at base with that
  // name, or 0. A function split in a hot and a cold part has two publics
  // of one name: last picks the one at the higher address.
  std::uint32_t Public(std::uint32_t base, const std::u16string& name, bool last = true) const;
  // Return address of the first call in function from to target (0: the
  // first call with a target nobody knows).
  std::uint32_t ReturnAfterCall(std::uint32_t from, std::uint32_t target) const;
  // Address of the first instruction of function that writes memory, or 0.
  std::uint32_t FirstStore(std::uint32_t function) const;

  const TMemoryImage& Memory() const { return memory_; }
  TMemoryImage& Memory() { return memory_; }

  std::shared_ptr<const TMapFile> Symbols(std::uint32_t moduleBase) override;
  std::u16string ModuleFileName(std::uint32_t moduleBase) override;
  bool IsProgramModule(std::uint32_t moduleBase) override;

 private:
  struct Module {
    std::uint32_t base = 0, size = 0;
    std::u16string name;
    bool program = false;
    std::shared_ptr<TMapFile> symbols;
  };
  std::vector<Module> modules_;
  TMemoryImage memory_;
};

// Pushes values downwards from the stack top, as calls would.
class TStackBuilder {
 public:
  TStackBuilder(TLoadedImages& images, std::uint32_t top) : images_(images), sp_(top) {}
  std::uint32_t Push(std::uint32_t value) {
    sp_ -= 4;
    images_.Write32(sp_, value);
    return sp_;
  }
  // A frame with a frame pointer: the return address, then the saved one.
  std::uint32_t PushFrame(std::uint32_t returnAddress) {
    Push(returnAddress);
    fp_ = Push(fp_);
    return fp_;
  }
  std::uint32_t Sp() const { return sp_; }
  std::uint32_t Fp() const { return fp_; }

 private:
  TLoadedImages& images_;
  std::uint32_t sp_;
  std::uint32_t fp_ = 0;
};

}  // namespace ostrel::test
