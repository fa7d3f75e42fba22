#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/TarvexDlg.h"
#include "axes/MotionDriver.h"
#include "core/Failure.h"
#include "support/ScriptedUi.h"
#include "support/SimulatorThread.h"
#include "support/Site.h"

// The console logic against the controller simulator over real loopback
// sockets, outside simulation mode. Timer 5 is ticked by hand as fast as the
// test needs. How long an event holds the loop while the controller stalls is
// measured in bench/motion_bench.
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class RealMotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim->listening);
        // Fast and short: moves of a few thousand counts end within ~50 ms.
        sim->simulator.setProfile(200000, 4000000, 4000000);
    }
    void start(const std::string& settings) {
        site.set("DemoStatus.dat", "2\n");
        site.set("Controller.dat", settings);
        site.set("TarvexStatus.dat", status);
        site.install(folder);
        ui.events = &dialog;
        ASSERT_TRUE(dialog.onInitDialog());
        ui.boxes.clear();
    }
    void start() { start(ControllerSimulator::settingsText(sim->simulator.port())); }
    Console& console() { return dialog.console(); }
    void click(ControlId id) { dialog.onCommand(id); }
    void select(int index) {
        ui.controls.activeAxis = index;
        click(kAxisControls[static_cast<std::size_t>(index)].radio);
    }
    // Ticks timer 5 every 10 ms until `done` or `limit`. The default bound
    // only keeps a failing test from hanging: what is awaited did not happen
    // within 10 s.
    template <typename Done>
    bool pumpUntil(Done done, std::chrono::milliseconds limit = 10000ms) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            ui.tick(kReadBackTimer);
            if (done()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }
    ControllerSimulator::AxisState simAxis(int index) {
        return sim->simulator.snapshot().axes[static_cast<std::size_t>(index)];
    }
    bool simAtRest() {
        auto snapshot = sim->simulator.snapshot();
        for (const auto& axis : snapshot.axes) {
            if (axis.moving) return false;
        }
        return true;
    }
    bool consoleAtRest() {
        for (int i = 0; i < kAxisCount; ++i) {
            if (axisMoving(console(), i)) return false;
        }
        return true;
    }
    // Drives X and Y until the simulator moves them both.
    void driveXAndY() {
        ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
        select(kAxisX);
        click(ControlId::DrivePlus);
        select(kAxisY);
        click(ControlId::DriveMinus);
        ASSERT_TRUE(pumpUntil([&] { return simAxis(kAxisX).moving && simAxis(kAxisY).moving; }));
    }
    // Waits for the simulator to stop every axis; the bound only keeps a
    // failing test from hanging.
    void expectEveryAxisStops() {
        auto end = Clock::now() + 10s;
        while (!simAtRest() && Clock::now() < end) std::this_thread::sleep_for(5ms);
        EXPECT_TRUE(simAtRest()) << "the axes did not stop within 10 s";
    }
    // Where the simulator starts: the first read-back changes nothing.
    std::string status = "Park\n1\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n";

    std::unique_ptr<SimulatorThread> sim = std::make_unique<SimulatorThread>();
    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
};

TEST_F(RealMotionTest, DriveThenHaltStopsTheAxisAndShowsTheReadBack) {
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    EXPECT_EQ(ui.controllerLinks.back(), ControllerLink::Connected);
    select(kAxisX);
    click(ControlId::DrivePlus);
    ASSERT_TRUE(pumpUntil([&] { return simAxis(kAxisX).velocity > 0; }));
    ASSERT_TRUE(pumpUntil([&] { return console().state.axes[kAxisX].internalPosition > 0; }));
    EXPECT_EQ(ui.axisMotion.at(kAxisX), (AxisMotionShown{true, "Drive(+)"}));
    click(ControlId::Halt);
    auto halted = Clock::now();
    while (simAxis(kAxisX).velocity != 0 && Clock::now() - halted < 10s) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(simAxis(kAxisX).velocity, 0) << "X did not stop within 10 s";
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest(); }));
    long position = simAxis(kAxisX).position;
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, position);
    EXPECT_EQ(ui.axisMotion.at(kAxisX), AxisMotionShown{});
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.3f", static_cast<double>(position) / 1000.0);
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), shown);
}

TEST_F(RealMotionTest, MovesEndAtTheReadBackTarget) {
    folder.write("spot.po1", "1500 -2500 300 0 4000 5000 0 0\t; internal position coordinates\n"
                             "0 0 0 0 0 0 0 0\t; lock status\n");
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    select(kAxisX);
    ui.controls.newAxisValue = "5";
    click(ControlId::SetValue);
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest() && !simAxis(kAxisX).moving; }));
    EXPECT_EQ(simAxis(kAxisX).position, 5000);
    EXPECT_EQ(ui.texts.at(ControlId::ValueX), "5.000");
    EXPECT_NE(folder.read("TarvexStatus.dat").find("\n5000   0   0"), std::string::npos);

    click(ControlId::NudgeMinus);
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest() && !simAxis(kAxisX).moving; }));
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 4900);

    ui.controls.positionListSelection = "spot.po1";
    dialog.onListSelectionChanged(ControlId::PositionList);
    click(ControlId::Restore);
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest() && simAtRest(); }));
    EXPECT_EQ(simAxis(kAxisX).position, 1500);
    EXPECT_EQ(simAxis(kAxisY).position, -2500);
    EXPECT_EQ(simAxis(kAxisV).position, 5000);
    EXPECT_EQ(ui.texts.at(ControlId::DutPosition), "spot") << "at the restored position by read-back";
    EXPECT_NE(folder.read("TarvexStatus.dat").find("1500   -2500   300   0   4000   5000   0   0"), std::string::npos);
}

TEST_F(RealMotionTest, GoMovesTheDegraderToTheReadBackTarget) {
    std::string table = setupTableText();
    table.replace(table.find("0 10000 800 7 1000"), 18, "-10000 10000 800 7 1000");  // every foil within the limits
    site.set("VacArdo.dat", table);
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    // 84Kr at 10 MeV/u, wanted 6 MeV/u.
    console().state.beam.ionZ = 36;
    console().state.beam.ionA = 84;
    console().state.beam.beamEnergyMeV = 840;
    ui.controls.unitChoice = 2;
    click(ControlId::UnitMeVPerNucleon);
    ui.controls.goal = "6";
    ui.answer(Button::Yes);
    click(ControlId::Go);
    double s = 0;
    double r = 0;
    ASSERT_EQ(std::sscanf(ui.boxes.front().text.c_str(), "Required degrader coordinates (S = %lf , R = %lf)", &s, &r),
              2)
        << ui.boxes.front().text;
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest() && simAtRest(); }));
    EXPECT_EQ(ui.boxes.size(), 1u) << "one recomputation, after both axes came to rest: " << ui.boxes.back().text;
    // The question names the counts the axes reach, to the count.
    EXPECT_EQ(simAxis(kAxisS).position, std::lround((s - 7) * 1000));
    EXPECT_EQ(simAxis(kAxisR).position, std::lround((r - 6) * 100));
    EXPECT_EQ(console().state.axes[kAxisS].internalPosition, simAxis(kAxisS).position);
    // The recomputation at rest finds the wanted energy again.
    EXPECT_NEAR(std::stod(console().fields.energyPerNucleon), 6.0, 0.05) << console().fields.energyPerNucleon;
}

// S moved by another client while the console was away: the status file and
// the committed beam agree on foil 3, the controller reads no foil.
TEST_F(RealMotionTest, ABeamCommittedForAnotherSettingIsRecomputedAtTheFirstReadBack) {
    status = "Park\n1\n0 0 0 0 0 0 0 3000\n0 0 0 0 0 0 0 0\n";
    site.set("TarvexBeamGeometry.dat", "3000   0   0\n");
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known && consoleAtRest(); }));
    ASSERT_TRUE(pumpUntil([&] { return folder.exists("run.log"); })) << "run.log was not written within 10 s";
    const std::string log = folder.read("run.log");
    EXPECT_NE(log.find("Beam recomputed at the first read-back: the stored beam was committed for S 10.000, R 6.000, "
                       "T 3.000, the controller reads S 7.000, R 6.000, T 3.000.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(folder.read("TarvexBeamGeometry.dat"), "0   0   0\n");
}

TEST_F(RealMotionTest, AllHaltStopsEveryAxis) {
    start();
    driveXAndY();
    click(ControlId::AllHalt);
    expectEveryAxisStops();
}

TEST_F(RealMotionTest, EscapeStopsEveryAxis) {
    start();
    driveXAndY();
    dialog.onCancel();
    expectEveryAxisStops();
}

TEST_F(RealMotionTest, FailureExitStopsEveryAxis) {
    start();
    driveXAndY();
    // An end of the program may wait up to 200 ms for its stop: not timed.
    EXPECT_THROW(stopProgram(console(), "Simulated failure"), ProcessExit);
    expectEveryAxisStops();
}

TEST_F(RealMotionTest, KilledSimulatorMidJogIsLostAndStoppedFirstOnReconnect) {
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    select(kAxisX);
    click(ControlId::DrivePlus);
    ASSERT_TRUE(pumpUntil([&] { return simAxis(kAxisX).moving && console().state.axes[kAxisX].internalPosition > 0; }));
    int port = sim->simulator.port();
    sim.reset();
    ASSERT_TRUE(pumpUntil([&] { return console().channel->currentLink() == ControllerLink::Lost; }));
    EXPECT_EQ(ui.controllerLinks.back(), ControllerLink::Lost);
    pumpUntil([] { return false; }, 200ms);
    ASSERT_EQ(ui.boxes.size(), 1u) << "one warning: " << ui.boxes.front().text;
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_TRUE(axisMoving(console(), kAxisX)) << "not reported done without read-back";

    sim = std::make_unique<SimulatorThread>(nullptr, port);
    ASSERT_TRUE(sim->listening);
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    auto log = sim->simulator.snapshot().log;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().text, "ST;") << "the stop goes first";
    EXPECT_EQ(ui.controllerLinks.back(), ControllerLink::Connected);
}

TEST_F(RealMotionTest, NeverAnsweringControllerNeverHoldsTheEventLoop) {
    // A listener that never accepts: connections are made, nothing answers.
    int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    start(ControllerSimulator::settingsText(ntohs(address.sin_port)));
    select(kAxisX);
    for (ControlId id : {ControlId::DrivePlus, ControlId::Halt, ControlId::AllHalt, ControlId::CameraOn}) {
        click(id);
        pumpUntil([] { return false; }, 150ms);
    }
    EXPECT_NE(console().channel->currentLink(), ControllerLink::Connected);
    EXPECT_FALSE(console().state.motion.model.link.known);
    EXPECT_EQ(ui.lastBox().text, "No controller with motion commands is attached - request ignored.");
    ::close(silent);
}

TEST_F(RealMotionTest, StationWithoutMotionCommandsRefusesDrive) {
    start("tcp 127.0.0.1 " + std::to_string(sim->simulator.port()) + "\n");
    select(kAxisX);
    click(ControlId::DrivePlus);
    EXPECT_EQ(ui.lastBox().text, "No controller with motion commands is attached - request ignored.");
    pumpUntil([] { return false; }, 100ms);
    for (const auto& received : sim->simulator.snapshot().log) EXPECT_EQ(received.text.find("JG"), std::string::npos);
    EXPECT_FALSE(simAxis(kAxisX).moving);
}

}  // namespace

namespace {

TEST_F(RealMotionTest, LimitSwitchIsReportedAndMovesIntoItAreRefused) {
    sim->simulator.setLimit('X', -1000000, 3000);
    start();
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    select(kAxisX);
    auto setValue = [&](const char* text) {
        ui.controls.newAxisValue = text;
        click(ControlId::SetValue);
    };
    setValue("5");
    ASSERT_TRUE(pumpUntil([&] { return !ui.boxes.empty(); }));
    EXPECT_EQ(ui.lastBox().text, "Axis X stopped at its high limit switch. It stands at 3.000 mm; moves further towards "
                                 "that switch are refused until the axis is moved off it.");
    EXPECT_NE(folder.read("run.log").find("Axis X stopped at its high limit switch."), std::string::npos);
    setValue("4");
    EXPECT_EQ(ui.lastBox().text, "Axis X is at its high limit switch - request ignored.");
    setValue("1");
    ASSERT_TRUE(pumpUntil([&] { return consoleAtRest() && simAxis(kAxisX).position == 1000; }));
}

TEST_F(RealMotionTest, SecondOpenWhileTheFirstIsOpeningAsksAndGoRefusesALockedRotation) {
    start(ControllerSimulator::settingsText(sim->simulator.port()) +
          "shutter-S1-out 8\nshutter-S1-in 8\nshutter-S2-out 9\nshutter-S2-in 9\n");
    ASSERT_TRUE(pumpUntil([&] { return console().state.motion.model.link.known; }));
    click(ControlId::OpenS2);
    ui.answer(Button::Cancel);
    click(ControlId::OpenS1);  // S2's input has not followed yet
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, "Downstream shutter (S2) is already open - opening the upstream shutter (S1) may "
                                 "breach beam containment.");
    ASSERT_TRUE(pumpUntil([&] { return sim->simulator.snapshot().bits == (1u << 9); })) << "S1 stays closed";

    select(kAxisR);
    click(ControlId::LockedR);
    ui.controls.unitChoice = 2;
    click(ControlId::UnitMeVPerNucleon);
    ui.controls.goal = "6";
    click(ControlId::Go);
    EXPECT_EQ(ui.lastBox().text, "Degrader rotation (R) is locked - operation aborted.");
    EXPECT_EQ(simAxis(kAxisR).position, 0);
}

}  // namespace
