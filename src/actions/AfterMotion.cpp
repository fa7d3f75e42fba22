#include "actions/AfterMotion.h"

#include "axes/AxisFiles.h"
#include "axes/Moves.h"
#include "beam/BeamDisplay.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/LogFile.h"
#include "core/Motion.h"
#include "switches/Switches.h"
#include "util/NumberFormat.h"

namespace {

std::size_t at(int axis) {
    return static_cast<std::size_t>(axis);
}

// The beam is recomputed once T, R and S all stand; in simulation after
// every move of one of them, in real motion when they stand at a new setting.
void recomputeAtRest(Console& console) {
    ConsoleState& state = console.state;
    MotionWatch& watch = state.motion;
    bool moved = !watch.beamPositionKnown;
    for (int i : {kAxisT, kAxisR, kAxisS}) {
        if (axisMoving(console, i)) return;
        moved = moved || watch.beamPosition[at(i)] != state.axes[i].internalPosition;
    }
    if (!moved && !state.simulation()) return;
    const bool first = !watch.beamPositionKnown;
    for (int i : {kAxisT, kAxisR, kAxisS}) watch.beamPosition[at(i)] = state.axes[i].internalPosition;
    watch.beamPositionKnown = true;
    // The first read-back tells where the axes really stand: a beam committed
    // for another setting is recomputed and said.
    if (first && !state.simulation() &&
        recomputeIfBeamGeometryChanged(console, "at the first read-back", "the controller reads")) {
        return;
    }
    recomputeBeam(console);
    refreshEffectiveLetDisplay(console);
}

std::string limitSwitchStopText(const Axis& axis, int side) {
    return std::string("Axis ") + axis.letter + " stopped at its " + (side > 0 ? "high" : "low") + " limit switch.";
}

void runOne(Console& console, const MotionEffect& effect, bool& rested, bool& beamAxisRested) {
    ConsoleState& state = console.state;
    switch (effect.kind) {
        case MotionEffect::CameToRest:
            rested = true;
            beamAxisRested = beamAxisRested || effect.axis < 0 || effect.axis == kAxisT || effect.axis == kAxisR ||
                             effect.axis == kAxisS;
            break;
        case MotionEffect::HomeSecondStep: break;  // after the status file, below
        case MotionEffect::LimitSwitch: {
            const Axis& axis = state.axes[effect.axis];
            const std::string text = limitSwitchStopText(axis, effect.value);
            writeLogEntry(console, text);
            warnOperator(console, text + cformat(" It stands at %.3f %s; moves further towards that switch are "
                                                 "refused until the axis is moved off it.",
                                                 axisValue(axis), axis.unit.c_str()));
            break;
        }
        case MotionEffect::ShortOfTarget: {
            const Axis& axis = state.axes[effect.axis];
            warnOperator(console, cformat("Axis %c came to rest at %.3f %s, short of its target %.3f %s.", axis.letter,
                                          axisValue(axis), axis.unit.c_str(), axisValueAt(axis, effect.value),
                                          axis.unit.c_str()));
            break;
        }
        case MotionEffect::LostWhileMoving:
            warnOperator(console,
                         "The connection to the controller was lost while an axis was moving. The console keeps trying "
                         "to reconnect and stops every axis as soon as the controller answers again.");
            break;
        case MotionEffect::ShutterDisagrees:
            warnOperator(console, std::string("Shutter ") + (effect.value == kShutterS1 ? "S1" : "S2") +
                                      " does not follow its command: its read-back input disagrees with the output "
                                      "set by the console. Close stays possible; please check the shutter.");
            break;
        case MotionEffect::ShuttersChanged: showShutterStates(console); break;
        case MotionEffect::Halted:
            // A simulated Halt shows its result and the beam at once; All
            // Halt recomputes only what changed.
            refreshAfterMotion(console);
            if (effect.value == 1) {
                recomputeBeam(console);
            } else {
                recomputeBeamIfChanged(console);
            }
            refreshEffectiveLetDisplay(console);
            break;
    }
}

}  // namespace

void runMotionEffects(Console& console) {
    MotionWatch& watch = console.state.motion;
    if (watch.runningEffects) return;
    watch.runningEffects = true;
    while (!watch.effects.empty()) {
        std::vector<MotionEffect> batch;
        batch.swap(watch.effects);
        bool rested = false;
        bool beamAxisRested = false;
        for (const MotionEffect& effect : batch) runOne(console, effect, rested, beamAxisRested);
        if (rested) refreshAfterMotion(console);
        if (beamAxisRested) recomputeAtRest(console);
        if (rested) writeStatusFile(console);
        for (const MotionEffect& effect : batch) {
            if (effect.kind == MotionEffect::HomeSecondStep) homeSecondStep(console, effect.axis);
        }
    }
    watch.runningEffects = false;
}
