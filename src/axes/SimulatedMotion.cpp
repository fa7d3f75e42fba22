#include "axes/SimulatedMotion.h"

#include "axes/AxisFiles.h"
#include "core/Console.h"
#include "core/Motion.h"

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
    showAxesMotion(console);
    refreshAfterMotion(console);
}

void allHalt(Console& console, std::chrono::milliseconds stopWait) {
    console.ui.setFocus(ControlId::Keyboard);
    stopAllAxes(console, stopWait);
}
