// libFuzzer target: see fuzz_checks.h for what must hold.
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string why = pm::fuzz::CheckScore(data, size);
    if (!why.empty()) {
        std::fprintf(stderr, "fuzz_score: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
