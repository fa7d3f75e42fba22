#include <gtest/gtest.h>

#include "app/TarvexDlg.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"

namespace {

// A started console whose axes have simple calibrations: X: limits
// -1000..1000, nudge 100, offset 0, scale 10; Y like X with scale -10; T, R, S
// as the site's setup table. Commands are recorded.
class MovesTest : public ::testing::Test {
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
        site.install(folder);
        ui.events = &dialog;
        ASSERT_TRUE(dialog.onInitDialog());
        auto channel = std::make_unique<RecordingChannel>();
        channel->sent = &sent;
        console().channel = std::move(channel);
        ui.boxes.clear();
    }
    Console& console() { return dialog.console(); }
    Axis& axis(int index) { return console().state.axes[index]; }
    void select(int index) {
        ui.controls.activeAxis = index;
        dialog.onCommand(kAxisControls[static_cast<std::size_t>(index)].radio);
    }
    void click(ControlId id) { dialog.onCommand(id); }
    void type(const std::string& text) { ui.controls.newAxisValue = text; }
    std::string statusFile() { return folder.read("TarvexStatus.dat"); }

    std::string status = "Park\n1\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n";
    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
    std::vector<std::string> sent;
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
}

TEST_F(MovesTest, NegativeScaleNudgePlusRaisesTheValue) {
    start();
    select(kAxisY);
    click(ControlId::NudgePlus);
    EXPECT_EQ(axis(kAxisY).internalPosition, -100);
    EXPECT_EQ(ui.texts.at(ControlId::ValueY), "10.000");
}

TEST_F(MovesTest, SetValueUsesTheLeadingNumberAndEmptiesTheBox) {
    start();
    select(kAxisZ);  // offset 10, scale 100
    type("12.345 mm");
    click(ControlId::SetValue);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << "trunc(2.345 * 100)";
    EXPECT_EQ(ui.controls.newAxisValue, "");
    type("");
    click(ControlId::SetValue);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << "value 0 is -1000 counts, refused at the limit";
    EXPECT_EQ(ui.lastBox().text,
              "Attempted movement beyond software limit - request ignored. (limits 0.000 to 20.000 mm)");
    type("abc");
    click(ControlId::Increment);
    EXPECT_EQ(axis(kAxisZ).internalPosition, 234) << "no number: an increment of 0";
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
    EXPECT_EQ(ui.runningTimers.at(kMotionTimer), 250);
    ui.tick(kMotionTimer, 3);
    EXPECT_EQ(axis(kAxisX).internalPosition, 950);
    EXPECT_EQ(axis(kAxisX).pendingStep, 100);
    ui.tick(kMotionTimer);
    EXPECT_EQ(axis(kAxisX).internalPosition, 950) << "1050 would pass the limit of 1000";
    EXPECT_EQ(axis(kAxisX).pendingStep, 0);
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
