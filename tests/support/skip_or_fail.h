#pragma once
// A test that cannot run here skips, except where everything must run
// (scripts/test.sh sets PELMORA_NO_SKIPS): there a skip would hide a fault.
#include <gtest/gtest.h>

#include <cstdlib>

#define PELMORA_SKIP_OR_FAIL(message)                                     \
  do {                                                                    \
    if (std::getenv("PELMORA_NO_SKIPS")) {                                \
      FAIL() << message << " (and PELMORA_NO_SKIPS asks for every test)"; \
    } else {                                                              \
      GTEST_SKIP() << message;                                            \
    }                                                                     \
  } while (0)
