#include "app/LogFile.h"

#include "app/Console.h"
#include "app/Failure.h"
#include "app/FileNames.h"
#include "app/Settings.h"
#include "util/TextFiles.h"

std::string logTimeStamp(const std::tm& localTime) {
    char text[64];
    std::size_t length = std::strftime(text, sizeof text, "%y/%m/%d   %H:%M:%S   ", &localTime);
    return std::string(text, length);
}

void writeLogEntry(Console& console, const std::string& text) {
    ConsoleState& state = console.state;
    std::string line = readLogFileNameLine(console);
    console.fields.logFile = normalizeFileName(state, line);
    // The folder goes in front of the full line, not of the shortened name.
    line = state.usersFolder + line;
    std::string path = normalizeFileName(state, line);

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (!appendToFile(path, logTimeStamp(local) + text + "\n")) stopOnOpenError(console, path);
}

void setStatusText(Console& console, const std::string& text) {
    console.fields.status = text;
    console.ui.setText(ControlId::Status, text);
}

void onClear(Console& console) {
    setStatusText(console, "");
    writeLogEntry(console, "Status bar cleared");
}
