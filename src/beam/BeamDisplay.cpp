#include "beam/BeamDisplay.h"

#include <cmath>
#include <fstream>

#include "beam/BeamComputation.h"
#include "beam/BeamFiles.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/Motion.h"
#include "core/FileNames.h"
#include "core/Settings.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

void showStartupDegrader(ConsoleCore& console) {
    ConsoleState& state = console.state;
    DegraderThickness d = computeDegraderThickness(axisValue(state.axes[kAxisS]), axisValue(state.axes[kAxisR]), 10,
                                                   state.options.foilTolerance, kStartupSaturationUm);
    state.beam.foilThicknessUm = d.foilUm;
    state.beam.degraderEffectiveUm = d.effectiveUm;
    console.fields.degrader = cformat("%.3f", d.effectiveUm / kUmPerMil);
}

void showStoredBeam(ConsoleCore& console) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    DialogFields& fields = console.fields;

    {
        std::ifstream in = openInputOrStop(console, kBeamNameDat);
        beam.beamName = normalizeFileName(state, readFirstLine(in));
        fields.beam = beam.beamName;
    }
    {
        std::ifstream in = openInputOrStop(console, kBeamIonDat);
        parseBeamIon(in, beam);
    }
    {
        std::ifstream in = openInputOrStop(console, kBeamResultsDat);
        parseBeamResults(in, beam);
    }
    // The energies in the formats a recomputation shows them in.
    fields.energyMeV = totalEnergyText(beam.deviceEnergyMeV);
    fields.energyPerNucleon = beam.ionA == 0 ? "Infinite!" : perNucleonText(beam.deviceEnergyMeV / beam.ionA);
    fields.nominalLet = formatBeamValue(beam.nominalLet);
    fields.nominalRange = cformat("%.1f", beam.nominalRangeUm);
    refreshEffectiveLetDisplay(console);

    int lineCount = 0;
    {
        std::ifstream in = openInputOrStop(console, kLayerSummaryFile);
        fields.targetSubstrate = substrateDescription(normalizeFileName(state, readFirstLine(in)));
        in.clear();
        in.seekg(0);
        lineCount = summaryLineCount(in);
    }
    {
        const std::optional<std::string> line = readLayerFileNameLine();
        if (!line) stopOnOpenError(console, kLayerFileNameFile);
        std::string name = normalizeFileName(state, *line);
        // The name without its four-character extension.
        int keep = state.lastNameIndex - 3;
        std::string shown = keep > 0 ? name.substr(0, static_cast<std::size_t>(keep)) : "";
        fields.layers = cformat("%d (%s)", lineCount, shown.c_str());
    }
}

void refreshEffectiveLetDisplay(ConsoleCore& console) {
    DialogFields& fields = console.fields;
    const BeamState& beam = console.state.beam;
    fields.effectiveLet = fields.nominalLet;
    fields.effectiveRange = fields.nominalRange;
    const double t = axisValue(console.state.axes[kAxisT]);
    if (tiltCosine(t) != 1) {
        const EffectiveValues effective = effectiveValues(beam.nominalLet, beam.nominalRangeUm, t);
        fields.effectiveLet = effectiveLetText(effective.let);
        fields.effectiveRange = effectiveRangeText(effective.rangeUm);
    }
    // Shown at once, also when T returns to 0.
    console.messages.fieldChanged(ControlId::EffectiveLet, fields.effectiveLet);
    console.messages.fieldChanged(ControlId::EffectiveRange, fields.effectiveRange);
}

std::string beamStaleReason(const std::string& moving, const std::string& changed) {
    // "S", "R and S", "T, R and S"
    const auto named = [](const std::string& letters) {
        std::string text;
        for (std::size_t i = 0; i < letters.size(); ++i) {
            if (i > 0) text += i + 1 == letters.size() ? " and " : ", ";
            text += letters[i];
        }
        return text;
    };
    if (!moving.empty()) {
        return named(moving) + (moving.size() == 1 ? " is" : " are") +
               " moving: these values are those of the setting before the move; they are recomputed once T, R and "
               "S stand.";
    }
    if (!changed.empty()) {
        return named(changed) + (changed.size() == 1 ? " stands" : " stand") +
               " elsewhere than the beam was computed for: these values are not those of the present setting.";
    }
    return "";
}

std::string peakAndRangeWarning(bool pastPeak, bool tooShort, double minimumRangeUm) {
    const std::string minimum = cformat("the effective range is under the minimum range of %g \u00b5m", minimumRangeUm);
    if (pastPeak && tooShort) return "Warning: the beam reaches the substrate past its Bragg peak, and " + minimum + ".";
    if (pastPeak) return "Warning: the beam reaches the substrate past its Bragg peak.";
    if (tooShort) return "Warning: " + minimum + ".";
    return "";
}

std::string settingWarningText(const BeamResult& result, double minimumRangeUm) {
    switch (result.outcome) {
        case BeamOutcome::Stopped:
            return "Warning: the beam is fully stopped in " + result.stoppedIn + " before the substrate.";
        case BeamOutcome::NoStoppingSource:
        case BeamOutcome::TiltUnsolvable:
        case BeamOutcome::LayersIncomplete: return "";
        case BeamOutcome::Substrate: break;
    }
    // NaN, the station without a minimum range, is under nothing.
    return peakAndRangeWarning(result.pastPeak(), result.effectiveRangeUm < minimumRangeUm, minimumRangeUm);
}

void noteBeamComputedHere(ConsoleCore& console) {
    ConsoleState& state = console.state;
    state.beam.computedFor = {state.axes[kAxisT].internalPosition, state.axes[kAxisR].internalPosition,
                              state.axes[kAxisS].internalPosition};
    state.beam.computedForKnown = true;
}

void showBeamFieldsState(Console& console) {
    const ConsoleState& state = console.state;
    std::string moving;
    std::string changed;
    const int beamAxes[] = {kAxisT, kAxisR, kAxisS};
    for (std::size_t i = 0; i < 3; ++i) {
        const int axis = beamAxes[i];
        const char letter = state.axes[axis].letter;
        if (axisMoving(console, axis)) moving += letter;
        if (!state.beam.computedForKnown || state.beam.computedFor[i] != state.axes[axis].internalPosition) {
            changed += letter;
        }
    }
    BeamFieldsShown shown{beamStaleReason(moving, changed), state.beam.settingWarning};
    if (shown == console.state.shownBeamFields) return;
    console.state.shownBeamFields = shown;
    console.ui.showBeamFields(shown);
}
