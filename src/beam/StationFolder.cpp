#include "beam/StationFolder.h"

#include <fstream>

#include "beam/BeamFiles.h"
#include "core/FileNames.h"
#include "core/Settings.h"
#include "energyloss/CalculationErrors.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

std::string cannotOpen(const std::string& name) {
    return "Error opening file " + name + " - please fix the problem and restart the program.";
}

}  // namespace

BeamGeometry StationFolder::geometry() const {
    return {axisValue(state.axes[kAxisS]), axisValue(state.axes[kAxisR]), axisValue(state.axes[kAxisT]),
            state.foilCount, state.options.foilTolerance};
}

std::string readStationFolder(StationFolder& station) {
    ConsoleState& state = station.state;
    state.traceFileName.clear();  // nothing is written
    std::ifstream in;
    if (!openInput(in, kCyclotronFile)) return cannotOpen(kCyclotronFile);
    state.cyclotronCode = parseCyclotronCode(in, state.cyclotronCode);
    state.foilCount = foilCountOf(state.cyclotronCode);
    in.close();
    if (!openInput(in, kDemoStatusFile)) return cannotOpen(kDemoStatusFile);
    state.demoStatus = parseInteger(in, state.demoStatus);
    state.usersFolder = usersFolderFor(state.demoStatus);
    in.close();
    if (!openInput(in, kOptionsFile)) return cannotOpen(kOptionsFile);
    state.options = parseOptions(in);
    in.close();
    if (!openInput(in, kTargetLocationFile)) return cannotOpen(kTargetLocationFile);
    state.dutLocation = parseInteger(in, state.dutLocation);
    in.close();
    const std::string setup = normalizeFileName(state, setupTableName(state.dutLocation, state.cyclotronCode));
    if (!openInput(in, setup)) return cannotOpen(setup);
    parseSetupTable(in, state.axes);
    in.close();
    if (!openInput(in, kStatusFileName)) return cannotOpen(kStatusFileName);
    StoredStatus stored;
    stored.dutLocation = state.dutLocation;
    parseStatusFile(in, stored);
    in.close();
    // A status file of the other location counts as every axis at home.
    for (int i = 0; i < kAxisCount; ++i) {
        const bool here = stored.dutLocation == state.dutLocation;
        state.axes[i].internalPosition = here ? stored.internalPosition[static_cast<std::size_t>(i)] : 0;
    }

    const bool simulation = state.simulation();
    const char* ionFile = simulation ? kBeamIonTmp : kBeamIonDat;
    if (!openInput(in, ionFile)) return cannotOpen(ionFile);
    const bool ionComplete = parseBeamIon(in, state.beam);
    in.close();
    // The console refuses such a beam before it recomputes (and so before Go).
    if (simulation) {
        if (const std::string refusal = beamIonRefusal(state.beam, ionComplete); !refusal.empty()) return refusal;
    }
    const char* nameFile = simulation ? kBeamNameTmp : kBeamNameDat;
    if (!openInput(in, nameFile)) return cannotOpen(nameFile);
    state.beam.beamName = normalizeFileName(state, readFirstLine(in));
    in.close();
    if (!simulation) {
        if (!openInput(in, kBeamResultsDat)) return cannotOpen(kBeamResultsDat);
        parseBeamResults(in, state.beam);
        in.close();
    }
    const CoefficientLoad coefficients = loadStoppingCoefficients(state.stopping);
    if (!coefficients.ok()) return coefficientLoadText(coefficients);

    bool layersMissing = false;
    station.layers = readDeviceLayers(layersMissing, station.layersProblem);
    if (layersMissing) station.layersProblem = cannotOpen(kLayersReversedFile);

    const std::optional<std::string> layerFileLine = readLayerFileNameLine();
    if (!layerFileLine) return cannotOpen(kLayerFileNameFile);
    const std::string layerFile = normalizeFileName(state, state.usersFolder + *layerFileLine);
    if (!readLayerFile(layerFile, station.goLayers, station.goLayersProblem)) {
        station.goLayersProblem = cannotOpen(layerFile);
    }
    return "";
}
