#include "axes/HardwareMotion.h"

#include <algorithm>

#include "axes/AxisFiles.h"
#include "beam/BeamDisplay.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "core/LogFile.h"
#include "util/NumberFormat.h"

namespace {

std::size_t at(int axis) {
    return static_cast<std::size_t>(axis);
}

void markMoving(Console& console, int axis, bool moving) {
    MotionWatch& watch = console.state.motion;
    if (watch.moving[at(axis)] == moving) return;
    watch.moving[at(axis)] = moving;
    console.ui.showAxisMoving(axis, moving);
}

// The first read-back of a connection: the controller's positions win.
void reportPositionChange(Console& console, const ReadBack& readBack) {
    AxisTable& axes = console.state.axes;
    std::string changes;
    for (int i = 0; i < kAxisCount; ++i) {
        if (axes[i].internalPosition == readBack.position[at(i)]) continue;
        Axis read = axes[i];
        read.internalPosition = readBack.position[at(i)];
        changes += cformat("%s %c %.3f -> %.3f %s", changes.empty() ? "" : ",", axes[i].letter, axisValue(axes[i]),
                           axisValue(read), axes[i].unit.c_str());
    }
    if (!changes.empty()) {
        writeLogEntry(console, std::string("The controller's positions replace those of ") + kStatusFileName + ":" +
                                   changes + ".");
    }
}

void lose(Console& console) {
    MotionWatch& watch = console.state.motion;
    bool wasMoving = false;
    for (int i = 0; i < kAxisCount; ++i) wasMoving = wasMoving || axisMoving(console, i);
    watch.known = false;
    watch.queryOpen = false;
    watch.unansweredTicks = 0;
    watch.homeStage.fill(0);
    showLinkChange(console);
    if (wasMoving && !watch.lostWarned) {
        watch.lostWarned = true;
        warnOperator(console,
                     "The connection to the controller was lost while an axis was moving. The console keeps trying to "
                     "reconnect and stops every axis as soon as the controller answers again.");
    }
}

// Home's second step, once its back-off step came to rest: to internal position 0.
void homeToZero(Console& console, int index) {
    Axis& axis = console.state.axes[index];
    int64_t step = -static_cast<int64_t>(axis.internalPosition);
    if (beyondLimit(axis, 0, step)) {
        warnOperator(console, std::string(kLimitText) + limitsText(axis));
        return;
    }
    if (step != 0) commandMove(console, index, 0);
}

}  // namespace

std::string movingText(int axis) {
    return std::string("Axis ") + kAxisLetters[axis] + " is moving - request ignored.";
}

std::string limitsText(const Axis& axis) {
    Axis low = axis;
    low.internalPosition = axis.softLimitLow;
    Axis high = axis;
    high.internalPosition = axis.softLimitHigh;
    double a = axisValue(low);
    double b = axisValue(high);
    return cformat(" (limits %.3f to %.3f %s)", std::min(a, b), std::max(a, b), axis.unit.c_str());
}

bool beyondLimit(const Axis& axis, int64_t target, int64_t step) {
    return (target >= axis.softLimitHigh && step > 0) || (target <= axis.softLimitLow && step < 0);
}

std::string motionRefusal(const Console& console, bool toTarget) {
    const MotionWatch& watch = console.state.motion;
    bool declared = toTarget ? watch.commands.canMoveTo() : watch.commands.canWatch();
    if (!declared || console.channel->currentLink() != ControllerLink::Connected || !watch.known) return kNoMotionText;
    return "";
}

bool axisMoving(const Console& console, int axis) {
    const MotionWatch& watch = console.state.motion;
    return watch.moving[at(axis)] || watch.commanded[at(axis)] || console.state.axes[axis].driving;
}

void startReadBack(Console& console) {
    MotionWatch& watch = console.state.motion;
    if (console.state.simulation() || !watch.commands.canWatch() ||
        console.channel->currentLink() == ControllerLink::Journal) {
        return;
    }
    console.channel->setReconnectStop(watch.commands.stopAllText());
    if (!console.ui.startTimer(kReadBackTimer, kReadBackPeriod)) {
        console.ui.messageBox("Timer 5 not available!", Icon::Warning, Buttons::Ok, Button::Ok);
    }
    onReadBackTimer(console);
}

void applyReadBack(Console& console, const ReadBack& readBack, uint64_t querySerial) {
    ConsoleState& state = console.state;
    MotionWatch& watch = state.motion;
    bool first = !watch.known;
    if (readBack.inputs >= 0) watch.inputs = readBack.inputs;
    if (first && !watch.connectedOnce) reportPositionChange(console, readBack);
    watch.connectedOnce = true;
    bool changed = false;
    bool cameToRest = false;
    std::array<bool, kAxisCount> homeReady{};
    for (int i = 0; i < kAxisCount; ++i) {
        Axis& axis = state.axes[i];
        int32_t position = readBack.position[at(i)];
        watch.velocity[at(i)] = first ? 0 : position - axis.internalPosition;
        changed = changed || position != axis.internalPosition;
        axis.internalPosition = position;
        bool moving = readBack.moving[at(i)];
        // A read-back of a query sent before the command says nothing of its end.
        bool current = querySerial > watch.commandedAt[at(i)];
        if (moving) {
            int32_t velocity = watch.velocity[at(i)];
            if (axis.driving && !watch.limitStopSent[at(i)] && velocity != 0 &&
                beyondLimit(axis, static_cast<int64_t>(position) + velocity, velocity)) {
                watch.limitStopSent[at(i)] = true;
                stopAxis(console, i);
            }
        } else if (current && (watch.moving[at(i)] || watch.commanded[at(i)] || axis.driving)) {
            cameToRest = true;
            homeReady[at(i)] = watch.homeStage[at(i)] == 1;
            watch.homeStage[at(i)] = 0;
            watch.commanded[at(i)] = false;
            watch.toTarget[at(i)] = false;
            watch.limitStopSent[at(i)] = false;
            axis.driving = false;
        }
        if (moving || current) markMoving(console, i, moving);
    }
    watch.known = true;
    watch.lostWarned = false;
    state.motionInProgress = false;
    for (int i = 0; i < kAxisCount; ++i) state.motionInProgress = state.motionInProgress || axisMoving(console, i);
    if (changed || first) refreshAfterMotion(console);
    if (cameToRest || (first && changed)) writeStatusFile(console);

    bool beamAxesAtRest = true;
    bool beamAxesMoved = !watch.beamPositionKnown;
    for (int i : {kAxisT, kAxisR, kAxisS}) {
        beamAxesAtRest = beamAxesAtRest && !axisMoving(console, i);
        beamAxesMoved = beamAxesMoved || watch.beamPosition[at(i)] != state.axes[i].internalPosition;
    }
    if (beamAxesAtRest && beamAxesMoved) {
        for (int i : {kAxisT, kAxisR, kAxisS}) watch.beamPosition[at(i)] = state.axes[i].internalPosition;
        bool hadPosition = watch.beamPositionKnown;
        watch.beamPositionKnown = true;
        // The start-up beam stands for the status file's positions: no
        // recomputation for the first read-back when it agrees with them.
        if (hadPosition || changed) {
            recomputeBeam(console);
            refreshEffectiveLetDisplay(console);
        }
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (homeReady[at(i)]) homeToZero(console, i);
    }
}

void onReadBackTimer(Console& console) {
    MotionWatch& watch = console.state.motion;
    if (watch.inTick || console.fields.directControl == 1) return;
    watch.inTick = true;
    ControllerChannel& channel = *console.channel;
    bool wasKnown = watch.known;
    std::string answer;
    bool answered = false;
    if (channel.takeQueryAnswer(answer)) {
        watch.queryOpen = false;
        ReadBack readBack;
        if (parseReadBack(answer, watch.commands.reply, readBack)) {
            answered = true;
            watch.unansweredTicks = 0;
            applyReadBack(console, readBack, watch.queriesSent);
        }
    }
    if (!answered && (watch.queryOpen || watch.known) && ++watch.unansweredTicks >= kUnansweredTicks) {
        channel.abandon();
    }
    bool lost = channel.currentLink() != ControllerLink::Connected;
    if (lost) {
        watch.queryOpen = false;
        watch.known = false;
    }
    if (!watch.queryOpen && channel.sendQuery(watch.commands.query)) {
        watch.queryOpen = true;
        ++watch.queriesSent;
    }
    showLinkChange(console);
    watch.inTick = false;
    if (lost && (wasKnown || watch.unansweredTicks > 0)) {
        watch.known = wasKnown;  // lose() looks at what was known
        lose(console);
    }
}

void commandMove(Console& console, int axis, int32_t target) {
    MotionWatch& watch = console.state.motion;
    std::string text = watch.commands.moveText(axis, target);
    if (text.empty()) {
        warnOperator(console, kNoMotionText);
        return;
    }
    watch.commanded[at(axis)] = true;
    watch.toTarget[at(axis)] = true;
    watch.commandedAt[at(axis)] = watch.queriesSent;
    watch.limitStopSent[at(axis)] = false;
    sendCommand(console, text);
}

void commandJog(Console& console, int axis, const std::string& jogText, int32_t velocity) {
    MotionWatch& watch = console.state.motion;
    watch.commanded[at(axis)] = true;
    watch.toTarget[at(axis)] = false;
    watch.commandedAt[at(axis)] = watch.queriesSent;
    watch.jogVelocity[at(axis)] = velocity;
    watch.limitStopSent[at(axis)] = false;
    console.state.axes[axis].driving = true;
    sendCommand(console, jogText);
}

void stopAxis(Console& console, int axis) {
    Axis& stopped = console.state.axes[axis];
    MotionWatch& watch = console.state.motion;
    watch.homeStage[at(axis)] = 0;
    if (console.state.simulation()) return;
    stopped.driving = false;
    std::string text = watch.commands.stopAxisText(axis);
    if (text.empty()) text = watch.commands.stopAllText();
    if (text.empty()) return;
    console.state.commandBuffer.set(text);
    console.channel->sendStop(console.state.commandBuffer.text(), kStopWait);
    showLinkChange(console);
}

