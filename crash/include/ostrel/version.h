#pragma once
// The reporter's version, as every report shows it ("Ostrel version") and as
// the installed CMake package states it.

#define OSTREL_VERSION_MAJOR 4
#define OSTREL_VERSION_MINOR 0
#define OSTREL_VERSION_PATCH 17
#define OSTREL_VERSION "4.0.17"
