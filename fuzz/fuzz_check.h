#pragma once

// Property checks of the fuzz targets. A failed check aborts, so libFuzzer keeps the input as a
// crash and prints the stack.

#include <cstdio>
#include <cstdlib>

namespace TavroFuzz {

[[noreturn]] inline void propertyFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace TavroFuzz

#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::TavroFuzz::propertyFailed(#cond, __FILE__, __LINE__))
