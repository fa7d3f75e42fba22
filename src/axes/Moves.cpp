#include "axes/Moves.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "axes/AxisFiles.h"
#include "axes/MotionDriver.h"
#include "axes/SimulatedMotion.h"
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

// Box 1088 as a number; the box is emptied and shown. An empty box is 0;
// a text that is not a number is refused with a warning (nullopt).
std::optional<double> takeNewAxisValue(Console& console) {
    const std::string text = console.fields.newAxisValue;
    console.fields.newAxisValue.clear();
    console.ui.setText(ControlId::NewAxisValue, "");
    const std::optional<double> value = numberEntry(text);
    if (!value) warnOperator(console, notANumberText(text));
    return value;
}

// Moves `index` to `target` on the operator's behalf: refused with its
// message before anything changes, else the camera goes on, "Current" is
// shown and the move goes out.
void moveAxis(Console& console, int index, int32_t target, bool homeBackOff = false) {
    const MotionEvent event = moveEvent(index, target, homeBackOff);
    std::string refusal = motionRefusal(console, event);
    if (refusal.empty()) {
        switchOn(console, Device::Camera);
        showCurrent(console);
        // The camera's question may have let the axes move: the model decides again.
        refusal = motionRequest(console, event);
    }
    if (!refusal.empty()) warnOperator(console, refusal);
}

int32_t targetOf(const Axis& axis, int32_t step) {
    return clampToCounts(static_cast<double>(axis.internalPosition) + step);
}

}  // namespace

std::optional<double> numberEntry(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return leadingNumber(text);  // an empty box: 0, as always
    const std::size_t last = text.find_last_not_of(" \t");
    double value = 0;
    if (!parseReal(text.substr(first, last - first + 1), value) || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string notANumberText(const std::string& text) {
    std::string shown;
    for (char c : text.substr(0, 40)) shown += static_cast<unsigned char>(c) < 32 ? '?' : c;
    return "\"" + shown + "\" is not a number - request ignored.";
}

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
    Axis& axis = activeAxis(console);
    const int32_t step = axis.pendingStep;
    axis.pendingStep = 0;
    moveAxis(console, console.state.activeAxis, targetOf(axis, step));
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
    const int index = console.state.activeAxis;
    Axis& axis = activeAxis(console);
    const MotionEvent event = jogEvent(index, plusDirectionStep(axis, direction * axis.jogVelocity));
    std::string refusal = motionRefusal(console, event);
    const AxisMotion& motion = console.state.motion.model.axes[static_cast<std::size_t>(index)];
    // A repeat of the drive already running (a held key) changes nothing.
    if (refusal.empty() && motion.phase == AxisPhase::Jogging && motion.jogVelocity == event.counts) return;
    if (refusal.empty()) {
        switchOn(console, Device::Camera);
        showCurrent(console);
        // The simulated drive moves by a nudge step a tick.
        axis.pendingStep = plusDirectionStep(axis, direction * axis.nudgeStep);
        refusal = motionRequest(console, event);
    }
    if (!refusal.empty()) {
        if (!axis.driving) axis.pendingStep = 0;
        warnOperator(console, refusal);
    }
}

void onHalt(Console& console) {
    console.ui.setFocus(ControlId::Keyboard);
    // A simulated stop is done at once, and the beam follows after the
    // event; a real one is done when the read-back shows the axis at rest.
    stopAxis(console, activeAxisValid(console) ? console.state.activeAxis : -1);
    refreshAfterMotion(console);
    writeStatusFile(console);
}

void onHome(Console& console) {
    takeDialogEntries(console);
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);  // reports the missing axis
        return;
    }
    console.ui.setFocus(ControlId::Keyboard);
    const int index = console.state.activeAxis;
    Axis& axis = activeAxis(console);
    const int32_t backOff = plusDirectionStep(axis, axis.nudgeStep / 2);
    // A back-off step that a limit forbids is left out without a word.
    if (backOff != 0 && !beyondLimit(axis, static_cast<int64_t>(axis.internalPosition) + backOff, backOff)) {
        moveAxis(console, index, targetOf(axis, backOff), true);
    } else {
        moveAxis(console, index, 0);
    }
}

void homeSecondStep(Console& console, int index) {
    moveAxis(console, index, 0);
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
    const std::optional<double> value = takeNewAxisValue(console);
    if (!value) return;
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);
        return;
    }
    moveActiveAxisTo(console, *value);
}

void onIncrement(Console& console) {
    takeDialogEntries(console);
    console.ui.setFocus(ControlId::Keyboard);
    const std::optional<double> increment = takeNewAxisValue(console);
    if (!increment) return;
    if (!activeAxisValid(console)) {
        moveActiveAxis(console);
        return;
    }
    Axis& axis = activeAxis(console);
    axis.pendingStep = clampToCounts(std::trunc(axis.scale * *increment));
    moveActiveAxis(console);
}
