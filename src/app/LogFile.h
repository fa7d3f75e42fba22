#pragma once

#include <ctime>
#include <string>

struct Console;

// The operator log: one time-stamped entry per call, appended to the file
// named by the first line of "CurrentLogFileName.dat" (read afresh on every
// entry, so another program may switch the log between entries).
void writeLogEntry(Console& console, const std::string& text);

// "%y/%m/%d   %H:%M:%S   " for a local time.
std::string logTimeStamp(const std::tm& localTime);

// Puts `text` into the status line and shows it at once.
void setStatusText(Console& console, const std::string& text);

// Clear button: empties the status line and logs it.
void onClear(Console& console);
