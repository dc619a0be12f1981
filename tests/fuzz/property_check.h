// A broken promise ends the run: libFuzzer keeps the input that did it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, operation_name)                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s: broken: %s (%s:%d)\n", operation_name, #condition, __FILE__, \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
