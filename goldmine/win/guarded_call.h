// Calls into a foreign library that may end in a structured exception (an
// access violation, or the library's own exception that it does not handle).
#pragma once

namespace pelmora {

// Runs fn(arg). False when an exception left fn: the frames fn pushed are
// unwound and the caller continues. Exceptions fn handles itself are not seen.
bool CallGuarded(void (*fn)(void*), void* arg);

// The same for a callable returning int; fallback when it raised.
template <typename F>
int CallGuardedInt(F&& f, int fallback) {
  struct Call {
    F* f;
    int result;
  } call{&f, fallback};
  if (!CallGuarded(
          [](void* p) {
            auto* c = static_cast<Call*>(p);
            c->result = (*c->f)();
          },
          &call))
    return fallback;
  return call.result;
}

}  // namespace pelmora
