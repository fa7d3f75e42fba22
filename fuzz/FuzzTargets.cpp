#include "FuzzTargets.h"

#include <memory>
#include <sstream>

#include "app/Settings.h"
#include "axes/AxisTable.h"
#include "axes/ControllerChannel.h"
#include "axes/TcpChannel.h"
#include "beam/BeamFiles.h"
#include "beam/BraggPlot.h"
#include "beam/LayerRecord.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"
#include "positions/PositionFiles.h"
#include "util/TokenReader.h"

namespace {

std::istringstream streamOf(const uint8_t* data, std::size_t size) {
    return std::istringstream(std::string(reinterpret_cast<const char*>(data), size));
}

void settings(const uint8_t* data, std::size_t size) {
    auto a = streamOf(data, size);
    parseCyclotronCode(a, 500);
    auto b = streamOf(data, size);
    parseInteger(b, 3);
    auto c = streamOf(data, size);
    parseOptions(c);
    auto d = streamOf(data, size);
    parseControllerSettings(d);
    leadingNumber(std::string(reinterpret_cast<const char*>(data), size));
}

void setupTable(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    AxisTable table;
    parseSetupTable(in, table);
    for (const Axis& axis : table.axes) {
        axisValue(axis);
        internalPositionFor(axis, 1e300);
        internalPositionFor(axis, -1e300);
    }
}

void statusFile(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    StoredStatus status;
    parseStatusFile(in, status);
    AxisTable table;
    for (int i = 0; i < kAxisCount; ++i) table[i].internalPosition = status.internalPosition[static_cast<std::size_t>(i)];
    formatStatusFile(status.positionName, status.dutLocation, table);
}

void positionFile(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    PositionFile file;
    parsePositionFile(in, file);
    formatPositionFile(file);
}

void beamFiles(const uint8_t* data, std::size_t size) {
    BeamState beam;
    auto a = streamOf(data, size);
    readFirstLine(a);
    auto b = streamOf(data, size);
    parseBeamIon(b, beam);
    auto c = streamOf(data, size);
    parseBeamResults(c, beam);
    formatBeamResults(beam);
}

void layerSummary(const uint8_t* data, std::size_t size) {
    auto a = streamOf(data, size);
    substrateDescription(readFirstLine(a));
    auto b = streamOf(data, size);
    summaryLineCount(b);
}

void layerRecords(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    TokenReader reader(in);
    LayerRecord record;
    std::string why;
    // A record consumes at least one line, so this ends with the input.
    while (readLayerRecord(reader, record, why) == LayerReadResult::Record) {
        materialOf(record, arealDensityOf(record));
        icompoundOf(record.name);
    }
}

// The formulas over whatever the coefficient files held.
void exerciseFormulas(const StoppingData& stopping) {
    for (int z1 : {1, 2, 36, 79, 92}) {
        for (int z2 : {1, 7, 13, 14, 54, 92}) {
            for (double energyKeV : {0.5, 50.0, 5e3, 2e5, 4e6}) {
                ionStoppingPower(stopping, z1, 2.0 * z1, z2, 2.0 * z2, energyKeV, z2 == 7 ? 1 : 0);
                nuclearStopping(z1, 2.0 * z1, z2, 2.0 * z2, energyKeV);
            }
        }
    }
}

void coefficientFiles(const uint8_t* data, std::size_t size) {
    auto stopping = std::make_unique<StoppingData>();
    auto a = streamOf(data, size);
    parseCoefficientFileA(a, stopping->coefficients);
    auto b = streamOf(data, size);
    parseCoefficientFileB(b, stopping->coefficients);
    auto c = streamOf(data, size);
    parseGasCoefficientFile(c, stopping->gasCoefficients);
    exerciseFormulas(*stopping);
}

void perIonTable(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    auto table = std::make_unique<SPtable>();
    parseSPtable(in, *table);
    for (double energyKeV : {-1.0, 0.0, 1e-3, 1.0, 1e3, 1e6, 1e9, 1e300}) lookUpSPtable(*table, energyKeV);
}

void controllerAnswer(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    ControllerAnswer answer(data[0] % 8);
    std::size_t half = (size - 1) / 2;
    answer.feed(reinterpret_cast<const char*>(data + 1), half);
    answer.feed(reinterpret_cast<const char*>(data + 1 + half), size - 1 - half);
    answer.reply();
}

// "RangeTable.txt" as the Bragg-curve window and `tarvex-let range --svg`
// read it, through to the plot data and the picture.
void rangeTable(const uint8_t* data, std::size_t size) {
    const BraggPlot plot = makeBraggPlot(parseRangeTable(std::string(reinterpret_cast<const char*>(data), size)));
    braggPlotSvg(plot);
    if (!plot.empty) braggReadout(plot, plot.x.max / 2, plot.y.max / 2);
}

}  // namespace

const std::vector<NamedFuzzTarget>& fuzzTargets() {
    static const std::vector<NamedFuzzTarget> targets = {
        {"settings", settings},
        {"setup_table", setupTable},
        {"status_file", statusFile},
        {"position_file", positionFile},
        {"beam_files", beamFiles},
        {"layer_summary", layerSummary},
        {"layer_records", layerRecords},
        {"coefficient_files", coefficientFiles},
        {"per_ion_table", perIonTable},
        {"controller_answer", controllerAnswer},
        {"range_table", rangeTable},
    };
    return targets;
}

FuzzTarget fuzzTarget(const std::string& name) {
    for (const NamedFuzzTarget& target : fuzzTargets()) {
        if (name == target.name) return target.run;
    }
    return nullptr;
}
