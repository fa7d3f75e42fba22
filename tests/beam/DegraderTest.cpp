// The degrader rule: foil number from S within the tolerance, the path through
// the foil at rotation R, the saturation thickness, and what "Al degrader
// (mil):" shows at start-up and after a recomputation.

#include <gtest/gtest.h>

#include "BeamFixtures.h"
#include "beam/BeamDisplay.h"
#include "beam/Degrader.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

struct DegraderCase {
    const char* name;
    double s;
    double r;
    int foilLimit;
    double tolerance;
    double saturationUm;
    double foilUm;       // expected, from foil k = 25.4 µm × 2^(k-1)
    const char* milText; // expected field text, effective / 25.4 with "%.3f"
};

class DegraderRule : public ::testing::TestWithParam<DegraderCase> {};

TEST_P(DegraderRule, FoilAndField) {
    const DegraderCase& c = GetParam();
    DegraderThickness d = computeDegraderThickness(c.s, c.r, c.foilLimit, c.tolerance, c.saturationUm);
    EXPECT_NEAR(d.foilUm, c.foilUm, 1e-9);
    EXPECT_EQ(printfText("%.3f", d.effectiveUm / 25.4), c.milText);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DegraderRule,
    ::testing::Values(
        DegraderCase{"Foil3WithinTolerance", 3.02, 0, 10, 0.05, 2539999.9746, 101.6, "4.000"},
        DegraderCase{"Foil3At60DegreesCountsTwice", 3.02, 60, 10, 0.05, 2539999.9746, 101.6, "8.000"},
        DegraderCase{"RotationSignDoesNotMatter", 3.02, -60, 10, 0.05, 2539999.9746, 101.6, "8.000"},
        DegraderCase{"HalfwayAtStartUpSaturates", 3.5, 0, 10, 0.05, 99999.999, 99999.999, "3937.008"},
        DegraderCase{"HalfwayInRecomputationSaturates", 3.5, 0, 10, 0.05, 2539999.9746, 2539999.9746, "99999.999"},
        DegraderCase{"BelowToleranceIsNoFoil", 0.01, 0, 10, 0.05, 2539999.9746, 0, "0.000"},
        DegraderCase{"NegativeIsNoFoil", -2, 0, 10, 0.05, 2539999.9746, 0, "0.000"},
        DegraderCase{"Foil10IsTheLastOnArdo", 10, 0, 10, 0.05, 2539999.9746, 13004.8, "512.000"},
        DegraderCase{"NoFoil12OnArdo", 12, 0, 10, 0.05, 2539999.9746, 2539999.9746, "99999.999"},
        DegraderCase{"NoFoil8OnBelm", 8, 0, 6, 0.05, 2539999.9746, 2539999.9746, "99999.999"},
        DegraderCase{"ALaterFoilReplacesAnEarlierOne", 2, 0, 10, 1.5, 2539999.9746, 101.6, "4.000"},
        DegraderCase{"ToleranceIsExclusive", 3.25, 0, 10, 0.25, 2539999.9746, 2539999.9746, "99999.999"},
        DegraderCase{"LongPathSaturates", 10, 89.999, 10, 0.05, 99999.999, 13004.8, "3937.008"}),
    RowName{});

// The start-up display tries foils 1 to 10 whatever the cyclotron.
TEST(StartupDegrader, BelmStillSelectsFoil8) {
    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
    console.state.cyclotronCode = 150;
    console.state.foilCount = 6;
    console.state.options.foilTolerance = 0.05;
    console.state.axes[kAxisS].scale = 1000;
    console.state.axes[kAxisS].internalPosition = 8010;
    console.state.axes[kAxisR].scale = 100;
    console.state.axes[kAxisR].internalPosition = 0;
    showStartupDegrader(console);
    EXPECT_EQ(console.fields.degrader, "128.000");
    EXPECT_NEAR(console.state.beam.foilThicknessUm, 25.4 * 128, 1e-9);
}

TEST(StartupDegrader, MisalignedSShowsTheStartUpSaturation) {
    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
    console.state.options.foilTolerance = 0.05;
    console.state.axes[kAxisS].scale = 1000;
    console.state.axes[kAxisS].internalPosition = 3500;
    console.state.axes[kAxisR].scale = 100;
    showStartupDegrader(console);
    EXPECT_EQ(console.fields.degrader, "3937.008");
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
