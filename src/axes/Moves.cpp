#include "axes/Moves.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/Console.h"
#include "app/Failure.h"
#include "axes/AxisFiles.h"
#include "axes/ControllerChannel.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamRecompute.h"
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


// Refuses a target that reaches or passes a limit in the direction of the step.
bool beyondLimit(const Axis& axis, int32_t step) {
    int64_t target = static_cast<int64_t>(axis.internalPosition) + step;
    return (target >= axis.softLimitHigh && step > 0) || (target <= axis.softLimitLow && step < 0);
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
    if (state.simulation() && beyondLimit(state.axes[index], state.axes[index].pendingStep)) {
        state.axes[index].pendingStep = 0;
        warnOperator(console, "Attempted movement beyond software limit - request ignored.");
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
    }
    axis.pendingStep = 0;
    axis.driving = false;
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
    Axis& axis = activeAxis(console);
    axis.pendingStep = plusDirectionStep(axis, direction * axis.nudgeStep);
    axis.driving = console.state.simulation();
    int32_t velocity = plusDirectionStep(axis, direction * axis.jogVelocity);
    switchOn(console, Device::Camera);
    showCurrent(console);
    if (console.state.simulation() && !console.ui.startTimer(kMotionTimer, 250)) {
        warnOperator(console, "Timer 4 not available!");
    }
    sendCommand(console, std::string("A") + axis.letter + ";AF;JG" + cformat("%+d", velocity) + ";");
}

void onHalt(Console& console) {
    console.ui.setFocus(ControlId::Keyboard);
    ConsoleState& state = console.state;
    if (state.simulation()) {
        if (activeAxisValid(console)) {
            activeAxis(console).pendingStep = 0;
            activeAxis(console).driving = false;
        }
        state.motionInProgress = false;
        for (const Axis& axis : state.axes.axes) {
            state.motionInProgress = state.motionInProgress || (axis.driving && axis.pendingStep != 0);
        }
        if (!state.motionInProgress) console.ui.stopTimer(kMotionTimer);
        refreshAfterMotion(console);
        recomputeBeam(console);
        refreshEffectiveLetDisplay(console);
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
    if (state.simulation()) {
        if (beyondLimit(axis, axis.pendingStep)) {
            axis.pendingStep = 0;
        } else {
            moveActiveAxis(console);
        }
    }
    showCurrent(console);
    if (state.simulation()) {
        Axis& homed = activeAxis(console);
        homed.pendingStep = clampToCounts(-static_cast<double>(homed.internalPosition));
        moveActiveAxis(console);
    }
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
