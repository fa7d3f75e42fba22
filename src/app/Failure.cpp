#include "app/Failure.h"

#include <cstdlib>

#include "app/Console.h"

std::string openErrorText(const std::string& fileName) {
    return "Error opening file " + fileName + " - please fix the problem and restart the program.";
}

void stopProgram(Console& console, const std::string& message, bool endDialog) {
    console.ui.messageBox(message, Icon::Stop, Buttons::Ok, Button::Ok);
    if (endDialog) console.ui.closeDialog(2);
    console.ui.exitProcess(1);
    std::abort();  // exitProcess does not return
}

void stopOnOpenError(Console& console, const std::string& fileName, bool endDialog) {
    stopProgram(console, openErrorText(fileName), endDialog);
}

void warnOperator(Console& console, const std::string& text) {
    console.ui.messageBox(text, Icon::Warning, Buttons::Ok, Button::Ok);
    console.ui.setFocus(ControlId::Keyboard);
}
