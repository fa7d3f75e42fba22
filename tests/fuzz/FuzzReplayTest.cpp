#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FuzzTargets.h"
#include "support/CaseNames.h"

// The targets print as their names; NamedFuzzTarget lives in the global
// namespace, where gtest looks for its PrintTo.
using case_names::PrintTo;

namespace {

namespace fs = std::filesystem;

std::vector<char> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public ::testing::TestWithParam<NamedFuzzTarget> {};

// Every seed and every input that ever broke a reader runs through it again.
TEST_P(FuzzReplay, KeptInputsRunCleanly) {
    const NamedFuzzTarget& target = GetParam();
    int replayed = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        fs::path folder = fs::path(TARVEX_SOURCE_DIR) / "fuzz" / kind / target.name;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            std::vector<char> bytes = bytesOf(entry.path());
            target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no seed for " << target.name;
}

// Inputs no seed covers: nothing, binary noise, a very long token.
TEST_P(FuzzReplay, EdgeInputsRunCleanly) {
    const NamedFuzzTarget& target = GetParam();
    target.run(nullptr, 0);
    std::vector<uint8_t> noise(4096);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 7919) % 256);
    target.run(noise.data(), noise.size());
    std::vector<uint8_t> digits(200000, '9');
    target.run(digits.data(), digits.size());
}

INSTANTIATE_TEST_SUITE_P(EachReader, FuzzReplay, ::testing::ValuesIn(fuzzTargets()),
                         RowName{});

}  // namespace
