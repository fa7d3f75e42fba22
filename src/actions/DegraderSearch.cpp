#include "actions/DegraderSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "actions/AfterMotion.h"
#include "axes/ActiveAxis.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamComputation.h"
#include "beam/BeamFiles.h"
#include "beam/GoProposal.h"
#include "beam/LayerRecord.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/Traversal.h"
#include "positions/Preview.h"
#include "util/NumberFormat.h"

namespace {

void clearStatusAndGoal(Console& console) {
    setStatusText(console, "");
    console.fields.goal.clear();
    console.ui.setText(ControlId::SetGoal, "");
}

void warn(Console& console, const std::string& text) {
    console.ui.messageBox(text, Icon::Warning, Buttons::Ok, Button::Ok);
}

// Moves axis `index` to `counts` with moveActiveAxis, the axis made active and
// shown first.
void moveTo(Console& console, int index, int32_t counts) {
    console.state.activeAxis = index;
    showDialogFields(console);
    Axis& axis = console.state.axes[index];
    axis.pendingStep = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(counts) - axis.internalPosition, INT32_MIN, INT32_MAX));
    moveActiveAxis(console);
}

// At `counts` or on its way there.
bool headingFor(const ConsoleState& state, int axis, int32_t counts) {
    const AxisMotion& motion = state.motion.model.axes[static_cast<std::size_t>(axis)];
    return state.axes[axis].internalPosition == counts ||
           (motion.phase == AxisPhase::MovingToTarget && motion.target == counts);
}

}  // namespace

double minimumRangeOf(Console& console) {
    return readMinimumRange([&console](const std::string& text) {
        if (console.state.beam.minimumRangeReported) return;
        console.state.beam.minimumRangeReported = true;
        warn(console, text);
    });
}

DegraderSetting selectDegraderSetting(const Console& console, double x) {
    DegraderSetting setting;
    const FoilChoice choice = chooseFoil(x, console.state.foilCount);
    setting.result = choice.result;
    if (choice.result != 0) return setting;
    setting.s = choice.foil;
    setting.rDegrees = choice.rDegrees;
    setting.sCounts = internalPositionFor(console.state.axes[kAxisS], setting.s);
    setting.rCounts = internalPositionFor(console.state.axes[kAxisR], setting.rDegrees);
    return setting;
}

void onGo(Console& console) {

    // Wanted value, goal and match. The entries are read before All
    // Halt, whose recomputation rewrites every field.
    takeDialogEntries(console);
    allHalt(console);
    runMotionEffects(console);  // the beam as the axes stand
    DialogFields& fields = console.fields;
    int choice = fields.unitChoice;
    bool bragg = fields.bragg != 0;
    if (!bragg && (choice < 0 || choice > 2)) return;
    // Go moves S and R: neither may be locked.
    if (!degraderAxesFree(console, false)) return;
    // The wish: a number (proposeGo refuses 0 and below).
    const std::optional<double> wish = bragg ? std::optional<double>(0.0) : numberEntry(fields.goal);
    if (!wish || (!bragg && fields.goal.find_first_not_of(" \t") == std::string::npos)) {
        warn(console, wish ? std::string("The Set box is empty - request ignored.") : notANumberText(fields.goal));
        clearStatusAndGoal(console);
        return;
    }
    const GoalKind kind = bragg         ? GoalKind::Bragg
                          : choice == 0 ? GoalKind::Let
                          : choice == 1 ? GoalKind::MeV
                                        : GoalKind::MeVPerNucleon;
    askAndGo(console, kind, *wish, minimumRangeOf(console), nullptr);
}

bool degraderAxesFree(Console& console, bool withTilt) {
    for (const auto& [index, name] : {std::pair{kAxisS, "Degrader selection (S)"},
                                      std::pair{kAxisR, "Degrader rotation (R)"}, std::pair{kAxisT, "Tilt (T)"}}) {
        if (console.state.axes[index].locked == 0 || (index == kAxisT && !withTilt)) continue;
        warn(console, std::string(name) + " is locked - operation aborted.");
        return false;
    }
    return true;
}

bool askAndGo(Console& console, GoalKind kind, double wish, double minimumRangeUm, const TestPlanStep* step) {
    ConsoleState& state = console.state;
    Ui& ui = console.ui;
    setStatusText(console, "Calculations in progress - please wait.");
    const CoefficientLoad coefficients = loadStoppingCoefficients(state.stopping);
    if (!coefficients.ok()) {
        warn(console, coefficientLoadText(coefficients));
        clearStatusAndGoal(console);
        return false;
    }

    // The device: its layer file (substrate first) and the layers in beam order.
    GoLayers layers;
    const std::optional<std::string> layerFileLine = readLayerFileNameLine();
    if (!layerFileLine) stopOnOpenError(console, kLayerFileNameFile);
    const std::string layerFile = normalizeFileName(state, state.usersFolder + *layerFileLine);
    std::string refusal;
    if (!readLayerFile(layerFile, layers.layerFile, refusal)) stopOnOpenError(console, layerFile);
    if (!refusal.empty()) {
        warn(console, refusal);
        clearStatusAndGoal(console);
        return false;
    }
    bool missing = false;
    std::string problem;
    layers.beamOrder = readDeviceLayers(missing, problem);

    const GoProposal proposal =
        step != nullptr && step->hasSetting
            ? proposeSetting(state, layers, step->name, step->s, step->r, step->t, kind, wish, minimumRangeUm)
            : proposeGo(state, layers, kind, wish, minimumRangeUm);
    if (!proposal.failure.empty()) {
        ui.messageBox(step != nullptr ? "Step " + step->name + ": " + proposal.failure : proposal.failure,
                      proposal.failureIcon, Buttons::Ok, Button::Ok);
        clearStatusAndGoal(console);
        return false;
    }
    // The move goes to the counts the question was worked out for, whatever
    // changes while it is open.
    // A question that carries a warning shows the warning icon.
    const Button answer = ui.messageBox(proposal.question(), proposal.warned ? Icon::Warning : Icon::Information,
                                        Buttons::YesNo, proposal.defaultButton());
    bool taken = answer == Button::Yes;
    if (answer == Button::Yes) {
        int remembered = state.activeAxis;
        moveTo(console, kAxisR, proposal.rCounts);
        moveTo(console, kAxisS, proposal.sCounts);
        if (proposal.withTilt) moveTo(console, kAxisT, proposal.tCounts);
        // A move refused (a soft limit, the controller lost) was said; the
        // setting is not reached.
        taken = headingFor(state, kAxisR, proposal.rCounts) && headingFor(state, kAxisS, proposal.sCounts) &&
                (!proposal.withTilt || headingFor(state, kAxisT, proposal.tCounts));
        console.fields.goal.clear();
        state.activeAxis = remembered;
    }
    if (state.activeAxis == -1) disableAllAxisControls(console);
    console.fields.status.clear();
    showDialogFields(console);
    return taken;
}

void onBragg(Console& console) {
    takeDialogEntries(console);
    allHalt(console);
    runMotionEffects(console);
    console.ui.setFocus(ControlId::Keyboard);
    DialogFields& fields = console.fields;
    if (fields.bragg != 0) {
        fields.goal = "BRAGG";
        console.ui.setEnabled(ControlId::SetGoal, false);
    } else {
        fields.goal.clear();
    }
    fields.unitChoice = -1;
    showDialogFields(console);
}

void onUnitChoice(Console& console) {
    takeDialogEntries(console);
    allHalt(console);
    runMotionEffects(console);
    console.fields.goal.clear();
    console.fields.bragg = 0;
    console.ui.setEnabled(ControlId::SetGoal, true);
    console.ui.setFocus(ControlId::SetGoal);
    showDialogFields(console);
}

void onSummary(Console& console) {
    console.ui.setFocus(ControlId::Keyboard);
    showTextCopy(console, kLayerSummaryFile);
}
