#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "beam/Dosimetry.h"
#include "support/WorkFolder.h"
#include "util/TextFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kNow{std::chrono::hours(10)};

// The counting system's file read as it grows: flux readings summed from the
// run's begin at 100 s, bad readings said once and skipped, a replaced file
// started afresh, silence said once.
TEST(Dosimetry, FollowsTheFileAsItGrowsAndSaysWhatItCannotTake) {
    WorkFolder folder;
    DosimetryFollow follow;
    EXPECT_TRUE(followDosimetry(follow, "Dosimetry.csv", 100, kNow).problems.empty()) << "no file yet";

    folder.write("Dosimetry.csv", "time (s),flux (1/cm2/s)\n90,1000\n110,2000\n105,5\n120,abc\n130,1000\n140,30");
    DosimetryUpdate update = followDosimetry(follow, "Dosimetry.csv", 100, kNow);
    // 10 of the 20 s before 110 lie in the run: 2000 × 10; then 1000 × 20
    // from 110 to 130; "140,30" has no line end yet.
    EXPECT_DOUBLE_EQ(update.added, 40000);
    EXPECT_EQ(update.problems, (std::vector<std::string>{
                                   "Dosimetry.csv, line 4: the time goes backwards - the reading is ignored.",
                                   "Dosimetry.csv, line 5: '120,abc' is not a time and a number >= 0 - ignored."}));
    appendToFile("Dosimetry.csv", "\n");
    EXPECT_DOUBLE_EQ(followDosimetry(follow, "Dosimetry.csv", 100, kNow).added, 300) << "the line completed";

    // Replaced by a cumulative file: its first reading is the new baseline.
    std::filesystem::remove(folder.path() / "Dosimetry.csv");
    folder.write("Dosimetry.csv", "time (s),fluence (1/cm2)\n150,5e6\n160,7e6\n170,6e6\n");
    update = followDosimetry(follow, "Dosimetry.csv", 100, kNow);
    EXPECT_DOUBLE_EQ(update.added, 2e6);
    EXPECT_EQ(update.problems,
              (std::vector<std::string>{"Dosimetry.csv was replaced: the fluence goes on from the new file's readings.",
                                        "Dosimetry.csv, line 4: the fluence goes backwards - the reading is ignored."}));

    update = followDosimetry(follow, "Dosimetry.csv", 100, kNow + kDosimetryStall);
    EXPECT_EQ(update.problems, (std::vector<std::string>{"Dosimetry.csv has had no new reading for 30 s: the run's "
                                                         "fluence stands at its last reading."}));
    EXPECT_TRUE(followDosimetry(follow, "Dosimetry.csv", 100, kNow + 2 * kDosimetryStall).problems.empty())
        << "said once";

    std::filesystem::remove(folder.path() / "Dosimetry.csv");
    std::filesystem::create_directory(folder.path() / "Dosimetry.csv");
    update = followDosimetry(follow, "Dosimetry.csv", 100, kNow);
    EXPECT_EQ(update.problems, (std::vector<std::string>{"Dosimetry.csv cannot be followed (it is not a regular file)."}));
    EXPECT_DOUBLE_EQ(update.added, 0);

    DosimetryFollow other;
    folder.write("Other.csv", "time,counts\n1,2\n");
    update = followDosimetry(other, "Other.csv", std::nan(""), kNow);
    EXPECT_EQ(update.problems, (std::vector<std::string>{
                                   "Other.csv, line 1: not the header \"time (s),fluence (1/cm2)\" or \"time (s),flux "
                                   "(1/cm2/s)\" - the file is not followed until it is replaced."}));
    EXPECT_FALSE(update.found);
}

}  // namespace
