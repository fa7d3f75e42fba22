// One libFuzzer program per reader: TARVEX_FUZZ_TARGET names the entry point.
#include <cstddef>
#include <cstdint>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const FuzzTarget target = fuzzTarget(TARVEX_FUZZ_TARGET);
    target(data, size);
    return 0;
}
