#include "actions/Parallax.h"

#include <cmath>

#include "axes/Moves.h"
#include "beam/Degrader.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "core/LogFile.h"
#include "core/Settings.h"

namespace {

// Moves axis `index` to `value` as Set Value does, with the axis made active
// and the fields shown.
void moveSlit(Console& console, int index, double value) {
    console.state.activeAxis = index;
    showDialogFields(console);
    moveActiveAxisTo(console, value);
}

void parallax(Console& console, bool check) {
    readCyclotronInUse(console);
    ConsoleState& state = console.state;
    ControlId disable = check ? ControlId::CheckParallax : ControlId::UndoParallax;
    ControlId enable = check ? ControlId::UndoParallax : ControlId::CheckParallax;
    if (state.cyclotronCode == kCyclotronBelm) {
        sendCommand(console, check ? "BH13;" : "BL13;");
        setStatusText(console, check ? "Cross-hair laser got turned on." : "Cross-hair laser got turned off.");
        console.ui.setEnabled(disable, false);
        console.ui.setEnabled(enable, true);
        return;
    }
    if (state.axes[kAxisU].locked != 0) {
        warnOperator(console, "Horizontal slits (U) are locked - operation aborted.");
        return;
    }
    if (state.axes[kAxisV].locked != 0) {
        warnOperator(console, "Vertical slits (V) are locked - operation aborted.");
        return;
    }
    console.ui.setFocus(ControlId::Keyboard);
    console.ui.setEnabled(disable, false);
    console.ui.setEnabled(enable, true);

    double c = 15.0 * std::fabs(std::cos(state.axes[kAxisT].value * kPi / 180));
    if (c == 0) return;
    double f = 1.9 - state.axes[kAxisZ].value / c;
    int remembered = state.activeAxis;
    double u = state.axes[kAxisU].value;
    moveSlit(console, kAxisU, check ? f * u : u / f);
    double v = state.axes[kAxisV].value;
    moveSlit(console, kAxisV, check ? f * v : v / f);
    state.activeAxis = remembered;
    showDialogFields(console);
}

}  // namespace

void onCheckParallax(Console& console) {
    parallax(console, true);
}

void onUndoParallax(Console& console) {
    parallax(console, false);
}
