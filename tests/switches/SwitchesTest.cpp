#include <gtest/gtest.h>

#include "actions/AfterMotion.h"
#include "axes/MotionDriver.h"
#include "beam/BeamRuns.h"
#include "support/CaseNames.h"
#include "support/StartedConsole.h"
#include "switches/Switches.h"

namespace {

using case_names::PrintTo;  // rows print as their names

// A started console in simulation mode (Ardo, vacuum chamber) whose commands
// are recorded.
class SwitchesTest : public StartedConsole {
protected:
    void startWith(const std::string& demoStatus, const std::string& cyclotron = "500") {
        site.set("DemoStatus.dat", demoStatus + "\n");
        site.set("CyclotronInUse.dat", cyclotron + "\n");
        startConsole();
    }
};

const char* const kCloseS2Question =
    "The downstream shutter (S2) needs to close to complete the requested action - is it OK to do that?";

TEST_F(SwitchesTest, InitialStatesInSimulation) {
    startWith("3");
    for (ControlId id : {ControlId::CameraOff, ControlId::LightOff, ControlId::LaserOff, ControlId::OpenS1,
                         ControlId::CloseS2, ControlId::SetGoal, ControlId::UndoParallax, ControlId::Tell,
                         ControlId::Ask, ControlId::DirectCommand}) {
        EXPECT_FALSE(ui.isEnabled(id)) << static_cast<int>(id);
    }
    for (ControlId id : {ControlId::CameraOn, ControlId::OpenS2, ControlId::CloseS1, ControlId::CheckParallax}) {
        EXPECT_TRUE(ui.isEnabled(id)) << static_cast<int>(id);
    }
    EXPECT_FALSE(ui.isVisible(ControlId::DirectCommand));
    EXPECT_TRUE(console().state.s2Closed);
    EXPECT_FALSE(console().state.s1Closed);
}

TEST_F(SwitchesTest, InitialStatesOnBelmAndInAir) {
    site.set("TargetLocation.dat", "0\n");
    site.set("TarvexStatus.dat", "P\n0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n");
    startWith("2", "150");
    for (ControlId id : {ControlId::OpenS1, ControlId::CloseS1, ControlId::OpenS2, ControlId::CloseS2}) {
        EXPECT_FALSE(ui.isEnabled(id)) << "Belm outside simulation: shutter buttons stay disabled";
    }
    EXPECT_TRUE(ui.isEnabled(ControlId::CheckParallax)) << "in-air disables parallax on Ardo only";
}

TEST_F(SwitchesTest, InAirOnArdoDisablesParallax) {
    site.set("TargetLocation.dat", "0\n");
    site.set("TarvexStatus.dat", "P\n0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n");
    startWith("3");
    EXPECT_FALSE(ui.isEnabled(ControlId::CheckParallax));
}

TEST_F(SwitchesTest, CameraOnAndOffComposeCommandsAndToggleButtons) {
    startWith("3");
    ui.runningTimers.clear();
    click(ControlId::CameraOn);
    EXPECT_EQ(sent, std::vector<std::string>{"BH5;"});
    EXPECT_EQ(ui.texts.at(ControlId::Status), "Beamview camera got turned on.");
    EXPECT_FALSE(ui.isEnabled(ControlId::CameraOn));
    EXPECT_TRUE(ui.isEnabled(ControlId::CameraOff));
    EXPECT_EQ(ui.runningTimers.at(kCameraTimer), 60000);
    EXPECT_EQ(ui.focusHistory.back(), ControlId::Keyboard);
    EXPECT_EQ(console().state.commandBuffer.text(), "BH5;");

    ui.focusHistory.clear();
    click(ControlId::CameraOff);
    EXPECT_EQ(sent.back(), "BL5;");
    EXPECT_EQ(ui.texts.at(ControlId::Status), "Beamview camera got turned off.");
    EXPECT_TRUE(ui.isEnabled(ControlId::CameraOn));
    EXPECT_TRUE(ui.focusHistory.empty()) << "switch off leaves the focus alone";
}

TEST_F(SwitchesTest, LaserAndLightCommands) {
    startWith("3");
    click(ControlId::LaserOn);
    click(ControlId::LightOn);
    click(ControlId::LaserOff);
    click(ControlId::LightOff);
    click(ControlId::LightOff);  // runs in full when already off
    EXPECT_EQ(sent, (std::vector<std::string>{"BH6;", "BH7;", "BL6;", "BL7;", "BL7;"}));
    EXPECT_EQ(ui.texts.at(ControlId::Status), "Chamber light got turned off.");
}

TEST_F(SwitchesTest, CameraTimerSwitchesTheCameraOffOnlyWhenOn) {
    startWith("3");
    ui.tick(kCameraTimer);
    EXPECT_TRUE(sent.empty());
    click(ControlId::CameraOn);
    ui.tick(kCameraTimer);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "BL5;"}));
    EXPECT_FALSE(console().state.cameraOn);
    EXPECT_EQ(ui.runningTimers.count(kCameraTimer), 1u) << "the tick does not stop the timer";
}

TEST_F(SwitchesTest, LaserWithS2OpenAnsweredNoChangesNothing) {
    startWith("3");
    ui.answer(Button::Ok);
    click(ControlId::OpenS2);  // the containment question, answered OK
    sent.clear();
    ui.boxes.clear();
    ui.answer(Button::No);
    click(ControlId::LaserOn);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, kCloseS2Question);
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::YesNo);
    EXPECT_EQ(ui.lastBox().defaultButton, Button::No);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(console().state.s2Closed);
    EXPECT_TRUE(ui.isEnabled(ControlId::LaserOn));
    EXPECT_FALSE(ui.isEnabled(ControlId::LaserOff));
}

TEST_F(SwitchesTest, CameraWithS2OpenAnsweredYesClosesS2First) {
    startWith("3");
    click(ControlId::OpenS2);
    sent.clear();
    ui.answer(Button::Yes);
    click(ControlId::CameraOn);
    EXPECT_TRUE(console().state.s2Closed);
    EXPECT_TRUE(ui.isEnabled(ControlId::OpenS2));
    EXPECT_FALSE(ui.isEnabled(ControlId::CloseS2));
    EXPECT_EQ(sent, std::vector<std::string>{"BH5;"});
}

TEST_F(SwitchesTest, OutsideSimulationS2CountsAsClosed) {
    startWith("2");
    click(ControlId::OpenS2);
    EXPECT_EQ(sent, (std::vector<std::string>{"BL5;", "BL6;", "BL7;"}));
    EXPECT_TRUE(console().state.s2Closed);
    EXPECT_FALSE(ui.isEnabled(ControlId::CloseS2)) << "buttons keep their start-up states";
    click(ControlId::LaserOn);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(sent.back(), "BH6;");
}

TEST_F(SwitchesTest, OpenS2WithS1OpenCancelledKeepsS2ClosedButSwitchesOff) {
    startWith("3");
    click(ControlId::OpenS2);  // answered with the default button
    EXPECT_EQ(sent, (std::vector<std::string>{"BL5;", "BL6;", "BL7;"}));
    EXPECT_EQ(ui.lastBox().text,
              "Upstream shutter (S1) is already open - opening the downstream shutter (S2) may breach beam "
              "containment.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::OkCancel);
    EXPECT_EQ(ui.lastBox().defaultButton, Button::Cancel);
    EXPECT_TRUE(console().state.s2Closed);
}

TEST_F(SwitchesTest, BothShuttersOpenAfterAnExplicitOk) {
    startWith("3");
    click(ControlId::CloseS1);
    click(ControlId::OpenS2);
    EXPECT_TRUE(ui.boxes.empty()) << "S1 closed: no question";
    ui.answer(Button::Ok);
    click(ControlId::OpenS1);
    EXPECT_EQ(ui.lastBox().text,
              "Downstream shutter (S2) is already open - opening the upstream shutter (S1) may breach beam "
              "containment.");
    EXPECT_EQ(ui.lastBox().defaultButton, Button::Cancel);
    EXPECT_FALSE(console().state.s1Closed);
    EXPECT_FALSE(console().state.s2Closed);
    EXPECT_TRUE(ui.isEnabled(ControlId::CloseS1));
    EXPECT_TRUE(ui.isEnabled(ControlId::CloseS2));
    EXPECT_FALSE(ui.isEnabled(ControlId::OpenS1));
    EXPECT_FALSE(ui.isEnabled(ControlId::OpenS2));
}

TEST_F(SwitchesTest, ShutterHandlersReReadTheCyclotronFile) {
    startWith("3");
    folder.write("CyclotronInUse.dat", "150\n");
    click(ControlId::CloseS1);
    EXPECT_EQ(console().state.cyclotronCode, 150);
    folder.remove("CyclotronInUse.dat");
    try {
        click(ControlId::OpenS1);
        FAIL() << "the process should have ended";
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 1);
    }
    EXPECT_EQ(ui.lastBox().text,
              "Error opening file CyclotronInUse.dat - please fix the problem and restart the program.");
    EXPECT_FALSE(ui.closedWith.has_value());
    EXPECT_TRUE(console().state.s1Closed) << "the interrupted operation changes nothing";
}

struct ShutterSettingsCase {
    const char* name;
    std::string settings;  // after the channel line
    const char* errors;    // as listed in the start-up message
    const char* logged = "";  // an error logged but not listed
};

class ShutterSettingsTest : public SwitchesTest, public ::testing::WithParamInterface<ShutterSettingsCase> {};

TEST_P(ShutterSettingsTest, RefusedSettingsAreSaidAtStartUpAndTheShuttersKeepTheirBehaviour) {
    site.set("Controller.dat", std::string("journal\n") + GetParam().settings);
    site.install(folder);
    ui.events = &dialog;
    ASSERT_TRUE(dialog.onInitDialog());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, std::string("Controller.dat: the shutter settings cannot be used:\n") +
                                     GetParam().errors + "\nThe shutter buttons do not drive the shutters.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_FALSE(console().state.shutterBits.real());
    EXPECT_EQ(ui.controllerLinks.back(), ControllerLink::SettingsRefused);
    const std::string firstError = std::string(GetParam().errors).substr(0, std::string(GetParam().errors).find('\n'));
    for (const std::string& error : {firstError, std::string(GetParam().logged)}) {
        if (!error.empty()) {
            EXPECT_NE(folder.read("run.log").find("Controller.dat: " + error + "\n"), std::string::npos) << error;
        }
    }
    EXPECT_FALSE(console().state.s1Closed) << "start-up opened S1 as without the settings";
    EXPECT_TRUE(console().state.s2Closed);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShutterSettingsTest,
    ::testing::Values(
        ShutterSettingsCase{"ConsoleOwnBits",
                            "shutter-S1-out 5\nshutter-S1-in 12\nshutter-S2-out 13\nshutter-S2-in 4\n",
                            "shutter-S1-out 5: bit 5 is one of the console's own outputs (4 to 7, 12 and 13)\n"
                            "shutter-S1-in 12: bit 12 is one of the console's own outputs (4 to 7, 12 and 13)\n"
                            "shutter-S2-out 13: bit 13 is one of the console's own outputs (4 to 7, 12 and 13)\n"
                            "shutter-S2-in 4: bit 4 is one of the console's own outputs (4 to 7, 12 and 13)"},
        ShutterSettingsCase{"OutOfRangeAndNotANumber",
                            "shutter-S1-out 32\nshutter-S1-in -1\nshutter-S2-out x\nshutter-S2-in 11\n",
                            "shutter-S1-out 32: not a bit number from 0 to 31\n"
                            "shutter-S1-in -1: not a bit number from 0 to 31\n"
                            "shutter-S2-out x: not a bit number from 0 to 31"},
        ShutterSettingsCase{"MissingTwiceUnknown",
                            "  shutter-S1-out 8  \r\nshutter-S1-out 9\nshutter-S3-in 1\n",
                            "shutter-S1-out: given twice\nshutter-S3-in: unknown setting\nshutter-S1-in: missing\n"
                            "shutter-S2-out: missing\nshutter-S2-in: missing"},
        ShutterSettingsCase{"LongLineAndManyMore",
                            "shutter-S1-out 8" + std::string(4090, ' ') +
                                "\nshutter-a 1\nshutter-b 1\nshutter-c 1\nshutter-d 1\nshutter-e 1\nshutter-f 1\n"
                                "shutter-g 1\nshutter-h 1\nshutter-i 1\nshutter-j 1\nshutter-k 1\n",
                            "shutter-S1-out: the line is longer than 4096 bytes\nshutter-a: unknown setting\n"
                            "shutter-b: unknown setting\nshutter-c: unknown setting\nshutter-d: unknown setting\n"
                            "shutter-e: unknown setting\nshutter-f: unknown setting\nshutter-g: unknown setting\n"
                            "shutter-h: unknown setting\nshutter-i: unknown setting\n… and 5 more; see the "
                            "operator log",
                            "shutter-S2-in: missing"},
        ShutterSettingsCase{"SameOutput", "shutter-S1-out 8\nshutter-S1-in 8\nshutter-S2-out 8\nshutter-S2-in 9\n",
                            "shutter-S2-out: the same output bit as shutter-S1-out"},
        ShutterSettingsCase{"SameInput",
                            "reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I\n"
                            "shutter-S1-out 8\nshutter-S1-in 10\nshutter-S2-out 9\nshutter-S2-in 10\n",
                            "shutter-S2-in: the same input bit as shutter-S1-in"},
        ShutterSettingsCase{"NoInputsInTheReply",
                            "reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS\n"
                            "shutter-S1-out 8\nshutter-S1-in 10\nshutter-S2-out 9\nshutter-S2-in 11\n",
                            "reply: no I field, so the shutters' input bits are never read back"}),
    RowName{});

// Real shutters: the buttons command the output bits; state, buttons, runs
// and the log follow the input bits read back, in every mode.
TEST_F(SwitchesTest, RealShuttersFollowTheReadBack) {
    // A read-back of the axes where they stand and of these input bits.
    auto readInputs = [this](int64_t inputs) {
        ReadBack readBack;
        for (int i = 0; i < kAxisCount; ++i) readBack.position[static_cast<std::size_t>(i)] = console().state.axes[i].internalPosition;
        readBack.inputs = inputs;
        applyReadBack(console(), readBack);
        runMotionEffects(console());
    };
    site.set("Controller.dat", "journal\nreply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I\n"
                               "# shutters\nshutter-S1-out 8\nshutter-S1-in 10\nshutter-S2-out 9\n"
                               "shutter-S2-in 11\n");
    startWith("2");
    EXPECT_TRUE(console().state.s1Closed) << "read, not commanded: not shown open until read back";
    EXPECT_TRUE(console().state.s2Closed);
    for (ControlId id : {ControlId::OpenS1, ControlId::OpenS2}) EXPECT_FALSE(ui.isEnabled(id)) << static_cast<int>(id);
    for (ControlId id : {ControlId::CloseS1, ControlId::CloseS2}) {
        EXPECT_TRUE(ui.isEnabled(id)) << "a shutter not known to be closed can be closed";
    }
    readInputs(1 << 10);
    EXPECT_FALSE(console().state.s1Closed);
    EXPECT_TRUE(ui.isEnabled(ControlId::CloseS1));
    EXPECT_TRUE(ui.isEnabled(ControlId::OpenS2));
    EXPECT_FALSE(ui.isEnabled(ControlId::OpenS1));

    ui.answer(Button::Ok);
    click(ControlId::OpenS2);
    EXPECT_EQ(ui.lastBox().text, "Upstream shutter (S1) is already open - opening the downstream shutter (S2) may "
                                 "breach beam containment.");
    EXPECT_EQ(sent, (std::vector<std::string>{"BL5;", "BL6;", "BL7;", "BH9;"}));
    EXPECT_TRUE(console().state.s2Closed) << "nothing is shown as done before the read-back";
    EXPECT_FALSE(folder.exists("BeamRuns.csv"));

    readInputs((1 << 10) | (1 << 11) | (1 << 9));
    dialog.onTimer(0);  // the next event: the run begins on the read-back
    EXPECT_FALSE(console().state.s2Closed);
    EXPECT_EQ(folder.read("BeamRuns.csv").substr(std::string(kBeamRunsHeader).size() + 1, 8), "begin,1,");
    click(ControlId::CloseS2);
    EXPECT_EQ(sent.back(), "BL9;");
    readInputs(1 << 10);
    dialog.onTimer(0);
    std::string runs = folder.read("BeamRuns.csv");
    EXPECT_EQ(runs.substr(runs.size() - 11), ",S2 closed\n");
    EXPECT_TRUE(ui.isEnabled(ControlId::OpenS2));
}

}  // namespace
