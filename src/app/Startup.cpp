#include "app/Startup.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "axes/ActiveAxis.h"
#include "axes/AxisFiles.h"
#include "axes/MotionDriver.h"
#include "axes/TcpChannel.h"
#include "beam/BeamDisplay.h"
#include "beam/BeamRecompute.h"
#include "beam/CommittedGeometry.h"
#include "beam/LiveView.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "core/Settings.h"
#include "positions/PositionList.h"
#include "switches/Switches.h"
#include "util/TextFiles.h"

namespace {

// Waits for the parent program to hand over: four silent one-second waits,
// then the Retry/Cancel question at every further check.
void waitForParent(Console& console) {
    for (int attempt = 1;; ++attempt) {
        if (!fileIsReadable(kParentRunMarker)) return;
        if (attempt <= 4) {
            console.ui.sleepSeconds(1);
            continue;
        }
        Button answer = console.ui.messageBox(
            "The parent program (Orvane) did not end properly - please fix the problem and restart the program.",
            Icon::Warning, Buttons::RetryCancel, Button::Cancel);
        if (answer != Button::Retry) console.ui.exitProcess(1);
    }
}

// Refuses to run beside another console in the same folder. The run marker
// is locked while a console holds the folder: a live holder refuses this one
// outright; a marker nobody holds was left by a console that did not end,
// and the operator decides.
void guardAgainstSecondCopy(Console& console) {
    const bool existed = fileIsReadable(kOwnRunMarker);
    switch (console.folderLock.take(kOwnRunMarker)) {
        case FileLock::Outcome::HeldByAnother:
            console.ui.messageBox("Another Tarvex console is running in this working folder. Two consoles would drive "
                                  "the same hardware and write the same records - this one ends.",
                                  Icon::Stop, Buttons::Ok, Button::Ok);
            console.ui.exitProcess(1);
            return;
        case FileLock::Outcome::Taken:
            if (!existed) return;
            break;
        case FileLock::Outcome::CannotOpen: break;  // creating the marker reports it
    }
    for (int attempt = 1;; ++attempt) {
        if (!fileIsReadable(kOwnRunMarker)) return;
        if (attempt <= 4) {
            console.ui.sleepSeconds(1);
            continue;
        }
        Button answer = console.ui.messageBox(
            "Previous instance of this program did not end properly. \n"
            "Using more than one program to control the same hardware in the same way can lead to "
            "unpredictable results. \n\n"
            "Click ABORT to terminate this instance, RETRY to re-check the status of the other program, "
            "or IGNORE to continue running this instance.",
            Icon::Warning, Buttons::AbortRetryIgnore, Button::Retry);
        if (answer == Button::Ignore) {
            // The locked marker is kept: removing it would free the folder.
            if (!console.folderLock.empty()) std::remove(kOwnRunMarker);
            return;
        }
        if (answer != Button::Retry) console.ui.exitProcess(1);
    }
}

void createOwnRunMarker(Console& console) {
    if (!console.folderLock.empty()) {
        std::ofstream marker;
        if (!openOutput(marker, kOwnRunMarker)) stopOnOpenError(console, kOwnRunMarker);
    }
    console.state.ownRunMarkerCreated = true;
}

}  // namespace

void applyLocationLabels(Console& console) {
    if (!console.state.inVacuumChamber()) {
        console.ui.setText(ControlId::LabelU, "U (roll angle)");
        console.ui.setText(ControlId::LabelV, "V (not used)");
    }
}

void applyCyclotronLabels(Console& console) {
    if (console.state.cyclotronCode == kCyclotronBelm) {
        console.ui.setText(ControlId::LabelU, "U (not used)");
        console.ui.setText(ControlId::LabelV, "V (not used)");
        console.ui.setText(ControlId::CheckParallax, "xHair On");
        console.ui.setText(ControlId::UndoParallax, "xHair Off");
    }
}

namespace {

// The live view where the station asks for one. A file that names no
// address, or an address that cannot be served, is one warning in the status
// line and the operator log; the console goes on without the view.
void startLiveViewIfAsked(Console& console) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(kLiveViewFile, ec))) return;
    std::string content, why;
    std::optional<LiveViewAddress> address;
    if (readRegularFile(kLiveViewFile, kLiveViewFileMaxBytes, content, why)) {
        address = parseLiveViewAddress(content, why);
    } else {
        why = "it cannot be read (" + why + ")";
    }
    if (address) {
        why = console.ui.startLiveView(address->host, address->port);
        if (why.empty()) return;
    }
    const std::string warning = std::string("No live view: ") + kLiveViewFile + ", " + why + ".";
    setStatusText(console, warning);
    tryWriteLogEntry(console, warning);
}

}  // namespace

bool runStartup(Console& console) {
    ConsoleState& state = console.state;
    DialogFields& fields = console.fields;
    Ui& ui = console.ui;
    state.startingUp = true;

    // The controls, the system menu and the icons come with the dialog.
    // The user line: who runs the console, on which computer.
    fields.userLine = "User: " + ui.userName() + " (" + ui.computerName() + ")";
    ui.setText(ControlId::UserLine, fields.userLine);

    // The run markers shared with the parent program.
    waitForParent(console);
    guardAgainstSecondCopy(console);
    createOwnRunMarker(console);

    // The cyclotron in use.
    readCyclotronInUse(console);
    state.foilCount = foilCountOf(state.cyclotronCode);

    // The sequence log, open until the end of start-up.
    std::ofstream sequenceLog;
    if (!openOutput(sequenceLog, kSequenceLogFile)) stopOnOpenError(console, kSequenceLogFile);

    // Mode and folder of the user files.
    readSkipInfoMessages(console);
    readDemoStatus(console);
    state.usersFolder = usersFolderFor(state.demoStatus);

    // The log file's name; the log itself is not opened here.
    const std::string logLine = readLogFileNameLine(console);
    checkLogFileAtStartUp(console, logLine);
    fields.logFile = normalizeFileName(state, logLine);

    // Options and location.
    state.options = readOptions(console);
    readTargetLocation(console);
    fields.dutLocation = state.inVacuumChamber() ? "Vacuum chamber" : "In-air";

    // The axes: setup table and status file.
    loadSetupTable(console);
    loadStatusFile(console);
    showStartupDegrader(console);

    // The position file list.
    onShowUnhidden(console);
    // The stored beam and the device's layers.
    showStoredBeam(console);
    if (!recomputeIfBeamGeometryChanged(console, "at start-up", "the status file holds")) noteBeamComputedHere(console);

    // The loaded position counts as named.
    nameCurrentPosition(console);

    // No axis is active.
    disableAllAxisControls(console);
    state.activeAxis = -1;
    fields.activeAxis = -1;

    // The controller channel the site asks for.
    console.channel = openControllerChannel(console);
    state.motion.shownLink = console.channel->shownLink();
    ui.showOperatingMode(state.simulation() ? OperatingMode::Simulation : OperatingMode::Hardware);
    ui.showControllerLink(console.channel->shownLink());

    // Initial switch and shutter states, then Close S2 and Open S1
    // (real shutters are read back instead).
    readShutterBits(console);
    applyInitialSwitchStates(console);

    // Location labels, then every field to its control.
    applyLocationLabels(console);
    ui.transferToControls(fields);

    // The camera's automatic switch-off.
    if (!ui.startTimer(kCameraTimer, 60000)) {
        ui.messageBox("Timer 1 not available!", Icon::None, Buttons::Ok, Button::Ok);
    }

    // End of start-up in the sequence log.
    sequenceLog << "\nEnd of initialization\n\n";
    sequenceLog.close();
    reportWriteResult(console, kSequenceLogFile, !sequenceLog.fail());

    // Cyclotron labels; no direct control in simulation mode.
    applyCyclotronLabels(console);
    if (state.simulation()) {
        ui.setEnabled(ControlId::Reset, false);
        ui.setVisible(ControlId::Reset, false);
        ui.setEnabled(ControlId::DirectControl, false);
        ui.setVisible(ControlId::DirectControl, false);
    }
    state.startingUp = false;

    // Real motion: the controller's read-back from now on.
    startReadBack(console);
    startLiveViewIfAsked(console);
    return true;
}
