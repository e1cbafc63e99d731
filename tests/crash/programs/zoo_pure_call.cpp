// A pure virtual function called while the object is built.
// expect exit: 1
// expect output: phase 1 source 11 class EOstrelError continuable 0 thread main message Runtime
// error: pure virtual function call.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

struct Base {
  Base() { Call(); }
  void Call() { Run(); }
  virtual void Run() = 0;
  virtual ~Base() = default;
};
struct Derived : Base {
  void Run() override {}
};
int main() {
  zoo::Watch();
  Derived d;
}
