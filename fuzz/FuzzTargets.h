#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One entry point per reader, fed with arbitrary bytes: the libFuzzer
// harnesses call them, and the ordinary test suite replays every kept input
// through them. Each must return for any input without a crash, a hang or a
// sanitizer report.
using FuzzTarget = void (*)(const uint8_t* data, std::size_t size);

struct NamedFuzzTarget {
    const char* name;  // also the folder of its corpus: fuzz/corpus/<name>/
    FuzzTarget run;
};

const std::vector<NamedFuzzTarget>& fuzzTargets();
FuzzTarget fuzzTarget(const std::string& name);
