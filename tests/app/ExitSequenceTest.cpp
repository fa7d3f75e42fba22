#include <gtest/gtest.h>

#include <regex>

#include "app/DirectControl.h"
#include "support/StartedConsole.h"

namespace {

// Site calibrations: U and V have offsets 4 and 5 and scale 1000; Options.dat
// gives slit tolerances 2.5 (U) and 3.5 (V).
class ExitSequenceTest : public StartedConsole {
protected:
    void start(const std::string& cyclotron = "500", const std::string& location = "1") {
        site.set("CyclotronInUse.dat", cyclotron + "\n");
        site.set("TargetLocation.dat", location + "\n");
        site.set("TarvexStatus.dat", "Park\n" + location + "\n" + positions + "\n0 0 0 0 0 0 0 0\n");
        startConsole();
        recording->nextReply = reply;
        // Beam above its Bragg peak unless a test says otherwise.
        console().state.beam.deviceEnergyMeV = 700;
        console().state.beam.braggEnergyMeV = 150;
    }
    void pressExit() { dialog.onCommand(ControlId::Exit); }
    std::string log() { return folder.exists("run.log") ? folder.read("run.log") : ""; }

    // X Y Z T U V R S in counts: T, R, S at 0 degrees and no foil; U = 4, V = 5.
    std::string positions = "1000 2000 3000 -300 0 0 -600 -7000";
    std::string reply;
};

const std::vector<std::string> kArdoCommands = {"BL4;", "AA;AN1,1,1,1,1,1,1,1;", "BL5;BL6;BL7;", "BH12;", "BH12;"};

TEST_F(ExitSequenceTest, NormalExitParksRecordsAndHandsOver) {
    start();
    pressExit();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(sent, kArdoCommands);
    EXPECT_EQ(folder.read("TarvexLog.dat"),
              "\nEnd of initialization\n\n\nBeginning of the exit sequence of commands:\n\n");
    EXPECT_EQ(folder.read("TarvexStatus.dat"),
              "Park\n1\n1000   2000   3000   -300   0   0   -600   -7000\n0   0   0   0   0   0   0   0\n");
    std::regex line(R"(\d\d/\d\d/\d\d   \d\d:\d\d:\d\d   Park: 1\.000 mm 3\.000 mm 5\.000 mm 0\.000 deg 4\.000 mm )"
                    R"(5\.000 mm 0\.000 deg 0\.000 foil\.\n)");
    EXPECT_TRUE(std::regex_match(log(), line)) << log();
    EXPECT_FALSE(folder.exists("Tarvex.run"));
    ASSERT_EQ(ui.startedProcesses.size(), 1u);
    EXPECT_EQ(ui.startedProcesses[0].first, "Orvane.exe");
    EXPECT_EQ(ui.closedWith, 1);
    EXPECT_TRUE(ui.runningTimers.empty());
}

TEST_F(ExitSequenceTest, ParentProgramFromTheWorkingFolderOrTheFailureMessage) {
    start();
    folder.write("Orvane.exe", "");
    ui.processStarts = false;
    pressExit();
    EXPECT_EQ(ui.startedProcesses.at(0).first, "./Orvane.exe");
    EXPECT_EQ(ui.lastBox().text, "Unable to start the parent program Orvane.exe (looked for in " +
                                     folder.path().string() + " and on the search path) - please start it by hand.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(ui.closedWith, 1) << "the dialog is still closed";
}

TEST_F(ExitSequenceTest, SlitBelowToleranceCancelledKeepsTheConsoleRunning) {
    positions = "1000 2000 3000 -300 -3500 0 -600 -7000";  // U = 0.5
    start();
    ui.answer(Button::Cancel);
    pressExit();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text,
              "Coordinate U (horizontal slit aperture) is below the specified tolerance.\nYou should click Cancel "
              "and fix this problem.");
    EXPECT_EQ(ui.lastBox().defaultButton, Button::Cancel);
    EXPECT_TRUE(sent.empty());
    EXPECT_NE(folder.read("TarvexLog.dat").find("Beginning of the exit sequence of commands:"), std::string::npos);
    EXPECT_TRUE(folder.exists("Tarvex.run"));
    EXPECT_FALSE(ui.closedWith.has_value());
}

TEST_F(ExitSequenceTest, SlitsAcknowledgedAreLogged) {
    positions = "1000 2000 3000 -300 -3500 -4000 -600 -7000";  // U = 0.5, V = 1
    start();
    ui.answer(Button::Ok);
    ui.answer(Button::Ok);
    pressExit();
    EXPECT_EQ(ui.boxes.size(), 2u);
    std::string entries = log();
    EXPECT_NE(entries.find("Horizontal slit aperture is below the specified tolerance - acknowleged."),
              std::string::npos);
    EXPECT_NE(entries.find("Vertical slit aperture is below the specified tolerance - acknowleged."),
              std::string::npos);
    EXPECT_EQ(sent, kArdoCommands);
}

TEST_F(ExitSequenceTest, SlitEqualToToleranceOrInAirAsksNothing) {
    positions = "1000 2000 3000 -300 -1500 -1500 -600 -7000";  // U = 2.5 (equal), V = 3.5 (equal)
    start();
    pressExit();
    EXPECT_TRUE(ui.boxes.empty());

}

TEST_F(ExitSequenceTest, BelmWritesBL13ToTheSequenceLog) {
    positions = "1000 2000 3000 -300 -3500 -4000 -600 -7000";
    start("150");
    pressExit();
    EXPECT_TRUE(ui.boxes.empty()) << "no slit checks on Belm";
    EXPECT_EQ(sent, (std::vector<std::string>{"BL13;", "AA;AN1,1,1,1,1,1,1,1;", "BL5;BL6;BL7;", "BH12;", "BH12;"}));
    EXPECT_EQ(folder.read("TarvexLog.dat"),
              "\nEnd of initialization\n\n\nBeginning of the exit sequence of commands:\n\nBL13;\n\n");
}

TEST_F(ExitSequenceTest, MotionQuestionCancelledDoesNothing) {
    start();
    ui.controls.activeAxis = kAxisX;
    dialog.onCommand(ControlId::ActiveX);
    dialog.onCommand(ControlId::DrivePlus);
    ui.tick(kMotionTimer);
    sent.clear();
    ui.answer(Button::Cancel);
    pressExit();
    EXPECT_EQ(ui.lastBox().text, "The system is still in motion. The motion will be terminated.");
    EXPECT_EQ(ui.lastBox().defaultButton, Button::Ok);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(folder.read("TarvexLog.dat"), "\nEnd of initialization\n\n");
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 1u);
}

TEST_F(ExitSequenceTest, BraggWarningAtOrBelowThePeak) {
    // So slow an ion that its LET only falls in the substrate: the peak is at
    // the device energy itself.
    site.set("CurrentBeamNZAMeV.tmp", "4 36 84 0.084\n");
    start();
    pressExit();
    EXPECT_EQ(console().state.beam.braggEnergyMeV, console().state.beam.deviceEnergyMeV);
    EXPECT_EQ(ui.lastBox().text, "Current beam energy is at or below the Bragg value.") << "legacy flag 1";
    EXPECT_NE(log().find("Below Bragg-peak energy - acknowleged."), std::string::npos);
}

TEST_F(ExitSequenceTest, NonLegacyBraggWarning) {
    site.set("DoLegacyCalculations.dat", "0\n");
    start();
    console().state.beam.braggEnergyMeV = 700.0001;
    pressExit();
    EXPECT_EQ(ui.lastBox().text, "Current beam energy is at or below the non-legacy Bragg value.");
}

TEST_F(ExitSequenceTest, ModeFlagOtherThanZeroGivesTheLegacyBraggWarning) {
    site.set("DoLegacyCalculations.dat", "2\n");  // normal calculations for the engine, legacy for the warning
    start();
    console().state.beam.braggEnergyMeV = 700.0001;
    pressExit();
    EXPECT_EQ(ui.lastBox().text, "Current beam energy is at or below the Bragg value.");
}

TEST_F(ExitSequenceTest, MissingModeFileStopsSilentlyAfterTheMarkerIsGone) {
    site.set("DemoStatus.dat", "2\n");  // no simulation: All Halt recomputes nothing
    start();
    folder.remove("DoLegacyCalculations.dat");
    pressExit();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(folder.exists("Tarvex.run"));
    EXPECT_TRUE(ui.startedProcesses.empty());
    EXPECT_FALSE(ui.closedWith.has_value());
    EXPECT_FALSE(log().empty());
}

TEST_F(ExitSequenceTest, DirectControlOnShowsTheCommandBoxAndStopsTheTimers) {
    site.set("DemoStatus.dat", "2\n");
    start();
    ui.controls.directControl = 1;
    dialog.onCommand(ControlId::DirectControl);
    EXPECT_EQ(ui.lastBox().text,
              "Control of the positioning system has now been transfered exclusively to the command line input. You "
              "must restart the program to resume with the standard mode of operation.");
    EXPECT_NE(log().find("   Control transfered to the command line input.\n"), std::string::npos);
    EXPECT_TRUE(ui.isVisible(ControlId::DirectCommand));
    EXPECT_TRUE(ui.isEnabled(ControlId::Tell));
    EXPECT_TRUE(ui.isVisible(ControlId::Ask));
    EXPECT_TRUE(ui.runningTimers.empty());
    const auto& presets = ui.listItems.at(ControlId::DirectCommand);
    ASSERT_EQ(presets.size(), 17u);
    EXPECT_EQ(presets[0], "AA;RP;");
    EXPECT_EQ(presets[1], "AX;AF;HM0;");
    EXPECT_EQ(presets[16], "BH7;");

    ui.controls.directCommand = "AX;AF;HM0;";
    dialog.onCommand(ControlId::Tell);
    ui.controls.directCommand = "TB;";
    dialog.onCommand(ControlId::Ask);
    dialog.onCommand(ControlId::Reset);
    EXPECT_EQ(sent, (std::vector<std::string>{"AX;AF;HM0;", "TB;", "SA;"}));
    EXPECT_EQ(ui.controls.status, "") << "no reply empties the status line";
    ui.controls.directCommand = std::string(128, 'A');
    dialog.onCommand(ControlId::Tell);
    EXPECT_EQ(ui.lastBox().text, "The command is longer than 127 characters - request ignored.");
    EXPECT_EQ(sent.size(), 3u);
}

TEST_F(ExitSequenceTest, AskShowsTheReply) {
    reply = "128";
    start();
    ui.controls.directCommand = "TB;";
    dialog.onCommand(ControlId::Ask);
    EXPECT_EQ(ui.texts.at(ControlId::Status), "128");
}

TEST_F(ExitSequenceTest, DirectControlOffEndsWithCodeOneEvenWhenCancelled) {
    positions = "1000 2000 3000 -300 -3500 0 -600 -7000";  // U below tolerance
    start();
    ui.controls.directControl = 1;
    dialog.onCommand(ControlId::DirectControl);
    ui.answer(Button::Cancel);
    ui.controls.directControl = 0;
    try {
        dialog.onCommand(ControlId::DirectControl);
        FAIL() << "the program should end";
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 1);
    }
    EXPECT_EQ(ui.closedWith, 2);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(folder.exists("Tarvex.run"));
}

TEST_F(ExitSequenceTest, HelpShowsThePageInTheConsoleWithoutAnOpener) {
    start();
    ui.documentsOpen = false;  // a desktop opener would fail: it is not asked
    dialog.onCommand(ControlId::Help);
    EXPECT_EQ(ui.shownDocuments, std::vector<std::string>{(folder.path() / "Tarvex.htm").string()});
    EXPECT_TRUE(ui.openedDocuments.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.focusHistory.back(), ControlId::Keyboard);
}

}  // namespace
