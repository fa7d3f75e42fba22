#pragma once

#include <string>

struct Console;

// "Error opening file " + name + " - please fix the problem and restart the program."
std::string openErrorText(const std::string& fileName);

// Shows `message` (caption "Tarvex", stop icon, OK), ends the dialog as if
// cancelled (unless `endDialog` is false) and ends the process with exit code
// 1. Used wherever the console cannot go on, at start-up and in the middle of
// an operation alike.
[[noreturn]] void stopProgram(Console& console, const std::string& message, bool endDialog = true);

// A warning box (caption "Tarvex", OK) after which the keyboard focus goes
// back to the keyboard box, as every refused operator request ends.
void warnOperator(Console& console, const std::string& text);

// stopProgram with the open-failure text for `fileName`.
[[noreturn]] void stopOnOpenError(Console& console, const std::string& fileName, bool endDialog = true);
