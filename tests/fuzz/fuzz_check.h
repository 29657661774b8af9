// Shared by the fuzz targets: a failing property stops the run with a message and a trap.
#pragma once
#include <cstdio>

#define FUZZ_REQUIRE(condition)                                                            \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            __builtin_trap();                                                              \
        }                                                                                  \
    } while (0)
