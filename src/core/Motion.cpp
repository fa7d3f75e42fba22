#include "core/Motion.h"

#include <cmath>

#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "util/NumberFormat.h"

namespace {

LinkPhase linkPhaseOf(ControllerLink link) {
    switch (link) {
        case ControllerLink::Journal: return LinkPhase::Journal;
        case ControllerLink::Connected: return LinkPhase::Connected;
        case ControllerLink::Absent: return LinkPhase::Absent;
        case ControllerLink::Lost:
        case ControllerLink::SettingsRefused: break;
    }
    return LinkPhase::Lost;
}

// A stop goes out at once and waits at most `wait`; true when the
// controller is there to take it.
bool sendStop(Console& console, const std::string& text, std::chrono::milliseconds wait) {
    if (text.empty()) return true;
    console.state.commandBuffer.set(text);
    console.channel->sendStop(console.state.commandBuffer.text(), wait);
    showLinkChange(console);
    return console.channel->currentLink() == ControllerLink::Connected;
}

// "BH8;" / "BL8;": a real shutter's output bit set (open) or cleared.
std::string shutterText(const ShutterBits& bits, int shutter, bool open) {
    return (open ? "BH" : "BL") + std::to_string(shutter == kShutterS1 ? bits.s1Out : bits.s2Out) + ";";
}

// Simulated motion: timer 4 stops when no axis is driven any more.
void endSimulatedDrive(Console& console, int index) {
    ConsoleState& state = console.state;
    state.axes[index].pendingStep = 0;
    state.axes[index].driving = false;
    state.motionInProgress = false;
    for (const Axis& axis : state.axes.axes) {
        state.motionInProgress = state.motionInProgress || (axis.driving && axis.pendingStep != 0);
    }
    if (!state.motionInProgress) console.ui.stopTimer(kMotionTimer);
}

std::string jogText(const Axis& axis, int32_t velocity) {
    return std::string("A") + axis.letter + ";AF;JG" + cformat("%+d", velocity) + ";";
}

// Carries out one command of the model on the simulated or the real
// controller; false when it did not go out.
bool carryOut(Console& console, const MotionCommand& command, std::chrono::milliseconds stopWait) {
    ConsoleState& state = console.state;
    const MotionCommands& texts = state.motion.commands;
    const bool simulated = state.simulation();
    switch (command.kind) {
        case MotionCommand::Move:
            if (simulated) {
                Axis& axis = state.axes[command.axis];
                axis.internalPosition = command.counts;
                axis.value = axisValue(axis);
                return true;
            } else {
                const std::string text = texts.moveText(command.axis, command.counts);
                return !text.empty() && sendCommand(console, text);
            }
        case MotionCommand::Jog: {
            Axis& axis = state.axes[command.axis];
            if (simulated) {
                axis.driving = true;
                if (!console.ui.startTimer(kMotionTimer, 250)) warnOperator(console, "Timer 4 not available!");
                sendCommand(console, jogText(axis, command.counts));
                return true;
            }
            axis.pendingStep = 0;
            return sendCommand(console, jogText(axis, command.counts));
        }
        case MotionCommand::StopAxis:
            if (simulated) {
                endSimulatedDrive(console, command.axis);
            } else {
                std::string text = texts.stopAxisText(command.axis);
                sendStop(console, text.empty() ? texts.stopAllText() : text, stopWait);
            }
            return true;
        case MotionCommand::StopAll:
            if (simulated) {
                console.ui.stopTimer(kMotionTimer);
                state.motionInProgress = false;
                for (Axis& axis : state.axes.axes) {
                    axis.pendingStep = 0;
                    axis.driving = false;
                }
            } else {
                sendStop(console, texts.stopAllText(), stopWait);
            }
            return true;
        case MotionCommand::ShutterOpen:
        case MotionCommand::ShutterClose: {
            const bool open = command.kind == MotionCommand::ShutterOpen;
            return sendCommand(console, shutterText(state.shutterBits, command.axis, open));
        }
    }
    return false;
}

void queueEffects(Console& console, const MotionOutcome& outcome) {
    std::vector<MotionEffect>& effects = console.state.motion.effects;
    effects.insert(effects.end(), outcome.effects.begin(), outcome.effects.end());
}

}  // namespace

MotionContext motionContext(const Console& console) {
    const ConsoleState& state = console.state;
    MotionContext context{state.axes};
    context.simulated = state.simulation();
    context.canWatch = state.motion.commands.canWatch();
    context.canMoveTo = state.motion.commands.canMoveTo();
    context.realShutters = state.shutterBits.real();
    context.deceleration = static_cast<double>(state.motion.commands.stoppingDeceleration());
    context.readBackPeriod = kReadBackPeriod / 1000.0;
    return context;
}

std::string motionRefusal(const Console& console, const MotionEvent& event) {
    MotionModel copy = console.state.motion.model;
    return motionStep(copy, event, motionContext(console)).refusal;
}

std::string motionRequest(Console& console, const MotionEvent& event, std::chrono::milliseconds stopWait) {
    return carryOutOutcome(console, motionStep(console.state.motion.model, event, motionContext(console)), stopWait);
}

std::string carryOutOutcome(Console& console, const MotionOutcome& outcome, std::chrono::milliseconds stopWait) {
    MotionWatch& watch = console.state.motion;
    queueEffects(console, outcome);
    if (!outcome.refusal.empty()) return outcome.refusal;
    std::string notSent;
    for (const MotionCommand& command : outcome.commands) {
        if (carryOut(console, command, stopWait)) continue;
        MotionEvent failed;
        failed.kind = MotionEvent::NotSent;
        const bool shutter = command.kind == MotionCommand::ShutterOpen || command.kind == MotionCommand::ShutterClose;
        (shutter ? failed.shutter : failed.axis) = command.axis;
        MotionOutcome after = motionStep(watch.model, failed, motionContext(console));
        queueEffects(console, after);
        if (notSent.empty()) notSent = after.refusal;
    }
    followLink(console);
    showAxesMotion(console);
    return notSent;
}

MotionEvent moveEvent(int axis, int32_t target, bool homeBackOff) {
    MotionEvent event;
    event.kind = homeBackOff ? MotionEvent::HomeBackOff : MotionEvent::MoveTo;
    event.axis = axis;
    event.counts = target;
    return event;
}

MotionEvent jogEvent(int axis, int32_t velocity) {
    MotionEvent event;
    event.kind = MotionEvent::Jog;
    event.axis = axis;
    event.counts = velocity;
    return event;
}

MotionEvent shutterEvent(int shutter, bool open) {
    MotionEvent event;
    event.kind = open ? MotionEvent::OpenShutter : MotionEvent::CloseShutter;
    event.shutter = shutter;
    return event;
}

bool axisMoving(const Console& console, int axis) {
    const Axis& a = console.state.axes[axis];
    return axisBusy(console.state.motion.model, axis) || (a.driving && a.pendingStep != 0);
}

AxisMotionShown axisMotionShown(const Console& console, int axis) {
    const Axis& a = console.state.axes[axis];
    const AxisMotion& m = console.state.motion.model.axes[static_cast<std::size_t>(axis)];
    const auto drive = [&a](int32_t counts) { return plusDirectionStep(a, counts) > 0 ? "Drive(+)" : "Drive(-)"; };
    AxisMotionShown shown;
    if (console.state.simulation()) {
        // The simulated controller moves to a target within the command; only
        // a drive takes time.
        shown.moving = a.driving && a.pendingStep != 0;
        if (shown.moving) shown.target = drive(a.pendingStep);
        return shown;
    }
    shown.moving = axisBusy(console.state.motion.model, axis);
    switch (m.phase) {
        case AxisPhase::MovingToTarget:
        case AxisPhase::HomingBackOff: shown.target = cformat("%.3f", axisValueAt(a, m.target)); break;
        case AxisPhase::Jogging: shown.target = drive(m.jogVelocity); break;
        case AxisPhase::AtRest:
        case AxisPhase::Stopping:
        case AxisPhase::StoppedByLimit: break;
    }
    return shown;
}

void showAxesMotion(Console& console) {
    std::array<AxisMotionShown, kAxisCount>& shown = console.state.motion.shownAxes;
    for (int i = 0; i < kAxisCount; ++i) {
        AxisMotionShown now = axisMotionShown(console, i);
        AxisMotionShown& before = shown[static_cast<std::size_t>(i)];
        if (now == before) continue;
        before = now;
        console.ui.showAxisMotion(i, now);
    }
}

std::string nudgeStepText(const Console& console) {
    const ConsoleState& state = console.state;
    if (state.activeAxis < 0 || state.activeAxis >= kAxisCount) return "";
    const Axis& axis = state.axes[state.activeAxis];
    const int32_t step = state.finestStep ? 1 : axis.nudgeStep;
    if (axis.scale == 0) return "";
    return cformat("%.3f %s", std::abs(static_cast<double>(step) / axis.scale), axis.unit.c_str());
}

void followLink(Console& console) {
    const LinkPhase now = linkPhaseOf(console.channel->currentLink());
    if (now != console.state.motion.model.link.phase) {
        MotionEvent event;
        event.kind = MotionEvent::LinkChanged;
        event.link = now;
        queueEffects(console, motionStep(console.state.motion.model, event, motionContext(console)));
    }
    showLinkChange(console);
}

void stopAllAxes(Console& console, std::chrono::milliseconds wait) {
    MotionEvent event;
    event.kind = MotionEvent::StopAll;
    motionRequest(console, event, wait);
}

bool stopAndCloseForEnd(Console& console, std::chrono::milliseconds wait) {
    stopAllAxes(console, wait);
    return closeShuttersForEnd(console, wait);
}

bool closeShuttersForEnd(Console& console, std::chrono::milliseconds wait) {
    ConsoleState& state = console.state;
    if (!state.shutterBits.real() || state.simulation()) return true;
    bool closed = true;
    for (int shutter : {kShutterS1, kShutterS2}) {
        // The model's close, sent like a stop: at once, waiting at most `wait`.
        const MotionOutcome outcome =
            motionStep(state.motion.model, shutterEvent(shutter, false), motionContext(console));
        queueEffects(console, outcome);
        for (const MotionCommand& command : outcome.commands) {
            closed = sendStop(console, shutterText(state.shutterBits, command.axis, false), wait) && closed;
        }
    }
    state.motion.endClose = closed ? EndClose::Confirmed : EndClose::NotConfirmed;
    return closed;
}

void Console::ending() {
    if (state.simulation() || state.motion.stoppedForEnd) return;
    state.motion.stoppedForEnd = true;
    stopAndCloseForEnd(*this, kEndingStopWait);
}
