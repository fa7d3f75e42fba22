#include "app/Failure.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/Console.h"
#include "app/Startup.h"
#include "axes/HardwareMotion.h"
#include "util/TextFiles.h"

std::string openErrorText(const std::string& fileName) {
    return "Error opening file " + fileName + " - please fix the problem and restart the program.";
}

namespace {

// Every axis stops before the program ends, once per end.
void stopForEnd(Console& console) {
    if (console.state.simulation() || console.state.motion.stoppedForEnd) return;
    console.state.motion.stoppedForEnd = true;
    stopAllAxes(console, kEndingStopWait);
}

}  // namespace

void failureExit(Console& console, int code, const std::string& why) {
    stopForEnd(console);
    // Taken out first: a failure inside the hook ends the program at once.
    if (auto hook = std::exchange(console.beforeFailureExit, nullptr)) hook(why);
    if (console.state.ownRunMarkerCreated) std::remove(kOwnRunMarker);
    console.ui.exitProcess(code);
    std::abort();  // exitProcess does not return
}

void stopProgram(Console& console, const std::string& message, bool endDialog) {
    stopForEnd(console);  // before the operator reads the message
    const std::string text =
        console.state.startingUp ? message + "\nWorking folder: " + fullPath("") : message;
    console.ui.messageBox(text, Icon::Stop, Buttons::Ok, Button::Ok);
    if (endDialog) console.ui.closeDialog(2);
    failureExit(console, 1, message);
}

void stopOnOpenError(Console& console, const std::string& fileName, bool endDialog) {
    stopProgram(console, openErrorText(fileName), endDialog);
}

void stopOnBadContent(Console& console, const std::string& fileName, const std::string& what, bool endDialog) {
    stopProgram(console,
                "Error reading file " + fileName + ": " + what + " - please fix the problem and restart the program.",
                endDialog);
}

void warnOperator(Console& console, const std::string& text) {
    console.ui.messageBox(text, Icon::Warning, Buttons::Ok, Button::Ok);
    console.ui.setFocus(ControlId::Keyboard);
}
