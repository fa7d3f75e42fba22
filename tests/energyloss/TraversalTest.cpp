// Layer traversal: result codes and what each leaves, goals, landing on the
// goal, direction, and the trace file.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "EngineFixtures.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/Traversal.h"

namespace {

constexpr double kAu = 196.967;  // u

LayerResult sentinelResult() {
    LayerResult r;
    r.traversed = 11;
    r.exitEnergyPerNucleon = 12;
    r.exitLet = 13;
    r.exitNuclearStopping = 14;
    r.exitTotalStopping = 15;
    return r;
}

void expectSentinel(const LayerResult& r) {
    EXPECT_EQ(r.traversed, 11);
    EXPECT_EQ(r.exitEnergyPerNucleon, 12);
    EXPECT_EQ(r.exitLet, 13);
    EXPECT_EQ(r.exitNuclearStopping, 14);
    EXPECT_EQ(r.exitTotalStopping, 15);
}

// The console's options: every traversal appends to "atempt.txt".
StoppingOptions tracedOptions() {
    StoppingOptions options;
    options.traceFileName = kTraceFileName;
    return options;
}

int countLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

class Traversal : public testing::Test {
protected:
    void SetUp() override { folder.write(kCalculationModeFile, "1\n"); }  // formulas unless a test says otherwise

    int traverse(double e, double goal, int match, const LayerMaterial& layer = silicon(), int icompound = 0,
                 double m1 = kAu, int z1 = 79) {
        return traverseLayer(*data, m1, z1, e, goal, match, icompound, layer, result, traced);
    }
    std::string trace() { return folder.exists(kTraceFileName) ? folder.read(kTraceFileName) : ""; }
    StoppingPowers stoppingAt(double e, const LayerMaterial& layer = silicon()) {
        return formulaLayerStopping(*data, 79, kAu, layer, e * kAu * 1000);
    }

    WorkFolder folder;
    std::unique_ptr<StoppingData> data = loadRealCoefficients(folder);
    LayerResult result = sentinelResult();
    StoppingOptions traced = tracedOptions();
};

TEST_F(Traversal, NegativeStartEnergyGivesCode1AndChangesNothing) {
    EXPECT_EQ(traverse(-1, 10, kMatchThickness), kResultNegativeEnergy);
    expectSentinel(result);
    EXPECT_EQ(trace(), "match=1\tZ2=14\tE/A=-1\tgoal=10\tnumber of elements=1\n");
}

TEST_F(Traversal, EnergyGoalAboveTheStartForwardsGivesCode2) {
    EXPECT_EQ(traverse(10, 20, kMatchEnergy), kResultWrongDirection);
    expectSentinel(result);
    EXPECT_EQ(countLines(trace()), 1);
}

TEST_F(Traversal, EnergyGoalBelowTheStartBackwardsGivesCode2) {
    EXPECT_EQ(traverse(10, 5, kMatchEnergy, silicon(-1)), kResultWrongDirection);
    expectSentinel(result);
}

TEST_F(Traversal, ZeroStartEnergyGivesCode3AndZeroesAllButTraversed) {
    EXPECT_EQ(traverse(0, 10, kMatchThickness), kResultZeroEnergy);
    EXPECT_EQ(result.traversed, 11);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0);
    EXPECT_EQ(result.exitLet, 0);
    EXPECT_EQ(result.exitNuclearStopping, 0);
    EXPECT_EQ(result.exitTotalStopping, 0);
}

TEST_F(Traversal, MissingModeFileGivesCode7) {
    folder.remove(kCalculationModeFile);
    EXPECT_EQ(traverse(10, 10, kMatchThickness), kResultModeFileMissing);
    expectSentinel(result);
}

TEST_F(Traversal, MissingTableGivesCode5WithItsTraceLine) {
    folder.write(kCalculationModeFile, "0\n");
    EXPECT_EQ(traverse(10, 10, kMatchThickness), kResultTableMissing);
    expectSentinel(result);
    EXPECT_EQ(trace(),
              "match=1\tZ2=14\tE/A=10\tgoal=10\tnumber of elements=1\n"
              "icompound=0   iz1=79   rm1=196.967   iUse13=1\n");
}

TEST_F(Traversal, ThicknessGoalZeroEndsAtOnceWithTheStartValues) {
    EXPECT_EQ(traverse(15, 0, kMatchThickness), kResultDone);
    const StoppingPowers s = stoppingAt(15);
    EXPECT_EQ(result.traversed, 0);
    EXPECT_EQ(result.exitEnergyPerNucleon, 15);
    EXPECT_EQ(result.exitLet, s.electronic);
    EXPECT_EQ(result.exitNuclearStopping, s.nuclear);
    EXPECT_EQ(result.exitTotalStopping, s.total);
    // Opening line and one step line; no closing line.
    EXPECT_EQ(trace(), "match=1\tZ2=14\tE/A=15\tgoal=0\tnumber of elements=1\n0\t15\t" + formatGeneral(s.total) + "\n");
}

TEST_F(Traversal, EnergyGoalEqualToTheStartEndsAtOnce) {
    EXPECT_EQ(traverse(7.5, 7.5, kMatchEnergy), kResultDone);
    EXPECT_EQ(result.traversed, 0);
    EXPECT_EQ(result.exitEnergyPerNucleon, 7.5);
    EXPECT_EQ(countLines(trace()), 2);
}

TEST_F(Traversal, LetGoalEqualToTheStartLetEndsAfterOneEvaluation) {
    const double let = stoppingAt(15).electronic;
    EXPECT_EQ(traverse(15, let, kMatchLet), kResultDone);
    EXPECT_EQ(result.traversed, 0);
    EXPECT_EQ(result.exitEnergyPerNucleon, 15);
    EXPECT_EQ(result.exitLet, let);
    EXPECT_EQ(countLines(trace()), 3);  // opening, one step, closing
}

TEST_F(Traversal, LetGoalOnTheWayIsMetBetweenTwoSteps) {
    // Gold in silicon: the LET rises from 80 at 15 MeV/u towards its peak.
    const double goal = 85;
    EXPECT_EQ(traverse(15, goal, kMatchLet), kResultDone);
    EXPECT_GT(result.exitEnergyPerNucleon, 0);
    EXPECT_GE(result.exitLet, goal);
    // The step before had a LET below the goal; one 0.1 % energy step
    // changes the LET by far less than 0.1 %.
    EXPECT_NEAR(result.exitLet, goal, goal * 1e-3);
    EXPECT_GT(result.traversed, 0);
}

TEST_F(Traversal, LetGoalNeverReachedRunsTheIonToRest) {
    EXPECT_EQ(traverse(15, 500, kMatchLet), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0);
    EXPECT_EQ(result.exitTotalStopping, 0);
    LayerResult range;
    traverseLayer(*data, kAu, 79, 15, 0, kMatchEnergy, 0, silicon(), range);
    EXPECT_EQ(result.traversed, range.traversed);
}

TEST_F(Traversal, ThickLayerReturns0WithExitEnergyZeroAndTheRange) {
    LayerResult range;
    traverseLayer(*data, kAu, 79, 15, 0, kMatchEnergy, 0, silicon(), range);
    EXPECT_EQ(traverse(15, 1000, kMatchThickness), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0);
    EXPECT_EQ(result.exitTotalStopping, 0);
    EXPECT_EQ(result.traversed, range.traversed);  // same steps, same sum
    EXPECT_GT(range.traversed, 20);
    EXPECT_LT(range.traversed, 60);  // gold of 15 MeV/u stops within roughly 0.1–0.25 mm of silicon
}

TEST_F(Traversal, ThicknessGoalIsLandedOnBitForBit) {
    for (double goal : {0.1, 3.3, 12.345, 1.0 / 3.0}) {
        ASSERT_EQ(traverse(15, goal, kMatchThickness), kResultDone);
        EXPECT_EQ(result.traversed, goal);
        EXPECT_GT(result.exitEnergyPerNucleon, 0);
        EXPECT_LT(result.exitEnergyPerNucleon, 15);
    }
}

TEST_F(Traversal, EnergyGoalIsLandedOnBitForBit) {
    for (double goal : {14.9, 3.3, 0.1, 1.0 / 3.0}) {
        ASSERT_EQ(traverse(15, goal, kMatchEnergy), kResultDone);
        EXPECT_EQ(result.exitEnergyPerNucleon, goal);
        EXPECT_GT(result.traversed, 0);
    }
}

TEST_F(Traversal, BackwardsReturnsMinusTheArealDensity) {
    ASSERT_EQ(traverse(10, 15, kMatchEnergy, silicon(-1)), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, 15);
    EXPECT_LT(result.traversed, 0);
}

// The Euler scheme takes the stopping at the start of each 0.1 % energy step,
// so each direction errs by at most about half the relative change of the
// stopping over a step summed over the path (≈ 0.05 % here); forwards and
// backwards together stay within 0.2 %.
TEST_F(Traversal, ForwardThenBackwardReturnsToTheStartEnergy) {
    ASSERT_EQ(traverse(15, 10, kMatchThickness), kResultDone);
    const double exitEnergy = result.exitEnergyPerNucleon;
    ASSERT_EQ(traverse(exitEnergy, -10, kMatchThickness, silicon(-1)), kResultDone);
    EXPECT_EQ(result.traversed, -10);
    EXPECT_NEAR(result.exitEnergyPerNucleon, 15, 15 * 2e-3);
    ASSERT_EQ(traverse(exitEnergy, 15, kMatchEnergy, silicon(-1)), kResultDone);
    EXPECT_NEAR(result.traversed, -10, 10 * 2e-3);
}

TEST_F(Traversal, BackwardsFromBelowTheWholeRestLimitStillGrows) {
    ASSERT_EQ(traverse(0.00005, 0.001, kMatchEnergy, silicon(-1)), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0.001);
    EXPECT_LT(result.traversed, 0);
}

TEST_F(Traversal, ThicknessGoalAgainstTheDirectionGivesCode2) {
    EXPECT_EQ(traverse(15, -5, kMatchThickness), kResultWrongDirection);
    EXPECT_EQ(traverse(15, 5, kMatchThickness, silicon(-1)), kResultWrongDirection);
    expectSentinel(result);
}

TEST_F(Traversal, BackwardsWithoutThicknessOrEnergyGoalGivesCode2) {
    EXPECT_EQ(traverse(15, 80, kMatchLet, silicon(-1)), kResultWrongDirection);
    EXPECT_EQ(traverse(15, 0, 0, silicon(-1)), kResultWrongDirection);
    expectSentinel(result);
}

TEST_F(Traversal, NoGoalRunsToRest) {
    EXPECT_EQ(traverse(1, 0, 0), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0);
    EXPECT_GT(result.traversed, 0);
}

TEST_F(Traversal, FullRangeTakesTheDocumentedNumberOfSteps) {
    ASSERT_EQ(traverse(15, 0, kMatchEnergy), kResultDone);
    // ln(15 / 0.0001) / −ln(0.999) ≈ 11 910 geometric steps, the whole-rest
    // step, the evaluation at zero, plus the opening and the closing line.
    const int steps = static_cast<int>(std::ceil(std::log(15 / 0.0001) / -std::log(0.999)));
    EXPECT_NEAR(countLines(trace()), steps + 4, 2);
}

// A compound table of constant total stopping 2 MeV·cm²/mg makes every step
// easy to follow by hand: protons (1.008 u) in "silicon carbide" from
// 10 MeV/u to 0.012 mg/cm². dE = 0.001·E, dX = 1.008·dE / 2.
TEST(TraversalTrace, LinesFollowEachStepByteForByte) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    folder.write(kCalculationModeFile, "0");
    folder.write("1HSiC.inp", tableText(1, 0.1, [](int) { return std::log(2.0); }));
    LayerResult result;
    ASSERT_EQ(traverseLayer(*data, 1.008, 1, 10, 0.012, kMatchThickness, 6, siliconCarbide(), result, tracedOptions()),
              kResultDone);
    // Steps: X 0 → 0.00504 (E 9.99) → 0.01007496 (E 9.98001); then the goal
    // lies within the next step: dX = 0.012 − 0.01007496, dE = dX·2/1.008,
    // E = 9.98001 − 0.0038195238 = 9.97619.
    EXPECT_EQ(folder.read(kTraceFileName),
              "match=1\tZ2=14\tE/A=10\tgoal=0.012\tnumber of elements=2\n"
              "icompound=6   iz1=1   rm1=1.008   iUse13=1\n"
              "0\t10\t2\n"
              "0.00504\t9.99\t2\n"
              "0.010075\t9.98001\t2\n"
              "0.012\t9.97619\t2\n"
              "0.012\t9.97619\t2\n");
    EXPECT_EQ(result.traversed, 0.012);
    EXPECT_NEAR(result.exitEnergyPerNucleon, 9.98001 - (0.012 - 0.01007496) * 2 / 1.008, 1e-12);
    EXPECT_NEAR(result.exitTotalStopping, 2, 1e-12);
}

TEST(TraversalTrace, EachCallAppends) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    folder.write(kCalculationModeFile, "1");
    folder.write(kTraceFileName, "earlier\n");
    LayerResult result;
    traverseLayer(*data, kAu, 79, -1, 0, kMatchThickness, 0, silicon(), result, tracedOptions());
    EXPECT_EQ(folder.read(kTraceFileName), "earlier\nmatch=1\tZ2=14\tE/A=-1\tgoal=0\tnumber of elements=1\n");
}

TEST(TraversalTrace, UnwritableTraceFileChangesNothingInTheResult) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    folder.write(kCalculationModeFile, "1");
    LayerResult expected;
    traverseLayer(*data, kAu, 79, 15, 5, kMatchThickness, 0, silicon(), expected);
    std::filesystem::create_directories(folder.path() / "blocked");
    StoppingOptions options;
    options.traceFileName = "blocked";  // a folder cannot be opened for appending
    LayerResult result;
    ASSERT_EQ(traverseLayer(*data, kAu, 79, 15, 5, kMatchThickness, 0, silicon(), result, options), kResultDone);
    EXPECT_EQ(result.exitEnergyPerNucleon, expected.exitEnergyPerNucleon);
    EXPECT_EQ(result.traversed, 5);
}

TEST(TraversalBadTables, ZeroStoppingTableEndsTheTraversalAsStopped) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    folder.write(kCalculationModeFile, "0");
    std::string zeros;
    for (int i = 0; i < 470; ++i) zeros += "0 ";
    folder.write("1HSiC.inp", zeros);
    LayerResult result;
    // Total stopping 0 from the table: the first evaluation ends the traversal.
    ASSERT_EQ(traverseLayer(*data, 1.008, 1, 10, 5, kMatchThickness, 6, siliconCarbide(), result), kResultDone);
    EXPECT_EQ(result.traversed, 0);
    EXPECT_EQ(result.exitEnergyPerNucleon, 0);
}

TEST(TraversalBadTables, HugeNumbersInATableNeverHang) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    folder.write(kCalculationModeFile, "0");
    for (const char* value : {"1e300", "-1e300", "700"}) {
        std::string text;
        for (int k = 0; k < 235; ++k) text += std::to_string(k) + " " + value + "\n";
        folder.write("197AuSi.inp", text);
        LayerResult result;
        for (double goal : {0.0, 1.0}) {
            const int code = traverseLayer(*data, kAu, 79, 15, goal, kMatchEnergy, 0, silicon(), result);
            EXPECT_EQ(code, kResultDone) << value;
            EXPECT_TRUE(std::isfinite(result.traversed)) << value;
        }
    }
}

}  // namespace
