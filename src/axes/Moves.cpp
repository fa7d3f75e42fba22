#include "axes/Moves.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "axes/AxisFiles.h"
#include "axes/HardwareMotion.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "switches/Switches.h"
#include "util/NumberFormat.h"
#include "util/TokenReader.h"

namespace {

bool activeAxisValid(const Console& console) {
    return console.state.activeAxis >= 0 && console.state.activeAxis < kAxisCount;
}

Axis& activeAxis(Console& console) {
    return console.state.axes[console.state.activeAxis];
}

bool stepBeyondLimit(const Axis& axis, int32_t step) {
    return beyondLimit(axis, static_cast<int64_t>(axis.internalPosition) + step, step);
}

// Simulated drive of one axis ends: timer 4 stops when no axis is driven.
void endSimulatedDrive(Console& console, int index) {
    ConsoleState& state = console.state;
    state.axes[index].driving = false;
    state.motionInProgress = false;
    for (const Axis& axis : state.axes.axes) {
        state.motionInProgress = state.motionInProgress || (axis.driving && axis.pendingStep != 0);
    }
    if (!state.motionInProgress) console.ui.stopTimer(kMotionTimer);
}

// Outside simulation mode: refuses (with its message) a move the console
// cannot command safely now.
bool hardwareRefuses(Console& console, int index, bool toTarget) {
    std::string refusal = motionRefusal(console, toTarget);
    if (refusal.empty() && toTarget && axisMoving(console, index)) refusal = movingText(index);
    if (refusal.empty()) return false;
    console.state.axes[index].pendingStep = 0;
    warnOperator(console, refusal);
    return true;
}

void showCurrent(Console& console) {
    console.state.positionName = "Current";
    console.fields.positionName = "Current";
    console.ui.setText(ControlId::DutPosition, "Current");
}

int32_t clampToCounts(double counts) {
    if (!(counts >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (counts > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(counts);
}

// Box 1088 as a number by the C library's text-to-double rule; the box is
// emptied and shown.
double takeNewAxisValue(Console& console) {
    double value = leadingNumber(console.fields.newAxisValue);
    console.fields.newAxisValue.clear();
    console.ui.setText(ControlId::NewAxisValue, "");
    return value;
}

}  // namespace

void takeDialogEntries(Console& console) {
    console.ui.transferFromControls(console.fields);
    console.state.activeAxis = console.fields.activeAxis;
}

void showDialogFields(Console& console) {
    console.fields.activeAxis = console.state.activeAxis;
    console.ui.transferToControls(console.fields);
}

void moveActiveAxis(Console& console) {
    takeDialogEntries(console);
    console.ui.setFocus(ControlId::Keyboard);
    if (!activeAxisValid(console)) {
        warnOperator(console, "No axis selected - request ignored.");
        return;
    }
    ConsoleState& state = console.state;
    const int index = state.activeAxis;
    if (!state.simulation() && hardwareRefuses(console, index, true)) return;
    // A finite move ends a drive first, or the ticks would repeat its step.
    if (state.simulation() && state.axes[index].driving) endSimulatedDrive(console, index);
    if (stepBeyondLimit(state.axes[index], state.axes[index].pendingStep)) {
        state.axes[index].pendingStep = 0;
        warnOperator(console, std::string(kLimitText) + limitsText(state.axes[index]));
        return;
    }
    switchOn(console, Device::Camera);
    showCurrent(console);
    Axis& axis = state.axes[index];
    if (state.simulation()) {
        axis.internalPosition += axis.pendingStep;
        refreshAfterMotion(console);
        if (index == kAxisT || index == kAxisR || index == kAxisS) {
            recomputeBeam(console);
            refreshEffectiveLetDisplay(console);
        }
    } else if (axis.pendingStep != 0) {
        commandMove(console, index, static_cast<int32_t>(static_cast<int64_t>(axis.internalPosition) + axis.pendingStep));
    }
    axis.pendingStep = 0;
    if (state.simulation()) axis.driving = false;
    writeStatusFile(console);
}

void onNudge(Console& console, int direction) {
    takeDialogEntries(console);
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);  // reports the missing axis
        return;
    }
    Axis& axis = activeAxis(console);
    int32_t step = console.state.finestStep ? 1 : axis.nudgeStep;
    axis.pendingStep = plusDirectionStep(axis, direction * step);
    moveActiveAxis(console);
}

void onDrive(Console& console, int direction) {
    takeDialogEntries(console);
    console.ui.setFocus(ControlId::Keyboard);
    if (!activeAxisValid(console)) {
        warnOperator(console, "No axis selected - request ignored.");
        return;
    }
    ConsoleState& state = console.state;
    const int index = state.activeAxis;
    Axis& axis = activeAxis(console);
    int32_t step = plusDirectionStep(axis, direction * axis.nudgeStep);
    int32_t velocity = plusDirectionStep(axis, direction * axis.jogVelocity);
    // A repeat of the drive already running (a held key) changes nothing.
    if (state.simulation() && axis.driving && axis.pendingStep == step) return;
    if (!state.simulation()) {
        if (axis.driving && state.motion.jogVelocity[static_cast<std::size_t>(index)] == velocity) return;
        std::string refusal = motionRefusal(console, false);
        // A jog may replace a jog or follow a stop, never a move to a target.
        if (refusal.empty() && state.motion.toTarget[static_cast<std::size_t>(index)]) refusal = movingText(index);
        if (!refusal.empty()) {
            warnOperator(console, refusal);
            return;
        }
    }
    axis.pendingStep = step;
    axis.driving = state.simulation();
    switchOn(console, Device::Camera);
    showCurrent(console);
    if (state.simulation() && !console.ui.startTimer(kMotionTimer, 250)) {
        warnOperator(console, "Timer 4 not available!");
    }
    std::string jog = std::string("A") + axis.letter + ";AF;JG" + cformat("%+d", velocity) + ";";
    if (state.simulation()) {
        sendCommand(console, jog);
    } else {
        axis.pendingStep = 0;
        commandJog(console, index, jog, velocity);
    }
}

void onHalt(Console& console) {
    console.ui.setFocus(ControlId::Keyboard);
    ConsoleState& state = console.state;
    if (state.simulation()) {
        if (activeAxisValid(console)) {
            activeAxis(console).pendingStep = 0;
            endSimulatedDrive(console, state.activeAxis);
        }
        refreshAfterMotion(console);
        recomputeBeam(console);
        refreshEffectiveLetDisplay(console);
    } else if (activeAxisValid(console)) {
        stopAxis(console, state.activeAxis);
    }
    writeStatusFile(console);
}

void onHome(Console& console) {
    takeDialogEntries(console);
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);  // reports the missing axis
        return;
    }
    ConsoleState& state = console.state;
    Axis& axis = activeAxis(console);
    axis.pendingStep = plusDirectionStep(axis, axis.nudgeStep / 2);
    if (!state.simulation()) {
        // The second step follows when the read-back shows the first at rest.
        const int index = state.activeAxis;
        if (hardwareRefuses(console, index, true)) return;
        bool backOff = axis.pendingStep != 0 && !stepBeyondLimit(axis, axis.pendingStep);
        if (!backOff) axis.pendingStep = clampToCounts(-static_cast<double>(axis.internalPosition));
        moveActiveAxis(console);
        if (backOff && state.motion.commanded[static_cast<std::size_t>(index)]) {
            state.motion.homeStage[static_cast<std::size_t>(index)] = 1;
        }
        showCurrent(console);
        return;
    }
    if (stepBeyondLimit(axis, axis.pendingStep)) {
        axis.pendingStep = 0;
    } else {
        moveActiveAxis(console);
    }
    showCurrent(console);
    Axis& homed = activeAxis(console);
    homed.pendingStep = clampToCounts(-static_cast<double>(homed.internalPosition));
    moveActiveAxis(console);
}

void moveActiveAxisTo(Console& console, double value) {
    Axis& axis = activeAxis(console);
    int32_t target = internalPositionFor(axis, value);
    axis.pendingStep = clampToCounts(static_cast<double>(target) - axis.internalPosition);
    moveActiveAxis(console);
}

void onSetValue(Console& console) {
    takeDialogEntries(console);
    console.ui.setFocus(ControlId::Keyboard);
    double value = takeNewAxisValue(console);
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);
        return;
    }
    moveActiveAxisTo(console, value);
}

void onIncrement(Console& console) {
    takeDialogEntries(console);
    console.ui.setFocus(ControlId::Keyboard);
    double increment = takeNewAxisValue(console);
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);
        return;
    }
    Axis& axis = activeAxis(console);
    axis.pendingStep = clampToCounts(std::trunc(axis.scale * increment));
    moveActiveAxis(console);
}
