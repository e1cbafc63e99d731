// The library of zoo_dll_init: it carries its own copy of the reporter, and
// its initialisation raises while the loader lock is held.
#include <stdexcept>

#include "tests/crash/zoo_support.h"

namespace {
struct Watcher {
  Watcher() { zoo::Watch(); }
} watcher;
struct Bad {
  Bad() { throw std::runtime_error("library boom"); }
} bad;
}  // namespace
