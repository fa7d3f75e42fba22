#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "FuzzTargets.h"
#include "support/CaseNames.h"

// The targets print as their names; NamedFuzzTarget lives in the global
// namespace, where gtest looks for its PrintTo.
using case_names::PrintTo;

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzFolder = fs::path(TARVEX_SOURCE_DIR) / "fuzz";

std::vector<char> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs one input; a violated property traps and ends the test program.
void replay(const NamedFuzzTarget& target, const void* bytes, std::size_t size, int& replayed) {
    target.run(static_cast<const uint8_t*>(bytes), size);
    ++replayed;
}

class FuzzReplay : public ::testing::TestWithParam<NamedFuzzTarget> {};

// Every seed and every input that ever broke a reader runs through it again,
// each file of both folders once.
TEST_P(FuzzReplay, KeptInputsRunCleanly) {
    const NamedFuzzTarget& target = GetParam();
    ASSERT_EQ(fuzzTarget(target.name), target.run);
    int replayed = 0, files = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = kFuzzFolder / kind / target.name;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            ++files;
            if (!entry.is_regular_file()) continue;
            std::vector<char> bytes = bytesOf(entry.path());
            replay(target, bytes.data(), bytes.size(), replayed);
        }
    }
    EXPECT_TRUE(fs::is_directory(kFuzzFolder / "corpus" / target.name)) << "no seed for " << target.name;
    EXPECT_GT(replayed, 0) << "no seed for " << target.name;
    EXPECT_EQ(replayed, files) << "a kept input of " << target.name << " is not a regular file";
}

// Inputs no seed covers: nothing, binary noise, a very long token.
TEST_P(FuzzReplay, EdgeInputsRunCleanly) {
    const NamedFuzzTarget& target = GetParam();
    int replayed = 0;
    replay(target, nullptr, 0, replayed);
    std::vector<uint8_t> noise(4096);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 7919) % 256);
    replay(target, noise.data(), noise.size(), replayed);
    std::vector<uint8_t> digits(200000, '9');
    replay(target, digits.data(), digits.size(), replayed);
    EXPECT_EQ(replayed, 3);
}

INSTANTIATE_TEST_SUITE_P(EachReader, FuzzReplay, ::testing::ValuesIn(fuzzTargets()),
                         RowName{});

// Every kept folder belongs to a target and holds at least one input, so no
// input lies where nothing replays it; every target has its fuzz program.
TEST(FuzzFolders, EachBelongsToATargetAndIsNotEmpty) {
    std::set<std::string> names;
    for (const NamedFuzzTarget& target : fuzzTargets()) EXPECT_TRUE(names.insert(target.name).second) << target.name;
    EXPECT_EQ(names.size(), 13u);
    int folders = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const auto& entry : fs::directory_iterator(kFuzzFolder / kind)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name == "README") continue;
            ++folders;
            EXPECT_TRUE(entry.is_directory() && names.count(name) == 1) << kind << "/" << name << " is no fuzz target";
            EXPECT_FALSE(fs::is_empty(entry.path())) << kind << "/" << name << " is empty";
        }
    }
    // Thirteen corpora; regressions for the ten readers that had a fix.
    EXPECT_EQ(folders, 13 + 10);
    std::ifstream cmake(kFuzzFolder / "CMakeLists.txt");
    const std::string text{std::istreambuf_iterator<char>(cmake), std::istreambuf_iterator<char>()};
    for (const std::string& name : names) {
        bool listed = false;
        for (const char* end : {" ", "\n", ")"}) listed = listed || text.find(" " + name + end) != std::string::npos;
        EXPECT_TRUE(listed) << "no fuzz program for " << name;
    }
}

}  // namespace
