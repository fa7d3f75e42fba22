#pragma once

#include <fstream>
#include <string>

struct Console;
struct ConsoleCore;

// "Error opening file " + name + " - please fix the problem and restart the program."
std::string openErrorText(const std::string& fileName);

// Shows `message` (caption "Tarvex", stop icon, OK), ends the dialog as if
// cancelled (unless `endDialog` is false) and ends the process with exit code
// 1 (failureExit). Used wherever the console cannot go on, at start-up and in
// the middle of an operation alike; at start-up a second line names the
// working folder, where every file was looked for.
[[noreturn]] void stopProgram(ConsoleCore& console, const std::string& message, bool endDialog = true);

// A warning box (caption "Tarvex", OK) after which the keyboard focus goes
// back to the keyboard box, as every refused operator request ends.
void warnOperator(Console& console, const std::string& text);

// Ends the process with `code` after a failure the operator has been told
// about (`why`), the dialog closed as if cancelled first when `endDialog`. The
// beforeFailureExit hook runs first (the open beam run ends); when this
// process created the own run marker it is removed, so the parent program
// never sees the marker of a console that is not running.
[[noreturn]] void failureExit(ConsoleCore& console, int code = 1, const std::string& why = "",
                              bool endDialog = false);

// stopProgram with the open-failure text for `fileName`.
[[noreturn]] void stopOnOpenError(ConsoleCore& console, const std::string& fileName, bool endDialog = true);

// `fileName` opened for reading; when it cannot be opened, stopOnOpenError.
std::ifstream openInputOrStop(ConsoleCore& console, const std::string& fileName, bool endDialog = true);

// stopProgram for a file that opens but cannot be used: "Error reading file "
// + name + ": " + what + " - please fix the problem and restart the program."
[[noreturn]] void stopOnBadContent(ConsoleCore& console, const std::string& fileName, const std::string& what,
                                   bool endDialog = true);
