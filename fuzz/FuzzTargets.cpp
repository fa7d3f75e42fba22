#include "FuzzTargets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    const std::string one = std::string(kBeamRunsHeader) + "\nbegin,1,,,,,,,,,,,,,,,,\n" + formatRunRecord(written);
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
