#include "axes/ActiveAxis.h"

#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "core/AxisTable.h"
#include "core/Console.h"
#include "core/Motion.h"

const std::array<ControlId, 11> kAxisOperationControls = {
    ControlId::NewAxisValue, ControlId::Home,     ControlId::NudgePlus, ControlId::NudgeMinus,
    ControlId::DrivePlus,    ControlId::DriveMinus, ControlId::Halt,    ControlId::SetValue,
    ControlId::Increment,    ControlId::Keyboard, ControlId::FinestStep,
};

namespace {

// Enables the operation controls; in-air, V has no home position.
void enableOperations(Console& console, int index) {
    for (ControlId id : kAxisOperationControls) console.ui.setEnabled(id, true);
    if (index == kAxisV && !console.state.inVacuumChamber()) console.ui.setEnabled(ControlId::Home, false);
}

}  // namespace

void disableAllAxisControls(Console& console) {
    for (ControlId id : kAxisOperationControls) console.ui.setEnabled(id, false);
    for (const AxisControls& row : kAxisControls) console.ui.setEnabled(row.locked, false);
}

void onSelectAxis(Console& console, int index) {
    if (index < 0 || index >= kAxisCount) return;
    disableAllAxisControls(console);
    console.ui.setEnabled(kAxisControls[static_cast<std::size_t>(index)].locked, true);
    console.state.activeAxis = index;
    console.fields.activeAxis = index;
    if (console.state.axes[index].locked == 0) enableOperations(console, index);
    console.ui.showNudgeStep(nudgeStepText(console));
    console.ui.setFocus(ControlId::Keyboard);
}

void onLockToggle(Console& console, int index) {
    if (index < 0 || index >= kAxisCount) return;
    Axis& axis = console.state.axes[index];
    axis.locked = axis.locked != 0 ? 0 : 1;
    console.fields.locked[static_cast<std::size_t>(index)] = axis.locked;
    if (axis.locked != 0) {
        onHalt(console);
        for (ControlId id : kAxisOperationControls) console.ui.setEnabled(id, false);
    } else {
        enableOperations(console, index);
    }
}

void onFinestStep(Console& console) {
    ConsoleState& state = console.state;
    state.finestStep = !state.finestStep;
    console.fields.finestStep = state.finestStep ? 1 : 0;
    console.ui.setChecked(ControlId::FinestStep, state.finestStep);
    console.ui.showNudgeStep(nudgeStepText(console));
    console.ui.messageBox(state.finestStep ? "Nudge steps are now set to the smallest hardware-supported values."
                                           : "Nudge steps are now set to the values defined in the Change Setup table.",
                          Icon::Information, Buttons::Ok, Button::Ok);
}

void onKeyboardKey(Console& console, char key) {
    switch (key) {
        case '+': onNudge(console, +1); break;
        case '-': onNudge(console, -1); break;
        case '8':
        case '6': onDrive(console, +1); break;
        case '4':
        case '2': onDrive(console, -1); break;
        case ' ': allHalt(console); break;
        default: break;
    }
}
