#include "beam/BeamRecompute.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "app/Console.h"
#include "app/Failure.h"
#include "app/FileNames.h"
#include "app/LogFile.h"
#include "app/Settings.h"
#include "beam/BeamFiles.h"
#include "beam/CommittedGeometry.h"
#include "beam/LayerRecord.h"
#include "beam/RangeTable.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// "%.2f", "%.3f" below 1.
std::string perNucleonText(double value) {
    return cformat(value < 1 ? "%.3f" : "%.2f", value);
}

// "%.0f", "%.2f" below 10, "%.3f" below 1.
std::string totalEnergyText(double value) {
    if (value < 1) return cformat("%.3f", value);
    if (value < 10) return cformat("%.2f", value);
    return cformat("%.0f", value);
}

int readLegacyFlag(Console& console) {
    std::ifstream in;
    if (!openInput(in, kCalculationModeFile)) {
        stopProgram(console,
                    "Error opening file DoLegacyCalculations.dat - please fix the problem and restart the program",
                    false);
    }
    TokenReader reader(in);
    int32_t flag = 0;
    reader.readInt(flag);
    return flag;
}

// Shows a refusal of the station's files and ends the recomputation without
// committing anything.
void refuse(Console& console, const std::string& text) {
    console.ui.messageBox(text + "\nThe beam was not recomputed.", Icon::Warning, Buttons::Ok, Button::Ok);
}

// Copies the first line of `tmp` as the whole content of `dat`.
void commitFile(Console& console, const char* tmp, const char* dat, bool tmpFailureEndsDialog,
                const char* datWarning, bool datFailureEndsDialog) {
    std::ifstream in;
    if (!openInput(in, tmp)) stopOnOpenError(console, tmp, tmpFailureEndsDialog);
    std::string line = readFirstLine(in);
    if (!replaceFileContent(dat, line + "\n")) {
        console.ui.messageBox(std::string("Error opening file ") + dat + ".", Icon::Stop, Buttons::Ok, Button::Ok);
        console.ui.messageBox(datWarning, Icon::Warning, Buttons::Ok, Button::Ok);
        if (datFailureEndsDialog) console.ui.closeDialog(2);
        failureExit(console);
    }
}

void commitBeamFiles(Console& console) {
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

}  // namespace

void resetBeamResults(Console& console) {
    BeamState& beam = console.state.beam;
    beam.deviceEnergyMeV = 0;
    beam.nominalLet = 0;
    beam.nominalRangeUm = 0;
    beam.deviceEnergyPerNucleon = 0;
    DialogFields& fields = console.fields;
    for (std::string* text : {&fields.energyPerNucleon, &fields.energyMeV, &fields.nominalLet, &fields.nominalRange,
                              &fields.effectiveLet, &fields.effectiveRange}) {
        *text = "0";
    }
    console.ui.transferToControls(fields);
    std::ofstream table;
    if (!openOutput(table, kRangeTableFile)) stopProgram(console, "Error opening RangeTable.txt - please fix the problem and restart the program.");
}

bool recomputeBeam(Console& console) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    DialogFields& fields = console.fields;
    Ui& ui = console.ui;

    // 1-4: options, calculation mode, the parent's latest beam.
    state.options = readOptions(console);
    int legacyFlag = readLegacyFlag(console);
    BeamState chosen = beam;
    bool ionComplete = false;
    {
        std::ifstream in;
        if (!openInput(in, kBeamIonTmp)) stopOnOpenError(console, kBeamIonTmp);
        ionComplete = parseBeamIon(in, chosen);
    }
    {
        std::ifstream in;
        if (!openInput(in, kBeamNameTmp)) stopOnOpenError(console, kBeamNameTmp);
        chosen.beamName = normalizeFileName(state, readFirstLine(in));
    }
    if (const std::string refusal = beamIonRefusal(chosen, ionComplete); !refusal.empty()) {
        refuse(console, refusal);
        return false;
    }
    beam = chosen;
    fields.beam = beam.beamName;
    ui.setText(ControlId::Beam, fields.beam);
    double ein = beam.ionA == 0 ? 0 : std::fabs(beam.beamEnergyMeV / beam.ionA);

    // 5-7: coefficients and axis values. Without a coefficient file every
    // stopping power would be zero or stale: nothing is computed or committed.
    const std::string missingCoefficients = loadStoppingCoefficients(state.stopping);
    if (!missingCoefficients.empty()) {
        refuse(console, missingCoefficientsText(missingCoefficients));
        return false;
    }
    for (Axis& axis : state.axes.axes) axis.value = axisValue(axis);
    double s = state.axes[kAxisS].value;
    double r = state.axes[kAxisR].value;
    double t = state.axes[kAxisT].value;

    // 8: degrader alignment.
    if (s > 0) {
        double n = std::trunc(s + 0.5);
        if (std::fabs(s - n) > state.options.foilTolerance) {
            ui.messageBox("Deviation of coordinate S (selected degrader foil) from the closest integer value is not "
                          "within specified tolerance" +
                              cformat(" (%.3f).", state.options.foilTolerance) +
                              "\n\nIt will be assumed that the degrader is infinitely thick or at least thick enough "
                              "to stop the beam.",
                          Icon::Warning, Buttons::Ok, Button::Ok);
            writeLogEntry(console, "Degrader misaligned - acknowleged.");
        }
    }

    // 9: degrader thickness.
    DegraderThickness degrader =
        computeDegraderThickness(s, r, state.foilCount, state.options.foilTolerance, kRecomputeSaturationUm);
    beam.foilThicknessUm = degrader.foilUm;
    beam.degraderEffectiveUm = degrader.effectiveUm;

    // 10: a fresh trace file.
    {
        std::ofstream trace;
        if (!openOutput(trace, kTraceFileName)) stopOnOpenError(console, kTraceFileName);
    }

    // 11-12: the degrader.
    LayerMaterial layer = aluminiumDegrader();
    layer.arealDensity = beam.degraderEffectiveUm * kAluminiumDensity / 10;
    int icompound = 0;
    LayerResult result;
    int code = traverseLayer(state.stopping, beam.ionA, beam.ionZ, ein, layer.arealDensity, kMatchThickness, 0, layer,
                             result);
    beam.degraderExitEnergyMeV = result.exitEnergyPerNucleon * beam.ionA;
    ein = result.exitEnergyPerNucleon;
    reportCalculationError(ui, code, "Al degrader");
    if (code == kResultTableMissing) return false;
    std::string substrate = "Al degrader";
    fields.targetSubstrate = substrate;
    std::string stoppedIn;
    if (result.exitEnergyPerNucleon == 0) stoppedIn = "Al degrader";

    // 13: the device's layers in beam order.
    if (stoppedIn.empty()) {
        std::ifstream in;
        if (!openInput(in, kLayersReversedFile)) stopOnOpenError(console, kLayersReversedFile);
        TokenReader reader(in);
        LayerRecord record;
        std::string why;
        for (int number = 1;; ++number) {
            LayerReadResult read = readLayerRecord(reader, record, why);
            if (read == LayerReadResult::End) break;
            if (read == LayerReadResult::Refused) {
                refuse(console, cformat("Layer record %d of %s cannot be used: ", number, kLayersReversedFile) + why +
                                    ".");
                return false;
            }
            substrate = record.name;
            fields.targetSubstrate = substrate;
            double areal = arealDensityOf(record);
            double c = std::cos(t * kPi / 180);
            if (c == 0) {
                ui.messageBox(cformat("Solution for the current target tilt angle (%.3f deg) could not be obtained.", t),
                              Icon::Warning, Buttons::Ok, Button::Ok);
                return false;
            }
            if (record.tiltFlag == 1) areal /= std::fabs(c);
            layer = materialOf(record, areal);
            icompound = icompoundOf(record.name);
            // A result code other than 0 leaves the previous end point in
            // `result` (the engine does not touch it), and the recomputation
            // goes on from there.
            code = traverseLayer(state.stopping, beam.ionA, beam.ionZ, ein, areal, kMatchThickness, icompound, layer,
                                 result);
            reportCalculationError(ui, code, record.name + " layer");
            if (result.exitEnergyPerNucleon == 0) {
                stoppedIn = record.name + " layer";
                break;
            }
            ein = result.exitEnergyPerNucleon;
        }
    }

    if (stoppedIn.empty()) {
        // 14-15: at the substrate, then into it.
        beam.deviceEnergyPerNucleon = result.exitEnergyPerNucleon;
        fields.energyPerNucleon = perNucleonText(beam.deviceEnergyPerNucleon);
        beam.nominalLet = result.exitLet;
        beam.deviceEnergyMeV = result.exitEnergyPerNucleon * beam.ionA;
        fields.energyMeV = cformat("%.0f", beam.deviceEnergyMeV);
        writeRangeTable(console, layer, icompound, legacyFlag);
    } else {
        // 16: stopped before the substrate.
        ui.messageBox("Beam fully stopped in " + stoppedIn + ".", Icon::Warning, Buttons::Ok, Button::Ok);
        resetBeamResults(console);
        beam.braggEnergyMeV = 0;
    }

    // 17-18: results for the parent program, after the geometry they are for.
    recordBeamGeometry(console);
    if (!replaceFileContent(kBeamResultsTmp, formatBeamResults(beam))) stopOnOpenError(console, kBeamResultsTmp);
    commitBeamFiles(console);

    // 19: show the results.
    fields.targetSubstrate = substrate;
    ui.setText(ControlId::TargetSubstrate, substrate);
    fields.axisValue[kAxisR] = cformat("%.3f", r);
    ui.setText(ControlId::ValueR, fields.axisValue[kAxisR]);
    fields.axisValue[kAxisS] = cformat("%.3f", s);
    ui.setText(ControlId::ValueS, fields.axisValue[kAxisS]);
    fields.energyPerNucleon = perNucleonText(beam.deviceEnergyPerNucleon);
    ui.setText(ControlId::EnergyPerNucleon, fields.energyPerNucleon);
    fields.nominalLet = formatBeamValue(beam.nominalLet);
    ui.setText(ControlId::NominalLet, fields.nominalLet);
    fields.nominalRange = cformat("%.1f", beam.nominalRangeUm);
    ui.setText(ControlId::NominalRange, fields.nominalRange);
    fields.energyMeV = totalEnergyText(beam.deviceEnergyMeV);
    ui.setText(ControlId::EnergyMeV, fields.energyMeV);
    fields.degrader = cformat("%.3f", beam.degraderEffectiveUm / kUmPerMil);
    ui.setText(ControlId::Degrader, fields.degrader);
    return true;
}
