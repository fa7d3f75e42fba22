#include "core/LogFile.h"


#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/Settings.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

// The entry's path for the first line of "CurrentLogFileName.dat"; the
// "Log file:" field takes the name.
std::string logPathFor(ConsoleCore& console, std::string line) {
    ConsoleState& state = console.state;
    console.fields.logFile = normalizeFileName(state, line);
    // The folder goes in front of the full line, not of the shortened name.
    line = state.usersFolder + line;
    return normalizeFileName(state, line);
}

std::string timeStamped(const std::string& text) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return logTimeStamp(local) + text + "\n";
}

}  // namespace

void writeLogEntry(ConsoleCore& console, const std::string& text) {
    std::string path = logPathFor(console, readLogFileNameLine(console));
    std::string why;
    AppendResult result = appendText(path, timeStamped(text), &why);
    if (result == AppendResult::OpenFailed) stopOnOpenError(console, path);
    reportWriteResult(console, path, result == AppendResult::Written, why);
}

bool tryWriteLogEntry(Console& console, const std::string& text) {
    const std::optional<std::string> line = readLogFileName();
    if (!line) return false;
    return appendToFile(logPathFor(console, *line), timeStamped(text));
}

void reportWriteResult(ConsoleCore& console, const std::string& fileName, bool written, const std::string& why) {
    std::set<std::string>& failing = console.state.unwritableFiles;
    if (written) {
        failing.erase(fileName);
        return;
    }
    if (!failing.insert(fileName).second) return;
    setStatusText(console, "Cannot write " + fileName + " - " + (why.empty() ? "is the disk full?" : why));
    console.messages.report("Error writing file " + fileName + " - " + (why.empty() ? "the disk may be full" : why) +
                                ". What the console writes there is lost until the file can be written again. "
                                "Please fix the problem.",
                            Icon::Warning);
}

void setStatusText(ConsoleCore& console, const std::string& text) {
    console.fields.status = text;
    console.messages.fieldChanged(ControlId::Status, text);
}

void onClear(Console& console) {
    setStatusText(console, "");
    writeLogEntry(console, "Status bar cleared");
}
