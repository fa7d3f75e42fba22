#include "app/TarvexDlg.h"

#include <cstdio>

#include "app/LogFile.h"
#include "app/Startup.h"

CTarvexDlg::CTarvexDlg(Ui& ui) : console_(ui) {}

bool CTarvexDlg::onInitDialog() {
    return runStartup(console_);
}

void CTarvexDlg::onCommand(ControlId id) {
    switch (id) {
        case ControlId::Clear:
            onClear(console_);
            break;
        default:
            break;
    }
}

void CTarvexDlg::onListSelectionChanged(ControlId /*id*/) {}

void CTarvexDlg::onKeyboardChar(char /*key*/) {}

void CTarvexDlg::onTimer(int /*timerId*/) {}

void CTarvexDlg::onSystemCommand(int command) {
    if ((command & ~0xF) == kAboutCommand) console_.ui.showAbout();
}

void CTarvexDlg::onOk() {
    // Enter never closes the console.
}

void CTarvexDlg::onCancel() {
    std::remove(kOwnRunMarker);
    console_.ui.stopTimer(kCameraTimer);
    console_.ui.stopTimer(kMotionTimer);
    console_.ui.closeDialog(2);
}

void CTarvexDlg::onCloseRequest() {
    console_.ui.beep();
}
