#include "beam/CommittedGeometry.h"

#include <filesystem>
#include <fstream>

#include "beam/BeamFiles.h"
#include "core/Console.h"
#include "core/Failure.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// "S 2.000, R 30.000, T 15.000" in the axes' user units.
std::string geometryText(const ConsoleState& state, const CommittedGeometry& geometry) {
    auto value = [&state](int index, int32_t counts) {
        return cformat("%.3f", axisValueAt(state.axes[index], counts));
    };
    return "S " + value(kAxisS, geometry.s) + ", R " + value(kAxisR, geometry.r) + ", T " + value(kAxisT, geometry.t);
}

}  // namespace

std::string formatBeamGeometry(const CommittedGeometry& geometry) {
    return cformat("%d   %d   %d\n", geometry.s, geometry.r, geometry.t);
}

bool parseBeamGeometry(std::istream& in, CommittedGeometry& geometry) {
    TokenReader reader(in);
    return reader.readInt(geometry.s) && reader.readInt(geometry.r) && reader.readInt(geometry.t);
}

CommittedGeometry currentBeamGeometry(const ConsoleState& state) {
    return {state.axes[kAxisS].internalPosition, state.axes[kAxisR].internalPosition,
            state.axes[kAxisT].internalPosition};
}

namespace {

constexpr const char* kPendingRecord = "pending\n";

// The record as it stands, false when it cannot be read.
bool readRecorded(CommittedGeometry& recorded) {
    std::ifstream in;
    return openInput(in, kBeamGeometryFile) && parseBeamGeometry(in, recorded);
}

void writeRecord(ConsoleCore& console, const std::string& content) {
    if (!replaceFileContent(kBeamGeometryFile, content)) stopOnOpenError(console, kBeamGeometryFile);
}

}  // namespace

void markBeamGeometryPending(ConsoleCore& console) {
    // A halt recomputes at the same geometry: the record stands, and the
    // flush to disk is spared.
    CommittedGeometry recorded;
    if (readRecorded(recorded) && recorded == currentBeamGeometry(console.state)) return;
    writeRecord(console, kPendingRecord);
}

void recordBeamGeometry(ConsoleCore& console) {
    const CommittedGeometry now = currentBeamGeometry(console.state);
    CommittedGeometry recorded;
    if (readRecorded(recorded) && recorded == now) return;
    writeRecord(console, formatBeamGeometry(now));
}

std::string beamGeometryChange(const ConsoleState& state, const std::string& source) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(kBeamGeometryFile, ec))) return "";
    CommittedGeometry recorded;
    const bool readable = readRecorded(recorded);
    const CommittedGeometry now = currentBeamGeometry(state);
    if (readable && recorded == now) return "";
    std::string committed = "has no readable " + std::string(kBeamGeometryFile);
    if (readable) {
        committed = "was committed for " + geometryText(state, recorded);
    } else if (std::ifstream in; openInput(in, kBeamGeometryFile) && readFirstLine(in) + "\n" == kPendingRecord) {
        committed = "was being committed when the console last ended";
    }
    return "the stored beam " + committed + ", " + source + " " + geometryText(state, now);
}
