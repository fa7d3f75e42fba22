#pragma once

#include <istream>
#include <optional>
#include <string>

#include "core/Cyclotrons.h"
#include "core/Options.h"

struct ConsoleCore;

// Settings files of the working folder. Each reader opens its file afresh,
// reads it by the token rule and closes it; a file that cannot be opened stops
// the program with its open-failure message.

inline constexpr const char* kDemoStatusFile = "DemoStatus.dat";
inline constexpr const char* kTargetLocationFile = "TargetLocation.dat";
inline constexpr const char* kCyclotronFile = "CyclotronInUse.dat";
inline constexpr const char* kSkipInfoMessagesFile = "SkipInfoMessages.dat";
inline constexpr const char* kOptionsFile = "Options.dat";
inline constexpr const char* kLogFileNameFile = "CurrentLogFileName.dat";

// Stream halves, for the tests.
int parseCyclotronCode(std::istream& in, int previousCode);   // Belm stays, any other number gives Ardo
int parseInteger(std::istream& in, int previous);             // one integer, or `previous`
Options parseOptions(std::istream& in);

// File halves, over the console's state.
void readCyclotronInUse(ConsoleCore& console);    // cyclotronCode
void readSkipInfoMessages(ConsoleCore& console);  // read for its presence only
void readDemoStatus(ConsoleCore& console);        // demoStatus
void readTargetLocation(ConsoleCore& console);    // dutLocation
Options readOptions(ConsoleCore& console);        // opened through normalizeFileName
// First line of "CurrentLogFileName.dat", without its line end. A name that
// is absolute or holds ".." is refused: the program ends naming the file.
std::string readLogFileNameLine(ConsoleCore& console);

// The operator log as start-up finds it, so that no entry later ends the
// console in the middle of an operation: the name is whole (at most 127
// characters with the users folder), the users folder exists, is a folder
// and can be written, and the log, where it exists, is a regular file that
// can be written. Ends the program naming the problem.
void checkLogFileAtStartUp(ConsoleCore& console, const std::string& line);
// The same line as it stands, unchecked; nothing when the file cannot be
// opened (for a log entry that must not end the program).
std::optional<std::string> readLogFileName();
// False for a name that is absolute or holds "..".
bool isInsideWorkingFolder(const std::string& name);
