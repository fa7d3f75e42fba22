// `tarvex-let recompute` against a second, independent implementation of the
// recomputation in the legacy mode (reference/reference_recompute.py), on the
// demo station and on station folders that differ from it in every way a
// recomputation can (reference/make_stations.py). Every file the
// recomputation writes must agree byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "support/ToolRun.h"
#include "support/WorkFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kReferenceFolder = std::string(TARVEX_SOURCE_DIR) + "/tests/beam/reference";
const std::vector<std::string> kWrittenFiles = {"CurrentBeamDELReB.tmp", "CurrentBeamDELReB.dat", "CurrentBeamName.dat",
                                                "CurrentBeamNZAMeV.dat", "RangeTable.txt",        "atempt.txt"};

// A copy of `station` with the coefficient files beside it, as a station has them.
fs::path copyStation(const fs::path& station, const fs::path& copy) {
    fs::create_directories(copy.parent_path());
    fs::copy(station, copy, fs::copy_options::recursive);
    for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
        fs::copy_file(fs::path(stoppingDataFolder()) / name, copy / name, fs::copy_options::overwrite_existing);
    }
    return copy;
}

// The first line where two texts differ, for the failure message.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream x(a), y(b);
    std::string lineA, lineB;
    for (int n = 1;; ++n) {
        const bool moreA = static_cast<bool>(std::getline(x, lineA));
        const bool moreB = static_cast<bool>(std::getline(y, lineB));
        if (!moreA && !moreB) return "they differ only in line ends";
        if (!moreA || !moreB || lineA != lineB) {
            return "line " + std::to_string(n) + ":\n  tarvex-let: " + (moreA ? lineA : "(end)") +
                   "\n  reference:  " + (moreB ? lineB : "(end)");
        }
    }
}

TEST(ReferenceRecompute, EveryStationAgreesByteForByte) {
    const std::string tool = siblingProgram("tarvex-let");
    if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    if (!havePython()) GTEST_SKIP() << "python3 not available";

    WorkFolder folder;
    const fs::path stations = folder.path() / "stations";
    ToolRun made = runCommand("python3 " + shellQuoted(kReferenceFolder + "/make_stations.py") + " " +
                              shellQuoted(std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site") + " " +
                              shellQuoted(stations.string()));
    ASSERT_EQ(made.exitCode, 0) << made.err;

    std::vector<fs::path> sources = {fs::path(TARVEX_SOURCE_DIR) / "examples/demo-site"};
    for (const auto& entry : fs::directory_iterator(stations)) sources.push_back(entry.path());
    ASSERT_GE(sources.size(), 10u) << "the station builder made too few folders";

    for (const fs::path& source : sources) {
        const std::string name = source.filename().string();
        SCOPED_TRACE(name);
        const fs::path ours = copyStation(source, folder.path() / "runs" / (name + "-tool"));
        const fs::path theirs = copyStation(source, folder.path() / "runs" / (name + "-reference"));

        ToolRun tool_run = runCommand(shellQuoted(tool) + " recompute --trace " + shellQuoted(ours.string()));
        ToolRun reference = runCommand("python3 " + shellQuoted(kReferenceFolder + "/reference_recompute.py") + " " +
                                       shellQuoted(theirs.string()) + " --data " + shellQuoted(theirs.string()));
        ASSERT_EQ(reference.exitCode, 0) << reference.err;
        // Both print the results line; the reference as "Results line: <line>".
        const std::string prefix = "Results line: ";
        ASSERT_EQ(reference.out.rfind(prefix, 0), 0u) << reference.out;
        const std::string line = reference.out.substr(prefix.size(), reference.out.find('\n') - prefix.size());
        EXPECT_NE(tool_run.out.find("Results line"), std::string::npos) << tool_run.out;
        EXPECT_NE(tool_run.out.find(" " + line + "\n"), std::string::npos)
            << "tarvex-let printed:\n" << tool_run.out << "the reference printed:\n" << reference.out;

        for (const std::string& file : kWrittenFiles) {
            const bool here = fs::exists(ours / file), there = fs::exists(theirs / file);
            ASSERT_EQ(here, there) << file << " written by only one side";
            if (!here) continue;
            const std::string a = fileContent(ours / file), b = fileContent(theirs / file);
            EXPECT_TRUE(a == b) << file << " differs, " << firstDifference(a, b);
        }
    }
}

}  // namespace
