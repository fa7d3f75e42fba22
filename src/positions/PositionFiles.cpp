#include "positions/PositionFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "core/LogFile.h"
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
    bool vacuum = console.state.inVacuumChamber();
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
           characterCount(console.state.usersFolder + fileName) <= CommandBuffer::kMaxLength;
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
