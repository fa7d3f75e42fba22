#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "ControllerSimulator.h"
#include "app/TarvexDlg.h"
#include "axes/MotionDriver.h"
#include "support/StartedConsole.h"

namespace {

// A started console whose axes have simple calibrations: X: limits
// -1000..1000, nudge 100, offset 0, scale 10; Y like X with scale -10; T, R, S
// as the site's setup table. Commands are recorded.
class MovesTest : public StartedConsole {
protected:
    void start(const std::string& demoStatus = "3") {
        site.set("DemoStatus.dat", demoStatus + "\n");
        site.set("VacArdo.dat",
                 "mm mm mm deg mm mm deg foil\n"
                 "-1000 1000 100 0 10\n"
                 "-1000 1000 100 0 -10\n"
                 "-1000 1000 100 10 100\n"
                 "-36000 36000 400 0 100\n"
                 "0 50000 500 0 1000\n"
                 "0 50000 600 0 1000\n"
                 "-9000 9000 700 0 100\n"
                 "0 10000 1000 0 1000\n"
                 "500 0 1000 0 1500 0 2000 0 2500 0 3000 0 3500 0 4000 0\n");
        site.set("TarvexStatus.dat", status);
        startConsole();
    }
    // Outside simulation mode with the simulator's motion commands, a
    // connected controller and a first read-back of every axis at rest at 0.
    void startHardware() {
        start("2");
        std::istringstream settings(ControllerSimulator::settingsText(7000));
        console().state.motion.commands = parseControllerSettings(settings).motion;
        recording->setLink(ControllerLink::Connected);
        startReadBack(console());
        readBack({});
        sent.clear();
    }
    // One answer to the read-back query, then a tick of timer 5.
    void readBack(std::array<int32_t, kAxisCount> positions, const std::string& moving = "") {
        std::string answer;
        for (int32_t p : positions) answer += std::to_string(p) + ",";
        for (int i = 0; i < kAxisCount; ++i) answer += moving.find(kAxisLetters[i]) != std::string::npos ? "1," : "0,";
        recording->queryAnswers.push_back(answer + "0,0,0,0,0,0,0,0,0");
        ui.tick(kReadBackTimer);
    }
    Axis& axis(int index) { return console().state.axes[index]; }
    void select(int index) {
        ui.controls.activeAxis = index;
        dialog.onCommand(kAxisControls[static_cast<std::size_t>(index)].radio);
    }
    void type(const std::string& text) { ui.controls.newAxisValue = text; }
    std::string statusFile() { return folder.read("TarvexStatus.dat"); }

    std::string status = "Park\n1\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n";
};

TEST_F(MovesTest, NoAxisSelected) {
    start();
    click(ControlId::NudgePlus);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, "No axis selected - request ignored.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_TRUE(sent.empty());
}

TEST_F(MovesTest, NudgeMovesShowsCurrentAndWritesTheStatusFile) {
    start();
    select(kAxisX);
    click(ControlId::NudgePlus);
    EXPECT_EQ(axis(kAxisX).internalPosition, 100);
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "10.000");
    EXPECT_EQ(ui.texts.at(ControlId::DutPosition), "Current");
    EXPECT_EQ(sent, std::vector<std::string>{"BH5;"}) << "every move switches the camera on";
    EXPECT_EQ(statusFile(), "Current\n1\n100   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    click(ControlId::NudgeMinus);
    EXPECT_EQ(ui.texts.at(ControlId::DutPosition), "Park") << "back at the named position";
    EXPECT_EQ(ui.focusHistory.back(), ControlId::Keyboard);
}

TEST_F(MovesTest, TargetOnTheLimitIsRefusedButFinestStepFits) {
    start();
    axis(kAxisX).internalPosition = 900;
    select(kAxisX);
    click(ControlId::NudgePlus);
    EXPECT_EQ(ui.lastBox().text,
              "Attempted movement beyond software limit - request ignored. (limits -100.000 to 100.000 mm)");
    EXPECT_EQ(axis(kAxisX).internalPosition, 900);
    EXPECT_EQ(axis(kAxisX).pendingStep, 0);
    EXPECT_TRUE(sent.empty()) << "a refused move does not switch the camera on";

    dialog.onCommand(ControlId::FinestStep);
    EXPECT_EQ(ui.lastBox().text, "Nudge steps are now set to the smallest hardware-supported values.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Information);
    click(ControlId::NudgePlus);
    EXPECT_EQ(axis(kAxisX).internalPosition, 901);
    dialog.onCommand(ControlId::FinestStep);
    EXPECT_EQ(ui.lastBox().text, "Nudge steps are now set to the values defined in the Change Setup table.");
    // 100 counts a nudge, one at the finest, at 10 counts a millimetre.
    EXPECT_EQ(ui.nudgeSteps, (std::vector<std::string>{"10.000 mm", "0.100 mm", "10.000 mm"}));
}

TEST_F(MovesTest, NegativeScaleNudgePlusRaisesTheValue) {
    start();
    select(kAxisY);
    click(ControlId::NudgePlus);
    EXPECT_EQ(axis(kAxisY).internalPosition, -100);
    EXPECT_EQ(ui.texts.at(ControlId::ValueY), "10.000");
}

TEST_F(MovesTest, SetValueTakesANumberAndEmptiesTheBox) {
    start();
    select(kAxisZ);  // offset 10, scale 100
    type(" 12.345 ");
    click(ControlId::SetValue);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << "trunc(2.345 * 100)";
    EXPECT_EQ(ui.controls.newAxisValue, "");
    type("");
    click(ControlId::SetValue);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << "value 0 is -1000 counts, refused at the limit";
    EXPECT_EQ(ui.lastBox().text,
              "Attempted movement beyond software limit - request ignored. (limits 0.000 to 20.000 mm)");
    for (ControlId button : {ControlId::SetValue, ControlId::Increment}) {
        for (const char* text : {"abc", "12.345 mm", "nan", "1e999"}) {
            ui.boxes.clear();
            type(text);
            click(button);
            EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << text;
            ASSERT_EQ(ui.boxes.size(), 1u) << text;
            EXPECT_EQ(ui.lastBox().text, "\"" + std::string(text) + "\" is not a number - request ignored.");
            EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
            EXPECT_EQ(ui.controls.newAxisValue, "");
        }
    }
    type("-1.5e0");
    click(ControlId::Increment);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 84);
}

TEST_F(MovesTest, HomeBacksOffThenGoesToZeroWritingTheStatusTwice) {
    start();
    select(kAxisX);
    click(ControlId::Home);
    EXPECT_EQ(axis(kAxisX).internalPosition, 0);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "BH5;"})) << "two moves, two camera-on commands";
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MovesTest, DriveComposesTheJogAndTicksStopBeforeTheLimit) {
    start();
    axis(kAxisX).internalPosition = 650;
    select(kAxisX);
    click(ControlId::DrivePlus);
    EXPECT_EQ(sent.back(), "AX;AF;JG+500;");
    EXPECT_EQ(ui.axisMotion.at(kAxisX), (AxisMotionShown{true, "Drive(+)"})) << "the simulation marks it moving too";
    EXPECT_EQ(ui.runningTimers.at(kMotionTimer), 250);
    ui.tick(kMotionTimer, 3);
    EXPECT_EQ(axis(kAxisX).internalPosition, 950);
    EXPECT_EQ(axis(kAxisX).pendingStep, 100);
    ui.tick(kMotionTimer);
    EXPECT_EQ(axis(kAxisX).internalPosition, 950) << "1050 would pass the limit of 1000";
    EXPECT_EQ(axis(kAxisX).pendingStep, 0);
    EXPECT_EQ(ui.axisMotion.at(kAxisX), AxisMotionShown{}) << "at rest before the limit";
    EXPECT_TRUE(console().state.motionInProgress);
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 1u) << "the timer keeps running until halted";
    EXPECT_EQ(statusFile(), site.files.at("TarvexStatus.dat")) << "drives and ticks write no status file";
}

TEST_F(MovesTest, DriveMinusOnANegativeScaleAxis) {
    start();
    select(kAxisY);
    click(ControlId::DriveMinus);
    EXPECT_EQ(sent.back(), "AY;AF;JG+1000;");
    EXPECT_EQ(axis(kAxisY).pendingStep, 100);
    EXPECT_EQ(ui.axisMotion.at(kAxisY).target, "Drive(-)") << "the operator's direction, not the controller's";
}

TEST_F(MovesTest, HaltStopsOnlyTheActiveAxis) {
    start();
    select(kAxisX);
    click(ControlId::DrivePlus);
    select(kAxisY);
    click(ControlId::DrivePlus);
    ui.tick(kMotionTimer);
    EXPECT_EQ(axis(kAxisX).internalPosition, 100);
    EXPECT_EQ(axis(kAxisY).internalPosition, -100);
    select(kAxisX);
    click(ControlId::Halt);
    EXPECT_EQ(axis(kAxisX).pendingStep, 0);
    EXPECT_EQ(ui.axisMotion.at(kAxisX), AxisMotionShown{});
    EXPECT_EQ(ui.axisMotion.at(kAxisY), (AxisMotionShown{true, "Drive(+)"}));
    EXPECT_TRUE(console().state.motionInProgress);
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 1u);
    ui.tick(kMotionTimer);
    EXPECT_EQ(axis(kAxisX).internalPosition, 100);
    EXPECT_EQ(axis(kAxisY).internalPosition, -200);
    EXPECT_EQ(statusFile(), "Current\n1\n100   -100   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
}

TEST_F(MovesTest, AllHaltFromTheSpaceKeyStopsEverything) {
    start();
    select(kAxisX);
    dialog.onKeyboardChar('8');
    EXPECT_EQ(sent.back(), "AX;AF;JG+500;");
    ui.tick(kMotionTimer, 2);
    dialog.onKeyboardChar(' ');
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 0u);
    EXPECT_FALSE(console().state.motionInProgress);
    EXPECT_EQ(axis(kAxisX).pendingStep, 0);
    EXPECT_EQ(axis(kAxisX).internalPosition, 200);
    dialog.onKeyboardChar('a');
    dialog.onKeyboardChar('+');
    EXPECT_EQ(axis(kAxisX).internalPosition, 300);
    dialog.onKeyboardChar('2');
    EXPECT_EQ(sent.back(), "AX;AF;JG-500;");
}

TEST_F(MovesTest, TicksArriveWhileAQuestionIsOpen) {
    start();
    select(kAxisX);
    click(ControlId::DrivePlus);
    ui.answer(Button::Ok);
    click(ControlId::OpenS2);  // S1 is open: the containment question, answered OK
    ASSERT_EQ(ui.boxes.size(), 1u);
    ui.boxes.clear();
    // S2 is now open, so a nudge asks to close it; the drive goes on meanwhile.
    select(kAxisY);
    ui.answer(Button::No, [&] { ui.tick(kMotionTimer, 3); });
    click(ControlId::NudgePlus);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::YesNo);
    EXPECT_EQ(axis(kAxisX).internalPosition, 300);
    EXPECT_EQ(axis(kAxisY).internalPosition, -100) << "answering No still moves, once";
    EXPECT_FALSE(console().state.cameraOn);
}

TEST_F(MovesTest, OutsideSimulationWithoutMotionCommandsEveryMoveIsRefused) {
    start("2");
    select(kAxisX);
    for (ControlId move : {ControlId::NudgePlus, ControlId::SetValue, ControlId::Increment, ControlId::Home,
                           ControlId::DrivePlus, ControlId::DriveMinus}) {
        ui.boxes.clear();
        type("5");
        click(move);
        ASSERT_EQ(ui.boxes.size(), 1u) << static_cast<int>(move);
        EXPECT_EQ(ui.lastBox().text, "No controller with motion commands is attached - request ignored.");
        EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    }
    click(ControlId::Halt);
    EXPECT_EQ(axis(kAxisX).internalPosition, 0);
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 0u);
    EXPECT_TRUE(sent.empty()) << "not even the camera: a jog nothing can stop is never started";
    EXPECT_EQ(statusFile(), "Park\n1\n0   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
}

TEST_F(MovesTest, FiniteMoveEndsTheDriveFirst) {
    start();
    select(kAxisX);
    click(ControlId::DrivePlus);
    ui.tick(kMotionTimer, 2);
    ui.chooseAnswer = [](Buttons, Button) { return Button::Ok; };
    click(ControlId::OpenS2);
    ui.chooseAnswer = nullptr;
    ASSERT_FALSE(console().state.s2Closed);
    type("5");
    ui.answer(Button::No, [&] { ui.tick(kMotionTimer, 8); });  // the S2 question stays open 2 s
    click(ControlId::SetValue);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::YesNo);
    EXPECT_EQ(axis(kAxisX).internalPosition, 50);
    ui.tick(kMotionTimer, 4);
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "5.000");
    EXPECT_EQ(statusFile(), "Current\n1\n50   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    EXPECT_FALSE(console().state.motionInProgress);
}

TEST_F(MovesTest, HeldDriveKeyRepeatsNothing) {
    start();
    select(kAxisX);
    for (int repeat = 0; repeat < 5; ++repeat) {
        dialog.onKeyboardChar('8');
        ui.tick(kMotionTimer);
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "AX;AF;JG+500;"}));
    EXPECT_EQ(axis(kAxisX).internalPosition, 500) << "the axis keeps moving while the key is held";
    dialog.onKeyboardChar('2');
    EXPECT_EQ(sent.back(), "AX;AF;JG-500;") << "the other direction is a new drive";
}

TEST_F(MovesTest, EscapeStopsTheDriveAndKeepsItsPosition) {
    start();
    select(kAxisX);
    click(ControlId::DrivePlus);
    ui.tick(kMotionTimer, 3);
    dialog.onCancel();
    EXPECT_EQ(statusFile(), "Current\n1\n300   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    EXPECT_EQ(ui.runningTimers.count(kMotionTimer), 0u);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "AX;AF;JG+500;"})) << "simulation composes no stop";
    EXPECT_FALSE(folder.exists("Tarvex.run"));
    EXPECT_EQ(ui.closedWith, 2);
}

TEST_F(MovesTest, HardwareMovesGoToTheTargetAndEndByReadBack) {
    startHardware();
    EXPECT_EQ(ui.runningTimers.at(kReadBackTimer), 100) << "at least four queries a second";
    select(kAxisX);
    type("5");
    click(ControlId::SetValue);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "AX;PA50;AX;BG;"}));
    EXPECT_EQ(axis(kAxisX).internalPosition, 0) << "nothing is shown that the controller did not read back";
    EXPECT_EQ(ui.axisMotion.at(kAxisX), (AxisMotionShown{true, "5.000"})) << "the target beside the read-back";
    std::string before = statusFile();

    sent.clear();
    readBack({}, "") ;  // answer to a query sent before the move: says nothing of its end
    EXPECT_TRUE(axisMoving(console(), kAxisX));
    readBack({20}, "X");
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "2.000");
    EXPECT_EQ(ui.axisMotion.at(kAxisX), (AxisMotionShown{true, "5.000"}));
    EXPECT_EQ(statusFile(), before) << "never written at every query";
    for (ControlId move : {ControlId::NudgePlus, ControlId::SetValue, ControlId::Home}) {
        type("1");
        click(move);
        EXPECT_EQ(ui.lastBox().text, "Axis X is moving - request ignored.");
    }
    EXPECT_TRUE(sent.empty());
    readBack({50});
    EXPECT_EQ(ui.axisMotion.at(kAxisX), AxisMotionShown{}) << "at rest there: no target";
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "5.000");
    EXPECT_EQ(statusFile(), "Current\n1\n50   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");

    click(ControlId::NudgeMinus);
    EXPECT_EQ(sent.back(), "AX;PA-50;AX;BG;") << "from the read-back position";
    type("200");
    readBack({-20}, "X");
    readBack({-50});
    click(ControlId::SetValue);
    EXPECT_EQ(ui.lastBox().text,
              "Attempted movement beyond software limit - request ignored. (limits -100.000 to 100.000 mm)");
    EXPECT_EQ(sent.back(), "AX;PA-50;AX;BG;") << "refused before any command";
}

TEST_F(MovesTest, HardwareHomeTakesItsSecondStepAfterTheFirstCameToRest) {
    startHardware();
    readBack({300});
    select(kAxisX);
    click(ControlId::Home);
    EXPECT_EQ(sent.back(), "AX;PA350;AX;BG;") << "backs off by half a nudge step";
    readBack({320}, "X");
    EXPECT_EQ(sent.back(), "AX;PA350;AX;BG;");
    readBack({350});
    EXPECT_EQ(sent.back(), "AX;PA0;AX;BG;");
    readBack({0});
    EXPECT_TRUE(axisMoving(console(), kAxisX)) << "this answers the query sent before the second step";
    readBack({0});
    EXPECT_FALSE(axisMoving(console(), kAxisX));
}

TEST_F(MovesTest, HardwareStopsGoOutAtOnce) {
    startHardware();
    select(kAxisX);
    click(ControlId::DrivePlus);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH5;", "AX;AF;JG+500;"}));
    click(ControlId::DrivePlus);
    dialog.onKeyboardChar('8');
    EXPECT_EQ(sent.size(), 2u) << "a repeat of the running drive does nothing";
    click(ControlId::Halt);
    EXPECT_EQ(sent.back(), "AX;ST;");
    EXPECT_EQ(recording->stopWaits.back(), kStopWait);

    click(ControlId::DriveMinus);
    EXPECT_EQ(sent.back(), "AX;AF;JG-500;");
    dialog.onCommand(ControlId::LockedX);
    EXPECT_EQ(sent.back(), "AX;ST;") << "locking a moving axis stops it";
    click(ControlId::AllHalt);
    EXPECT_EQ(sent.back(), "ST;");
    dialog.onKeyboardChar(' ');
    EXPECT_EQ(sent.back(), "ST;");
}

class ProgramEndTest : public MovesTest {
protected:
    void SetUp() override {
        startHardware();
        select(kAxisY);
        click(ControlId::DrivePlus);
        sent.clear();
        recording->stopWaits.clear();
    }
};

TEST_F(ProgramEndTest, EscapeStopsEveryAxisAndKeepsThePositions) {
    readBack({0, 250}, "Y");
    dialog.onCancel();
    EXPECT_EQ(sent, std::vector<std::string>{"ST;"});
    EXPECT_EQ(recording->stopWaits, std::vector<std::chrono::milliseconds>{kEndingStopWait});
    EXPECT_EQ(statusFile(), "Current\n1\n0   250   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    EXPECT_EQ(ui.closedWith, 2);
}

TEST_F(ProgramEndTest, TerminationSignalStopsEveryAxis) {
    EXPECT_THROW(dialog.onTerminate(), ProcessExit);
    EXPECT_EQ(sent, std::vector<std::string>{"ST;"});
    EXPECT_EQ(recording->stopWaits, std::vector<std::chrono::milliseconds>{kEndingStopWait});
}

TEST_F(ProgramEndTest, FailureExitStopsEveryAxis) {
    folder.remove("TarvexStatus.dat");
    std::filesystem::create_directory(folder.path() / "TarvexStatus.dat");  // cannot be written
    EXPECT_THROW(click(ControlId::Halt), ProcessExit);
    EXPECT_EQ(sent, (std::vector<std::string>{"AY;ST;", "ST;"}));
}

TEST_F(ProgramEndTest, ExitSequenceAndResetStopEveryAxisFirst) {
    ui.controls.directControl = 1;
    dialog.onCommand(ControlId::DirectControl);
    EXPECT_EQ(ui.runningTimers.count(kReadBackTimer), 0u) << "no command of the console's own in direct control";
    dialog.onCommand(ControlId::Reset);
    EXPECT_EQ(sent, (std::vector<std::string>{"ST;", "SA;"}));
    sent.clear();
    ui.controls.directControl = 0;
    ui.chooseAnswer = [](Buttons, Button) { return Button::Ok; };  // the slit questions
    EXPECT_THROW(dialog.onCommand(ControlId::DirectControl), ProcessExit);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "ST;");
    EXPECT_EQ(sent[1], "BL4;") << "before the parking commands";
}

TEST_F(MovesTest, HardwareJogStopsBeforeItsNextReadBackReachesALimit) {
    startHardware();
    select(kAxisX);
    click(ControlId::DrivePlus);
    // 150 counts a read-back: 1500 counts/s. Seen a read-back late and
    // stoppable a read-back later, it runs 300 counts more, and 5.6 more
    // braking at 200000 counts/s².
    for (int32_t p : {150, 300, 450, 600}) readBack({p}, "X");
    EXPECT_EQ(sent.back(), "AX;AF;JG+500;") << "600 + 305.6 stays below 1000";
    readBack({750}, "X");
    EXPECT_EQ(sent.back(), "AX;ST;") << "750 + 305.6 would reach 1000";
    readBack({900}, "X");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "AX;ST;"), 1) << "sent once";
    readBack({925});
    EXPECT_FALSE(axisMoving(console(), kAxisX));
    ui.boxes.clear();
    click(ControlId::DrivePlus);
    EXPECT_EQ(sent.back(), "AX;AF;JG+500;") << "925 is short of the limit: the jog may go on";
    readBack({990});
    click(ControlId::Halt);
    readBack({1000});
    readBack({1000});
    click(ControlId::DrivePlus);
    EXPECT_EQ(ui.lastBox().text, "Attempted movement beyond software limit - request ignored. (limits -100.000 to 100.000 mm)")
        << "at the limit: a jog towards it is refused";
}

TEST_F(MovesTest, LostControllerWarnsOnceAndRefusesMoves) {
    startHardware();
    select(kAxisX);
    click(ControlId::DrivePlus);
    readBack({100}, "X");
    ui.boxes.clear();
    recording->queryAnswers.push_back("12,garbage");
    ui.tick(kReadBackTimer, kLostAfterTicks + 3);
    EXPECT_EQ(recording->currentLink(), ControllerLink::Lost);
    EXPECT_EQ(ui.controllerLinks.back(), ControllerLink::Lost);
    ASSERT_EQ(ui.boxes.size(), 1u) << "one warning";
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(axis(kAxisX).internalPosition, 100) << "garbage is no read-back";
    EXPECT_TRUE(axisMoving(console(), kAxisX)) << "no move is reported done without read-back";
    type("1");
    click(ControlId::SetValue);
    EXPECT_EQ(ui.lastBox().text, "No controller with motion commands is attached - request ignored.");
    click(ControlId::Halt);
    EXPECT_EQ(sent.back(), "AX;ST;") << "a stop is never refused";

    recording->setLink(ControllerLink::Connected);
    readBack({130});
    EXPECT_TRUE(axisMoving(console(), kAxisX)) << "asked before the stop: says nothing of its end";
    readBack({130});
    EXPECT_FALSE(axisMoving(console(), kAxisX));
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "13.000");
}

TEST_F(MovesTest, AtConnectTheControllersPositionsWinAndTheDifferenceIsLogged) {
    status = "Park\n1\n10 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n";
    startHardware();
    EXPECT_EQ(axis(kAxisX).internalPosition, 0);
    EXPECT_EQ(statusFile(), "Current\n1\n0   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    std::string log = folder.read("run.log");
    EXPECT_NE(log.find("The controller's positions replace those of TarvexStatus.dat: X 1.000 -> 0.000 mm."),
              std::string::npos)
        << log;
    readBack({});
    recording->setLink(ControllerLink::Lost);
    ui.tick(kReadBackTimer);
    recording->setLink(ControllerLink::Connected);
    readBack({5});
    EXPECT_EQ(folder.read("run.log"), log) << "said once";
}

TEST_F(MovesTest, MalformedMoveSettingRefusesFiniteMovesButNotStops) {
    start("2");
    std::string text = ControllerSimulator::settingsText(7000);
    const std::string moveTo = "move-to A{axis};PA{counts};";
    std::istringstream settings(text.replace(text.find(moveTo), moveTo.size(), "move-to A{axis};PA;"));
    console().state.motion.commands = parseControllerSettings(settings).motion;
    EXPECT_EQ(console().state.motion.commands.errors, std::vector<std::string>{"move-to: no {counts} placeholder"});
    recording->setLink(ControllerLink::Connected);
    startReadBack(console());
    readBack({});
    select(kAxisX);
    click(ControlId::NudgePlus);
    EXPECT_EQ(ui.lastBox().text, "No controller with motion commands is attached - request ignored.");
    click(ControlId::DrivePlus);
    click(ControlId::Halt);
    EXPECT_EQ(sent.back(), "AX;ST;");
}

TEST_F(MovesTest, SelectingAndLockingAxes) {
    site.set("TargetLocation.dat", "0\n");
    site.set("AirArdo.dat", setupTableText());
    start();
    // start() rewrote the status with location 1: the site is in-air, so the
    // setup-changed rule zeroed everything.
    select(kAxisV);
    EXPECT_TRUE(ui.isEnabled(ControlId::NudgePlus));
    EXPECT_FALSE(ui.isEnabled(ControlId::Home)) << "in-air, V has no home";
    EXPECT_TRUE(ui.isEnabled(ControlId::LockedV));
    EXPECT_FALSE(ui.isEnabled(ControlId::LockedX));

    select(kAxisX);
    click(ControlId::DrivePlus);
    dialog.onCommand(ControlId::LockedX);
    EXPECT_EQ(axis(kAxisX).locked, 1);
    EXPECT_EQ(axis(kAxisX).pendingStep, 0) << "locking the driven axis halts it";
    EXPECT_FALSE(ui.isEnabled(ControlId::NudgePlus));
    EXPECT_TRUE(ui.isEnabled(ControlId::LockedX));
    EXPECT_NE(statusFile().find("\n1   0   0   0   0   0   0   0\n"), std::string::npos);

    select(kAxisY);
    select(kAxisX);
    EXPECT_FALSE(ui.isEnabled(ControlId::Keyboard)) << "a locked axis enables only its Locked box";
    EXPECT_TRUE(ui.isEnabled(ControlId::LockedX));
    dialog.onCommand(ControlId::LockedX);
    EXPECT_TRUE(ui.isEnabled(ControlId::Keyboard));
}

TEST_F(MovesTest, MovingTheTurntableRecomputesTheBeam) {
    start();
    select(kAxisT);  // scale 100 counts per degree
    type("60");
    click(ControlId::SetValue);
    EXPECT_EQ(ui.texts.at(ControlId::ValueT), "60.000");
    EXPECT_TRUE(folder.exists("RangeTable.txt"));
    EXPECT_EQ(folder.read("CurrentBeamName.dat"), "Kr 10 MeV/u\n");
    const DialogFields& f = console().fields;
    double nominal = std::stod(f.nominalLet);
    double effective = std::stod(f.effectiveLet);
    EXPECT_NEAR(effective, 2 * nominal, 0.011 * nominal) << f.nominalLet << " " << f.effectiveLet;
}

TEST_F(MovesTest, ParallaxWidensAndNarrowsTheSlits) {
    // Z: offset 10, scale 100 -> -400 counts = 6 mm; U, V scale 1000.
    status = "Park\n1\n0 0 -400 0 2000 4000 0 0\n0 0 0 0 0 0 0 0\n";
    start();
    click(ControlId::CheckParallax);  // c = 15, f = 1.9 - 6/15 = 1.5
    EXPECT_EQ(axis(kAxisU).internalPosition, 3000);
    EXPECT_EQ(axis(kAxisV).internalPosition, 6000);
    EXPECT_FALSE(ui.isEnabled(ControlId::CheckParallax));
    EXPECT_TRUE(ui.isEnabled(ControlId::UndoParallax));
    EXPECT_EQ(console().state.activeAxis, -1) << "the active axis is restored";
    click(ControlId::UndoParallax);
    EXPECT_NEAR(axis(kAxisU).internalPosition, 2000, 1);
    EXPECT_NEAR(axis(kAxisV).internalPosition, 4000, 1);
}

TEST_F(MovesTest, ParallaxRefusedWhenASlitIsLocked) {
    status = "Park\n1\n0 0 0 0 2000 4000 0 0\n0 0 0 0 0 1 0 0\n";
    start();
    click(ControlId::CheckParallax);
    EXPECT_EQ(ui.lastBox().text, "Vertical slits (V) are locked - operation aborted.");
    EXPECT_EQ(axis(kAxisU).internalPosition, 2000);
    EXPECT_TRUE(ui.isEnabled(ControlId::CheckParallax));
}

TEST_F(MovesTest, ParallaxOnBelmSwitchesTheCrossHair) {
    site.set("CyclotronInUse.dat", "150\n");
    start();
    click(ControlId::CheckParallax);
    click(ControlId::UndoParallax);
    EXPECT_EQ(sent, (std::vector<std::string>{"BH13;", "BL13;"}));
    EXPECT_EQ(ui.texts.at(ControlId::Status), "Cross-hair laser got turned off.");
}

}  // namespace
