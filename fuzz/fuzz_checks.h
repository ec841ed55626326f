// What a fuzz target does when a property fails: say which and abort, so that libFuzzer keeps
// the input (and the corpus replay fails). Not assert(): the targets are built with NDEBUG.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                         \
    do {                                                                   \
        if (!(condition)) {                                                \
            std::fprintf(stderr, "fuzz check failed: %s\n  ", #condition); \
            std::fprintf(stderr, __VA_ARGS__);                             \
            std::fputc('\n', stderr);                                      \
            std::abort();                                                  \
        }                                                                  \
    } while (false)
