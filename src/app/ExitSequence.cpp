#include "actions/AfterMotion.h"
#include "core/Motion.h"
#include "app/ExitSequence.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "actions/BeamRunActions.h"
#include "app/Startup.h"
#include "axes/AxisFiles.h"
#include "axes/MotionDriver.h"
#include "axes/SimulatedMotion.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "core/Settings.h"
#include "energyloss/LayerStopping.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

// A slit below its tolerance: true when the operator goes on anyway (logged).
bool slitAcknowledged(Console& console, const char* question, const char* logText) {
    Button answer = console.ui.messageBox(std::string(question) + "\nYou should click Cancel and fix this problem.",
                                          Icon::Warning, Buttons::OkCancel, Button::Cancel);
    if (answer != Button::Ok) return false;
    writeLogEntry(console, logText);
    return true;
}

}  // namespace

void startParentProgram(Console& console) {
    std::string program = normalizeFileName(console.state, "Orvane.exe");
    std::error_code ec;
    if (std::filesystem::is_regular_file(program, ec)) program = "./" + program;
    if (!console.ui.startProcess(program, {})) {
        console.ui.messageBox("Unable to start the parent program Orvane.exe (looked for in " + fullPath("") +
                                  " and on the search path) - please start it by hand.",
                              Icon::Warning, Buttons::Ok, Button::Ok);
    }
}

void exitSequence(Console& console) {
    ConsoleState& state = console.state;
    Ui& ui = console.ui;

    // A motion under way is stopped only with the operator's consent; then
    // the exit begins its part of the sequence log and halts every axis.
    if (state.motionInProgress &&
        ui.messageBox("The system is still in motion. The motion will be terminated.", Icon::Warning,
                      Buttons::OkCancel, Button::Ok) != Button::Ok) {
        return;
    }
    std::ofstream sequenceLog;
    openOutput(sequenceLog, kSequenceLogFile, true);
    sequenceLog << "\nBeginning of the exit sequence of commands:\n\n";
    sequenceLog.flush();
    allHalt(console, kEndingStopWait);
    runMotionEffects(console);  // the beam as the axes stand, for the Bragg check below
    closeShuttersForEnd(console, kEndingStopWait);

    // Park the beam line.
    state.options = readOptions(console);
    readCyclotronInUse(console);
    if (state.cyclotronCode != kCyclotronBelm) {
        bool vacuum = state.inVacuumChamber();
        if (vacuum && axisValue(state.axes[kAxisU]) < state.options.slitToleranceU &&
            !slitAcknowledged(console, "Coordinate U (horizontal slit aperture) is below the specified tolerance.",
                              "Horizontal slit aperture is below the specified tolerance - acknowleged.")) {
            return;
        }
        if (vacuum && axisValue(state.axes[kAxisV]) < state.options.slitToleranceV &&
            !slitAcknowledged(console, "Coordinate V (vertical slit aperture) is below the specified tolerance.",
                              "Vertical slit aperture is below the specified tolerance - acknowleged.")) {
            return;
        }
        sendCommand(console, "BL4;");
    } else {
        sendCommand(console, "BL13;");
        sequenceLog << "BL13;\n\n";
        sequenceLog.flush();
    }
    sendCommand(console, "AA;AN1,1,1,1,1,1,1,1;");
    sendCommand(console, "BL5;BL6;BL7;");
    sendCommand(console, "BH12;");

    // Record the positions.
    ui.transferFromControls(console.fields);
    writeStatusFile(console);
    for (Axis& axis : state.axes.axes) axis.value = axisValue(axis);
    const AxisTable& a = state.axes;
    writeLogEntry(console, cformat("%s: %.3f %s %.3f %s %.3f %s %.3f %s %.3f %s %.3f %s %.3f %s %.3f %s.",
                                   state.positionName.c_str(), a[kAxisX].value, a[kAxisX].unit.c_str(),
                                   a[kAxisY].value, a[kAxisY].unit.c_str(), a[kAxisZ].value, a[kAxisZ].unit.c_str(),
                                   a[kAxisT].value, a[kAxisT].unit.c_str(), a[kAxisU].value, a[kAxisU].unit.c_str(),
                                   a[kAxisV].value, a[kAxisV].unit.c_str(), a[kAxisR].value, a[kAxisR].unit.c_str(),
                                   a[kAxisS].value, a[kAxisS].unit.c_str()));
    sendCommand(console, "BH12;");

    // Hand over.
    std::remove(kOwnRunMarker);
    // Without the mode file the exit stops here, silently, and the console
    // keeps running.
    const std::optional<int32_t> legacyFlag = readCalculationModeFlag();
    if (!legacyFlag) return;
    if (!(state.beam.braggEnergyMeV < state.beam.deviceEnergyMeV)) {
        ui.messageBox(*legacyFlag == 0 ? "Current beam energy is at or below the non-legacy Bragg value."
                                       : "Current beam energy is at or below the Bragg value.",
                      Icon::Warning, Buttons::Ok, Button::Ok);
        writeLogEntry(console, "Below Bragg-peak energy - acknowleged.");
    }

    // Close the beam run, stop the timers and hand the station back to the
    // parent program before the dialog closes.
    endBeamRun(console, "Exit");
    ui.stopTimer(kCameraTimer);
    ui.stopTimer(kMotionTimer);
    ui.stopTimer(kReadBackTimer);
    startParentProgram(console);
    ui.transferFromControls(console.fields);
    ui.closeDialog(1);
}
