#include "beam/BeamDisplay.h"

#include <cmath>
#include <fstream>

#include "beam/BeamFiles.h"
#include "core/Console.h"
#include "core/Failure.h"
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
    fields.energyMeV = formatBeamValue(beam.deviceEnergyMeV);
    fields.energyPerNucleon = beam.ionA == 0 ? "Infinite!" : formatBeamValue(beam.deviceEnergyMeV / beam.ionA);
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
