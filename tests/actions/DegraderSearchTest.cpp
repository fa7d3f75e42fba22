#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "actions/DegraderSearch.h"
#include "beam/BeamFixtures.h"
#include "beam/Degrader.h"
#include "support/StartedConsole.h"
#include "util/NumberFormat.h"

namespace {

class DegraderSearchTest : public StartedConsole {
protected:
    void start(const std::string& cyclotron = "500") {
        site.set("CyclotronInUse.dat", cyclotron + "\n");
        // T, R and S at 0 degrees and no foil (offsets 3, 6 and 7 in the site's tables).
        site.set("TarvexStatus.dat", "Park\n1\n0 0 0 -300 0 0 -600 -7000\n0 0 0 0 0 0 0 0\n");
        startConsole();
        // The beam as the parent program chose it: 84Kr at 10 MeV/u.
        console().state.beam.ionZ = 36;
        console().state.beam.ionA = 84;
        console().state.beam.beamEnergyMeV = 840;
    }
    void chooseUnit(int choice, const std::string& wanted) {
        ui.controls.unitChoice = choice;
        dialog.onCommand(ControlId::UnitMeVPerNucleon);
        ui.controls.goal = wanted;
    }
};

TEST_F(DegraderSearchTest, FoilAndRotationForARequiredThickness) {
    start();
    DegraderSetting s = selectDegraderSetting(console(), 50);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(cformat("(S = %g , R = %g)", s.s, s.rDegrees), "(S = 3 , R = 56.6984)");
    EXPECT_EQ(s.sCounts, -4000) << "(3 - 7) * 1000";
    EXPECT_EQ(s.rCounts, 5069) << "trunc((56.6984 - 6) * 100)";

    EXPECT_EQ(selectDegraderSetting(console(), 6.0).result, -1);
    DegraderSetting thickest = selectDegraderSetting(console(), 7027.79392);
    EXPECT_EQ(thickest.result, 0);
    EXPECT_EQ(thickest.s, 10);
    EXPECT_NEAR(thickest.rDegrees, 60, 1e-9);
    EXPECT_EQ(selectDegraderSetting(console(), 7027.8).result, 1);

    DegraderSetting exact = selectDegraderSetting(console(), 27.45232);
    EXPECT_EQ(exact.s, 2) << "a foil's own thickness is the next thinner foil at 60 degrees";
    EXPECT_NEAR(exact.rDegrees, 60, 1e-9);
    EXPECT_EQ(selectDegraderSetting(console(), 6.86308).result, 2);
}

TEST_F(DegraderSearchTest, BelmHasSixFoils) {
    start("150");
    EXPECT_EQ(selectDegraderSetting(console(), 439.23712).s, 6);
    EXPECT_EQ(selectDegraderSetting(console(), 439.24).result, 1);
}

TEST_F(DegraderSearchTest, GoWithoutAUnitDoesNothing) {
    start();
    ui.controls.goal = "5";
    dialog.onCommand(ControlId::Go);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.texts.count(ControlId::Status), 0u);
}

TEST_F(DegraderSearchTest, TheDeliveredEnergyNeedsNoAluminium) {
    start();
    chooseUnit(2, "10");
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text,
              "Required degrader thickness ( 0 mil ) is not available - too small.\n\nPossible solution:\n(a) set S "
              "to 0 and if the LET is too high,\n(b) increase the air gap.\n\nNOTE: If you increase the air gap, you "
              "must also change the layer file(s) accordingly.\n\nThe energy per nucleon this beam can give at the "
              "substrate: 0.000 to 10.00 MeV/u.");  // 10.00 without a degrader, as (a) says
    EXPECT_EQ(ui.controls.goal, "");
    EXPECT_EQ(ui.controls.status, "");
}

TEST_F(DegraderSearchTest, GoSetsTheDegraderForAWantedEnergy) {
    start();
    chooseUnit(2, "6");
    ui.answer(Button::Yes);
    dialog.onCommand(ControlId::Go);
    ASSERT_FALSE(ui.boxes.empty());
    const RecordedBox& question = ui.boxes.front();
    EXPECT_EQ(question.icon, Icon::Information);
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.text.rfind("Required degrader coordinates (S = ", 0), 0u) << question.text;
    // The recomputation after the moves finds the wanted energy again.
    EXPECT_NEAR(std::stod(console().fields.energyPerNucleon), 6.0, 0.05) << console().fields.energyPerNucleon;
    EXPECT_EQ(ui.controls.goal, "");
    EXPECT_EQ(ui.controls.status, "");
    EXPECT_EQ(console().state.activeAxis, -1) << "the remembered active axis";
    EXPECT_FALSE(ui.isEnabled(ControlId::NudgePlus)) << "no active axis: all disabled";
}

TEST_F(DegraderSearchTest, AMissingCoefficientFileStopsGoBeforeAnyQuestion) {
    start();
    folder.remove("scoefgas.95");
    chooseUnit(2, "6");
    ui.boxes.clear();
    dialog.onCommand(ControlId::Go);
    // Go's own message comes last (a recomputation before it may refuse too),
    // and no question about moving the degrader follows.
    ASSERT_FALSE(ui.boxes.empty());
    for (const RecordedBox& box : ui.boxes) EXPECT_EQ(box.icon, Icon::Warning) << box.text;
    EXPECT_EQ(ui.boxes.back().text,
              "Error opening file scoefgas.95 - the stopping powers cannot be computed without it.\nCopy the "
              "stopping-power coefficient files (scoef.95a, scoef.95b, scoefgas.95) into the working folder.");
    EXPECT_EQ(console().state.axes[kAxisS].internalPosition, -7000);
    EXPECT_EQ(console().state.axes[kAxisR].internalPosition, -600);
    EXPECT_EQ(ui.controls.status, "");
    EXPECT_EQ(ui.controls.goal, "");
}

TEST_F(DegraderSearchTest, GoAnsweredNoMovesNothing) {
    start();
    chooseUnit(1, "504");  // 6 MeV/u of 84Kr
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(console().state.axes[kAxisS].internalPosition, -7000);
    EXPECT_EQ(console().state.axes[kAxisR].internalPosition, -600);
    EXPECT_EQ(ui.controls.goal, "504");
}

TEST_F(DegraderSearchTest, AWishThatIsNoNumberAboveZeroIsIgnored) {
    start();
    for (const auto& [typed, text] :
         {std::pair<std::string, std::string>{"", "The Set box is empty - request ignored."},
          {"  ", "The Set box is empty - request ignored."},
          {"0", "Go needs a value above 0 (not 0) - request ignored."},
          {"-3", "Go needs a value above 0 (not -3) - request ignored."},
          {"abc", "\"abc\" is not a number - request ignored."}}) {
        SCOPED_TRACE("'" + typed + "'");
        ui.boxes.clear();
        chooseUnit(0, typed);
        dialog.onCommand(ControlId::Go);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.lastBox().text, text);
        EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
        EXPECT_EQ(ui.controls.goal, "");
    }
    EXPECT_EQ(console().state.axes[kAxisS].internalPosition, -7000);
}

TEST_F(DegraderSearchTest, AnEnergyAboveTheDeliveredOneIsReported) {
    start();
    chooseUnit(2, "12");
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_NE(ui.lastBox().text.find("Al degrader"), std::string::npos) << ui.lastBox().text;
}

// The "(S = … , R = …)" part of Go's question.
std::string settingOf(const std::string& question) {
    const auto from = question.find("(S = ");
    return question.substr(from, question.find(')', from) - from + 1);
}

TEST_F(DegraderSearchTest, TheTypedValueIsReadBeforeAllHaltRewritesTheFields) {
    start();
    // Foil 10 stops the beam: All Halt's recomputation resets and shows every field.
    console().state.axes[kAxisS].internalPosition = 3000;
    ui.chooseAnswer = [](Buttons buttons, Button fallback) { return buttons == Buttons::YesNo ? Button::No : fallback; };
    chooseUnit(2, "6");
    dialog.onCommand(ControlId::Go);
    const std::string forSix = settingOf(ui.boxes.back().text);
    ui.controls.goal = "7";
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(ui.controls.goal, "7") << "No keeps the typed text";
    const std::string forSeven = settingOf(ui.boxes.back().text);
    EXPECT_NE(forSeven, forSix);

    // The same as a Go that never saw 6.
    dialog.onCommand(ControlId::UnitMeVPerNucleon);
    ui.controls.goal = "7";
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(settingOf(ui.boxes.back().text), forSeven);
}

TEST_F(DegraderSearchTest, TheQuestionSaysWhatTheRecomputationShowsAfterYes) {
    start();
    console().state.axes[kAxisT].internalPosition = 2700;  // T = 30 degrees
    chooseUnit(2, "6");
    ui.chooseAnswer = [](Buttons buttons, Button fallback) { return buttons == Buttons::YesNo ? Button::Yes : fallback; };
    dialog.onCommand(ControlId::Go);
    ASSERT_FALSE(ui.boxes.empty());
    const RecordedBox question = ui.boxes.back();
    ASSERT_EQ(question.buttons, Buttons::YesNo) << question.text;
    EXPECT_EQ(question.defaultButton, Button::Yes);
    const DialogFields& shown = console().fields;
    EXPECT_EQ(question.text.substr(question.text.find(" have been determined")),
              " have been determined - do you want to set them?\n\nBeam energy at the substrate: " +
                  shown.energyPerNucleon + " MeV/u\nEffective LET: " + shown.effectiveLet +
                  " MeV·cm²/mg\nEffective range: " + shown.effectiveRange + " µm");
    EXPECT_EQ(shown.energyPerNucleon, "6.00");
    EXPECT_EQ(shown.effectiveLet, formatBeamValue(console().state.beam.nominalLet / std::cos(kPi / 6)));
}

TEST_F(DegraderSearchTest, PastTheBraggPeakOrUnderTheMinimumRangeWarnsAndDefaultsToNo) {
    start();
    chooseUnit(2, "0.5");  // far below the Bragg peak of krypton in silicon
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().defaultButton, Button::No);
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning) << "a question with a warning shows the warning icon";
    EXPECT_EQ(linesOf(ui.lastBox().text).back(), "Warning: the beam reaches the substrate past its Bragg peak.");

    folder.write("MinimumRange.dat", "5000\n");
    chooseUnit(2, "6");
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(ui.lastBox().defaultButton, Button::No);
    EXPECT_EQ(linesOf(ui.lastBox().text).back(),
              "Warning: the effective range is under the minimum range of 5000 µm.");

    chooseUnit(2, "0.5");
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(linesOf(ui.lastBox().text).back(),
              "Warning: the beam reaches the substrate past its Bragg peak, and the effective range is under the "
              "minimum range of 5000 µm.");

    // A file without a number is reported once and ignored.
    folder.write("MinimumRange.dat", "none\n");
    ui.boxes.clear();
    for (int i = 0; i < 2; ++i) {
        chooseUnit(2, "6");
        ui.chooseAnswer = [](Buttons buttons, Button fallback) { return buttons == Buttons::YesNo ? Button::No : fallback; };
        dialog.onCommand(ControlId::Go);
    }
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "MinimumRange.dat holds no number of micrometres; no minimum range is applied.");
    for (std::size_t i : {1u, 2u}) {
        EXPECT_EQ(ui.boxes[i].defaultButton, Button::Yes);
        EXPECT_EQ(ui.boxes[i].icon, Icon::Information);
        EXPECT_EQ(linesOf(ui.boxes[i].text).back().rfind("Effective range: ", 0), 0u) << ui.boxes[i].text;
    }

    // Moved past the peak after all: the window keeps saying so, with the
    // fields current at the new setting.
    chooseUnit(2, "0.5");
    ui.answer(Button::Yes);
    dialog.onCommand(ControlId::Go);
    ASSERT_FALSE(ui.beamFields.empty());
    EXPECT_EQ(ui.beamFields.back(),
              (BeamFieldsShown{"", "Warning: the beam reaches the substrate past its Bragg peak."}));
}

TEST_F(DegraderSearchTest, AMinimumRangeThatCannotBeReadIsSaidNotIgnored) {
    start();
    std::filesystem::create_directory(folder.path() / "MinimumRange.dat");
    chooseUnit(2, "6");
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text,
              "MinimumRange.dat cannot be read (it must be a readable regular file); no minimum range is applied.");
    EXPECT_EQ(ui.boxes[1].buttons, Buttons::YesNo);
}

TEST_F(DegraderSearchTest, AnUnreachableLetAddsWhatTheBeamGivesOnBothSidesOfThePeak) {
    start();
    chooseUnit(0, "200");
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 1u);
    const std::string& text = ui.lastBox().text;
    const std::string head = "Error in Al degrader calculation - beam fully stopped.\n\nThe effective LET this beam "
                             "can give at the substrate at T = 0.000 deg, before the Bragg peak: ";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    // "<without a degrader> to <peak>; past it: down to <thickest> MeV·cm²/mg."
    double open = 0, peak = 0, thickest = 0;
    ASSERT_EQ(std::sscanf(text.c_str() + head.size(), "%lf to %lf; past it: down to %lf MeV", &open, &peak,
                          &thickest),
              3)
        << text;
    // S shows no foil: All Halt's recomputation before Go showed that beam.
    EXPECT_EQ(formatBeamValue(open), console().fields.effectiveLet);
    EXPECT_GT(peak, open);
    EXPECT_LT(peak, 60);
    EXPECT_LT(thickest, 1);
    const double highest = peak;
    // That LET is reachable, a little more is not.
    ui.boxes.clear();
    chooseUnit(0, cformat("%g", highest * 0.98));
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Go);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::YesNo) << ui.lastBox().text;
}

TEST_F(DegraderSearchTest, GoMovesBothAxesBeforeOneRecomputation) {
    start();
    console().state.axes[kAxisS].softLimitLow = -7000;  // every foil within the limits
    ui.chooseAnswer = [](Buttons buttons, Button fallback) { return buttons == Buttons::YesNo ? Button::Yes : fallback; };
    chooseUnit(0, "30");
    dialog.onCommand(ControlId::Go);
    ui.boxes.clear();
    chooseUnit(2, "5");
    dialog.onCommand(ControlId::Go);
    // Only the question: no box for the setting between R's move and S's.
    ASSERT_EQ(ui.boxes.size(), 1u) << ui.boxes.back().text;
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNo);
    EXPECT_NE(ui.boxes[0].text.find("Beam energy at the substrate: " + console().fields.energyPerNucleon + " MeV/u"),
              std::string::npos)
        << ui.boxes[0].text;
}

TEST_F(DegraderSearchTest, ALayerFileChangedWhileTheQuestionIsOpenDoesNotChangeTheMove) {
    start();
    console().state.axes[kAxisS].softLimitLow = -7000;  // every foil within the limits
    chooseUnit(2, "6");
    ui.chooseAnswer = [this](Buttons buttons, Button fallback) {
        if (buttons != Buttons::YesNo) return fallback;
        // 100 µm of aluminium in front of the silicon, written while the box is open.
        const std::string device = "silicon\n2.33 1 1\n14 28.086 0 1.0\n0 0 0\naluminium\n2.702 1 1\n13 26.982 0 "
                                   "1.0\n100 0 0\n\n";
        folder.write("Device.lay", device);
        return Button::Yes;
    };
    dialog.onCommand(ControlId::Go);
    ASSERT_FALSE(ui.boxes.empty());
    const AxisTable& axes = console().state.axes;
    EXPECT_EQ(settingOf(ui.boxes.front().text),
              cformat("(S = %g , R = %g)", axisValue(axes[kAxisS]), axisValue(axes[kAxisR])));
}

TEST_F(DegraderSearchTest, BraggComesFromTheBeamAlsoWhereThePresentSettingStopsIt) {
    start();
    ui.chooseAnswer = [](Buttons buttons, Button fallback) { return buttons == Buttons::YesNo ? Button::No : fallback; };
    ui.controls.bragg = 1;
    dialog.onCommand(ControlId::Bragg);
    dialog.onCommand(ControlId::Go);
    const RecordedBox passing = ui.boxes.back();
    console().state.axes[kAxisS].internalPosition = 3000;  // foil 10 stops the beam
    dialog.onCommand(ControlId::Go);
    const RecordedBox stopped = ui.boxes.back();
    ASSERT_EQ(stopped.buttons, Buttons::YesNo) << stopped.text;
    EXPECT_EQ(settingOf(stopped.text), settingOf(passing.text));
    EXPECT_EQ(linesOf(stopped.text).back(), "The beam reaches the substrate at its Bragg peak.");
    EXPECT_EQ(stopped.defaultButton, Button::Yes);
}

// A target equal to a software limit is refused: the demo's limits of S lie
// beyond "no foil" and the last foil, so that Go and the operator reach both.
TEST(DemoSetupTables, SoftLimitsOfSLieBeyondTheEndPositions) {
    for (const auto& [name, foils] : std::vector<std::pair<std::string, int>>{
             {"AirArdo.dat", 10}, {"VacArdo.dat", 10}, {"AirBelm.dat", 6}, {"VacBelm.dat", 6}}) {
        std::ifstream in(std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site/" + name);
        ASSERT_TRUE(in) << name;
        AxisTable table;
        parseSetupTable(in, table);
        const Axis& s = table[kAxisS];
        EXPECT_LT(s.softLimitLow, internalPositionFor(s, 0)) << name;
        EXPECT_GT(s.softLimitHigh, internalPositionFor(s, foils)) << name;
    }
}

TEST_F(DegraderSearchTest, BraggAndUnitsExcludeEachOther) {
    start();
    ui.controls.bragg = 1;
    dialog.onCommand(ControlId::Bragg);
    EXPECT_EQ(ui.controls.goal, "BRAGG");
    EXPECT_FALSE(ui.isEnabled(ControlId::SetGoal));
    EXPECT_EQ(ui.controls.unitChoice, -1);
    ui.controls.bragg = 0;
    dialog.onCommand(ControlId::Bragg);
    EXPECT_EQ(ui.controls.goal, "");
    EXPECT_FALSE(ui.isEnabled(ControlId::SetGoal)) << "unticking keeps the box disabled";

    ui.controls.bragg = 1;
    dialog.onCommand(ControlId::Bragg);
    chooseUnit(1, "");
    EXPECT_EQ(ui.controls.bragg, 0);
    EXPECT_EQ(ui.controls.unitChoice, 1);
    EXPECT_TRUE(ui.isEnabled(ControlId::SetGoal));
    EXPECT_EQ(ui.focusHistory.back(), ControlId::SetGoal);
    ui.controls.goal = "typed";
    dialog.onCommand(ControlId::UnitMeV);
    EXPECT_EQ(ui.controls.goal, "");
}

TEST_F(DegraderSearchTest, SummaryShowsACopyOfTheLayerSummary) {
    start();
    dialog.onCommand(ControlId::Summary);
    EXPECT_EQ(folder.read("Copy of LayerSummary(dat).txt"), site.files.at("LayerSummary.dat"));
    EXPECT_EQ(ui.shownDocuments,
              std::vector<std::string>{(folder.path() / "Copy of LayerSummary(dat).txt").string()});
}

}  // namespace
