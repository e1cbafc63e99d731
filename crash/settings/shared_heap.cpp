#include "crash/settings/shared_heap.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace ostrel {

void* SharedAlloc(std::size_t size) {
#ifdef _WIN32
  void* p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
#else
  void* p = std::calloc(1, size ? size : 1);
#endif
  if (!p) throw std::bad_alloc();
  return p;
}

void SharedFree(void* block) {
  if (!block) return;
#ifdef _WIN32
  HeapFree(GetProcessHeap(), 0, block);
#else
  std::free(block);
#endif
}

}  // namespace ostrel
