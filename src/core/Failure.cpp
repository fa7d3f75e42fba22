#include "core/Failure.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/Console.h"
#include "core/FileNames.h"
#include "util/TextFiles.h"

std::string openErrorText(const std::string& fileName) {
    return "Error opening file " + fileName + " - please fix the problem and restart the program.";
}

void failureExit(ConsoleCore& console, int code, const std::string& why, bool endDialog) {
    console.messages.ending();
    // Taken out first: a failure inside the hook ends the program at once.
    if (auto hook = std::exchange(console.beforeFailureExit, nullptr)) hook(why);
    if (console.state.ownRunMarkerCreated) std::remove(kOwnRunMarker);
    console.messages.stop(code, endDialog);
    std::abort();  // stop does not return
}

void stopProgram(ConsoleCore& console, const std::string& message, bool endDialog) {
    console.messages.ending();  // before the operator reads the message
    const std::string text =
        console.state.startingUp ? message + "\nWorking folder: " + fullPath("") : message;
    console.messages.report(text, Icon::Stop);
    failureExit(console, 1, message, endDialog);
}

void stopOnOpenError(ConsoleCore& console, const std::string& fileName, bool endDialog) {
    stopProgram(console, openErrorText(fileName), endDialog);
}

std::ifstream openInputOrStop(ConsoleCore& console, const std::string& fileName, bool endDialog) {
    std::ifstream in;
    if (!openInput(in, fileName)) stopOnOpenError(console, fileName, endDialog);
    return in;
}

void stopOnBadContent(ConsoleCore& console, const std::string& fileName, const std::string& what, bool endDialog) {
    stopProgram(console,
                "Error reading file " + fileName + ": " + what + " - please fix the problem and restart the program.",
                endDialog);
}

void warnOperator(Console& console, const std::string& text) {
    console.ui.messageBox(text, Icon::Warning, Buttons::Ok, Button::Ok);
    console.ui.setFocus(ControlId::Keyboard);
}
