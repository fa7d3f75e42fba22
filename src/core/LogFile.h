#pragma once

#include <ctime>
#include <string>

struct Console;
struct ConsoleCore;

// The operator log: one time-stamped entry per call, appended to the file
// named by the first line of "CurrentLogFileName.dat" (read afresh on every
// entry, so another program may switch the log between entries).
void writeLogEntry(ConsoleCore& console, const std::string& text);

// The same entry where the program is ending already: false instead of
// stopping when the log cannot be written.
bool tryWriteLogEntry(Console& console, const std::string& text);

// After a write to a log, journal or report: the first failure of a file is
// reported on the status line and in a warning naming the file; later
// failures of the same file are not repeated until a write succeeds again.
// `why` is the cause when it is known ("No space left on device").
void reportWriteResult(ConsoleCore& console, const std::string& fileName, bool written, const std::string& why = "");

// Puts `text` into the status line and shows it at once.
void setStatusText(ConsoleCore& console, const std::string& text);

// Clear button: empties the status line and logs it.
void onClear(Console& console);
