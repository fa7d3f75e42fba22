// Start-up display of the committed beam: the beam fields and their number
// formats, the substrate description with its FIX/ROT rule, the layer count,
// the effective LET and range, and the messages for missing files.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "BeamFixtures.h"
#include "beam/BeamComputation.h"
#include "beam/BeamDisplay.h"
#include "beam/BeamFiles.h"
#include "support/CaseNames.h"
#include "util/NumberFormat.h"

namespace {

using case_names::PrintTo;  // rows print as their names

struct FormatCase {
    const char* name;
    double value;
    const char* text;
};

class ThreeWayFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ThreeWayFormat, Text) {
    EXPECT_EQ(formatBeamValue(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, ThreeWayFormat,
                         ::testing::Values(FormatCase{"Ten", 10, "10.0"}, FormatCase{"NineAndAHalf", 9.5, "9.50"},
                                           FormatCase{"One", 1, "1.00"}, FormatCase{"Half", 0.5, "0.500"},
                                           FormatCase{"Quarter", 0.25, "0.250"},
                                           FormatCase{"AboveHundred", 123.456, "123.5"},
                                           FormatCase{"RoundsUpToTen", 9.999, "10.00"},
                                           FormatCase{"Zero", 0, "0.000"}),
                         RowName{});

// Whether the beam fields show the present setting, by which of T, R and S
// move and which stand elsewhere than the beam was computed for; and the
// lasting line about a computed setting.
struct StaleCase {
    const char* name;
    const char* moving;
    const char* changed;
    std::string reason;
};

class BeamFieldsStale : public ::testing::TestWithParam<StaleCase> {};

TEST_P(BeamFieldsStale, Reason) {
    EXPECT_EQ(beamStaleReason(GetParam().moving, GetParam().changed), GetParam().reason);
}

const std::string kAfterTheMove =
    " moving: these values are those of the setting before the move; they are recomputed once T, R and S stand.";
const std::string kElsewhere =
    " elsewhere than the beam was computed for: these values are not those of the present setting.";

INSTANTIATE_TEST_SUITE_P(Rules, BeamFieldsStale,
                         ::testing::Values(StaleCase{"Current", "", "", ""},
                                           StaleCase{"OneMoves", "S", "S", "S is" + kAfterTheMove},
                                           StaleCase{"TwoMove", "RS", "", "R and S are" + kAfterTheMove},
                                           StaleCase{"ThreeStandElsewhere", "", "TRS", "T, R and S stand" + kElsewhere},
                                           StaleCase{"OneStandsElsewhere", "", "T", "T stands" + kElsewhere}),
                         RowName{});

TEST(SettingWarning, StoppedPastThePeakOrShort) {
    const double none = std::nan("");
    BeamResult result;
    result.outcome = BeamOutcome::Stopped;
    result.stoppedIn = "Al degrader";
    EXPECT_EQ(settingWarningText(result, 30),
              "Warning: the beam is fully stopped in Al degrader before the substrate.");
    result.outcome = BeamOutcome::Substrate;
    result.deviceEnergyMeV = 400;
    result.braggEnergyMeV = 300;  // the peak lies deeper: before it
    result.effectiveRangeUm = 29.9;
    EXPECT_EQ(settingWarningText(result, none), "");
    EXPECT_EQ(settingWarningText(result, 29.9), "");
    EXPECT_EQ(settingWarningText(result, 30), "Warning: the effective range is under the minimum range of 30 \u00b5m.");
    result.braggEnergyMeV = 400;  // at the peak counts as past it
    EXPECT_EQ(settingWarningText(result, none), "Warning: the beam reaches the substrate past its Bragg peak.");
    EXPECT_EQ(settingWarningText(result, 30), "Warning: the beam reaches the substrate past its Bragg peak, and the "
                                              "effective range is under the minimum range of 30 \u00b5m.");
}

struct SummaryCase {
    const char* name;
    const char* firstLine;
    const char* shown;
};

class SubstrateDescription : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SubstrateDescription, Shown) {
    EXPECT_EQ(substrateDescription(GetParam().firstLine), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SubstrateDescription,
    ::testing::Values(SummaryCase{"RotEnds", "silicon ROT", "silicon"}, SummaryCase{"FixEnds", "silicon FIX", "silicon"},
                      SummaryCase{"FixFirstKept", "FIX silicon", "FIX silicon"},
                      SummaryCase{"FixInsideAWordKept", "xFIX silicon", "xFIX silicon"},
                      SummaryCase{"FixAfterTwoLetters", "abFIX", "a"},
                      SummaryCase{"FixThenRot", "silicon carbide FIX 500 um ROT", "silicon carbide"},
                      SummaryCase{"RotThenFix", "silicon ROT then FIX", "silicon"},
                      SummaryCase{"NeitherWord", "gallium arsenide", "gallium arsenide"},
                      SummaryCase{"EmptyLine", "", ""}),
    RowName{});

TEST(LayerSummaryCount, LineBreaksAreCounted) {
    auto count = [](const std::string& text) {
        std::istringstream in(text);
        return summaryLineCount(in);
    };
    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("silicon FIX"), 0);
    EXPECT_EQ(count("silicon FIX\n"), 1);
    EXPECT_EQ(count("silicon FIX\na\nb"), 2);
    EXPECT_EQ(count("silicon FIX\na\nb\n"), 3);
    EXPECT_EQ(count("silicon FIX\r\na\r\nb\r\n"), 3);
}

TEST(BeamResultsLine, RoundTrip) {
    BeamState beam;
    beam.beamTag = 12;
    beam.degraderEffectiveUm = 2539999.9746;
    beam.deviceEnergyMeV = 1234.5678;
    beam.nominalLet = 0.000123456;
    beam.nominalRangeUm = 98.7654321;
    beam.degraderExitEnergyMeV = 2800;
    beam.braggEnergyMeV = 402.7;
    std::string line = formatBeamResults(beam);
    EXPECT_EQ(line, "12   " + streamText(2539999.9746) + "   " + streamText(1234.5678) + "   " +
                        streamText(0.000123456) + "   " + streamText(98.7654321) + "   2800   402.7\n");
    BeamState back;
    std::istringstream in(line);
    parseBeamResults(in, back);
    EXPECT_EQ(back.beamTag, 12);
    EXPECT_DOUBLE_EQ(back.degraderEffectiveUm, 2.54e6);
    EXPECT_DOUBLE_EQ(back.nominalRangeUm, 98.7654);
    EXPECT_DOUBLE_EQ(back.braggEnergyMeV, 402.7);
}

TEST(BeamResultsLine, MalformedTokenKeepsItAndEveryLaterValue) {
    BeamState beam;
    beam.nominalLet = 5;
    beam.nominalRangeUm = 6;
    std::istringstream in("3 1.5 200 x 77 88 99\n");
    parseBeamResults(in, beam);
    EXPECT_EQ(beam.beamTag, 3);
    EXPECT_EQ(beam.deviceEnergyMeV, 200);
    EXPECT_EQ(beam.nominalLet, 5);
    EXPECT_EQ(beam.nominalRangeUm, 6);
}

class StoredBeam : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("CurrentBeamName.dat", "Kr 10 MeV/u   \nsecond line\n");
        folder.write("CurrentBeamNZAMeV.dat", "4 36 84 840\n");
        folder.write("CurrentBeamDELReB.dat", "4   50.8   700.5   35.25   60.04   780.1   150.5\n");
        folder.write("LayerSummary.dat", "silicon ROT\nline one\nline two\n");
        folder.write("CurrentLayerFileName.dat", "Device.lay\n");
        console.state.axes[kAxisT].scale = 1000;
    }

    int show() {
        try {
            showStoredBeam(console);
            return -1;
        } catch (const ProcessExit& exit) {
            return exit.code;
        }
    }

    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
};

TEST_F(StoredBeam, FieldsFromTheCommittedFiles) {
    ASSERT_EQ(show(), -1);
    const DialogFields& f = console.fields;
    EXPECT_EQ(f.beam, "Kr 10 MeV/u");
    EXPECT_EQ(f.energyMeV, "700") << "as a recomputation writes it: %.0f, 700.5 rounding to even";
    EXPECT_EQ(f.energyPerNucleon, "8.34");  // 700.5 / 84 = 8.339...
    EXPECT_EQ(f.nominalLet, "35.2");        // "%.1f" of 35.25 (binary 35.25 rounds to even)
    EXPECT_EQ(f.nominalRange, "60.0");
    EXPECT_EQ(f.effectiveLet, f.nominalLet);
    EXPECT_EQ(f.effectiveRange, f.nominalRange);
    EXPECT_EQ(f.targetSubstrate, "silicon");
    EXPECT_EQ(f.layers, "3 (Device)");
    EXPECT_EQ(console.state.beam.ionZ, 36);
    EXPECT_EQ(console.state.beam.braggEnergyMeV, 150.5);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StoredBeam, IonMassZeroShowsInfinite) {
    folder.write("CurrentBeamNZAMeV.dat", "4 36 0 840\n");
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.energyPerNucleon, "Infinite!");
}

TEST_F(StoredBeam, SmallValuesUseMoreDecimals) {
    folder.write("CurrentBeamDELReB.dat", "4   50.8   8.4   0.5   0.04   780.1   150.5\n");
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.energyMeV, "8.40");
    EXPECT_EQ(console.fields.energyPerNucleon, "0.100");
    EXPECT_EQ(console.fields.nominalLet, "0.500");
    EXPECT_EQ(console.fields.nominalRange, "0.0");
}

TEST_F(StoredBeam, SummaryWithoutFinalLineBreakAndShortLayerFileName) {
    folder.write("LayerSummary.dat", "gallium nitride FIX 3 um\nonly line");
    folder.write("CurrentLayerFileName.dat", "a.la\n");
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.targetSubstrate, "gallium nitride");
    EXPECT_EQ(console.fields.layers, "1 ()");
}

TEST_F(StoredBeam, EffectiveValuesAtSixtyDegrees) {
    console.state.axes[kAxisT].internalPosition = 60000;
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.nominalLet, "35.2");
    EXPECT_EQ(console.fields.effectiveLet, "70.5");   // 35.25 / 0.5
    EXPECT_EQ(console.fields.effectiveRange, "30.0"); // 60.04 × 0.5
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveLet), "70.5");
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveRange), "30.0");
}

TEST_F(StoredBeam, NinetyDegreesIsInfiniteAndTheReturnToZeroIsShownAtOnce) {
    // cos(90 × 3.14159265359 / 180) is about 1e-12, not 0.
    console.state.axes[kAxisT].internalPosition = 90000;
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.effectiveLet, "Infinite!");
    EXPECT_EQ(console.fields.effectiveRange, "0");
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveLet), "Infinite!");

    // From 30 degrees back to 0: the boxes show the nominal texts at once.
    console.state.axes[kAxisT].internalPosition = 30000;
    refreshEffectiveLetDisplay(console);
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveLet), "40.7");  // 35.25 / cos 30
    console.state.axes[kAxisT].internalPosition = 0;
    refreshEffectiveLetDisplay(console);
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveLet), "35.2");
    EXPECT_EQ(ui.texts.at(ControlId::EffectiveRange), "60.0");
}

TEST_F(StoredBeam, ZeroLetAtATiltShowsZero) {
    folder.write("CurrentBeamDELReB.dat", "4   50.8   0   0   0   780.1   0\n");
    console.state.axes[kAxisT].internalPosition = 30000;
    ASSERT_EQ(show(), -1);
    EXPECT_EQ(console.fields.effectiveLet, "0");
    EXPECT_EQ(console.fields.effectiveRange, "0");
}

class StoredBeamMissingFile : public StoredBeam, public ::testing::WithParamInterface<const char*> {};

TEST_P(StoredBeamMissingFile, EndsTheProgramWithItsMessage) {
    folder.remove(GetParam());
    EXPECT_EQ(show(), 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text,
              std::string("Error opening file ") + GetParam() + " - please fix the problem and restart the program.");
    EXPECT_EQ(ui.lastBox().caption, "Tarvex");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::Ok);
    EXPECT_EQ(ui.closedWith, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, StoredBeamMissingFile,
                         ::testing::Values("CurrentBeamName.dat", "CurrentBeamNZAMeV.dat", "CurrentBeamDELReB.dat",
                                           "LayerSummary.dat", "CurrentLayerFileName.dat"),
                         TextName{});

}  // namespace
