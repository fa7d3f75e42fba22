#include <gtest/gtest.h>

#include <functional>

#include "core/MotionModel.h"
#include "support/CaseNames.h"

// The transition table of the motion and shutter model, one row a rule.
// Each row starts from X (limits -1000..1000, at 0, at rest, unlocked) on a
// connected and read controller, applies its set-up and one event, and
// checks the refusal, the commands, the effects and X's phase after it.
namespace {

using case_names::PrintTo;  // rows print as their names

struct Row {
    const char* name;
    std::function<void(MotionModel&, AxisTable&, MotionContext&)> setUp;
    std::function<MotionEvent()> event;
    std::string refusal;
    std::string commands;  // "move X 500; stop X"
    std::string effects;   // "rest X; home X"
    AxisPhase phase;
};

MotionEvent make(MotionEvent::Kind kind, int axis = kAxisX, int32_t counts = 0) {
    MotionEvent event;
    event.kind = kind;
    event.axis = axis;
    event.counts = counts;
    return event;
}

MotionEvent linkEvent(LinkPhase link) {
    MotionEvent event = make(MotionEvent::LinkChanged, -1);
    event.link = link;
    return event;
}

MotionEvent shutter(MotionEvent::Kind kind, int which) {
    MotionEvent event = make(kind, -1);
    event.shutter = which;
    return event;
}

// A read-back of X at `position`, answering the query after every command.
MotionEvent readBackOf(int32_t position, bool moving, int limit = 0, int s1Input = -1) {
    static ReadBack readBack;
    readBack = ReadBack{};
    readBack.position[kAxisX] = position;
    readBack.moving[kAxisX] = moving;
    readBack.limit[kAxisX] = static_cast<int8_t>(limit);
    readBack.limitsKnown = true;
    MotionEvent event = make(MotionEvent::ReadBack);
    event.readBack = &readBack;
    event.serial = 1000;
    event.now = 10;
    event.shutterInput = {s1Input, -1};
    return event;
}

std::string listOf(const MotionOutcome& outcome, bool commands) {
    std::string text;
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : "; ") + item; };
    auto letter = [](int axis) { return std::string(1, axis >= 0 ? kAxisLetters[axis] : '-'); };
    auto shutterName = [](int which) { return which == kShutterS1 ? std::string("S1") : std::string("S2"); };
    if (commands) {
        for (const MotionCommand& c : outcome.commands) {
            switch (c.kind) {
                case MotionCommand::Move: add("move " + letter(c.axis) + " " + std::to_string(c.counts)); break;
                case MotionCommand::Jog: add("jog " + letter(c.axis) + " " + std::to_string(c.counts)); break;
                case MotionCommand::StopAxis: add("stop " + letter(c.axis)); break;
                case MotionCommand::StopAll: add("stop all"); break;
                case MotionCommand::ShutterOpen: add("open " + shutterName(c.axis)); break;
                case MotionCommand::ShutterClose: add("close " + shutterName(c.axis)); break;
            }
        }
        return text;
    }
    for (const MotionEffect& e : outcome.effects) {
        switch (e.kind) {
            case MotionEffect::CameToRest: add("rest " + letter(e.axis)); break;
            case MotionEffect::HomeSecondStep: add("home " + letter(e.axis)); break;
            case MotionEffect::LimitSwitch: add("switch " + letter(e.axis) + " " + std::to_string(e.value)); break;
            case MotionEffect::ShortOfTarget: add("short " + letter(e.axis) + " " + std::to_string(e.value)); break;
            case MotionEffect::LostWhileMoving: add("lost"); break;
            case MotionEffect::ShutterDisagrees: add("disagrees " + shutterName(e.value)); break;
            case MotionEffect::ShuttersChanged: add("shutter " + shutterName(e.value)); break;
            case MotionEffect::Halted:
                add(e.value == 0 ? std::string("halted all") : "halted " + (e.axis < 0 ? std::string("none") : letter(e.axis)));
                break;
        }
    }
    return text;
}

void hardware(MotionModel& model, AxisTable&, MotionContext& context) {
    context.simulated = false;
    context.canWatch = context.canMoveTo = true;
    model.link.phase = LinkPhase::Connected;
    model.link.known = true;
}

void moving(MotionModel& model, AxisTable& axes, MotionContext& context) {
    hardware(model, axes, context);
    model.axes[kAxisX].phase = AxisPhase::MovingToTarget;
    model.axes[kAxisX].target = 500;
}

void jogging(MotionModel& model, AxisTable& axes, MotionContext& context) {
    hardware(model, axes, context);
    model.axes[kAxisX].phase = AxisPhase::Jogging;
    model.axes[kAxisX].jogVelocity = 1000;
    model.axes[kAxisX].readMoving = true;
}

void realShutters(MotionModel& model, AxisTable& axes, MotionContext& context) {
    hardware(model, axes, context);
    context.realShutters = true;
    model.shutters[kShutterS1] = ShutterMotion{ShutterPhase::Closed, true, false, 0, false};
    model.shutters[kShutterS1].input = 0;
}

// S1 commanded open, its input not yet following.
void opening(MotionModel& model, AxisTable& axes, MotionContext& context) {
    realShutters(model, axes, context);
    model.shutters[kShutterS1].commandedOpen = true;
    model.shutters[kShutterS1].phase = ShutterPhase::Opening;
}

const std::string kLimit = "Attempted movement beyond software limit - request ignored. (limits -100.000 to 100.000 mm)";
const std::string kNotSent = "The move of X could not be sent to the controller - request ignored.";

const Row kRows[] = {
    // Moves to a target.
    {"MoveGoesOut", hardware, [] { return make(MotionEvent::MoveTo, kAxisX, 500); }, "", "move X 500", "",
     AxisPhase::MovingToTarget},
    {"MoveOfALockedAxisIsRefused", [](auto& m, auto& a, auto& c) { hardware(m, a, c); a[kAxisX].locked = 1; },
     [] { return make(MotionEvent::MoveTo, kAxisX, 500); }, "Axis X is locked - request ignored.", "", "",
     AxisPhase::AtRest},
    {"MoveBeforeTheFirstReadBackIsRefused", [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.link.known = false; },
     [] { return make(MotionEvent::MoveTo, kAxisX, 500); }, kNoMotionText, "", "", AxisPhase::AtRest},
    {"MoveWhileMovingIsRefused", moving, [] { return make(MotionEvent::MoveTo, kAxisX, 100); },
     "Axis X is moving - request ignored.", "", "", AxisPhase::MovingToTarget},
    {"MoveWhileAnotherClientMovesTheAxisIsRefused",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.axes[kAxisX].readMoving = true; },
     [] { return make(MotionEvent::MoveTo, kAxisX, 100); }, "Axis X is moving - request ignored.", "", "",
     AxisPhase::AtRest},
    {"MoveOntoASoftLimitIsRefused", hardware, [] { return make(MotionEvent::MoveTo, kAxisX, 1000); }, kLimit, "", "",
     AxisPhase::AtRest},
    {"MoveIntoTheSwitchItStandsOnIsRefused",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.axes[kAxisX].limitSwitch = 1; m.axes[kAxisX].phase = AxisPhase::StoppedByLimit; },
     [] { return make(MotionEvent::MoveTo, kAxisX, 10); }, "Axis X is at its high limit switch - request ignored.", "",
     "", AxisPhase::StoppedByLimit},
    {"MoveOffTheSwitchGoesOut",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.axes[kAxisX].limitSwitch = 1; m.axes[kAxisX].phase = AxisPhase::StoppedByLimit; },
     [] { return make(MotionEvent::MoveTo, kAxisX, -10); }, "", "move X -10", "", AxisPhase::MovingToTarget},
    {"SimulatedMoveIsDoneWithinTheCommand", nullptr, [] { return make(MotionEvent::MoveTo, kAxisX, 500); }, "",
     "move X 500", "rest X", AxisPhase::AtRest},
    {"SimulatedMoveEndsTheDriveFirst", [](auto& m, auto&, auto&) { m.axes[kAxisX].phase = AxisPhase::Jogging; },
     [] { return make(MotionEvent::MoveTo, kAxisX, 500); }, "", "stop X; move X 500", "rest X", AxisPhase::AtRest},
    {"SimulatedZeroStepStillEndsAtRest", nullptr, [] { return make(MotionEvent::MoveTo, kAxisX, 0); }, "", "", "rest X",
     AxisPhase::AtRest},
    {"HomeBackOffAsksForTheSecondStepAtRest", nullptr, [] { return make(MotionEvent::HomeBackOff, kAxisX, 50); }, "",
     "move X 50", "rest X; home X", AxisPhase::AtRest},
    {"HardwareHomeBacksOffFirst", hardware, [] { return make(MotionEvent::HomeBackOff, kAxisX, 50); }, "", "move X 50",
     "", AxisPhase::HomingBackOff},
    // Jogs.
    {"JogGoesOut", hardware, [] { return make(MotionEvent::Jog, kAxisX, 1000); }, "", "jog X 1000", "",
     AxisPhase::Jogging},
    {"HeldDriveKeyRepeatsNothing", jogging, [] { return make(MotionEvent::Jog, kAxisX, 1000); }, "", "", "",
     AxisPhase::Jogging},
    {"JogReplacesAJog", jogging, [] { return make(MotionEvent::Jog, kAxisX, -1000); }, "", "jog X -1000", "",
     AxisPhase::Jogging},
    {"JogDuringAMoveIsRefused", moving, [] { return make(MotionEvent::Jog, kAxisX, 1000); },
     "Axis X is moving - request ignored.", "", "", AxisPhase::MovingToTarget},
    {"JogFromTheSoftLimitTowardsItIsRefused",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); a[kAxisX].internalPosition = 1000; },
     [] { return make(MotionEvent::Jog, kAxisX, 1000); }, kLimit, "", "", AxisPhase::AtRest},
    {"SimulatedJogIsStoppedByTheTicksNotRefused", [](auto&, auto& a, auto&) { a[kAxisX].internalPosition = 1000; },
     [] { return make(MotionEvent::Jog, kAxisX, 1000); }, "", "jog X 1000", "", AxisPhase::Jogging},
    {"JogIntoTheSwitchItStandsOnIsRefused",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.axes[kAxisX].limitSwitch = -1; },
     [] { return make(MotionEvent::Jog, kAxisX, -1000); }, "Axis X is at its low limit switch - request ignored.", "",
     "", AxisPhase::AtRest},
    // The limit watch: 1000 counts/s, seen 0.1 s late, stoppable 0.1 s
    // later, braking 1000²/(2·200000) = 2.5 counts: 202.5 counts. Measured
    // 3000 counts/s: 600 + 22.5 counts.
    {"JogFarFromItsLimitGoesOn", jogging, [] { return readBackOf(797, true); }, "", "", "", AxisPhase::Jogging},
    {"JogThatWouldRestOnItsLimitIsStopped", jogging, [] { return readBackOf(798, true); }, "", "stop X", "",
     AxisPhase::Stopping},
    {"MeasuredSpeedAboveTheCommandedOneCounts",
     [](auto& m, auto& a, auto& c) { jogging(m, a, c); m.axes[kAxisX].position = 400; m.axes[kAxisX].readAt = 9.9; },
     [] { return readBackOf(700, true); }, "", "stop X", "", AxisPhase::Stopping},
    // Stops.
    {"StopIsNeverRefused",
     [](auto& m, auto& a, auto& c) { jogging(m, a, c); a[kAxisX].locked = 1; m.link.phase = LinkPhase::Lost; },
     [] { return make(MotionEvent::StopAxis); }, "", "stop X", "", AxisPhase::Stopping},
    {"StopAllStopsEveryMovingAxis", moving, [] { return make(MotionEvent::StopAll, -1); }, "", "stop all", "",
     AxisPhase::Stopping},
    {"SimulatedStopIsDoneAtOnce", [](auto& m, auto&, auto&) { m.axes[kAxisX].phase = AxisPhase::Jogging; },
     [] { return make(MotionEvent::StopAll, -1); }, "", "stop all", "halted all", AxisPhase::AtRest},
    // Read-back.
    {"AnswerAskedBeforeTheCommandSaysNothingOfItsEnd",
     [](auto& m, auto& a, auto& c) { moving(m, a, c); m.axes[kAxisX].commandedAt = 1000; },
     [] { return readBackOf(0, false); }, "", "", "", AxisPhase::MovingToTarget},
    {"RestAtTheTarget", moving, [] { return readBackOf(500, false); }, "", "", "rest X", AxisPhase::AtRest},
    {"RestShortOfTheTargetIsSaid", moving, [] { return readBackOf(400, false); }, "", "", "rest X; short X 500",
     AxisPhase::AtRest},
    {"RestOnALimitSwitchIsSaid", moving, [] { return readBackOf(400, false, 1); }, "", "",
     "rest X; switch X 1", AxisPhase::StoppedByLimit},
    {"HomeBackOffAtRestAsksForTheSecondStep",
     [](auto& m, auto& a, auto& c) { moving(m, a, c); m.axes[kAxisX].phase = AxisPhase::HomingBackOff; },
     [] { return readBackOf(500, false); }, "", "", "rest X; home X", AxisPhase::AtRest},
    {"AnotherClientsMoveEndsAtRestToo",
     [](auto& m, auto& a, auto& c) { hardware(m, a, c); m.axes[kAxisX].readMoving = true; },
     [] { return readBackOf(30, false); }, "", "", "rest X", AxisPhase::AtRest},
    // The link.
    {"LinkLostWhileMovingIsSaidOnce", moving,
     [] { return linkEvent(LinkPhase::Lost); },
     "", "", "lost", AxisPhase::MovingToTarget},
    {"ConnectionMadeAgainStopsEveryAxisFirst",
     [](auto& m, auto& a, auto& c) { moving(m, a, c); m.link.phase = LinkPhase::Lost; },
     [] { return linkEvent(LinkPhase::Connected); },
     "", "", "", AxisPhase::Stopping},
    {"MoveNotSentIsNotShownCommanded", moving, [] { return make(MotionEvent::NotSent); }, kNotSent, "", "",
     AxisPhase::AtRest},
    // Shutters (S1).
    {"SimulatedShutterOpensAtOnce", nullptr, [] { return shutter(MotionEvent::OpenShutter, kShutterS1); }, "", "",
     "shutter S1", AxisPhase::AtRest},
    {"RealShutterIsCommandedAndOpening", realShutters, [] { return shutter(MotionEvent::OpenShutter, kShutterS1); },
     "", "open S1", "shutter S1", AxisPhase::AtRest},
    {"CloseIsNeverRefused",
     [](auto& m, auto& a, auto& c) {
         realShutters(m, a, c);
         m.link.phase = LinkPhase::Lost;
         m.shutters[kShutterS1].phase = ShutterPhase::Unknown;
     },
     [] { return shutter(MotionEvent::CloseShutter, kShutterS1); }, "", "close S1", "shutter S1", AxisPhase::AtRest},
    {"InputFollowingTheCommandOpens", opening,
     [] { return readBackOf(0, false, 0, 1); }, "", "", "shutter S1", AxisPhase::AtRest},
    {"InputNotFollowingForTooLongDisagreesOnce",
     [](auto& m, auto& a, auto& c) {
         opening(m, a, c);
         m.shutters[kShutterS1].disagreeing = kShutterDisagreeReadBacks - 1;
     },
     [] { return readBackOf(0, false, 0, 0); }, "", "", "shutter S1; disagrees S1", AxisPhase::AtRest},
    {"ShutterLostWithTheController", realShutters,
     [] { return linkEvent(LinkPhase::Lost); },
     "", "", "shutter S1; shutter S2", AxisPhase::AtRest},
    {"ShutterCommandNotSentIsSaid", opening,
     [] { return shutter(MotionEvent::NotSent, kShutterS1); },
     "The command for shutter S1 could not be sent to the controller - request ignored.", "", "shutter S1",
     AxisPhase::AtRest},
};

class MotionModelTable : public ::testing::TestWithParam<Row> {};

TEST_P(MotionModelTable, Rule) {
    const Row& row = GetParam();
    AxisTable axes;
    axes[kAxisX].softLimitLow = -1000;
    axes[kAxisX].softLimitHigh = 1000;
    axes[kAxisX].scale = 10;
    axes[kAxisX].unit = "mm";
    MotionModel model;
    MotionContext context{axes};
    if (row.setUp) row.setUp(model, axes, context);
    const MotionOutcome outcome = motionStep(model, row.event(), context);
    EXPECT_EQ(outcome.refusal, row.refusal);
    EXPECT_EQ(listOf(outcome, true), row.commands);
    EXPECT_EQ(listOf(outcome, false), row.effects);
    EXPECT_EQ(model.axes[kAxisX].phase, row.phase);
}

INSTANTIATE_TEST_SUITE_P(Rules, MotionModelTable, ::testing::ValuesIn(kRows),
                         RowName{});

// What the containment question asks from: the command, not the read-back.
TEST(MotionModel, ShutterCountsOpenFromItsCommandUntilReadClosed) {
    AxisTable axes;
    MotionModel model;
    MotionContext context{axes};
    context.simulated = false;
    context.realShutters = true;
    model.shutters[kShutterS2].commandKnown = true;
    model.shutters[kShutterS2].input = 0;
    EXPECT_FALSE(shutterMayBeOpen(model, kShutterS2));
    motionStep(model, shutter(MotionEvent::OpenShutter, kShutterS2), context);
    EXPECT_TRUE(shutterMayBeOpen(model, kShutterS2)) << "opening counts as open at once";
    EXPECT_FALSE(shutterConfirmedOpen(model, kShutterS2, true)) << "but is not shown open";
    motionStep(model, shutter(MotionEvent::CloseShutter, kShutterS2), context);
    EXPECT_FALSE(shutterMayBeOpen(model, kShutterS2));
    model.shutters[kShutterS2].phase = ShutterPhase::Unknown;
    EXPECT_TRUE(shutterMayBeOpen(model, kShutterS2)) << "not known: may be open";
}

}  // namespace
