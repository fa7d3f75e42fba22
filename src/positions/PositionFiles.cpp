#include "positions/PositionFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/Console.h"
#include "app/Failure.h"
#include "app/FileNames.h"
#include "app/LogFile.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "positions/PositionList.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {


}  // namespace

std::string formatPositionFile(const PositionFile& file) {
    std::string text;
    for (int32_t position : file.internalPosition) text += cformat("%d\t", position);
    text += "; internal position coordinates\n";
    for (int32_t lock : file.locked) text += cformat("%d\t", lock);
    text += "; lock status\n";
    return text;
}

bool parsePositionFile(std::istream& in, PositionFile& file) {
    TokenReader reader(in);
    for (int32_t& position : file.internalPosition) {
        if (!reader.readInt(position)) return false;
    }
    std::string rest;
    reader.readLine(rest);
    for (int32_t& lock : file.locked) {
        if (!reader.readInt(lock)) return false;
        lock = lock != 0 ? 1 : 0;
    }
    return true;
}

char positionExtensionDigit(const Console& console, bool hidden) {
    bool vacuum = console.fields.dutLocation == "Vacuum chamber";
    if (hidden) return vacuum ? '3' : '4';
    return vacuum ? '1' : '2';
}

bool isAcceptablePositionName(const std::string& name) {
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) return false;
    if (name.find("..") != std::string::npos) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) return false;
    }
    return true;
}

bool isListablePositionFile(const Console& console, const std::string& fileName) {
    const std::size_t extension = 4;  // ".po1" to ".po4"
    return fileName.size() > extension && isAcceptablePositionName(fileName.substr(0, fileName.size() - extension)) &&
           console.state.usersFolder.size() + fileName.size() <= CommandBuffer::kMaxLength;
}

PositionRead readPositionFile(Console& console, const std::string& entry, PositionFile& file) {
    ConsoleState& state = console.state;
    for (int i = 0; i < kAxisCount; ++i) {
        file.internalPosition[static_cast<std::size_t>(i)] = state.axes[i].internalPosition;
        file.locked[static_cast<std::size_t>(i)] = 0;
    }
    if (!isListablePositionFile(console, entry)) return PositionRead::Incomplete;
    std::ifstream in;
    if (!openInput(in, normalizeFileName(state, state.usersFolder + entry))) return PositionRead::CannotOpen;
    return parsePositionFile(in, file) ? PositionRead::Read : PositionRead::Incomplete;
}

std::string unusablePositionFileText(const std::string& entry) {
    return "File " + printablePositionName(entry) +
           " does not hold eight positions and eight locks (or its name cannot be used) - request ignored.";
}

void onSave(Console& console) {
    ConsoleState& state = console.state;
    takeDialogEntries(console);
    const std::string name = console.fields.newPositionName;
    if (name.empty()) {
        warnOperator(console, "No file name given - request ignored.");
        return;
    }
    std::string scratch = state.usersFolder + name + ".po" + positionExtensionDigit(console, false);
    if (!isAcceptablePositionName(name) || scratch.size() > CommandBuffer::kMaxLength) {
        warnOperator(console, "The name " + name +
                          " cannot be used for a position file (no folders, \"..\" or control characters; at most "
                          "127 characters with folder and extension) - request ignored.");
        return;
    }
    allHalt(console);
    std::string fullName = normalizeFileName(state, scratch);
    const std::string exists = "File " + fullName + " already exists - please select another file name.";
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(fullName, ec))) {
        warnOperator(console, exists);
        return;
    }
    // A hidden twin keeps its name reserved; it is only looked at, never
    // touched.
    std::string hiddenName = fullName;
    hiddenName[static_cast<std::size_t>(state.lastNameIndex)] = positionExtensionDigit(console, true);
    if (std::filesystem::exists(std::filesystem::symlink_status(hiddenName, ec))) {
        warnOperator(console, "Operation was unsuccessful - please choose another name.");
        return;
    }

    PositionFile file;
    for (int i = 0; i < kAxisCount; ++i) {
        file.internalPosition[static_cast<std::size_t>(i)] = state.axes[i].internalPosition;
        file.locked[static_cast<std::size_t>(i)] = state.axes[i].locked;
    }
    // The whole file appears under its name at once, or not at all.
    switch (saveNewFile(fullName, formatPositionFile(file))) {
        case SaveResult::Saved: break;
        case SaveResult::Exists: warnOperator(console, exists); return;
        case SaveResult::Failed:
            warnOperator(console, "Error opening file " + fullName + " - please fix the problem and restart the program.");
            return;
    }
    std::string saved = "Set " + name + " saved successfully.";
    writeLogEntry(console, saved);
    console.ui.messageBox(saved, Icon::Information, Buttons::Ok, Button::Ok);
    console.ui.setFocus(ControlId::Keyboard);
    onShowUnhidden(console);

    state.positionName = name;
    state.namedPositionName = name;
    for (Axis& axis : state.axes.axes) axis.namedPosition = axis.internalPosition;
    console.fields.positionName = name;
    console.fields.newPositionName.clear();
    showDialogFields(console);
}
