#include "FuzzTargets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

#include "axes/TcpChannel.h"
#include "beam/BeamFiles.h"
#include "beam/BeamRuns.h"
#include "beam/BraggPlot.h"
#include "beam/CommittedGeometry.h"
#include "beam/LayerRecord.h"
#include "core/AxisTable.h"
#include "core/ControllerChannel.h"
#include "core/Settings.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"
#include "positions/PositionFiles.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

std::istringstream streamOf(const uint8_t* data, std::size_t size) {
    return std::istringstream(std::string(reinterpret_cast<const char*>(data), size));
}

// A violated property ends the run as a crash would, for libFuzzer and for
// the replay test alike.
void require(bool property) {
    if (!property) __builtin_trap();
}

// Only the two cyclotron codes come out; a TCP channel names a host and a
// port; a refused Controller.dat is not used as a TCP channel.
void settings(const uint8_t* data, std::size_t size) {
    auto a = streamOf(data, size);
    const int code = parseCyclotronCode(a, 500);
    require(code == 150 || code == 500);
    auto b = streamOf(data, size);
    parseInteger(b, 3);
    auto c = streamOf(data, size);
    parseOptions(c);
    auto d = streamOf(data, size);
    const ControllerSettings controller = parseControllerSettings(d);
    if (controller.tcp && controller.error.empty()) require(!controller.host.empty() && controller.port > 0 && controller.port < 65536);
    const double number = leadingNumber(std::string(reinterpret_cast<const char*>(data), size));
    require(!std::isinf(number));
}

void setupTable(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    AxisTable table;
    const bool read = parseSetupTable(in, table);
    for (const Axis& axis : table.axes) {
        // Units are single words; the numbers read are finite.
        require(axis.unit.find_first_of(" \t\r\n") == std::string::npos);
        require(std::isfinite(axis.offset) && std::isfinite(axis.scale));
        if (!read) continue;
        axisValue(axis);
        internalPositionFor(axis, 1e300);
        internalPositionFor(axis, -1e300);
    }
}

// Locks read as 0 or 1; a status file read whole reads the same once the
// console writes it again (its name with control characters as '?').
void statusFile(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    StoredStatus status;
    const bool read = parseStatusFile(in, status);
    for (int32_t lock : status.locked) require(lock == 0 || lock == 1);
    if (!read) return;
    AxisTable table;
    for (int i = 0; i < kAxisCount; ++i) {
        table[i].internalPosition = status.internalPosition[static_cast<std::size_t>(i)];
        table[i].locked = status.locked[static_cast<std::size_t>(i)];
    }
    std::istringstream written(formatStatusFile(status.positionName, status.dutLocation, table));
    StoredStatus again;
    require(parseStatusFile(written, again));
    require(again.positionName == printablePositionName(status.positionName) && again.dutLocation == status.dutLocation &&
            again.internalPosition == status.internalPosition && again.locked == status.locked);
}

// Locks read as 0 or 1; a position file read whole reads the same once
// saved again.
void positionFile(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    PositionFile file;
    const bool read = parsePositionFile(in, file);
    for (int32_t lock : file.locked) require(lock == 0 || lock == 1);
    if (!read) return;
    std::istringstream written(formatPositionFile(file));
    PositionFile again;
    require(parsePositionFile(written, again));
    require(again.internalPosition == file.internalPosition && again.locked == file.locked);
}

// A beam the console accepts can be computed (an element, a positive mass,
// an energy the stopping data cover); the results file holds finite numbers
// and reads as it was written.
void beamFiles(const uint8_t* data, std::size_t size) {
    BeamState beam;
    auto a = streamOf(data, size);
    require(readFirstLine(a).find('\n') == std::string::npos);
    auto b = streamOf(data, size);
    const bool complete = parseBeamIon(b, beam);
    if (beamIonRefusal(beam, complete).empty()) {
        require(complete && beam.ionZ >= 1 && beam.ionZ <= 92 && std::isfinite(beam.ionA) && beam.ionA > 0);
        require(std::fabs(beam.beamEnergyMeV / beam.ionA) <= kMaxBeamEnergyPerNucleonMeV);
    }
    BeamState results;
    auto c = streamOf(data, size);
    parseBeamResults(c, results);
    for (double value : {results.degraderEffectiveUm, results.deviceEnergyMeV, results.nominalLet,
                         results.nominalRangeUm, results.degraderExitEnergyMeV, results.braggEnergyMeV}) {
        require(std::isfinite(value));
    }
    const std::string written = formatBeamResults(results);
    BeamState again;
    std::istringstream reread(written);
    parseBeamResults(reread, again);
    require(formatBeamResults(again) == written && again.beamTag == results.beamTag);
}

// The substrate is a part of the first line; the layer count is the
// number of line breaks.
void layerSummary(const uint8_t* data, std::size_t size) {
    auto a = streamOf(data, size);
    const std::string first = readFirstLine(a);
    require(substrateDescription(first).size() <= first.size());
    auto b = streamOf(data, size);
    const auto breaks = std::count(data, data + size, static_cast<uint8_t>('\n'));
    require(summaryLineCount(b) == static_cast<int>(std::min<std::ptrdiff_t>(breaks, std::numeric_limits<int>::max())));
}

void layerRecords(const uint8_t* data, std::size_t size) {
    auto in = streamOf(data, size);
    TokenReader reader(in);
    LayerRecord record;
    std::string why;
    // A record consumes at least one line, so this ends with the input.
    // Every record read is one the engine can cross.
    while (readLayerRecord(reader, record, why) == LayerReadResult::Record) {
        require(record.density > 0 && record.elementCount >= 1 && record.elementCount <= LayerMaterial::kMaxElements);
        for (int i = 0; i < record.elementCount; ++i) {
            require(record.atomicNumber[i] >= 1 && record.atomicNumber[i] <= 92);
            require(record.atomicMass[i] > 0 && record.massFraction[i] > 0);
        }
        const double areal = arealDensityOf(record);
        require(std::isfinite(areal) && areal >= 0);
        materialOf(record, areal);
        icompoundOf(record.name);
    }
}

// The formulas over whatever the coefficient files held: finite, and the
// nuclear stopping (no coefficients) never negative.
void exerciseFormulas(const StoppingData& stopping) {
    for (int z1 : {1, 2, 36, 79, 92}) {
        for (int z2 : {1, 7, 13, 14, 54, 92}) {
            for (double energyKeV : {0.5, 50.0, 5e3, 2e5, 4e6}) {
                require(std::isfinite(ionStoppingPower(stopping, z1, 2.0 * z1, z2, 2.0 * z2, energyKeV, z2 == 7 ? 1 : 0)));
                const double nuclear = nuclearStopping(z1, 2.0 * z1, z2, 2.0 * z2, energyKeV);
                require(std::isfinite(nuclear) && nuclear >= 0);
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
    // Whatever the table held, a look-up gives a number.
    for (double energyKeV : {-1.0, 0.0, 1e-3, 1.0, 1e3, 1e6, 1e9, 1e300}) require(!std::isnan(lookUpSPtable(*table, energyKeV)));
}

void controllerAnswer(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    ControllerAnswer answer(data[0] % 8);
    std::size_t half = (size - 1) / 2;
    const std::size_t took = answer.feed(reinterpret_cast<const char*>(data + 1), half);
    const std::size_t tookRest = answer.feed(reinterpret_cast<const char*>(data + 1 + half), size - 1 - half);
    require(took <= half && tookRest <= size - 1 - half);
    // Complete once as many prompts came as commands were sent; no more
    // rejections than commands; at most kMaxData bytes kept, without the
    // blanks and line ends around them.
    const auto prompts = std::count_if(data + 1, data + size, [](uint8_t c) { return c == ':' || c == '?'; });
    const int commands = data[0] % 8;
    require(answer.complete() == (prompts >= commands) && answer.rejected() <= commands);
    const std::string reply = answer.reply();
    require(reply.size() <= ControllerAnswer::kMaxData);
    require(reply.empty() || (std::string(" \r\n").find(reply.front()) == std::string::npos &&
                              std::string(" \r\n").find(reply.back()) == std::string::npos));
}

// A plot has finite points and axes, or says why it is empty; the picture
// is always an SVG document.
void rangeTable(const uint8_t* data, std::size_t size) {
    const BraggPlot plot = makeBraggPlot(parseRangeTable(std::string(reinterpret_cast<const char*>(data), size)));
    require(!plot.empty || !plot.reason.empty());
    const std::string svg = braggPlotSvg(plot);
    require(svg.find("<svg") != std::string::npos && svg.find("</svg>") != std::string::npos);
    if (plot.empty) return;
    require(std::isfinite(plot.x.min) && std::isfinite(plot.x.max) && std::isfinite(plot.y.min) && std::isfinite(plot.y.max));
    for (const PlotPoint& point : plot.nominal) require(std::isfinite(point.x) && std::isfinite(point.y));
    braggReadout(plot, plot.x.max / 2, plot.y.max / 2);
}

// The readers over real files rather than strings: the input as a regular
// file, and beside it an empty file, a FIFO, a link to the file, a link to a
// device and a dangling link. Every open returns at once (only regular files
// are read), every reader runs over what it opened, and no writer opens
// anything but a regular file of its own.
struct OpenedFilesFolder {
    std::filesystem::path path;

    OpenedFilesFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
        ::mkfifo((path / "fifo").c_str(), 0644);
        std::error_code ec;
        std::filesystem::create_symlink(path / "data", path / "link", ec);
        std::filesystem::create_symlink("/dev/zero", path / "device", ec);
        std::filesystem::create_symlink(path / "missing", path / "dangling", ec);
        std::ofstream(path / "empty").close();
    }
    ~OpenedFilesFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& openedFilesFolder() {
    static const OpenedFilesFolder folder;
    static const std::string text = folder.path.string();
    return text;
}

void readersOver(const std::string& path) {
    auto reopen = [&path](std::ifstream& in) {
        in = std::ifstream();
        return openInput(in, path);
    };
    std::ifstream in;
    if (!reopen(in)) return;
    StoredStatus status;
    parseStatusFile(in, status);
    reopen(in);
    AxisTable table;
    parseSetupTable(in, table);
    reopen(in);
    PositionFile position;
    parsePositionFile(in, position);
    reopen(in);
    BeamState beam;
    beamIonRefusal(beam, parseBeamIon(in, beam));
    reopen(in);
    parseOptions(in);
    reopen(in);
    CommittedGeometry geometry;
    parseBeamGeometry(in, geometry);
    reopen(in);
    summaryLineCount(in);
    reopen(in);
    TokenReader reader(in);
    LayerRecord record;
    std::string why;
    while (readLayerRecord(reader, record, why) == LayerReadResult::Record) {
    }
}

void openedFiles(const uint8_t* data, std::size_t size) {
    const std::string& folder = openedFilesFolder();
    const std::string file = folder + "/data";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) return;
    }
    for (const char* name : {"data", "empty", "fifo", "link", "device", "dangling"}) {
        const std::string path = folder + "/" + name;
        fileIsReadable(path);
        readersOver(path);
    }
    for (const char* name : {"fifo", "link", "device", "dangling"}) {
        if (appendText(folder + "/" + name, "x") != AppendResult::OpenFailed) std::abort();
        if (std::FILE* out = openOutputFile(folder + "/" + name)) {
            std::fclose(out);
            std::abort();
        }
    }
}

// "BeamRuns.csv" as the console, the logbook window and `tarvex-let runs`
// read it. A logbook that reads as sound must read the same once written
// again record by record, and any text the console puts into a record must
// read back.
void beamRuns(const uint8_t* data, std::size_t size) {
    BeamRunsLog log;
    std::string why;
    RunRecord written;
    written.kind = "note";
    written.run = 1;
    written.comment.assign(reinterpret_cast<const char*>(data), size);
    const std::string one = std::string(kBeamRunsHeader) + "\nbegin,1,,,,,,,,,,,,,,,,,,\n" + formatRunRecord(written);
    if (!parseBeamRuns(one, log, why) || log.records.size() != 2 || !log.skipped.empty()) __builtin_trap();
    if (!parseBeamRuns(std::string_view(reinterpret_cast<const char*>(data), size), log, why)) return;
    std::string again = std::string(kBeamRunsHeader) + "\n";
    for (const RunRecord& record : log.records) again += formatRunRecord(record);
    BeamRunsLog reread;
    if (!parseBeamRuns(again, reread, why) || reread.records != log.records || reread.lastRun != log.lastRun ||
        reread.openRun != log.openRun || !reread.skipped.empty()) {
        __builtin_trap();
    }
    const std::vector<RunSummary> runs = mergeRuns(log);
    formatRunsExport(runs);
    totalRuns(runs);
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
        {"opened_files", openedFiles},
        {"beam_runs", beamRuns},
    };
    return targets;
}

FuzzTarget fuzzTarget(const std::string& name) {
    for (const NamedFuzzTarget& target : fuzzTargets()) {
        if (name == target.name) return target.run;
    }
    return nullptr;
}
