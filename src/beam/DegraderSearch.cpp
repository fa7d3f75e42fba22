#include "beam/DegraderSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>

#include "app/Console.h"
#include "app/Failure.h"
#include "app/FileNames.h"
#include "app/LogFile.h"
#include "axes/ActiveAxis.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamFiles.h"
#include "beam/LayerRecord.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/Traversal.h"
#include "positions/Preview.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// Areal density of foil k (1-based), mg/cm².
double foilArealDensity(int k) {
    return std::pow(2.0, k - 1) * 2.54 * kAluminiumDensity;
}

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

}  // namespace

DegraderSetting selectDegraderSetting(const Console& console, double x) {
    DegraderSetting setting;
    int n = console.state.foilCount < 10 ? console.state.foilCount : 10;
    if (x < foilArealDensity(1)) {
        setting.result = -1;
        return setting;
    }
    if (x > 2 * foilArealDensity(n)) {
        setting.result = 1;
        return setting;
    }
    for (int k = n; k >= 1; --k) {
        double t = foilArealDensity(k);
        if (t / x < 1) {
            setting.result = 0;
            setting.s = k;
            setting.rDegrees = std::acos(t / x) * 180 / kPi;
            setting.sCounts = internalPositionFor(console.state.axes[kAxisS], setting.s);
            setting.rCounts = internalPositionFor(console.state.axes[kAxisR], setting.rDegrees);
            return setting;
        }
    }
    setting.result = 2;
    return setting;
}

void onGo(Console& console) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    Ui& ui = console.ui;

    // 1-5: wanted value, goal and match.
    allHalt(console);
    takeDialogEntries(console);
    DialogFields& fields = console.fields;
    int choice = fields.unitChoice;
    bool bragg = fields.bragg != 0;
    if (!bragg && (choice < 0 || choice > 2)) return;
    setStatusText(console, "Calculations in progress - please wait.");
    double startEnergy = beam.ionA == 0 ? 0 : beam.beamEnergyMeV / beam.ionA;
    double e = startEnergy;
    const std::string missingCoefficients = loadStoppingCoefficients(state.stopping);
    if (!missingCoefficients.empty()) {
        warn(console, missingCoefficientsText(missingCoefficients));
        clearStatusAndGoal(console);
        return;
    }
    double t = axisValue(state.axes[kAxisT]);
    double cosT = std::cos(t * kPi / 180);
    double wanted = leadingNumber(fields.goal);
    double goal = 0;
    int match = kMatchEnergy;
    if (bragg) {
        goal = beam.ionA == 0 ? 0 : beam.braggEnergyMeV / beam.ionA;
    } else if (choice == 0) {
        goal = wanted * std::fabs(cosT);
        match = kMatchLet;
    } else if (choice == 1) {
        goal = beam.ionA == 0 ? 0 : wanted / beam.ionA;
    } else {
        goal = wanted;
    }

    // 6-7: back out through the device, substrate first.
    std::string layerFile;
    {
        std::ifstream in;
        if (!openInput(in, kLayerFileNameFile)) stopOnOpenError(console, kLayerFileNameFile);
        layerFile = normalizeFileName(state, state.usersFolder + readFirstLine(in));
    }
    std::ifstream in;
    if (!openInput(in, layerFile)) stopOnOpenError(console, layerFile);
    TokenReader reader(in);
    LayerRecord record;
    std::string why;
    for (int k = 0;; ++k) {
        LayerReadResult read = readLayerRecord(reader, record, why);
        if (read == LayerReadResult::End) break;
        if (read == LayerReadResult::Refused) {
            warn(console, cformat("Layer record %d of %s cannot be used: ", k + 1, layerFile.c_str()) + why + ".");
            clearStatusAndGoal(console);
            return;
        }
        double thickness = arealDensityOf(record);
        if (cformat("%.3f", std::fabs(t)) == "90.000") {
            warn(console, cformat("Solution for the current target tilt angle (%.3f deg) could not be obtained.", t));
            clearStatusAndGoal(console);
            return;
        }
        if (record.tiltFlag == 1) thickness /= std::fabs(cosT);
        double areal = thickness;
        if (k >= 1) {
            areal = -thickness;
            goal = -thickness;
        }
        LayerMaterial layer = materialOf(record, areal);
        LayerResult result;
        int code = traverseLayer(state.stopping, beam.ionA, beam.ionZ, e, goal, match, icompoundOf(record.name), layer,
                                 result);
        if (code != 0) {
            reportCalculationError(ui, code, record.name + " layer");
            clearStatusAndGoal(console);
            return;
        }
        match = kMatchThickness;
        e = result.exitEnergyPerNucleon;
    }

    // 8-9: the aluminium between the delivered beam and that energy.
    LayerMaterial degrader = aluminiumDegrader();
    degrader.arealDensity = -1.0;
    LayerResult result;
    int code = traverseLayer(state.stopping, beam.ionA, beam.ionZ, e, startEnergy, kMatchEnergy, 0, degrader, result);
    if (code != 0) {
        reportCalculationError(ui, code, "Al degrader");
        clearStatusAndGoal(console);
        return;
    }
    double x = 0.0 - result.traversed;  // never "-0" in the messages
    DegraderSetting setting = selectDegraderSetting(console, x);

    // 10-12: no foil fits.
    double mil = x / 2.54 / kAluminiumDensity;
    if (setting.result == -1) {
        warn(console, cformat("Required degrader thickness ( %g mil ) is not available - too small.", mil) +
                          "\n\nPossible solution:\n(a) set S to 0 and if the LET is too high,\n(b) increase the air "
                          "gap.\n\nNOTE: If you increase the air gap, you must also change the layer file(s) "
                          "accordingly.");
        clearStatusAndGoal(console);
        return;
    }
    if (setting.result == 1) {
        warn(console, cformat("Required degrader thickness ( %g mil ) is not available - too large.", mil) +
                          "\n\nPossible solution:\n(a) set S to the highest value (10 on Ardo or 6 on Belm) and\n(b) "
                          "increase T past 60 degrees and/or\n(c) insert an additional degrader right in front of the "
                          "device and/or\n(d) increase the air gap.\n\nNOTE: If you insert an additional degrader or "
                          "increase the air gap, you must also change the layer file(s) accordingly.");
        clearStatusAndGoal(console);
        return;
    }
    if (setting.result != 0) {
        warn(console, " Required degrader thickness is not available - for unknown reason.");
        clearStatusAndGoal(console);
        return;
    }

    // 13-15: offer the move.
    Button answer = ui.messageBox("Required degrader coordinates " +
                                      cformat("(S = %g , R = %g)", setting.s, setting.rDegrees) +
                                      " have been determined - do you want to set them?",
                                  Icon::Information, Buttons::YesNo, Button::Yes);
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
    allHalt(console);
    takeDialogEntries(console);
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
    allHalt(console);
    takeDialogEntries(console);
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
