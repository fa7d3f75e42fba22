#include "positions/PositionList.h"

#include <algorithm>
#include <filesystem>

#include "axes/ActiveAxis.h"
#include "axes/AxisFiles.h"
#include "axes/MotionDriver.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "positions/PositionFiles.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {


bool selectionMissing(Console& console) {
    if (!console.state.selectedPositionFile.empty()) return false;
    warnOperator(console, "No file selected - request ignored.");
    return true;
}

// A file name as the list shows it.
std::string shownPositionName(const std::string& fileName) {
    bool valid = true;
    const std::string shown = validUtf8(fileName, "?", &valid);
    return valid ? shown : shown + " (name not UTF-8)";
}

void showList(Console& console, bool hidden) {
    std::vector<std::pair<std::string, std::string>>& listed = console.state.listedPositionFiles;
    listed.clear();
    std::vector<std::string> shown;
    for (const std::string& name : listPositionFiles(console, hidden)) {
        listed.emplace_back(shownPositionName(name), name);
        shown.push_back(listed.back().first);
    }
    console.ui.setListItems(ControlId::PositionList, shown);
    console.ui.setEnabled(ControlId::Unhide, hidden);
    console.ui.setEnabled(ControlId::Hide, !hidden);
}

// Hide (`hidden` true) or Unhide the selected file by renaming its last
// character; an existing file of the new name is never replaced.
void changeVisibility(Console& console, bool hidden, const std::string& question) {
    ConsoleState& state = console.state;
    if (selectionMissing(console)) return;
    if (console.ui.messageBox(question, Icon::Warning, Buttons::YesNo, Button::No, "Are you sure?") != Button::Yes) {
        return;
    }
    std::string from = normalizeFileName(state, state.usersFolder + state.selectedPositionFile);
    std::string to = from;
    if (!to.empty()) to[static_cast<std::size_t>(state.lastNameIndex)] = positionExtensionDigit(console, hidden);
    if (to == from || !renameNoReplace(from, to)) {
        warnOperator(console, "Operation was unsuccessful.");
        return;
    }
    state.selectedPositionFile.clear();
    showList(console, !hidden);
}

}  // namespace

std::vector<std::string> listPositionFiles(const Console& console, bool hidden) {
    std::string extension = std::string(".po") + positionExtensionDigit(console, hidden);
    std::string folder = console.state.usersFolder.empty() ? "." : console.state.usersFolder;
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        bool matches = name.size() > extension.size() &&
                       name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
        std::error_code typeError;
        // Only names Save could have made: one holding a line end would end
        // up in the status file.
        if (matches && it->is_regular_file(typeError) && isListablePositionFile(console, name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void onShowUnhidden(Console& console) {
    showList(console, false);
}

void onShowHidden(Console& console) {
    showList(console, true);
}

void onPositionSelected(Console& console) {
    takeDialogEntries(console);
    const std::string& entry = console.fields.positionListSelection;
    if (entry.empty()) stopProgram(console, "Error selecting file from the list");
    // The file behind the entry, as the file system holds its name.
    std::string fileName = entry;
    for (const auto& [shown, name] : console.state.listedPositionFiles) {
        if (shown == entry) fileName = name;
    }
    console.state.selectedPositionFile = fileName;
    warnOperator(console, "File " + entry + " has been selected.");
}

namespace {

// Under the Restore question: where each axis goes, and which stay.
std::string restoreTargetsText(const AxisTable& axes, const PositionFile& file) {
    std::string text = "\n\nThe file's positions:";
    for (int i = 0; i < kAxisCount; ++i) {
        const Axis& axis = axes[i];
        text += cformat("\n%c  %.3f %s", axis.letter, axisValueAt(axis, file.internalPosition[static_cast<std::size_t>(i)]),
                        axis.unit.c_str());
        if (axis.locked != 0) text += cformat("  (locked: stays at %.3f %s)", axisValue(axis), axis.unit.c_str());
    }
    return text;
}

}  // namespace

void onRestore(Console& console) {
    ConsoleState& state = console.state;
    if (selectionMissing(console)) return;
    allHalt(console);
    PositionFile file;
    switch (readPositionFile(console, state.selectedPositionFile, file)) {
        case PositionRead::Read: break;
        case PositionRead::CannotOpen:
            warnOperator(console, "Error opening file " + state.selectedPositionFile +
                                      " - please fix the problem and restart the program.");
            return;
        case PositionRead::Incomplete: warnOperator(console, unusablePositionFileText(state.selectedPositionFile)); return;
    }
    bool anyLocked = std::any_of(state.axes.axes.begin(), state.axes.axes.end(),
                                 [](const Axis& axis) { return axis.locked != 0; });
    if (anyLocked && console.ui.messageBox("Coordinates along axes that are currently locked will not be changed." +
                                               restoreTargetsText(state.axes, file),
                                           Icon::Information, Buttons::OkCancel, Button::Ok) != Button::Ok) {
        console.ui.setFocus(ControlId::Keyboard);
        return;
    }
    // Every axis that would move must be able to, before anything changes.
    for (int i = 0; i < kAxisCount; ++i) {
        const Axis& axis = state.axes[i];
        const int32_t target = file.internalPosition[static_cast<std::size_t>(i)];
        if (axis.locked != 0 || target == axis.internalPosition) continue;
        std::string refusal;
        if (beyondLimit(axis, target, static_cast<int64_t>(target) - axis.internalPosition)) {
            refusal = std::string(kLimitText) + " (" + state.selectedPositionFile + ", axis " + axis.letter + ": " +
                      limitsText(axis).substr(2);
        } else {
            refusal = motionRefusal(console, moveEvent(i, target));
        }
        if (!refusal.empty()) {
            warnOperator(console, refusal);
            return;
        }
    }
    for (int i = 0; i < kAxisCount; ++i) state.axes[i].namedPosition = file.internalPosition[static_cast<std::size_t>(i)];
    state.positionName = "Current";
    console.fields.positionName = "Current";
    console.ui.setText(ControlId::DutPosition, "Current");
    const std::string& entry = state.selectedPositionFile;
    state.namedPositionName = entry.size() < 4 ? entry : entry.substr(0, entry.size() - 4);
    std::string notSent;
    for (int i = 0; i < kAxisCount; ++i) {
        const int32_t target = file.internalPosition[static_cast<std::size_t>(i)];
        if (state.axes[i].locked != 0 || target == state.axes[i].internalPosition) continue;
        const std::string refusal = motionRequest(console, moveEvent(i, target));
        if (notSent.empty()) notSent = refusal;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (file.locked[static_cast<std::size_t>(i)] != 0) state.axes[i].locked = 1;
        console.fields.locked[static_cast<std::size_t>(i)] = state.axes[i].locked;
    }
    // A locked active axis cannot be operated.
    if (state.activeAxis >= 0 && state.activeAxis < kAxisCount && state.axes[state.activeAxis].locked != 0) {
        for (ControlId id : kAxisOperationControls) console.ui.setEnabled(id, false);
    }
    showDialogFields(console);
    if (!notSent.empty()) warnOperator(console, notSent);
}

void onHide(Console& console) {
    changeVisibility(console, true,
                     "This will hide the selected position file from this list. "
                     "However, you will not be allowed to reuse this file name "
                     "until the file is physically removed from the user folder by the administrator.\n\n"
                     "Click Yes to continue or No cancel the request.\n\n");
}

void onUnhide(Console& console) {
    changeVisibility(console, false,
                     "This will unhide the selected position file from this list.\n\n"
                     "Click Yes to continue or No cancel the request.\n\n");
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
    if (!isAcceptablePositionName(name) || characterCount(scratch) > CommandBuffer::kMaxLength) {
        warnOperator(console, "The name " + name +
                          " cannot be used for a position file (no folders, \"..\" or control characters; at most "
                          "127 characters with folder and extension) - request ignored.");
        return;
    }
    allHalt(console);
    // The positions saved are those the axes stand at.
    if (!waitForRest(console, kSaveRestWait)) {
        warnOperator(console, "The axes have not come to rest - the position was not saved.");
        return;
    }
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
