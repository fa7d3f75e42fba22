#include "positions/Preview.h"

#include <fstream>

#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
#include "positions/PositionFiles.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

// Dialog row order: S above R.
constexpr int kRowOrder[kAxisCount] = {kAxisX, kAxisY, kAxisZ, kAxisT, kAxisU, kAxisV, kAxisS, kAxisR};

}  // namespace

void onPreview(Console& console) {
    ConsoleState& state = console.state;
    const std::string entry = state.selectedPositionFile;
    if (entry.empty()) {
        warnOperator(console, "No file selected - request ignored.");
        return;
    }
    PositionFile file;
    switch (readPositionFile(console, entry, file)) {
        case PositionRead::Read: break;
        case PositionRead::CannotOpen:
            warnOperator(console, "Error opening file " + entry + " - please fix the problem and restart the program.");
            return;
        case PositionRead::Incomplete: warnOperator(console, unusablePositionFileText(entry)); return;
    }
    std::string text;
    for (int index : kRowOrder) {
        const Axis& axis = state.axes[index];
        const int32_t counts = file.internalPosition[static_cast<std::size_t>(index)];
        text += cformat("%c : %8.3f ", axis.letter, axisValueAt(axis, counts)) + axis.unit;
        if (file.locked[static_cast<std::size_t>(index)] == 1) text += " \t(to be locked)";
        text += "\n";
    }
    std::ofstream out;
    if (!openOutput(out, "Preview.txt")) {
        warnOperator(console, "Error opening file Preview.txt - please fix the problem and restart the program.");
        return;
    }
    out << text;
    out.close();
    reportWriteResult(console, "Preview.txt", !out.fail());
    showTextCopy(console, "Preview.txt");
}

std::string textCopyName(const std::string& fileName) {
    std::string rest = fileName;
    std::size_t slash = rest.find_last_of("\\/");
    if (slash != std::string::npos) rest = rest.substr(slash + 1);
    if (rest.size() >= 5 && rest[rest.size() - 4] == '.') {
        rest[rest.size() - 4] = '(';
        rest += ")";
    }
    return "Copy of " + rest + ".txt";
}

void showTextCopy(Console& console, const std::string& fileName) {
    std::string copyName = normalizeFileName(console.state, textCopyName(fileName));
    std::ifstream in;
    if (!openInput(in, fileName)) {
        console.ui.messageBox("Error opening file " + fileName, Icon::Stop, Buttons::Ok, Button::Ok);
        return;
    }
    std::ofstream out;
    if (!openOutput(out, copyName)) {
        console.ui.messageBox("Error opening file " + copyName, Icon::Stop, Buttons::Ok, Button::Ok);
        return;
    }
    std::string line;
    while (std::getline(in, line)) {
        out << line;
        if (!in.eof()) out << "\n";  // the text after the last line feed has no line end
    }
    out.close();
    reportWriteResult(console, copyName, !out.fail());
    console.ui.showDocument(fullPath(copyName));
}
