// Thread names entered by a library that the program frees afterwards stay
// readable, are replaced by the program without harm to the heap, and name
// the thread in a later report. (The library stays mapped: the reporter
// pins every library that carries it.)
// expect exit: 0
// expect output: unloaded 1
// expect output: unloaded 1
// expect output: still mapped 1
// expect output: worker is named by the library
// expect output: main is main again
// expect output: heap sound
// expect output: phase 1 source 13 class std::runtime_error continuable 1 thread worker
// expect output: message after the unload. name named by the library
// expect output: main goes on
// expect within: 30
#include <windows.h>

#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

HANDLE go = nullptr;

DWORD WINAPI Worker(void*) {
  WaitForSingleObject(go, INFINITE);
  throw std::runtime_error("after the unload");
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

}  // namespace

int main() {
  zoo::Watch();
  go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD workerId = 0;
  HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, &workerId);
  // Twice: a library that stopped its copy of the reporter starts it again.
  for (int round = 0; round < 2; ++round) {
    HMODULE library = LoadLibraryW(L"zoo_naming_library.dll");
    using NameThreads = void (*)(DWORD);
    auto name = reinterpret_cast<NameThreads>(
        reinterpret_cast<void*>(GetProcAddress(library, "NameThreads")));
    if (!name) zoo::Say("no library");
    if (name) name(workerId);
    zoo::Say("unloaded %d", FreeLibrary(library) ? 1 : 0);
  }
  zoo::Say("still mapped %d", GetModuleHandleW(L"zoo_naming_library.dll") ? 1 : 0);
  zoo::Say("worker is %s", Narrow(ostrel::ThreadNameOf(workerId)).c_str());
  ostrel::SetThreadName(GetCurrentThreadId(), u"main again");
  zoo::Say("main is %s", Narrow(ostrel::ThreadNameOf(GetCurrentThreadId())).c_str());
  if (HeapValidate(GetProcessHeap(), 0, nullptr)) zoo::Say("heap sound");
  SetEvent(go);
  WaitForSingleObject(worker, INFINITE);
  zoo::Say("main goes on");
}
