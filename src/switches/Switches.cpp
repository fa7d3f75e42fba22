#include "switches/Switches.h"

#include <fstream>
#include <string>

#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/LogFile.h"
#include "core/Settings.h"
#include "util/TextFiles.h"

namespace {

struct DeviceSwitch {
    ControlId onButton;
    ControlId offButton;
    const char* onCommand;
    const char* offCommand;
    const char* onText;
    const char* offText;
    bool ConsoleState::*flag;
};

const DeviceSwitch& switchOf(Device device) {
    static const DeviceSwitch camera{ControlId::CameraOn, ControlId::CameraOff, "BH5;", "BL5;",
                                     "Beamview camera got turned on.", "Beamview camera got turned off.",
                                     &ConsoleState::cameraOn};
    static const DeviceSwitch laser{ControlId::LaserOn, ControlId::LaserOff, "BH6;", "BL6;",
                                    "Laser beam got turned on.", "Laser beam got turned off.",
                                    &ConsoleState::laserOn};
    static const DeviceSwitch light{ControlId::LightOn, ControlId::LightOff, "BH7;", "BL7;",
                                    "Chamber light got turned on.", "Chamber light got turned off.",
                                    &ConsoleState::lightOn};
    switch (device) {
        case Device::Camera: return camera;
        case Device::Laser: return laser;
        case Device::Light: break;
    }
    return light;
}

void showShutterButtons(Console& console, ControlId disable, ControlId enable) {
    console.ui.setEnabled(disable, false);
    console.ui.setEnabled(enable, true);
}

// Steps every shutter handler shares; false outside simulation mode, where
// the shutters change no state, unless they are real.
bool shutterPreamble(Console& console) {
    readCyclotronInUse(console);
    console.ui.setFocus(ControlId::Keyboard);
    return console.state.simulation() || console.state.shutterBits.real();
}

// Real shutters: the command goes out; the state changes when it is read back.
bool commandRealShutter(Console& console, int outputBit, bool open) {
    if (!console.state.shutterBits.real()) return false;
    sendCommand(console, (open ? "BH" : "BL") + std::to_string(outputBit) + ";");
    return true;
}

// The containment question; true when the operator agrees. Cancel is the
// default, so a hasty Enter leaves the shutter closed.
bool containmentAgreed(Console& console, const char* question) {
    return console.ui.messageBox(question, Icon::Stop, Buttons::OkCancel, Button::Cancel) == Button::Ok;
}

}  // namespace

void switchOn(Console& console, Device device) {
    const DeviceSwitch& s = switchOf(device);
    ConsoleState& state = console.state;
    if (!state.s2Closed) {
        Button answer = console.ui.messageBox(
            "The downstream shutter (S2) needs to close to complete the requested action - is it OK to do that?",
            Icon::Warning, Buttons::YesNo, Button::No);
        if (answer != Button::Yes) return;
        onCloseS2(console);
        if (device != Device::Camera && !state.s2Closed) return;
    }
    sendCommand(console, s.onCommand);
    setStatusText(console, s.onText);
    state.*s.flag = true;
    console.ui.setEnabled(s.onButton, false);
    console.ui.setEnabled(s.offButton, true);
    if (device == Device::Camera) {
        console.ui.stopTimer(kCameraTimer);
        if (!console.ui.startTimer(kCameraTimer, 60000)) {
            console.ui.messageBox("Timer 1 not available!", Icon::None, Buttons::Ok, Button::Ok);
        }
    }
    console.ui.setFocus(ControlId::Keyboard);
}

void switchOff(Console& console, Device device) {
    const DeviceSwitch& s = switchOf(device);
    sendCommand(console, s.offCommand);
    setStatusText(console, s.offText);
    console.state.*s.flag = false;
    console.ui.setEnabled(s.onButton, true);
    console.ui.setEnabled(s.offButton, false);
}

void onCameraTimer(Console& console) {
    if (console.state.cameraOn) switchOff(console, Device::Camera);
}

void onOpenS1(Console& console) {
    if (!shutterPreamble(console)) return;
    if (!console.state.s2Closed &&
        !containmentAgreed(console, "Downstream shutter (S2) is already open - opening the upstream shutter (S1) "
                                    "may breach beam containment.")) {
        return;
    }
    if (commandRealShutter(console, console.state.shutterBits.s1Out, true)) return;
    console.state.s1Closed = false;
    showShutterButtons(console, ControlId::OpenS1, ControlId::CloseS1);
}

void onCloseS1(Console& console) {
    if (!shutterPreamble(console)) return;
    if (commandRealShutter(console, console.state.shutterBits.s1Out, false)) return;
    console.state.s1Closed = true;
    showShutterButtons(console, ControlId::CloseS1, ControlId::OpenS1);
}

void onOpenS2(Console& console) {
    switchOff(console, Device::Camera);
    switchOff(console, Device::Laser);
    switchOff(console, Device::Light);
    if (!shutterPreamble(console)) return;
    if (!console.state.s1Closed &&
        !containmentAgreed(console, "Upstream shutter (S1) is already open - opening the downstream shutter (S2) "
                                    "may breach beam containment.")) {
        return;
    }
    if (commandRealShutter(console, console.state.shutterBits.s2Out, true)) return;
    console.state.s2Closed = false;
    showShutterButtons(console, ControlId::OpenS2, ControlId::CloseS2);
}

void onCloseS2(Console& console) {
    if (!shutterPreamble(console)) return;
    if (commandRealShutter(console, console.state.shutterBits.s2Out, false)) return;
    console.state.s2Closed = true;
    showShutterButtons(console, ControlId::CloseS2, ControlId::OpenS2);
}

void readShutterBits(Console& console) {
    std::ifstream in;
    if (!openInput(in, kControllerSettingsFile)) return;
    ShutterBits& bits = console.state.shutterBits;
    bits = parseShutterBits(in);
    if (bits.errors.empty()) return;
    std::string list;
    for (const std::string& error : bits.errors) list += "\n" + error;
    console.ui.messageBox(std::string(kControllerSettingsFile) + ": the shutter settings cannot be used:" + list +
                              "\nThe shutter buttons do not drive the shutters.",
                          Icon::Warning, Buttons::Ok, Button::Ok);
}

void applyShutterInputs(Console& console, int64_t inputs) {
    ConsoleState& state = console.state;
    const ShutterBits& bits = state.shutterBits;
    if (!bits.real() || inputs < 0) return;
    state.s1Closed = !shutterInputOpen(inputs, bits.s1In);
    state.s2Closed = !shutterInputOpen(inputs, bits.s2In);
    if (state.cyclotronCode == kCyclotronBelm) return;  // the shutter buttons stay disabled
    console.ui.setEnabled(ControlId::OpenS1, state.s1Closed);
    console.ui.setEnabled(ControlId::CloseS1, !state.s1Closed);
    console.ui.setEnabled(ControlId::OpenS2, state.s2Closed);
    console.ui.setEnabled(ControlId::CloseS2, !state.s2Closed);
}

void applyInitialSwitchStates(Console& console) {
    Ui& ui = console.ui;
    for (ControlId id : {ControlId::CameraOff, ControlId::LightOff, ControlId::LaserOff, ControlId::OpenS1,
                         ControlId::CloseS2, ControlId::SetGoal, ControlId::UndoParallax}) {
        ui.setEnabled(id, false);
    }
    readCyclotronInUse(console);
    if (!console.state.inVacuumChamber() && console.state.cyclotronCode == kCyclotronArdo) {
        ui.setEnabled(ControlId::CheckParallax, false);
    }
    if (console.state.cyclotronCode == kCyclotronBelm) {
        for (ControlId id : {ControlId::OpenS1, ControlId::CloseS1, ControlId::OpenS2, ControlId::CloseS2}) {
            ui.setEnabled(id, false);
        }
    }
    for (ControlId id : {ControlId::DirectCommand, ControlId::Ask, ControlId::Tell}) {
        ui.setEnabled(id, false);
        ui.setVisible(id, false);
    }
    if (console.state.shutterBits.real()) {
        // Real shutters are read, not commanded: closed, and no button,
        // until the controller's read-back tells.
        console.state.s1Closed = true;
        console.state.s2Closed = true;
        for (ControlId id : {ControlId::OpenS1, ControlId::CloseS1, ControlId::OpenS2, ControlId::CloseS2}) {
            ui.setEnabled(id, false);
        }
        return;
    }
    onCloseS2(console);
    onOpenS1(console);
}
