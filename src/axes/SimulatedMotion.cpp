#include "axes/SimulatedMotion.h"

#include "axes/AxisFiles.h"
#include "axes/HardwareMotion.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
void onMotionTimer(Console& console) {
    ConsoleState& state = console.state;
    state.motionInProgress = true;
    for (Axis& axis : state.axes.axes) {
        // Only driven axes move: a nudge waiting behind an open question is
        // not repeated by the ticks.
        int32_t step = axis.pendingStep;
        if (!axis.driving || step == 0) continue;
        int64_t target = static_cast<int64_t>(axis.internalPosition) + step;
        if (beyondLimit(axis, target, step)) {
            axis.pendingStep = 0;
            axis.driving = false;
        } else {
            axis.internalPosition = static_cast<int32_t>(target);
        }
    }
    refreshAfterMotion(console);
}

void allHalt(Console& console, std::chrono::milliseconds stopWait) {
    console.ui.setFocus(ControlId::Keyboard);
    ConsoleState& state = console.state;
    if (!state.simulation()) {
        stopAllAxes(console, stopWait);
        return;
    }
    console.ui.stopTimer(kMotionTimer);
    state.motionInProgress = false;
    refreshAfterMotion(console);
    recomputeBeamIfChanged(console);
    refreshEffectiveLetDisplay(console);
    for (Axis& axis : state.axes.axes) {
        axis.pendingStep = 0;
        axis.driving = false;
    }
}
