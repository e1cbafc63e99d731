#pragma once
// Memory that every copy of the reporter in the process may free: cached
// settings are shared between modules that each link their own copy.

#include <cstddef>

namespace ostrel {

// Throws std::bad_alloc when out of memory.
void* SharedAlloc(std::size_t size);
void SharedFree(void* block);

}  // namespace ostrel
