#include "core/MotionModel.h"

#include <algorithm>
#include <cmath>

#include "util/NumberFormat.h"

namespace {

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

bool standing(AxisPhase phase) {
    return phase == AxisPhase::AtRest || phase == AxisPhase::StoppedByLimit;
}

bool linkReady(const MotionModel& model) {
    return model.link.phase == LinkPhase::Connected && model.link.known;
}

// The side of a limit switch the step runs into: the switch the axis stands on.
bool intoSwitch(int limitSwitch, int64_t step) {
    return (limitSwitch > 0 && step > 0) || (limitSwitch < 0 && step < 0);
}

void add(MotionOutcome& outcome, MotionCommand::Kind kind, int axis, int32_t counts = 0) {
    outcome.commands.push_back(MotionCommand{kind, axis, counts});
}

void effect(MotionOutcome& outcome, MotionEffect::Kind kind, int axis, int value = 0) {
    outcome.effects.push_back(MotionEffect{kind, axis, value});
}

// Why a move (`toTarget`) or a jog of `axis` by `step` cannot be commanded;
// empty when it can.
std::string moveRefusal(const MotionModel& model, const MotionContext& context, int axis, int64_t step, bool toTarget) {
    const Axis& a = context.axes[axis];
    const AxisMotion& m = model.axes[at(axis)];
    if (a.locked != 0) return lockedText(axis);
    if (!context.simulated && !((toTarget ? context.canMoveTo : context.canWatch) && linkReady(model))) {
        return kNoMotionText;
    }
    // A simulated drive ends when a finite move of its axis begins.
    const bool simulatedDrive = context.simulated && m.phase == AxisPhase::Jogging;
    if (toTarget ? axisBusy(model, axis) && !simulatedDrive
                 : (m.phase == AxisPhase::MovingToTarget || m.phase == AxisPhase::HomingBackOff)) {
        return movingText(axis);
    }
    if (!context.simulated && intoSwitch(m.limitSwitch, step)) return limitSwitchText(axis, m.limitSwitch);
    return "";
}

void moveTo(MotionModel& model, const MotionEvent& event, const MotionContext& context, MotionOutcome& outcome) {
    const int axis = event.axis;
    const Axis& a = context.axes[axis];
    const int64_t step = static_cast<int64_t>(event.counts) - a.internalPosition;
    outcome.refusal = moveRefusal(model, context, axis, step, true);
    if (outcome.refusal.empty() && beyondLimit(a, event.counts, step)) {
        outcome.refusal = std::string(kLimitText) + limitsText(a);
    }
    if (!outcome.refusal.empty()) return;
    AxisMotion& m = model.axes[at(axis)];
    const bool home = event.kind == MotionEvent::HomeBackOff;
    if (context.simulated) {
        // The simulated controller is there when the command is.
        if (m.phase == AxisPhase::Jogging) add(outcome, MotionCommand::StopAxis, axis);
        if (step != 0) add(outcome, MotionCommand::Move, axis, event.counts);
        m.phase = AxisPhase::AtRest;
        m.position = event.counts;
        effect(outcome, MotionEffect::CameToRest, axis);
        if (home) effect(outcome, MotionEffect::HomeSecondStep, axis);
        return;
    }
    if (step == 0) {
        if (home) effect(outcome, MotionEffect::HomeSecondStep, axis);
        return;
    }
    add(outcome, MotionCommand::Move, axis, event.counts);
    m.phase = home ? AxisPhase::HomingBackOff : AxisPhase::MovingToTarget;
    m.target = event.counts;
    m.commandedAt = model.queriesSent;
    m.limitStopSent = false;
}

void jog(MotionModel& model, const MotionEvent& event, const MotionContext& context, MotionOutcome& outcome) {
    const int axis = event.axis;
    const Axis& a = context.axes[axis];
    AxisMotion& m = model.axes[at(axis)];
    // A repeat of the jog already running (a held key) changes nothing.
    if (m.phase == AxisPhase::Jogging && m.jogVelocity == event.counts) return;
    outcome.refusal = moveRefusal(model, context, axis, event.counts, false);
    if (outcome.refusal.empty() && !context.simulated && event.counts != 0 &&
        beyondLimit(a, a.internalPosition, event.counts)) {
        outcome.refusal = std::string(kLimitText) + limitsText(a);
    }
    if (!outcome.refusal.empty()) return;
    add(outcome, MotionCommand::Jog, axis, event.counts);
    m.phase = AxisPhase::Jogging;
    m.jogVelocity = event.counts;
    m.commandedAt = model.queriesSent;
    m.limitStopSent = false;
}

void stop(MotionModel& model, int axis, const MotionContext& context) {
    AxisMotion& m = model.axes[at(axis)];
    m.jogVelocity = 0;
    if (context.simulated) {
        m.phase = AxisPhase::AtRest;
    } else if (!standing(m.phase) || m.readMoving) {
        m.phase = AxisPhase::Stopping;
        m.commandedAt = model.queriesSent;
    }
}

// A jog whose rest, if it were stopped at the next chance, would reach its
// soft limit is stopped now.
void watchJog(MotionModel& model, int axis, const MotionContext& context, MotionOutcome& outcome) {
    AxisMotion& m = model.axes[at(axis)];
    if (m.phase != AxisPhase::Jogging || m.limitStopSent || m.jogVelocity == 0) return;
    const Axis& a = context.axes[axis];
    const double direction = m.jogVelocity > 0 ? 1.0 : -1.0;
    // The faster of the commanded and the measured speed: the measured one
    // trails while the axis accelerates.
    const double speed = std::max(std::fabs(static_cast<double>(m.jogVelocity)),
                                  m.velocity * direction > 0 ? std::fabs(m.velocity) : 0.0);
    const double rest = jogRestPosition(m.position, direction * speed, context.readBackPeriod, context);
    if ((direction > 0 && rest >= a.softLimitHigh) || (direction < 0 && rest <= a.softLimitLow)) {
        m.limitStopSent = true;
        add(outcome, MotionCommand::StopAxis, axis);
        stop(model, axis, context);
    }
}

void readAxis(MotionModel& model, const MotionEvent& event, int axis, const MotionContext& context,
              MotionOutcome& outcome) {
    const ReadBack& r = *event.readBack;
    AxisMotion& m = model.axes[at(axis)];
    const int32_t position = r.position[at(axis)];
    if (m.readAt >= 0) {
        // Answers are never taken faster than the read-back period.
        m.velocity = (static_cast<double>(position) - m.position) /
                     std::max(event.now - m.readAt, context.readBackPeriod);
    } else {
        m.velocity = 0;
    }
    m.position = position;
    m.readAt = event.now;
    m.limitSwitch = r.limitsKnown ? r.limit[at(axis)] : 0;
    const bool moving = r.moving[at(axis)];
    // A read-back of a query sent before the command says nothing of its end.
    const bool current = event.serial > m.commandedAt;
    if (moving) {
        m.readMoving = true;
        watchJog(model, axis, context, outcome);
        return;
    }
    if (!current) return;
    const bool wasMoving = m.readMoving;
    m.readMoving = false;
    const AxisPhase was = m.phase;
    if (standing(was)) {
        m.phase = m.limitSwitch != 0 ? AxisPhase::StoppedByLimit : AxisPhase::AtRest;
        if (wasMoving) effect(outcome, MotionEffect::CameToRest, axis);
        return;
    }
    m.phase = m.limitSwitch != 0 ? AxisPhase::StoppedByLimit : AxisPhase::AtRest;
    m.jogVelocity = 0;
    effect(outcome, MotionEffect::CameToRest, axis);
    if (m.limitSwitch != 0) effect(outcome, MotionEffect::LimitSwitch, axis, m.limitSwitch);
    const bool toTarget = was == AxisPhase::MovingToTarget || was == AxisPhase::HomingBackOff;
    // The switch's own warning says where the axis stopped.
    if (toTarget && position != m.target && m.limitSwitch == 0) {
        effect(outcome, MotionEffect::ShortOfTarget, axis, m.target);
    } else if (was == AxisPhase::HomingBackOff) {
        effect(outcome, MotionEffect::HomeSecondStep, axis);
    }
}

void setShutter(MotionModel& model, int shutter, ShutterPhase phase, MotionOutcome& outcome) {
    ShutterMotion& s = model.shutters[at(shutter)];
    if (s.phase == phase) return;
    s.phase = phase;
    effect(outcome, MotionEffect::ShuttersChanged, -1, shutter);
}

// The input of a real shutter, read back: 1 open, 0 closed, -1 not read.
void readShutter(MotionModel& model, int shutter, int input, MotionOutcome& outcome) {
    ShutterMotion& s = model.shutters[at(shutter)];
    if (input < 0) return;
    if (!s.commandKnown) {
        // Nothing commanded yet: what the controller holds is what was commanded.
        s.commandKnown = true;
        s.commandedOpen = input == 1;
    }
    s.input = input;
    if ((input == 1) == s.commandedOpen) {
        s.disagreeing = 0;
        s.warned = false;
        setShutter(model, shutter, s.commandedOpen ? ShutterPhase::Open : ShutterPhase::Closed, outcome);
        return;
    }
    if (++s.disagreeing < kShutterDisagreeReadBacks) {
        setShutter(model, shutter, s.commandedOpen ? ShutterPhase::Opening : ShutterPhase::Closing, outcome);
        return;
    }
    setShutter(model, shutter, ShutterPhase::Disagreeing, outcome);
    if (!s.warned) {
        s.warned = true;
        effect(outcome, MotionEffect::ShutterDisagrees, -1, shutter);
    }
}

void readBack(MotionModel& model, const MotionEvent& event, const MotionContext& context, MotionOutcome& outcome) {
    model.link.known = true;
    model.link.unanswered = 0;
    model.link.lostWarned = false;
    for (int i = 0; i < kAxisCount; ++i) readAxis(model, event, i, context, outcome);
    if (context.realShutters) {
        for (int s : {kShutterS1, kShutterS2}) readShutter(model, s, event.shutterInput[at(s)], outcome);
    }
}

void linkChanged(MotionModel& model, const MotionEvent& event, const MotionContext& context, MotionOutcome& outcome) {
    LinkMotion& link = model.link;
    const LinkPhase was = link.phase;
    link.phase = event.link;
    if (event.link == LinkPhase::Connected) {
        if (was != LinkPhase::Connected) {
            // A connection made again carries the stop of every axis first.
            link.known = false;
            for (int i = 0; i < kAxisCount; ++i) stop(model, i, context);
        }
        return;
    }
    const bool hadLink = was == LinkPhase::Connected;
    link.known = false;
    link.unanswered = 0;
    if (!hadLink) return;
    if (anyAxisBusy(model) && !link.lostWarned) {
        link.lostWarned = true;
        effect(outcome, MotionEffect::LostWhileMoving, -1);
    }
    for (AxisMotion& m : model.axes) {
        // No second step of Home after the controller was lost.
        if (m.phase == AxisPhase::HomingBackOff) m.phase = AxisPhase::MovingToTarget;
    }
    if (context.realShutters) {
        for (int s : {kShutterS1, kShutterS2}) setShutter(model, s, ShutterPhase::Unknown, outcome);
    }
}

void notSent(MotionModel& model, const MotionEvent& event, const MotionContext& context, MotionOutcome& outcome) {
    if (event.axis >= 0) {
        AxisMotion& m = model.axes[at(event.axis)];
        // The axis does what it did before: a jog that was replaced goes on
        // at a velocity the console no longer knows.
        if (m.phase == AxisPhase::Jogging) {
            m.jogVelocity = 0;
            if (!m.readMoving) m.phase = AxisPhase::AtRest;
        } else if (m.phase == AxisPhase::MovingToTarget || m.phase == AxisPhase::HomingBackOff) {
            m.phase = AxisPhase::AtRest;
        }
        outcome.refusal = std::string("The move of ") + kAxisLetters[event.axis] +
                          " could not be sent to the controller - request ignored.";
        return;
    }
    if (event.shutter < 0) return;
    ShutterMotion& s = model.shutters[at(event.shutter)];
    // Not known to be closed: a shutter whose close did not go out may be open.
    if (!s.commandedOpen) {
        setShutter(model, event.shutter, context.realShutters ? ShutterPhase::Unknown : s.phase, outcome);
    } else {
        s.commandedOpen = s.input == 1;
        setShutter(model, event.shutter, s.input == 1 ? ShutterPhase::Open : ShutterPhase::Closed, outcome);
    }
    outcome.refusal = std::string("The command for shutter ") + (event.shutter == kShutterS1 ? "S1" : "S2") +
                      " could not be sent to the controller - request ignored.";
}

void shutterCommand(MotionModel& model, const MotionEvent& event, const MotionContext& context,
                    MotionOutcome& outcome) {
    const bool open = event.kind == MotionEvent::OpenShutter;
    ShutterMotion& s = model.shutters[at(event.shutter)];
    s.commandKnown = true;
    s.commandedOpen = open;
    s.disagreeing = 0;
    s.warned = false;
    if (!context.realShutters) {
        setShutter(model, event.shutter, open ? ShutterPhase::Open : ShutterPhase::Closed, outcome);
        return;
    }
    add(outcome, open ? MotionCommand::ShutterOpen : MotionCommand::ShutterClose, event.shutter);
    setShutter(model, event.shutter, open ? ShutterPhase::Opening : ShutterPhase::Closing, outcome);
}

}  // namespace

std::string movingText(int axis) {
    return std::string("Axis ") + kAxisLetters[axis] + " is moving - request ignored.";
}

std::string lockedText(int axis) {
    return std::string("Axis ") + kAxisLetters[axis] + " is locked - request ignored.";
}

std::string limitSwitchText(int axis, int side) {
    return std::string("Axis ") + kAxisLetters[axis] + " is at its " + (side > 0 ? "high" : "low") +
           " limit switch - request ignored.";
}

std::string limitsText(const Axis& axis) {
    const double a = axisValueAt(axis, axis.softLimitLow);
    const double b = axisValueAt(axis, axis.softLimitHigh);
    return cformat(" (limits %.3f to %.3f %s)", std::min(a, b), std::max(a, b), axis.unit.c_str());
}

bool beyondLimit(const Axis& axis, int64_t target, int64_t step) {
    return (target >= axis.softLimitHigh && step > 0) || (target <= axis.softLimitLow && step < 0);
}

double jogRestPosition(double position, double velocity, double age, const MotionContext& context) {
    // The position is `age` old, the next chance to stop is one period away,
    // and the stop itself takes v²/2d.
    const double deceleration = context.deceleration > 0 ? context.deceleration : 1;
    const double travel = velocity * (age + context.readBackPeriod);
    const double braking = velocity * std::fabs(velocity) / (2 * deceleration);
    return position + travel + braking;
}

bool axisBusy(const MotionModel& model, int axis) {
    const AxisMotion& m = model.axes[at(axis)];
    return !standing(m.phase) || m.readMoving;
}

bool anyAxisBusy(const MotionModel& model) {
    for (int i = 0; i < kAxisCount; ++i) {
        if (axisBusy(model, i)) return true;
    }
    return false;
}

bool shutterMayBeOpen(const MotionModel& model, int shutter) {
    const ShutterMotion& s = model.shutters[at(shutter)];
    return s.commandedOpen || s.input == 1 || s.phase == ShutterPhase::Unknown;
}

bool shutterConfirmedOpen(const MotionModel& model, int shutter, bool realShutters) {
    const ShutterMotion& s = model.shutters[at(shutter)];
    if (!realShutters) return s.phase == ShutterPhase::Open;
    return s.phase != ShutterPhase::Unknown && s.input == 1;
}

MotionOutcome motionStep(MotionModel& model, const MotionEvent& event, const MotionContext& context) {
    MotionOutcome outcome;
    switch (event.kind) {
        case MotionEvent::MoveTo:
        case MotionEvent::HomeBackOff: moveTo(model, event, context, outcome); break;
        case MotionEvent::Jog: jog(model, event, context, outcome); break;
        case MotionEvent::StopAxis:
            // A stop is never refused.
            // A stop is never refused; Halt with no axis active stops nothing.
            if (event.axis >= 0) {
                add(outcome, MotionCommand::StopAxis, event.axis);
                stop(model, event.axis, context);
            }
            if (context.simulated) effect(outcome, MotionEffect::Halted, event.axis, 1);
            break;
        case MotionEvent::StopAll:
            add(outcome, MotionCommand::StopAll, -1);
            for (int i = 0; i < kAxisCount; ++i) stop(model, i, context);
            if (context.simulated) effect(outcome, MotionEffect::Halted, -1, 0);
            break;
        case MotionEvent::ReadBack: readBack(model, event, context, outcome); break;
        case MotionEvent::NoAnswer:
            outcome.loseLink = ++model.link.unanswered >= kLostAfterTicks;
            break;
        case MotionEvent::LinkChanged: linkChanged(model, event, context, outcome); break;
        case MotionEvent::NotSent: notSent(model, event, context, outcome); break;
        case MotionEvent::OpenShutter:
        case MotionEvent::CloseShutter: shutterCommand(model, event, context, outcome); break;
    }
    return outcome;
}
