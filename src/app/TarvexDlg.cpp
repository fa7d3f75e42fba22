#include "app/TarvexDlg.h"

#include <cstdio>
#include <functional>

#include "actions/AfterMotion.h"
#include "actions/BeamRunActions.h"
#include "actions/Campaign.h"
#include "actions/DegraderSearch.h"
#include "actions/Parallax.h"
#include "app/DirectControl.h"
#include "app/ExitSequence.h"
#include "app/Startup.h"
#include "axes/ActiveAxis.h"
#include "axes/AxisFiles.h"
#include "axes/MotionDriver.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamDisplay.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "positions/PositionFiles.h"
#include "positions/PositionList.h"
#include "positions/Preview.h"
#include "switches/Switches.h"

CTarvexDlg::CTarvexDlg(Ui& ui) : console_(ui) {}

bool CTarvexDlg::onInitDialog() {
    bool started = false;
    runEvent([&] {
        started = runStartup(console_);
        if (started) openBeamRunLog(console_);
    });
    return started;
}

void CTarvexDlg::onCommand(ControlId id) {
    runEvent([&] { handleCommand(id); });
}

// Every event ends with what its moves asked for, once the outermost event
// is done (a tick inside one of its boxes is not), then the beam run.
void CTarvexDlg::runEvent(const std::function<void()>& handler) {
    {
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{++depth_};
        handler();
    }
    if (depth_ == 0) runMotionEffects(console_);
    followCampaign(console_);  // first: a goal reached closes S2, which ends the run
    followBeamRun(console_);
    showBeamFieldsState(console_);
}

void CTarvexDlg::handleCommand(ControlId id) {
    switch (id) {
        case ControlId::Clear: onClear(console_); break;
        case ControlId::CameraOn: switchOn(console_, Device::Camera); break;
        case ControlId::CameraOff: switchOff(console_, Device::Camera); break;
        case ControlId::LaserOn: switchOn(console_, Device::Laser); break;
        case ControlId::LaserOff: switchOff(console_, Device::Laser); break;
        case ControlId::LightOn: switchOn(console_, Device::Light); break;
        case ControlId::LightOff: switchOff(console_, Device::Light); break;
        case ControlId::NudgePlus: onNudge(console_, +1); break;
        case ControlId::NudgeMinus: onNudge(console_, -1); break;
        case ControlId::DrivePlus: onDrive(console_, +1); break;
        case ControlId::DriveMinus: onDrive(console_, -1); break;
        case ControlId::Halt: onHalt(console_); break;
        case ControlId::Home: onHome(console_); break;
        case ControlId::SetValue: onSetValue(console_); break;
        case ControlId::Increment: onIncrement(console_); break;
        case ControlId::FinestStep: onFinestStep(console_); break;
        case ControlId::AllHalt: allHalt(console_); break;
        case ControlId::CheckParallax: onCheckParallax(console_); break;
        case ControlId::UndoParallax: onUndoParallax(console_); break;
        case ControlId::Save: onSave(console_); break;
        case ControlId::Restore: onRestore(console_); break;
        case ControlId::Preview: onPreview(console_); break;
        case ControlId::Hide: onHide(console_); break;
        case ControlId::Unhide: onUnhide(console_); break;
        case ControlId::ShowUnhidden: onShowUnhidden(console_); break;
        case ControlId::ShowHidden: onShowHidden(console_); break;
        case ControlId::Go: onGo(console_); break;
        case ControlId::Bragg: onBragg(console_); break;
        case ControlId::UnitLet:
        case ControlId::UnitMeV:
        case ControlId::UnitMeVPerNucleon: onUnitChoice(console_); break;
        case ControlId::Summary: onSummary(console_); break;
        case ControlId::Exit: exitSequence(console_); break;
        case ControlId::DirectControl: onDirectControl(console_); break;
        case ControlId::Tell: onTell(console_); break;
        case ControlId::Ask: onAsk(console_); break;
        case ControlId::Reset: onReset(console_); break;
        case ControlId::Help: onHelp(console_); break;
        case ControlId::OpenS1: onOpenS1(console_); break;
        case ControlId::CloseS1: onCloseS1(console_); break;
        case ControlId::OpenS2: onOpenS2(console_); break;
        case ControlId::CloseS2: onCloseS2(console_); break;
        default:
            for (int i = 0; i < kAxisCount; ++i) {
                const AxisControls& row = kAxisControls[static_cast<std::size_t>(i)];
                if (id == row.radio) onSelectAxis(console_, i);
                if (id == row.locked) onLockToggle(console_, i);
            }
            break;
    }
}

void CTarvexDlg::onListSelectionChanged(ControlId id) {
    runEvent([&] {
        if (id == ControlId::PositionList) onPositionSelected(console_);
    });
}

void CTarvexDlg::onKeyboardChar(char key) {
    runEvent([&] { onKeyboardKey(console_, key); });
}

void CTarvexDlg::onTimer(int timerId) {
    runEvent([&] {
        if (timerId == kCameraTimer) onCameraTimer(console_);
        if (timerId == kMotionTimer) onMotionTimer(console_);
        if (timerId == kReadBackTimer) onReadBackTimer(console_);
        if (timerId == kCampaignTimer) onCampaignTimer(console_);
    });
}

void CTarvexDlg::onSystemCommand(int command) {
    if ((command & ~0xF) == kAboutCommand) console_.ui.showAbout();
    if ((command & ~0xF) == kBraggCurveCommand) console_.ui.showBraggCurve();
    if ((command & ~0xF) == kBeamRunsCommand) console_.ui.showBeamRuns(console_.state.runs.path);
    if ((command & ~0xF) == kCampaignCommand) runEvent([&] { showCampaignWindow(console_); });
    if ((command & ~0xF) == kCrossSectionCommand) console_.ui.showCrossSection();
}

void CTarvexDlg::onCampaign(const CampaignRequest& request) {
    runEvent([&] { onCampaignRequest(console_, request); });
}

void CTarvexDlg::onOk() {
    // Enter never closes the console.
}

void CTarvexDlg::onCancel() {
    // Every axis stops, real shutters close, and the positions the
    // controller reads back at rest are kept for the next start.
    stopAndCloseForEnd(console_, kEndingStopWait);
    waitForRest(console_, kEndingRestWait);
    endBeamRun(console_, "Escape");
    console_.ui.stopTimer(kReadBackTimer);
    writeStatusFile(console_);
    std::remove(kOwnRunMarker);
    console_.ui.stopTimer(kCameraTimer);
    console_.ui.stopTimer(kMotionTimer);
    console_.ui.stopTimer(kCampaignTimer);
    console_.ui.closeDialog(2);
}

void CTarvexDlg::onTerminate() {
    // A signal: every axis stops and real shutters close first, and the
    // positions read back at rest are kept.
    stopAndCloseForEnd(console_, kEndingStopWait);
    console_.state.motion.stoppedForEnd = true;
    waitForRest(console_, kEndingRestWait);
    writeStatusFile(console_);
    failureExit(console_);
}

void CTarvexDlg::onCloseRequest() {
    console_.ui.beep();
}
