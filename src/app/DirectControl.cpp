#include "app/DirectControl.h"

#include <vector>

#include "app/ExitSequence.h"
#include "axes/MotionDriver.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Failure.h"
#include "core/LogFile.h"
#include "util/TextFiles.h"

const std::array<const char*, 17> kDirectCommandPresets = {
    "AA;RP;",     "AX;AF;HM0;", "AY;AF;HM0;", "AZ;AF;HM0;", "AT;AF;HM0;", "AU;AF;HM0;",
    "AV;AF;HM0;", "AR;AF;HM0;", "AS;AF;HM0;", "BL4;",       "BH4;",       "BL5;",
    "BH5;",       "BL6;",       "BH6;",       "BL7;",       "BH7;",
};

namespace {

// Tell's three steps; false when the text does not fit the command buffer.
// Ask waits longer for the controller's answer.
bool tell(Console& console, bool ask = false) {
    console.ui.transferFromControls(console.fields);
    console.ui.setFocus(ControlId::Keyboard);
    const std::string& text = console.fields.directCommand;
    if (text.size() > CommandBuffer::kMaxLength) {
        console.ui.messageBox("The command is longer than 127 characters - request ignored.", Icon::Warning,
                              Buttons::Ok, Button::Ok);
        return false;
    }
    if (!ask) {
        sendCommand(console, text);
        return true;
    }
    console.state.commandBuffer.set(text);
    console.channel->ask(console.state.commandBuffer.text());
    showLinkChange(console);
    return true;
}

}  // namespace

void onDirectControl(Console& console) {
    DialogFields& fields = console.fields;
    fields.directControl = 1 - fields.directControl;
    Ui& ui = console.ui;
    if (fields.directControl == 1) {
        writeLogEntry(console, "Control transfered to the command line input.");
        ui.messageBox("Control of the positioning system has now been transfered exclusively to the command line "
                      "input. You must restart the program to resume with the standard mode of operation.",
                      Icon::Warning, Buttons::Ok, Button::Ok);
        ui.setFocus(ControlId::Keyboard);
        ui.setListItems(ControlId::DirectCommand,
                        std::vector<std::string>(kDirectCommandPresets.begin(), kDirectCommandPresets.end()));
        for (ControlId id : {ControlId::DirectCommand, ControlId::Ask, ControlId::Tell}) {
            ui.setEnabled(id, true);
            ui.setVisible(id, true);
        }
        // From now on the console sends no command of its own.
        ui.stopTimer(kCameraTimer);
        ui.stopTimer(kMotionTimer);
        ui.stopTimer(kReadBackTimer);
        return;
    }
    exitSequence(console);
    ui.closeDialog(2);
    failureExit(console);
}

void onTell(Console& console) {
    tell(console);
}

void onAsk(Console& console) {
    if (tell(console, true)) setStatusText(console, commandReply(console));
}

void onReset(Console& console) {
    stopAllAxes(console, kStopWait);
    sendCommand(console, "SA;");
}

void onHelp(Console& console) {
    console.ui.setFocus(ControlId::Keyboard);
    console.ui.showDocument(fullPath("Tarvex.htm"));
}
