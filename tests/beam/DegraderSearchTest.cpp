#include <gtest/gtest.h>

#include "app/TarvexDlg.h"
#include "beam/DegraderSearch.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"
#include "util/NumberFormat.h"

namespace {

class DegraderSearchTest : public ::testing::Test {
protected:
    void start(const std::string& cyclotron = "500") {
        site.set("CyclotronInUse.dat", cyclotron + "\n");
        // T, R and S at 0 degrees and no foil (offsets 3, 6 and 7 in the site's tables).
        site.set("TarvexStatus.dat", "Park\n1\n0 0 0 -300 0 0 -600 -7000\n0 0 0 0 0 0 0 0\n");
        site.install(folder);
        ui.events = &dialog;
        ASSERT_TRUE(dialog.onInitDialog());
        console().channel = std::make_unique<RecordingChannel>();
        // The beam as the parent program chose it: 84Kr at 10 MeV/u.
        console().state.beam.ionZ = 36;
        console().state.beam.ionA = 84;
        console().state.beam.beamEnergyMeV = 840;
        ui.boxes.clear();
    }
    Console& console() { return dialog.console(); }
    void chooseUnit(int choice, const std::string& wanted) {
        ui.controls.unitChoice = choice;
        dialog.onCommand(ControlId::UnitMeVPerNucleon);
        ui.controls.goal = wanted;
    }

    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
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
              "must also change the layer file(s) accordingly.\n\nThe highest energy per nucleon this beam can give at the "
              "substrate is 7.54 MeV/u.");
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

TEST_F(DegraderSearchTest, AnEnergyAboveTheDeliveredOneIsReported) {
    start();
    chooseUnit(2, "12");
    dialog.onCommand(ControlId::Go);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_NE(ui.lastBox().text.find("Al degrader"), std::string::npos) << ui.lastBox().text;
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
    EXPECT_EQ(ui.openedDocuments,
              std::vector<std::string>{(folder.path() / "Copy of LayerSummary(dat).txt").string()});
}

}  // namespace
