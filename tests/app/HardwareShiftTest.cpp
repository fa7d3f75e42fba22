// A long shift on real hardware, as far as a test can have it: the console in
// hardware mode drives the controller simulator over loopback through a proxy
// that delays, swallows, spoils and cuts the controller's answers, while seeded
// random operator actions press what an operator could press. The simulator
// itself is killed and started again now and then. After every action the
// simulator's own state must be safe: no axis beyond its soft limit, and both
// beam shutters open only after the operator agreed to it. At the end (Escape,
// a failure exit or SIGTERM) every axis must come to rest, both shutters must
// be commanded closed and the status file must hold where the axes stopped.
//
// TARVEX_SHIFT_SEED sets the seed (printed), TARVEX_SHIFT_STEPS the number of
// actions. A failing shift is replayed with ever fewer actions, and the
// shortest list that still fails the same way is printed.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/TarvexDlg.h"
#include "core/AxisTable.h"
#include "support/FaultProxy.h"
#include "support/ScriptedUi.h"
#include "support/SimulatorThread.h"
#include "support/Site.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Positions = std::array<long, kAxisCount>;

constexpr const char* kLetters = "XYZTUVRS";
constexpr int kS1Bit = 8;
constexpr int kS2Bit = 9;
constexpr const char* kContainment = "may breach beam containment";

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

enum class Kind { Select, Nudge, Drive, Halt, AllHalt, SetValue, Shutter, Lock, Go, Save, Wait, Fault, Simulator };
enum class Fault { PassThrough, Slow, Mute, Noise, OverLong, Drop };
enum class End { Escape, FailureExit, Terminate };

// One operator action (or one thing done to the hardware), with the ticks of
// timer 5 after it; `answers` seeds the answers to the boxes it raises, so a
// shortened list replays the same answers.
struct Action {
    Kind kind = Kind::Wait;
    int choice = 0;  // axis, direction, shutter button, fault, or whether a restart keeps the positions
    int amount = 0;  // the slow fault's delay in ms, or the steps the simulator stays dead
    std::string text;
    unsigned answers = 0;
    int ticks = 1;
    int sleepMs = 5;
};

struct Shift {
    unsigned seed = 0;
    Positions start{};
    std::vector<Action> actions;
    End end = End::Escape;
};

// Something the simulator, the files or the boxes show that must not be; the
// step is -1 for the end of the shift.
struct Finding {
    std::string kind;
    std::string text;
    long step = -1;
    explicit operator bool() const { return !kind.empty(); }
};

const ControlId kShutterButtons[] = {ControlId::OpenS1, ControlId::CloseS1, ControlId::OpenS2, ControlId::CloseS2};
const char* const kShutterNames[] = {"open S1", "close S1", "open S2", "close S2"};
const char* const kFaultNames[] = {"pass-through", "slow", "mute", "noise", "over-long answer", "drop"};
const char* const kTexts[] = {"", "0", "1.5", "-2", "12.345 mm", "1e3", "abc", "-0.001", "99999", "nan", "inf", "5e-1"};
const char* const kGoals[] = {"40", "5", "100", "0.5", "-3", "abc", ""};

std::string describe(const Action& action) {
    std::string what;
    switch (action.kind) {
        case Kind::Select: what = std::string("select ") + kLetters[action.choice]; break;
        case Kind::Nudge: what = action.choice > 0 ? "nudge +" : "nudge -"; break;
        case Kind::Drive: what = action.choice > 0 ? "drive +" : "drive -"; break;
        case Kind::Halt: what = "halt"; break;
        case Kind::AllHalt: what = "all halt"; break;
        case Kind::SetValue: what = "set value \"" + action.text + "\""; break;
        case Kind::Shutter: what = kShutterNames[action.choice]; break;
        case Kind::Lock: what = "lock/unlock"; break;
        case Kind::Go: what = "Go \"" + action.text + "\""; break;
        case Kind::Save: what = "save \"" + action.text + "\""; break;
        case Kind::Wait: what = "wait"; break;
        case Kind::Fault:
            what = std::string("fault ") + kFaultNames[action.choice];
            if (action.choice == static_cast<int>(Fault::Slow)) what += " " + std::to_string(action.amount) + " ms";
            break;
        case Kind::Simulator:
            what = "kill the simulator for " + std::to_string(action.amount) + " steps" +
                   (action.choice != 0 ? "" : ", then power on at 0");
            break;
    }
    return what + " (answers " + std::to_string(action.answers) + ", " + std::to_string(action.ticks) + " ticks, " +
           std::to_string(action.sleepMs) + " ms)";
}

// The soft limits in counts, the first two numbers of the eight axis lines of
// the setup table.
std::array<std::pair<long, long>, kAxisCount> softLimits(const std::string& table) {
    std::array<std::pair<long, long>, kAxisCount> limits{};
    std::istringstream in(table);
    std::string line;
    std::getline(in, line);  // the unit words
    for (auto& [low, high] : limits) {
        std::getline(in, line);
        std::istringstream(line) >> low >> high;
    }
    return limits;
}

std::string demoSetupTable() {
    std::ifstream in(std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site/VacArdo.dat");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Shift makeShift(unsigned seed, long steps) {
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    Shift shift;
    shift.seed = seed;
    // Axes start near a limit or anywhere between, as a shift finds them.
    auto limits = softLimits(demoSetupTable());
    for (int i = 0; i < kAxisCount; ++i) {
        auto [low, high] = limits[static_cast<std::size_t>(i)];
        long margin = 100 + pick(900);
        switch (pick(3)) {
            case 0: shift.start[static_cast<std::size_t>(i)] = low + margin; break;
            case 1: shift.start[static_cast<std::size_t>(i)] = high - margin; break;
            default: shift.start[static_cast<std::size_t>(i)] = std::uniform_int_distribution<long>(low, high)(random);
        }
    }
    const std::pair<Kind, int> weights[] = {
        {Kind::Select, 10}, {Kind::Nudge, 10}, {Kind::Drive, 10}, {Kind::Halt, 5},  {Kind::AllHalt, 3},
        {Kind::SetValue, 8}, {Kind::Shutter, 12}, {Kind::Lock, 3}, {Kind::Go, 2},   {Kind::Save, 2},
        {Kind::Wait, 8},     {Kind::Fault, 6},    {Kind::Simulator, 1},
    };
    int total = 0;
    for (const auto& [kind, weight] : weights) total += weight;
    for (long step = 0; step < steps; ++step) {
        Action action;
        int roll = pick(total);
        for (const auto& [kind, weight] : weights) {
            if (roll < weight) {
                action.kind = kind;
                break;
            }
            roll -= weight;
        }
        switch (action.kind) {
            case Kind::Select: action.choice = pick(kAxisCount); break;
            case Kind::Nudge:
            case Kind::Drive: action.choice = pick(2) == 0 ? 1 : -1; break;
            case Kind::SetValue:
                if (pick(3) == 0) {
                    action.text = kTexts[pick(static_cast<int>(std::size(kTexts)))];
                } else {
                    char number[32];
                    double range = pick(2) == 0 ? 12 : 60;
                    std::snprintf(number, sizeof number, "%.3f", std::uniform_real_distribution<double>(-range, range)(random));
                    action.text = number;
                }
                break;
            case Kind::Shutter: action.choice = pick(4); break;
            case Kind::Go: action.text = kGoals[pick(static_cast<int>(std::size(kGoals)))]; break;
            case Kind::Save: action.text = "spot " + std::to_string(pick(5)); break;
            case Kind::Fault:
                // Half the switches end the fault, so the controller is often healthy.
                action.choice = pick(2) == 0 ? 0 : 1 + pick(5);
                action.amount = 20 + pick(400);
                break;
            case Kind::Simulator:
                action.choice = pick(2);
                action.amount = 1 + pick(20);
                break;
            default: break;
        }
        action.answers = static_cast<unsigned>(random());
        action.ticks = 1 + pick(2);
        action.sleepMs = action.kind == Kind::Wait ? 10 + pick(40) : 1 + pick(6);
        shift.actions.push_back(action);
    }
    return shift;
}

// What a shift went through, to show that it did.
struct Tally {
    int movingSteps = 0;     // steps after which the simulator moved an axis
    int shutterSteps = 0;    // steps after which a shutter output bit was set
    int bothOpenSteps = 0;   // both set
    int questions = 0;       // containment questions
    int refusals = 0;        // "request ignored" boxes
    int connections = 0;     // connections the proxy accepted
};

// One shift on a fresh station folder, simulator and proxy.
class ShiftRun {
public:
    Tally tally;

    Finding run(const Shift& shift, const std::vector<Action>& actions) {
        Finding found = start(shift);
        for (std::size_t step = 0; !found && step < actions.size(); ++step) {
            found = perform(actions[step]);
            if (!found) found = check();
            if (found) found.step = static_cast<long>(step);
        }
        if (!found) found = finish(shift.end);
        if (proxy_) tally.connections = proxy_->accepted();
        return found;
    }

private:
    static constexpr double kSpeed = 50000;         // counts/s, moves to a target
    static constexpr double kAcceleration = 1e6;    // counts/s^2
    static constexpr long kHardLimitBeyond = 5000;  // counts past each soft limit

    // A simulator on `port` (0: any) with its axes at `at`.
    std::unique_ptr<SimulatorThread> powerOn(int port, const Positions& at) {
        auto limits = limits_;
        return std::make_unique<SimulatorThread>(
            [&](ControllerSimulator& simulator) {
                for (int i = 0; i < kAxisCount; ++i) {
                    auto [low, high] = limits[static_cast<std::size_t>(i)];
                    simulator.setLimit(kLetters[i], low - kHardLimitBeyond, high + kHardLimitBeyond);
                }
                simulator.setProfile(1e9, 1e12, 1e12);  // there at once
                for (int i = 0; i < kAxisCount; ++i) {
                    simulator.answer(std::string("A") + kLetters[i] + ";PA" +
                                     std::to_string(at[static_cast<std::size_t>(i)]) + ";BG");
                }
                for (auto until = Clock::now() + 1s; Clock::now() < until;) {
                    std::this_thread::sleep_for(2ms);
                    bool moving = false;
                    for (const auto& axis : simulator.snapshot().axes) moving = moving || axis.moving;
                    if (!moving) break;
                }
                simulator.setProfile(kSpeed, kAcceleration, kAcceleration);
            },
            port);
    }

    Finding start(const Shift& shift) {
        std::string table = demoSetupTable();
        limits_ = softLimits(table);
        sim_ = powerOn(0, shift.start);
        if (!sim_->listening) return {"setup", "the simulator cannot listen"};
        simPort_ = sim_->simulator.port();
        proxy_ = std::make_unique<FaultProxy>(simPort_);
        if (!proxy_->listening()) return {"setup", "the proxy cannot listen"};
        std::string positions;
        for (long p : shift.start) positions += std::to_string(p) + " ";
        site_.set("VacArdo.dat", table);
        site_.set("DemoStatus.dat", "2\n");
        site_.set("Controller.dat", ControllerSimulator::settingsText(proxy_->port()) +
                                        "shutter-S1-out 8\nshutter-S1-in 8\nshutter-S2-out 9\nshutter-S2-in 9\n");
        site_.set("TarvexStatus.dat", "Park\n1\n" + positions + "\n0 0 0 0 0 0 0 0\n");
        // A slow beam keeps the recomputation at every rest of T, R, S short.
        site_.set("CurrentBeamNZAMeV.tmp", "4 36 84 84\n");
        site_.set("CurrentBeamNZAMeV.dat", "4 36 84 84\n");
        site_.install(folder_);
        ui_.events = &dialog_;
        ui_.chooseAnswer = [this](Buttons buttons, Button defaultButton) {
            bool first = std::uniform_int_distribution<int>(0, 1)(answerRandom_) == 0;
            switch (buttons) {
                case Buttons::YesNo: return first ? Button::Yes : Button::No;
                case Buttons::OkCancel: return first ? Button::Ok : Button::Cancel;
                default: return defaultButton;
            }
        };
        try {
            if (!dialog_.onInitDialog()) return {"setup", "the console did not start: " + lastBoxText()};
        } catch (const ProcessExit& exit) {
            return {"setup", "the console ended at start-up (" + std::to_string(exit.code) + "): " + lastBoxText()};
        }
        ui_.boxes.clear();
        pumpUntilConnected(1s);
        return {};
    }

    std::string lastBoxText() const { return ui_.boxes.empty() ? "no box" : "\"" + ui_.boxes.back().text + "\""; }

    bool connected() const { return !ui_.controllerLinks.empty() && ui_.controllerLinks.back() == ControllerLink::Connected; }

    void pumpUntilConnected(std::chrono::milliseconds limit) {
        for (auto until = Clock::now() + limit; !connected() && Clock::now() < until;) {
            ui_.tick(kReadBackTimer);
            std::this_thread::sleep_for(10ms);
        }
    }

    // A click where the operator could click: disabled controls take none.
    void click(ControlId id) {
        if (ui_.isEnabled(id)) dialog_.onCommand(id);
    }

    void switchFault(const Action& action) {
        switch (static_cast<Fault>(action.choice)) {
            case Fault::PassThrough: proxy_->passThrough(); break;
            case Fault::Slow: proxy_->slow(action.amount); break;
            case Fault::Mute: proxy_->mute(); break;
            case Fault::Noise: proxy_->noise(); break;
            case Fault::OverLong: proxy_->overLong(); break;
            case Fault::Drop: proxy_->drop(); break;
        }
    }

    void kill(const Action& action) {
        if (!sim_) return;
        lastPositions_ = positionsOf(sim_->simulator.snapshot());
        sim_.reset();
        deadSteps_ = action.amount;
        keepPositions_ = action.choice != 0;
    }

    void restart(bool keepPositions) {
        sim_ = powerOn(simPort_, keepPositions ? lastPositions_ : Positions{});
        if (!sim_->listening) {  // the port was taken meanwhile
            sim_ = powerOn(0, keepPositions ? lastPositions_ : Positions{});
            simPort_ = sim_->simulator.port();
            proxy_->setUpstream(simPort_);
        }
    }

    static Positions positionsOf(const ControllerSimulator::Snapshot& snapshot) {
        Positions positions{};
        for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = snapshot.axes[i].position;
        return positions;
    }

    Finding perform(const Action& action) {
        answerRandom_.seed(action.answers);
        try {
            int axis = ui_.controls.activeAxis;
            switch (action.kind) {
                case Kind::Select:
                    ui_.controls.activeAxis = action.choice;
                    click(kAxisControls[static_cast<std::size_t>(action.choice)].radio);
                    break;
                case Kind::Nudge: click(action.choice > 0 ? ControlId::NudgePlus : ControlId::NudgeMinus); break;
                case Kind::Drive: click(action.choice > 0 ? ControlId::DrivePlus : ControlId::DriveMinus); break;
                case Kind::Halt: click(ControlId::Halt); break;
                case Kind::AllHalt: click(ControlId::AllHalt); break;
                case Kind::SetValue:
                    ui_.controls.newAxisValue = action.text;
                    click(ControlId::SetValue);
                    break;
                case Kind::Shutter: click(kShutterButtons[action.choice]); break;
                case Kind::Lock:
                    if (axis >= 0 && axis < kAxisCount) {
                        auto& locked = ui_.controls.locked[static_cast<std::size_t>(axis)];
                        locked = locked != 0 ? 0 : 1;
                        click(kAxisControls[static_cast<std::size_t>(axis)].locked);
                    }
                    break;
                case Kind::Go:
                    ui_.controls.goal = action.text;
                    click(ControlId::Go);
                    break;
                case Kind::Save:
                    ui_.controls.newPositionName = action.text;
                    click(ControlId::Save);
                    break;
                case Kind::Wait: break;
                case Kind::Fault: switchFault(action); break;
                case Kind::Simulator: kill(action); break;
            }
            if (!sim_ && --deadSteps_ <= 0) restart(keepPositions_);
            for (int tick = 0; tick < action.ticks; ++tick) {
                ui_.tick(kReadBackTimer);
                std::this_thread::sleep_for(std::chrono::milliseconds(action.sleepMs));
            }
        } catch (const ProcessExit& exit) {
            return {"ended", "the console ended (exit code " + std::to_string(exit.code) + ") after " + lastBoxText()};
        }
        if (ui_.closedWith) return {"ended", "the dialog closed (" + std::to_string(*ui_.closedWith) + ")"};
        return {};
    }

    // The containment answers given so far, then the simulator's state.
    Finding check() {
        for (const RecordedBox& box : ui_.boxes) {
            if (box.text.find("request ignored") != std::string::npos) ++tally.refusals;
            if (box.text.find(kContainment) == std::string::npos) continue;
            ++tally.questions;
            containmentOk_ = box.answer == Button::Ok;
            lastQuestion_ = box.text + (containmentOk_ ? " - OK" : " - Cancel");
            if (containmentOk_) lastOk_ = Clock::now();
        }
        ui_.boxes.clear();
        ui_.focusHistory.clear();
        if (!sim_) return {};
        ControllerSimulator::Snapshot snapshot = sim_->simulator.snapshot();
        for (std::size_t i = 0; i < limits_.size(); ++i) {
            auto [low, high] = limits_[i];
            long position = snapshot.axes[i].position;
            if (position < low || position > high) {
                return {"limit", std::string("axis ") + kLetters[i] + " at " + std::to_string(position) +
                                     " counts, beyond its soft limits " + std::to_string(low) + " to " +
                                     std::to_string(high)};
            }
        }
        bool bothOpen = (snapshot.bits >> kS1Bit & 1u) != 0 && (snapshot.bits >> kS2Bit & 1u) != 0;
        bool moving = false;
        for (const auto& axis : snapshot.axes) moving = moving || axis.moving;
        tally.movingSteps += moving ? 1 : 0;
        tally.shutterSteps += (snapshot.bits & (1u << kS1Bit | 1u << kS2Bit)) != 0 ? 1 : 0;
        tally.bothOpenSteps += bothOpen ? 1 : 0;
        if (bothOpen && !containmentOk_) {
            return {"shutters", "both shutter output bits are set (bits " + std::to_string(snapshot.bits) +
                                    ") but the last containment question was " +
                                    (lastQuestion_.empty() ? "never asked" : "\"" + lastQuestion_ + "\"")};
        }
        // Once the two were seen not both open, an agreement is used up; a
        // command on its way (up to 500 ms) may still open the second.
        if (!bothOpen && Clock::now() - lastOk_ > 500ms) containmentOk_ = false;
        return {};
    }

    Finding finish(End end) {
        proxy_->passThrough();
        if (!sim_) restart(keepPositions_);
        pumpUntilConnected(1s);
        const char* name = end == End::Escape ? "Escape" : end == End::FailureExit ? "a failure exit" : "SIGTERM";
        std::optional<int> exitCode;
        bool clicked = false;
        try {
            switch (end) {
                case End::Escape: dialog_.onCancel(); break;
                case End::FailureExit:
                    // A settings file the shutter buttons read has gone.
                    folder_.remove("CyclotronInUse.dat");
                    ui_.boxes.clear();
                    for (ControlId id : kShutterButtons) {
                        clicked = clicked || ui_.isEnabled(id);
                        click(id);
                    }
                    dialog_.onTerminate();  // no shutter button was enabled
                    break;
                case End::Terminate: dialog_.onTerminate(); break;
            }
        } catch (const ProcessExit& exit) {
            exitCode = exit.code;
        }
        if (end == End::Escape && ui_.closedWith != 2) return {"end", "Escape did not close the dialog"};
        if (end != End::Escape && exitCode != 1) return {"end", std::string(name) + " did not end the process with 1"};
        if (clicked && (ui_.boxes.empty() || ui_.boxes.back().text.rfind("Error opening file CyclotronInUse.dat", 0) != 0)) {
            return {"end", "the failure exit showed " + lastBoxText()};
        }
        ControllerSimulator::Snapshot snapshot;
        bool atRest = false;
        for (auto until = Clock::now() + 2s; !atRest && Clock::now() < until;) {
            std::this_thread::sleep_for(10ms);
            snapshot = sim_->simulator.snapshot();
            atRest = true;
            for (const auto& axis : snapshot.axes) atRest = atRest && !axis.moving;
        }
        std::string positions;
        for (const auto& axis : snapshot.axes) positions += std::to_string(axis.position) + " ";
        if (!atRest) return {"rest", "2 s after " + std::string(name) + " an axis still moves: " + positions};
        if ((snapshot.bits & (1u << kS1Bit | 1u << kS2Bit)) != 0) {
            return {"bits", "after " + std::string(name) + " the output bits are " + std::to_string(snapshot.bits) +
                                ": a shutter is still commanded open"};
        }
        std::istringstream status(folder_.read("TarvexStatus.dat"));
        std::string line;
        std::getline(status, line);
        std::getline(status, line);
        std::getline(status, line);
        std::istringstream numbers(line);
        Positions stored{};
        bool whole = true;
        for (long& p : stored) whole = whole && static_cast<bool>(numbers >> p);
        if (!whole || stored != positionsOf(snapshot)) {
            return {"status", "after " + std::string(name) + " TarvexStatus.dat holds \"" + line +
                                  "\", the axes rest at " + positions};
        }
        return {};
    }

    WorkFolder folder_;
    Site site_;
    std::array<std::pair<long, long>, kAxisCount> limits_{};
    std::unique_ptr<SimulatorThread> sim_;
    int simPort_ = 0;
    Positions lastPositions_{};
    int deadSteps_ = 0;
    bool keepPositions_ = true;
    std::unique_ptr<FaultProxy> proxy_;
    std::mt19937 answerRandom_;
    bool containmentOk_ = false;
    std::string lastQuestion_;
    Clock::time_point lastOk_{};
    ScriptedUi ui_;
    CTarvexDlg dialog_{ui_};
};

Finding runShift(const Shift& shift, const std::vector<Action>& actions, Tally* tally = nullptr) {
    ShiftRun run;
    Finding found = run.run(shift, actions);
    if (tally != nullptr) *tally = run.tally;
    return found;
}

// Delta debugging: drops chunks of the list while the shift still fails the
// same way, for at most `budget` (the shift depends on timing, so each
// candidate runs once).
std::vector<Action> reduce(const Shift& shift, std::vector<Action> actions, const Finding& first,
                           std::chrono::seconds budget) {
    const auto until = Clock::now() + budget;
    auto fails = [&](std::vector<Action>& candidate) {
        Finding found = runShift(shift, candidate);
        if (found.kind != first.kind) return false;
        if (found.step >= 0) candidate.resize(static_cast<std::size_t>(found.step) + 1);
        return true;
    };
    std::size_t chunks = 2;
    while (actions.size() >= 2 && Clock::now() < until) {
        std::size_t size = (actions.size() + chunks - 1) / chunks;
        bool shortened = false;
        for (std::size_t from = 0; from < actions.size() && Clock::now() < until; from += size) {
            std::vector<Action> candidate(actions.begin(), actions.begin() + static_cast<std::ptrdiff_t>(from));
            candidate.insert(candidate.end(), actions.begin() + static_cast<std::ptrdiff_t>(std::min(from + size, actions.size())),
                             actions.end());
            if (fails(candidate)) {
                actions = candidate;
                chunks = std::max<std::size_t>(chunks - 1, 2);
                shortened = true;
                break;
            }
        }
        if (shortened) continue;
        if (chunks >= actions.size()) break;
        chunks = std::min(chunks * 2, actions.size());
    }
    return actions;
}

void runAndReport(End end) {
    const long steps = environmentNumber("TARVEX_SHIFT_STEPS", 200);
    const auto seed = static_cast<unsigned>(environmentNumber("TARVEX_SHIFT_SEED", 20261209));
    Shift shift = makeShift(seed, steps);
    shift.end = end;
    Tally tally;
    Finding found = runShift(shift, shift.actions, &tally);
    std::printf("hardware shift: seed %u, %ld steps; moving after %d, a shutter open after %d, both after %d; "
                "%d containment questions, %d refusals, %d connections\n",
                seed, steps, tally.movingSteps, tally.shutterSteps, tally.bothOpenSteps, tally.questions,
                tally.refusals, tally.connections);
    if (!found) return;
    std::string where = found.step >= 0 ? "after step " + std::to_string(found.step) : "at the end";
    std::vector<Action> actions = shift.actions;
    if (found.step >= 0) actions.resize(static_cast<std::size_t>(found.step) + 1);
    actions = reduce(shift, actions, found, std::chrono::seconds(environmentNumber("TARVEX_SHIFT_REDUCE_SECONDS", 20)));
    std::string list;
    for (std::size_t i = 0; i < actions.size(); ++i) list += "  " + std::to_string(i) + ": " + describe(actions[i]) + "\n";
    std::string axes;
    for (long p : shift.start) axes += std::to_string(p) + " ";
    ADD_FAILURE() << "seed " << seed << ", " << where << ": " << found.kind << ": " << found.text
                  << "\naxes started at " << axes << "\nshortest failing list found (" << actions.size()
                  << " actions):\n"
                  << list;
}

// The proxy's faults as a client sees them in the answer to TS.
TEST(HardwareShift, TheProxyPassesDelaysSpoilsAndCutsAnswersAsSwitched) {
    auto sim = std::make_unique<SimulatorThread>();
    ASSERT_TRUE(sim->listening);
    FaultProxy proxy(sim->simulator.port());
    ASSERT_TRUE(proxy.listening());
    auto connectClient = [&] {
        int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(proxy.port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return client;
    };
    int client = connectClient();
    bool closed = false;
    // What arrives within `limit`, until a prompt ends it or the proxy closes.
    auto receive = [&](std::chrono::milliseconds limit) {
        std::string text;
        for (auto until = Clock::now() + limit; Clock::now() < until && (text.empty() || text.back() != ':');) {
            pollfd fd{client, POLLIN, 0};
            if (::poll(&fd, 1, 5) <= 0) continue;
            char buffer[8192];
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    };
    auto ask = [&](std::chrono::milliseconds limit) {
        ::send(client, "TS\r", 3, MSG_NOSIGNAL);
        return receive(limit);
    };
    const std::string answer = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n:";  // positions, moving, inputs, limits
    EXPECT_EQ(ask(1s), answer);
    proxy.slow(300);
    EXPECT_EQ(ask(100ms), "");
    EXPECT_EQ(receive(1s), answer);
    proxy.passThrough();
    proxy.noise();
    EXPECT_EQ(ask(1s), "\x01\xff noise \x7f" + answer);
    proxy.passThrough();
    proxy.overLong();
    std::string ones;
    for (int i = 0; i < 3072; ++i) ones += "1,";
    EXPECT_EQ(ask(1s), ones + answer);
    EXPECT_EQ(ask(1s), answer) << "once";
    proxy.mute();
    EXPECT_EQ(ask(200ms), "");
    EXPECT_EQ(sim->simulator.snapshot().log.back().text, "TS") << "commands still go through";
    proxy.passThrough();
    EXPECT_EQ(ask(1s), answer);
    proxy.drop();
    receive(1s);
    EXPECT_TRUE(closed);
    ::close(client);
    // With the simulator dead, a new connection is closed at once.
    sim.reset();
    client = connectClient();
    closed = false;
    EXPECT_EQ(ask(1s), "");
    EXPECT_TRUE(closed);
    ::close(client);
    EXPECT_EQ(proxy.accepted(), 2);
}

TEST(HardwareShift, RandomOperatorActionsThenEscapeKeepTheHardwareSafe) { runAndReport(End::Escape); }

TEST(HardwareShift, RandomOperatorActionsThenFailureExitKeepTheHardwareSafe) { runAndReport(End::FailureExit); }

TEST(HardwareShift, RandomOperatorActionsThenSigtermKeepTheHardwareSafe) { runAndReport(End::Terminate); }

}  // namespace
