#include <gtest/gtest.h>

#include "beam/TestPlan.h"
#include "support/CaseNames.h"
#include "support/WorkFolder.h"

namespace {

using case_names::PrintTo;  // rows print as their names

const std::string kHeader = std::string(kTestPlanHeader) + "\n";
const std::string kFirst = "1,84Kr,40,,100,1e+07,5,2,30,15,first\n";
const std::string kLast = "3,129Xe,,20,,,,,,,last\n";
const std::vector<std::string> kIons = {"84Kr", "129Xe"};

struct BadLine {
    const char* name;
    std::string line;     // line 3, between two sound steps
    const char* problem;  // after "Plan.csv, line 3: "
    std::size_t steps;    // the steps read
};

class TestPlanBadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(TestPlanBadLine, IsNamedOnceAndCostsNoOtherStep) {
    const TestPlan plan = parseTestPlan(kHeader + kFirst + GetParam().line + kLast, "Plan.csv", kIons);
    EXPECT_EQ(plan.problems, std::vector<std::string>{std::string("Plan.csv, line 3: ") + GetParam().problem});
    ASSERT_EQ(plan.steps.size(), GetParam().steps);
    if (plan.steps.size() > 0) {
        EXPECT_EQ(plan.steps.front().comment, "first");
    }
    if (plan.steps.size() > 1) {
        EXPECT_EQ(plan.steps.back().comment, "last");
    }
    if (plan.steps.size() == 3) {
        const TestPlanStep& kept = plan.steps[1];
        EXPECT_EQ(kept.wantedLet, 40);
        EXPECT_EQ(kept.line, 3);
        EXPECT_FALSE(std::isnan(kept.fluenceGoal) && kept.eventGoal < 0 && !kept.hasSetting) << "the line's other values kept";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TestPlanBadLine,
    ::testing::Values(
        BadLine{"UnknownIon", "2,12Zz,40,,,,,,,,\n", "ion '12Zz' is not one of the station's - the step is left out",
                2},
        BadLine{"LetZero", "2,84Kr,0,,,,,,,,\n", "effective LET '0' is not a number above 0 - the step is left out",
                2},
        BadLine{"LetInfinite", "2,84Kr,1e999,,,,,,,,\n",
                "effective LET '1e999' is not a number above 0 - the step is left out", 2},
        BadLine{"EnergyNegative", "2,84Kr,,-3,,,,,,,\n", "energy '-3' is not a number above 0 - the step is left out",
                2},
        BadLine{"LetAndEnergy", "2,84Kr,40,10,,,,,,,\n",
                "both an effective LET and an energy - the step is left out", 2},
        BadLine{"NeitherLetNorEnergy", "2,84Kr,,,,,,,,,\n",
                "neither an effective LET nor an energy - the step is left out", 2},
        BadLine{"MinimumRangeNegative", "2,84Kr,40,,-1,,,,,,\n",
                "minimum range '-1' is not a number of \u00b5m, 0 or more - the step is left out", 2},
        BadLine{"NoName", ",84Kr,40,,,,,,,,\n", "no step name - the step is left out", 2},
        BadLine{"NameTwice", "1,84Kr,40,,,,,,,,\n", "step '1' is named on line 2 already - the step is left out", 2},
        BadLine{"TooFewFields", "2,84Kr,40\n", "3 fields, not 11 - the step is left out", 2},
        BadLine{"FluenceGoalZero", "2,84Kr,40,,,0,7,,,,\n",
                "fluence goal '0' is not a number above 0 - the step has no fluence goal", 3},
        BadLine{"EventGoalFraction", "2,84Kr,40,,,1e6,2.5,,,,\n",
                "event goal '2.5' is not a whole number, 0 or more - the step has no event goal", 3},
        BadLine{"SettingPartly", "2,84Kr,40,,,1e6,,1,,,\n",
                "S, R and T are not all given - the step has no setting", 3},
        BadLine{"SettingNotNumbers", "2,84Kr,40,,,,7,1,x,0,\n",
                "S, R and T ('1', 'x', '0') are not all numbers - the step has no setting", 3},
        BadLine{"UnclosedQuote", "2,84Kr,40,,,,,,,,\"open\n",
                "a quoted field is not closed (truncated) - the rest of the file is not read", 1},
        BadLine{"Binary", std::string("2,84Kr,40,,,,,,,,\0\n", 19),
                "binary content (byte 0x00) - the plan is not read", 0}),
    RowName{});

TEST(TestPlanFormat, StepsRoundTripAndTheFileIsWhatAnOperatorReads) {
    TestPlanStep kr;
    kr.name = "2a";
    kr.ion = "84Kr";
    kr.wantedLet = 60.25;
    kr.minimumRangeUm = 149.9;
    kr.fluenceGoal = 1e7;
    kr.eventGoal = 100;
    kr.hasSetting = true;
    kr.s = 2;
    kr.r = -30.5;
    kr.t = 45;
    kr.comment = "within 5 %, \"best\"\nsecond line";
    TestPlanStep beam;
    beam.name = "3";
    beam.wantedEnergy = 0.1;
    const std::string text = formatTestPlan({kr, beam});
    EXPECT_EQ(text, kHeader +
                        "2a,84Kr,60.25,,149.9,1e+07,100,2,-30.5,45,\"within 5 %, \"\"best\"\"\nsecond line\"\n"
                        "3,,,0.1,,,,,,,\n");

    const TestPlan plan = parseTestPlan(text, "Plan.csv");
    EXPECT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[1].line, 4) << "after the comment's line break";
    EXPECT_EQ(formatTestPlan(plan.steps), text);

    // A spreadsheet's byte-order mark, CR LF and no last line end.
    std::string crlf = "\xEF\xBB\xBF" + kHeader + kFirst;
    crlf.replace(crlf.size() - 1, 1, "");
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.replace(at, 1, "\r\n");
    EXPECT_EQ(formatTestPlan(parseTestPlan(crlf, "Plan.csv", kIons).steps), kHeader + kFirst);

    EXPECT_EQ(parseTestPlan("step,ion\n" + kFirst, "Plan.csv").problems,
              std::vector<std::string>{"Plan.csv, line 1: not the header of a test plan - the plan is not read"});
    WorkFolder folder;
    folder.write("Big.csv", kHeader + std::string(kTestPlanMaxBytes, '\n'));
    EXPECT_EQ(readTestPlan("Big.csv").problems,
              std::vector<std::string>{"Big.csv: it is larger than 1 MiB - the plan is not read"});
    std::filesystem::create_directory(folder.path() / "Folder.csv");
    EXPECT_EQ(readTestPlan("Folder.csv").problems,
              std::vector<std::string>{"Folder.csv: it is not a regular file - the plan is not read"});
}

}  // namespace
