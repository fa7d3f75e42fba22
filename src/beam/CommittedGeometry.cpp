#include "beam/CommittedGeometry.h"

#include <filesystem>
#include <fstream>

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

void recordBeamGeometry(ConsoleCore& console) {
    const CommittedGeometry now = currentBeamGeometry(console.state);
    // A halt recomputes at the same geometry: the record stands, and the
    // flush to disk is spared.
    CommittedGeometry recorded;
    std::ifstream in;
    if (openInput(in, kBeamGeometryFile) && parseBeamGeometry(in, recorded) && recorded == now) return;
    if (!replaceFileContent(kBeamGeometryFile, formatBeamGeometry(now))) {
        stopOnOpenError(console, kBeamGeometryFile);
    }
}

std::string beamGeometryChange(const ConsoleState& state) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(kBeamGeometryFile, ec))) return "";
    CommittedGeometry recorded;
    std::ifstream in;
    bool readable = openInput(in, kBeamGeometryFile) && parseBeamGeometry(in, recorded);
    const CommittedGeometry now = currentBeamGeometry(state);
    if (readable && recorded == now) return "";
    const std::string committed =
        readable ? "was committed for " + geometryText(state, recorded) : "has no readable " + std::string(kBeamGeometryFile);
    return "the stored beam " + committed + ", the status file holds " + geometryText(state, now);
}
