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

// The station's minimum effective range in µm, NaN when it has none; a file
// without a number is reported once.
double minimumRangeOf(Console& console) {
    return readMinimumRange([&console](const std::string& text) {
        if (console.state.beam.minimumRangeReported) return;
        console.state.beam.minimumRangeReported = true;
        warn(console, text);
    });
}

// What the recomputation will show once R and S stand at the target counts
// of `setting`, as lines for Go's question.
std::string predictGo(Console& console, const DegraderSetting& setting, const StoppingOptions& options, bool& warned) {
    const ConsoleState& state = console.state;
    const BeamGeometry geometry{axisValueAt(state.axes[kAxisS], setting.sCounts),
                                axisValueAt(state.axes[kAxisR], setting.rCounts), axisValue(state.axes[kAxisT]),
                                state.foilCount, state.options.foilTolerance};
    bool missing = false;
    std::string refusal;
    const DeviceLayers layers = readDeviceLayers(missing, refusal);
    const BeamComputation predicted =
        computeBeam(state.stopping, options, BeamIon{state.beam.ionZ, state.beam.ionA, state.beam.beamEnergyMeV},
                    geometry, layers, false);
    return predictionText(predicted, minimumRangeOf(console), warned);
}

}  // namespace

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
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    Ui& ui = console.ui;

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
    for (const auto& [index, name] :
         {std::pair{kAxisS, "Degrader selection (S)"}, std::pair{kAxisR, "Degrader rotation (R)"}}) {
        if (state.axes[index].locked == 0) continue;
        warn(console, std::string(name) + " is locked - operation aborted.");
        return;
    }
    const std::optional<double> wish = bragg ? std::optional<double>(beam.braggEnergyMeV) : numberEntry(fields.goal);
    if (!wish) {
        warn(console, notANumberText(fields.goal));
        clearStatusAndGoal(console);
        return;
    }
    setStatusText(console, "Calculations in progress - please wait.");
    const std::string missingCoefficients = loadStoppingCoefficients(state.stopping);
    if (!missingCoefficients.empty()) {
        warn(console, missingCoefficientsText(missingCoefficients));
        clearStatusAndGoal(console);
        return;
    }
    const double t = axisValue(state.axes[kAxisT]);
    const GoalKind kind = bragg         ? GoalKind::Bragg
                          : choice == 0 ? GoalKind::Let
                          : choice == 1 ? GoalKind::MeV
                                        : GoalKind::MeVPerNucleon;
    const double wanted = *wish;
    const BeamIon ion{beam.ionZ, beam.ionA, beam.beamEnergyMeV};

    // Back out through the device, substrate first, and the aluminium.
    const std::optional<std::string> layerFileLine = readLayerFileNameLine();
    if (!layerFileLine) stopOnOpenError(console, kLayerFileNameFile);
    const std::string layerFile = normalizeFileName(state, state.usersFolder + *layerFileLine);
    std::vector<LayerRecord> reversed;
    std::string refusal;
    if (!readLayerFile(layerFile, reversed, refusal)) stopOnOpenError(console, layerFile);
    if (!refusal.empty()) {
        warn(console, refusal);
        clearStatusAndGoal(console);
        return;
    }
    const DegraderSearch search =
        searchDegrader(state.stopping, StoppingOptions{}, ion, t, kind, wanted, reversed, state.foilCount);
    StoppingOptions quiet;
    quiet.traceFileName = "";
    // What the beam can give, for a wanted value beyond it.
    auto reach = [&]() {
        bool missing = false;
        std::string problem;
        const DeviceLayers layers = readDeviceLayers(missing, problem);
        const std::string line = reachText(
            reachOfBeam(state.stopping, quiet, ion, t, kind, layers, state.foilCount), kind, wanted, t);
        return line.empty() ? line : "\n\n" + line;
    };
    // No foil fits, or the wanted value lies beyond the beam.
    bool unreachable = false;
    const std::string failure = searchFailureText(search, t, unreachable);
    if (!failure.empty()) {
        const Icon icon = search.outcome == SearchOutcome::EngineFailure ? Icon::Stop : Icon::Warning;
        ui.messageBox(failure + (unreachable ? reach() : ""), icon, Buttons::Ok, Button::Ok);
        clearStatusAndGoal(console);
        return;
    }
    const DegraderSetting setting = selectDegraderSetting(console, search.requiredMgCm2);

    // Offer the move, with what the setting the axes will really
    // reach (the target counts) gives at the substrate.
    bool warned = false;
    const std::string prediction = predictGo(console, setting, quiet, warned);
    // The question names the setting the target counts stand for.
    const std::string reached = goSettingText(axisValueAt(state.axes[kAxisS], setting.sCounts),
                                              axisValueAt(state.axes[kAxisR], setting.rCounts));
    Button answer = ui.messageBox("Required degrader coordinates " + reached +
                                      " have been determined - do you want to set them?\n\n" + prediction,
                                  Icon::Information, Buttons::YesNo, warned ? Button::No : Button::Yes);
    if (answer == Button::Yes) {
        int remembered = state.activeAxis;
        moveTo(console, kAxisR, setting.rCounts);
        moveTo(console, kAxisS, setting.sCounts);
        console.fields.goal.clear();
        state.activeAxis = remembered;
    }
    if (state.activeAxis == -1) disableAllAxisControls(console);
    console.fields.status.clear();
    showDialogFields(console);
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
