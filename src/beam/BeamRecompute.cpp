#include "beam/BeamRecompute.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "beam/BeamComputation.h"
#include "beam/BeamFiles.h"
#include "beam/CommittedGeometry.h"
#include "beam/LayerRecord.h"
#include "beam/RangeTable.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "core/Settings.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StandardTargets.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// The flag only marks the range table; without the file the program ends.
int readLegacyFlag(ConsoleCore& console) {
    const std::optional<int32_t> flag = readCalculationModeFlag();
    if (!flag) {
        stopProgram(console,
                    "Error opening file DoLegacyCalculations.dat - please fix the problem and restart the program",
                    false);
    }
    return *flag;
}

// Shows a refusal of the station's files and ends the recomputation without
// committing anything.
void refuse(ConsoleCore& console, const std::string& text) {
    console.messages.report(text + "\nThe beam was not recomputed.", Icon::Warning);
}

// Copies the first line of `tmp` as the whole content of `dat`.
void commitFile(ConsoleCore& console, const char* tmp, const char* dat, bool tmpFailureEndsDialog,
                const char* datWarning, bool datFailureEndsDialog) {
    std::ifstream in = openInputOrStop(console, tmp, tmpFailureEndsDialog);
    std::string line = readFirstLine(in);
    if (!replaceFileContent(dat, line + "\n")) {
        console.messages.report(std::string("Error opening file ") + dat + ".", Icon::Stop);
        console.messages.report(datWarning, Icon::Warning);
        failureExit(console, 1, std::string("Error opening file ") + dat + ".", datFailureEndsDialog);
    }
}

void commitBeamFiles(ConsoleCore& console) {
    const char* incomplete =
        "The beam selection process is incomplete - some beam parameters will be incorrect. Please fix the problem "
        "and restart the program.";
    commitFile(console, kBeamIonTmp, kBeamIonDat, true,
               "The beam selection process failed or remained incomplete - some beam parameters may be incorrect. "
               "Please fix the problem, restart the program, and try again.",
               true);
    commitFile(console, kBeamResultsTmp, kBeamResultsDat, false, incomplete, false);
    commitFile(console, kBeamNameTmp, kBeamNameDat, false, incomplete, false);
}

// Size and modification time of every file a recomputation reads or writes
// (the trace file aside, which Go appends to), with the axis positions: two
// equal stamps mean a new recomputation would compute and write the same.
std::string inputStamp(const ConsoleCore& console, const DeviceLayers& layers) {
    const ConsoleState& state = console.state;
    const BeamState& beam = state.beam;
    std::string stamp = cformat("%d %g;", state.foilCount, state.options.foilTolerance);
    for (const Axis& axis : state.axes.axes) {
        stamp += cformat("%d %.17g %.17g;", static_cast<int>(axis.internalPosition), axis.scale, axis.offset);
    }
    std::vector<std::string> files = {kOptionsFile,      kCalculationModeFile, kBeamIonTmp,    kBeamNameTmp,
                                      kCoefficientFileA, kCoefficientFileB,    kGasCoefficientFile,
                                      kLayersReversedFile, kRangeTableFile,    kBeamResultsTmp, kBeamIonDat,
                                      kBeamResultsDat,   kBeamNameDat};
    files.push_back(spTableFileName(beam.ionZ, beam.ionA, aluminiumDegrader(), 0));
    for (const LayerRecord& record : layers.records) {
        files.push_back(spTableFileName(beam.ionZ, beam.ionA, materialOf(record, 1), icompoundOf(record.name)));
    }
    for (const std::string& name : files) {
        if (name.empty()) continue;
        std::error_code ec;
        const auto size = std::filesystem::file_size(name, ec);
        const auto time = std::filesystem::last_write_time(name, ec);
        stamp += name + (ec ? std::string(" -") : cformat(" %llu %lld", static_cast<unsigned long long>(size),
                                                           static_cast<long long>(time.time_since_epoch().count())));
        stamp += ";";
    }
    return stamp;
}

// The range table in one piece. A table that cannot be opened ends the
// program; one cut short (a full disk) is reported once and the beam is
// committed all the same.
void writeRangeTableFile(ConsoleCore& console, const std::string& table) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openOutputFile(kRangeTableFile), &std::fclose);
    if (!file) stopProgram(console, "Error opening RangeTable.txt - please fix the problem and restart the program.");
    const bool written = std::fwrite(table.data(), 1, table.size(), file.get()) == table.size() &&
                         std::fflush(file.get()) == 0;
    reportWriteResult(console, kRangeTableFile, written);
}

}  // namespace

void resetBeamResults(ConsoleCore& console) {
    BeamState& beam = console.state.beam;
    beam.deviceEnergyMeV = 0;
    beam.nominalLet = 0;
    beam.nominalRangeUm = 0;
    beam.deviceEnergyPerNucleon = 0;
    DialogFields& fields = console.fields;
    for (std::string* text : {&fields.energyPerNucleon, &fields.energyMeV, &fields.nominalLet, &fields.nominalRange,
                              &fields.effectiveLet, &fields.effectiveRange}) {
        *text = std::string("0");
    }
    console.messages.fieldsChanged(fields);
    std::ofstream table;
    if (!openOutput(table, kRangeTableFile)) stopProgram(console, "Error opening RangeTable.txt - please fix the problem and restart the program.");
}

namespace {

// What a recomputation reads: the settings, the parent's latest beam, the
// coefficients, the axes and the device's layers.
struct BeamInputs {
    int legacyFlag = 0;
    BeamIon ion;
    BeamGeometry geometry;
    DeviceLayers layers;
    bool layerFileMissing = false;
    std::string layerRefusal;
    bool messageShown = false;  // a box was shown on the way
};

// Reads the inputs, shows what is wrong with them, and empties the trace.
// Nothing when the recomputation must end without committing anything.
std::optional<BeamInputs> readBeamInputs(ConsoleCore& console) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    DialogFields& fields = console.fields;
    MessageSink& messages = console.messages;
    BeamInputs inputs;

    // Options, calculation mode, the parent's latest beam.
    state.options = readOptions(console);
    inputs.legacyFlag = readLegacyFlag(console);
    BeamState chosen = beam;
    bool ionComplete = false;
    {
        std::ifstream in = openInputOrStop(console, kBeamIonTmp);
        ionComplete = parseBeamIon(in, chosen);
    }
    {
        std::ifstream in = openInputOrStop(console, kBeamNameTmp);
        chosen.beamName = normalizeFileName(state, readFirstLine(in));
    }
    if (const std::string refusal = beamIonRefusal(chosen, ionComplete); !refusal.empty()) {
        refuse(console, refusal);
        return std::nullopt;
    }
    beam = chosen;
    fields.beam = beam.beamName;
    messages.fieldChanged(ControlId::Beam, fields.beam);
    inputs.ion = {beam.ionZ, beam.ionA, beam.beamEnergyMeV};

    // Coefficients and axis values. Without all three coefficient files whole every
    // stopping power would be zero or stale: nothing is computed or committed.
    const CoefficientLoad coefficients = loadStoppingCoefficients(state.stopping);
    if (!coefficients.ok()) {
        refuse(console, coefficientLoadText(coefficients));
        return std::nullopt;
    }
    for (Axis& axis : state.axes.axes) axis.value = axisValue(axis);
    const double s = state.axes[kAxisS].value;
    inputs.geometry = {s, state.axes[kAxisR].value, state.axes[kAxisT].value, state.foilCount,
                       state.options.foilTolerance};

    // Degrader alignment.
    if (s > 0) {
        double n = std::trunc(s + 0.5);
        if (std::fabs(s - n) > state.options.foilTolerance) {
            messages.report("Deviation of coordinate S (selected degrader foil) from the closest integer value is not "
                            "within specified tolerance" +
                                cformat(" (%.3f).", state.options.foilTolerance) +
                                "\n\nIt will be assumed that the degrader is infinitely thick or at least thick "
                                "enough to stop the beam.",
                            Icon::Warning);
            writeLogEntry(console, "Degrader misaligned - acknowleged.");
            inputs.messageShown = true;
        }
    }

    // A fresh trace file.
    if (!state.traceFileName.empty()) {
        std::ofstream trace;
        if (!openOutput(trace, state.traceFileName)) stopOnOpenError(console, state.traceFileName);
    }
    inputs.layers = readDeviceLayers(inputs.layerFileMissing, inputs.layerRefusal);
    return inputs;
}

// Shows and commits `computed`: the range table, the results for the parent
// program, the beam files and the dialog's fields. False when it holds
// nothing to commit.
bool writeBeamResult(ConsoleCore& console, const BeamInputs& inputs, const BeamResult& computed) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    DialogFields& fields = console.fields;
    MessageSink& messages = console.messages;
    bool messageShown = inputs.messageShown;
    auto report = [&](const std::vector<CalculationFailure>& failures) {
        for (const CalculationFailure& failure : failures) {
            reportCalculationError(messages, failure.code, failure.context);
            messageShown = true;
        }
    };
    const double t = inputs.geometry.tDegrees;
    beam.foilThicknessUm = computed.degrader.foilUm;
    beam.degraderEffectiveUm = computed.degrader.effectiveUm;
    beam.degraderExitEnergyMeV = computed.degraderExitEnergyMeV;
    switch (computed.outcome) {
        case BeamOutcome::NoStoppingSource:
            // Results without the stopping data would be wrong: nothing is committed.
            report(computed.failures);
            return false;
        case BeamOutcome::TiltUnsolvable:
            report(computed.failures);
            messages.report(cformat("Solution for the current target tilt angle (%.3f deg) could not be obtained.", t),
                            Icon::Warning);
            return false;
        case BeamOutcome::LayersIncomplete:
            report(computed.failures);
            if (inputs.layerFileMissing) stopOnOpenError(console, kLayersReversedFile);
            refuse(console, inputs.layerRefusal);
            return false;
        case BeamOutcome::Substrate:
        case BeamOutcome::Stopped: break;
    }
    fields.targetSubstrate = computed.substrate;
    report(computed.failures);
    if (computed.outcome == BeamOutcome::Substrate) {
        // At the substrate, then into it.
        beam.deviceEnergyPerNucleon = computed.deviceEnergyPerNucleon;
        fields.energyPerNucleon = perNucleonText(beam.deviceEnergyPerNucleon);
        beam.nominalLet = computed.nominalLet;
        beam.deviceEnergyMeV = computed.deviceEnergyMeV;
        fields.energyMeV = cformat("%.0f", beam.deviceEnergyMeV);
        const std::string header = fields.beam + "   at " + fields.energyPerNucleon + " MeV/amu (" + fields.energyMeV +
                                   " MeV)   in " + computed.substrate + " at " + fields.axisValue[kAxisT] + " " +
                                   fields.axisUnit[kAxisT];
        const std::string table =
            rangeTableText(header, inputs.legacyFlag != 0, t, beam.ionA, computed.rows, computed.peak);
        writeRangeTableFile(console, table);
        beam.nominalRangeUm = computed.nominalRangeUm;
        beam.braggEnergyMeV = computed.braggEnergyMeV;
    } else {
        // Stopped before the substrate.
        messages.report("Beam fully stopped in " + computed.stoppedIn + ".", Icon::Warning);
        messageShown = true;
        resetBeamResults(console);
        beam.braggEnergyMeV = 0;
    }

    // Results for the parent program, between a pending record of the
    // geometry they are for and the record itself.
    markBeamGeometryPending(console);
    if (!replaceFileContent(kBeamResultsTmp, formatBeamResults(beam))) stopOnOpenError(console, kBeamResultsTmp);
    commitBeamFiles(console);
    recordBeamGeometry(console);
    noteBeamComputedHere(console);
    // A malformed minimum-range file is the Go question's to report.
    beam.settingWarning = settingWarningText(computed, readMinimumRange([](const std::string&) {}));

    // Show the results.
    const std::string& substrate = computed.substrate;
    fields.targetSubstrate = substrate;
    messages.fieldChanged(ControlId::TargetSubstrate, substrate);
    fields.axisValue[kAxisR] = cformat("%.3f", inputs.geometry.rDegrees);
    messages.fieldChanged(ControlId::ValueR, fields.axisValue[kAxisR]);
    fields.axisValue[kAxisS] = cformat("%.3f", inputs.geometry.s);
    messages.fieldChanged(ControlId::ValueS, fields.axisValue[kAxisS]);
    fields.energyPerNucleon = perNucleonText(beam.deviceEnergyPerNucleon);
    messages.fieldChanged(ControlId::EnergyPerNucleon, fields.energyPerNucleon);
    fields.nominalLet = formatBeamValue(beam.nominalLet);
    messages.fieldChanged(ControlId::NominalLet, fields.nominalLet);
    fields.nominalRange = cformat("%.1f", beam.nominalRangeUm);
    messages.fieldChanged(ControlId::NominalRange, fields.nominalRange);
    fields.energyMeV = totalEnergyText(beam.deviceEnergyMeV);
    messages.fieldChanged(ControlId::EnergyMeV, fields.energyMeV);
    fields.degrader = cformat("%.3f", beam.degraderEffectiveUm / kUmPerMil);
    messages.fieldChanged(ControlId::Degrader, fields.degrader);
    // A run that showed nothing may be skipped by All Halt while nothing changes.
    if (!messageShown) beam.recomputedInputs = inputStamp(console, inputs.layers);
    return true;
}

}  // namespace

bool recomputeBeam(ConsoleCore& console, BeamResult* result) {
    ConsoleState& state = console.state;
    state.beam.recomputedInputs.clear();
    const std::optional<BeamInputs> inputs = readBeamInputs(console);
    if (!inputs) return false;
    StoppingOptions options = state.engineOptions(true);
    MessageSink& messages = console.messages;
    options.keepResponsive = [&messages] { messages.keepResponsive(); };
    BeamResult computed = computeBeam(state.stopping, options, inputs->ion, inputs->geometry, inputs->layers);
    const bool committed = writeBeamResult(console, *inputs, computed);
    if (result != nullptr) *result = std::move(computed);
    return committed;
}

bool recomputeBeamIfChanged(ConsoleCore& console) {
    const BeamState& beam = console.state.beam;
    if (!beam.recomputedInputs.empty()) {
        bool missing = false;
        std::string refusal;
        const DeviceLayers layers = readDeviceLayers(missing, refusal);
        if (layers.complete && inputStamp(console, layers) == beam.recomputedInputs) return true;
    }
    return recomputeBeam(console);
}

bool recomputeIfBeamGeometryChanged(Console& console, const std::string& occasion, const std::string& source) {
    const std::string change = beamGeometryChange(console.state, source);
    if (change.empty()) return false;
    const bool recomputed = recomputeBeam(console);
    refreshEffectiveLetDisplay(console);
    writeLogEntry(console, std::string(recomputed ? "Beam recomputed" : "Beam recomputation refused") + " " +
                               occasion + ": " + change + ".");
    return true;
}
