#include "switches/Switches.h"

#include <fstream>
#include <string>

#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "core/LogFile.h"
#include "core/Motion.h"
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

// Steps every shutter handler shares; false outside simulation mode, where
// the shutters change no state, unless they are real.
bool shutterPreamble(Console& console) {
    readCyclotronInUse(console);
    console.ui.setFocus(ControlId::Keyboard);
    return shuttersDriven(console);
}

// The containment question; true when the operator agrees. Cancel is the
// default, so a hasty Enter leaves the shutter closed.
bool containmentAgreed(Console& console, const char* question) {
    return console.ui.messageBox(question, Icon::Stop, Buttons::OkCancel, Button::Cancel) == Button::Ok;
}

// Opens or closes a shutter through the motion model: in simulation at once,
// a real one when its input follows.
void commandShutter(Console& console, int shutter, bool open) {
    const std::string refusal = motionRequest(console, shutterEvent(shutter, open));
    showShutterStates(console);
    if (!refusal.empty()) warnOperator(console, refusal);
}

// The other shutter counts as open from the moment it was commanded open, and
// while it is not known.
bool mayBeOpen(const Console& console, int shutter) {
    return shuttersDriven(console) && shutterMayBeOpen(console.state.motion.model, shutter);
}

}  // namespace

void switchOn(Console& console, Device device) {
    const DeviceSwitch& s = switchOf(device);
    ConsoleState& state = console.state;
    if (mayBeOpen(console, kShutterS2)) {
        Button answer = console.ui.messageBox(
            "The downstream shutter (S2) needs to close to complete the requested action - is it OK to do that?",
            Icon::Warning, Buttons::YesNo, Button::No);
        if (answer != Button::Yes) return;
        onCloseS2(console);
        if (device != Device::Camera && mayBeOpen(console, kShutterS2)) return;
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
    if (mayBeOpen(console, kShutterS2) &&
        !containmentAgreed(console, "Downstream shutter (S2) is already open - opening the upstream shutter (S1) "
                                    "may breach beam containment.")) {
        return;
    }
    commandShutter(console, kShutterS1, true);
}

void onCloseS1(Console& console) {
    if (!shutterPreamble(console)) return;
    commandShutter(console, kShutterS1, false);
}

void onOpenS2(Console& console) {
    switchOff(console, Device::Camera);
    switchOff(console, Device::Laser);
    switchOff(console, Device::Light);
    if (!shutterPreamble(console)) return;
    if (mayBeOpen(console, kShutterS1) &&
        !containmentAgreed(console, "Upstream shutter (S1) is already open - opening the downstream shutter (S2) "
                                    "may breach beam containment.")) {
        return;
    }
    commandShutter(console, kShutterS2, true);
}

void onCloseS2(Console& console) {
    if (!shutterPreamble(console)) return;
    commandShutter(console, kShutterS2, false);
}

bool shuttersDriven(const Console& console) {
    return console.state.simulation() || console.state.shutterBits.real();
}

void showShutterStates(Console& console) {
    ConsoleState& state = console.state;
    if (!shuttersDriven(console)) return;
    const MotionModel& model = state.motion.model;
    const bool real = state.shutterBits.real();
    state.s1Closed = !shutterConfirmedOpen(model, kShutterS1, real);
    state.s2Closed = !shutterConfirmedOpen(model, kShutterS2, real);
    if (real && state.cyclotronCode == kCyclotronBelm) return;  // the shutter buttons stay disabled
    struct ShutterButtons {
        ControlId open;
        ControlId close;
    };
    const ShutterButtons buttons[2] = {{ControlId::OpenS1, ControlId::CloseS1}, {ControlId::OpenS2, ControlId::CloseS2}};
    for (int shutter : {kShutterS1, kShutterS2}) {
        // Open only from a known closed shutter; Close whenever it may be open.
        const bool closed = model.shutters[static_cast<std::size_t>(shutter)].phase == ShutterPhase::Closed;
        console.ui.setEnabled(buttons[shutter].open, closed);
        console.ui.setEnabled(buttons[shutter].close, !closed);
    }
}

void readShutterBits(Console& console) {
    std::ifstream in;
    if (!openInput(in, kControllerSettingsFile)) return;
    ShutterBits& bits = console.state.shutterBits;
    bits = parseShutterBits(in);
    checkShutterWiring(bits, console.state.motion.commands);
    if (bits.errors.empty()) return;
    console.ui.messageBox(std::string(kControllerSettingsFile) + ": the shutter settings cannot be used:" +
                              refusedSettingsList(console, bits.errors) +
                              "\nThe shutter buttons do not drive the shutters.",
                          Icon::Warning, Buttons::Ok, Button::Ok);
    console.channel->markSettingsRefused();
    showLinkChange(console);
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
        // Real shutters are not known until the controller's read-back
        // tells; until then each counts as open and can be closed.
        for (ShutterMotion& shutter : console.state.motion.model.shutters) shutter.phase = ShutterPhase::Unknown;
        showShutterStates(console);
        return;
    }
    onCloseS2(console);
    onOpenS1(console);
}
