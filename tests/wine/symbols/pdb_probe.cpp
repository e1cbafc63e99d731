// A module of its own, built by clang and lld with a program database beside
// it and nothing else: no run-time library, no symbol resource, no map. The
// symbol tests find its functions and lines through the debug-help library.
namespace {

__attribute__((noinline)) unsigned ReturnAddress() {
  return static_cast<unsigned>(reinterpret_cast<__UINTPTR_TYPE__>(__builtin_return_address(0)));
}

}  // namespace

// first: the line the function starts on.
extern "C" __declspec(dllexport) unsigned PdbAlpha(int* line, int* first) {
  *first = __LINE__ - 1;
  *line = __LINE__ + 1;
  const unsigned here = ReturnAddress();
  return here - 1;
}

namespace probe {

class TPdbForm {
 public:
  static unsigned Refresh(int* line);
};

unsigned TPdbForm::Refresh(int* line) {
  *line = __LINE__ + 1;
  const unsigned here = ReturnAddress();
  return here - 1;
}

}  // namespace probe

extern "C" __declspec(dllexport) unsigned PdbBeta(int* line) {
  return probe::TPdbForm::Refresh(line);
}

// Builds differ in code, so each PDB gets an identity of its own.
extern "C" __declspec(dllexport) int PdbBuild() { return PDB_PROBE_BUILD; }

extern "C" int __stdcall PdbProbeEntry(void*, unsigned long, void*) { return 1; }
