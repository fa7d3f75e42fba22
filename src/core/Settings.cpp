#include "core/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

int parseInteger(std::istream& in, int previous) {
    TokenReader reader(in);
    int32_t value = previous;
    reader.readInt(value);
    return value;
}

int parseCyclotronCode(std::istream& in, int previousCode) {
    TokenReader reader(in);
    int32_t value = 0;
    if (!reader.readInt(value)) return previousCode;
    return value == kCyclotronBelm ? kCyclotronBelm : kCyclotronArdo;
}

Options parseOptions(std::istream& in) {
    Options options;
    TokenReader reader(in);
    int32_t unusedInt = 0;
    double unusedReal = 0;
    // Label, then numbers 1 to 12, which the console does not use but must
    // read with their types to reach the three it does.
    reader.skipChars(7);
    reader.readInt(unusedInt);   // 1
    reader.readInt(unusedInt);   // 2
    reader.readReal(unusedReal); // 3
    reader.readInt(unusedInt);   // 4
    for (int pair = 0; pair < 3; ++pair) {  // 5/6, 7/8, 9/10: mantissa and exponent
        reader.readReal(unusedReal);
        reader.readInt(unusedInt);
    }
    reader.readReal(unusedReal); // 11
    reader.readInt(unusedInt);   // 12
    reader.readReal(options.foilTolerance);
    reader.readReal(options.slitToleranceU);
    reader.readReal(options.slitToleranceV);
    return options;
}

void readCyclotronInUse(ConsoleCore& console) {
    // Read by many handlers; a failure ends the process without ending the
    // dialog first.
    std::ifstream in = openInputOrStop(console, kCyclotronFile, false);
    console.state.cyclotronCode = parseCyclotronCode(in, console.state.cyclotronCode);
}

void readSkipInfoMessages(ConsoleCore& console) {
    std::ifstream in = openInputOrStop(console, kSkipInfoMessagesFile);
    parseInteger(in, 0);
}

void readDemoStatus(ConsoleCore& console) {
    std::ifstream in = openInputOrStop(console, kDemoStatusFile);
    console.state.demoStatus = parseInteger(in, console.state.demoStatus);
}

void readTargetLocation(ConsoleCore& console) {
    std::ifstream in = openInputOrStop(console, kTargetLocationFile);
    // Without a location every saved position and lock would be reset as
    // for a changed setup.
    TokenReader reader(in);
    int32_t location = 0;
    if (!reader.readInt(location)) stopOnBadContent(console, kTargetLocationFile, "it holds no DUT location number");
    console.state.dutLocation = location;
}

Options readOptions(ConsoleCore& console) {
    std::string name = normalizeFileName(console.state, kOptionsFile);
    std::ifstream in;
    if (!openInput(in, name)) {
        // This one message ends without the final period.
        stopProgram(console, "Error opening file " + name + " - please fix the problem and restart the program");
    }
    return parseOptions(in);
}

std::optional<std::string> readLogFileName() {
    std::ifstream in;
    if (!openInput(in, kLogFileNameFile)) return std::nullopt;
    std::string line;
    TokenReader(in).readLine(line);
    return line;
}

std::string readLogFileNameLine(ConsoleCore& console) {
    const std::optional<std::string> name = readLogFileName();
    if (!name) stopOnOpenError(console, kLogFileNameFile);
    const std::string& line = *name;
    if (!isInsideWorkingFolder(line)) {
        stopOnBadContent(console, kLogFileNameFile,
                         "the log file " + line + " would lie outside the working folder (an absolute name or \"..\")");
    }
    return line;
}

void checkLogFileAtStartUp(ConsoleCore& console, const std::string& line) {
    const std::string& folder = console.state.usersFolder;
    const std::string path = folder + line;
    std::string why;
    struct stat info {};
    if (line.find_first_not_of(" \t") == std::string::npos) {
        why = "it names no log file";
    } else if (characterCount(path) > CommandBuffer::kMaxLength) {
        why = "the log file " + path.substr(0, 40) + "... is longer than 127 characters with its folder";
    } else if (!folder.empty() && ::stat(folder.c_str(), &info) != 0) {
        why = "the users folder " + folder + " does not exist";
    } else if (!folder.empty() && !S_ISDIR(info.st_mode)) {
        why = "the users folder " + folder + " is not a folder";
    } else if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
        why = "the folder of the log file " + path + " cannot be written";
    } else if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        why = "the log file " + path + " is not a regular file";
    } else if (::lstat(path.c_str(), &info) == 0 && ::access(path.c_str(), W_OK) != 0) {
        why = "the log file " + path + " cannot be written";
    }
    if (!why.empty()) stopOnBadContent(console, kLogFileNameFile, why);
}

bool isInsideWorkingFolder(const std::string& name) {
    return name.find("..") == std::string::npos && (name.empty() || (name[0] != '/' && name[0] != '\\'));
}
