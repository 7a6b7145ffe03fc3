#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant the fuzz targets hold the code to. A broken one aborts, which libFuzzer
// records as a finding and the replay test reports as a failure.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
