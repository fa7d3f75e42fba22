// tarvex-let station new: a station working folder for a device, made from
// the demo station with the device's layers, the cyclotron, the target
// location and the beam, its beam recomputed there as the console does.

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "EngineOptions.h"
#include "StationFolderOption.h"
#include "beam/BeamComputation.h"
#include "beam/BeamFiles.h"
#include "beam/CommittedGeometry.h"
#include "beam/LayerRecord.h"
#include "core/AxisTable.h"
#include "core/Console.h"
#include "core/Cyclotrons.h"
#include "core/Headless.h"
#include "energyloss/StandardTargets.h"
#include "energyloss/TraceFile.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace fs = std::filesystem;

namespace {

// No file of a station folder comes near this.
constexpr std::size_t kMostFileBytes = 64u << 20;

// The demo station that comes with tarvex-let: installed beside it
// (../share/tarvex/demo-site from its program folder), else the one of the
// source tree it was built from.
std::string bundledDemoSite() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = program.parent_path().parent_path() / "share/tarvex/demo-site";
        if (fileIsReadable((installed / "DemoStatus.dat").string())) return installed.string();
    }
    return TARVEX_DEMO_SITE_DEFAULT;
}

// The shortest text the layer reader turns back into the same real.
std::string exactText(double value) {
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

// One record in the layer file format: name line, density line, one line per
// element, thickness line.
std::string layerRecordText(const LayerRecord& record) {
    std::string text = record.name + "\n" + exactText(record.density) + " " + std::to_string(record.elementCount) +
                       " " + std::to_string(record.tiltFlag) + "\n";
    for (int i = 0; i < record.elementCount; ++i) {
        text += std::to_string(record.atomicNumber[i]) + " " + exactText(record.atomicMass[i]) + " " +
                exactText(record.elementReserved[i]) + " " + exactText(record.massFraction[i]) + "\n";
    }
    return text + exactText(record.thickness) + " " + exactText(record.layerReserved) + " " +
           std::to_string(record.thicknessUnit) + "\n";
}

const char* thicknessUnitText(int32_t code) {
    switch (code) {
        case 0: return "um";
        case 1: return "mm";
        case 2: return "cm";
        case 3: return "mil";
        default: return "mg/cm2";
    }
}

// "LayerSummary.dat": the substrate's name and whether it turns with T (ROT)
// or not (FIX), then one line per layer in beam order. No line break after
// the last, so that the console's "Layers:" (the line breaks after the first
// line, plus one) shows the number of layers.
std::string layerSummary(const std::vector<LayerRecord>& substrateFirst) {
    const LayerRecord& substrate = substrateFirst.front();
    std::string text = substrate.name + (substrate.tiltFlag == 1 ? " ROT" : " FIX");
    for (auto record = substrateFirst.rbegin(); record != substrateFirst.rend(); ++record) {
        const bool substrateLine = std::next(record) == substrateFirst.rend();
        std::string line = "\n  " + column(record->name, 24);
        // A substrate of thickness 0: the range table follows the ion inside.
        if (!substrateLine || record->thickness != 0) {
            line += exactText(record->thickness) + " " + thicknessUnitText(record->thicknessUnit) + "  ";
        }
        if (substrateLine) line += record->tiltFlag == 1 ? "(substrate, turns with T)" : "(substrate)";
        else if (record->tiltFlag == 1) line += "(turns with T)";
        while (line.back() == ' ') line.pop_back();
        text += line;
    }
    return text;
}

// The beam of --beam ION:MEVU[:MASS] as the parent program leaves it.
struct BeamChoice {
    int atomicNumber = 0;
    double massU = 0;
    double energyPerNucleonMeV = 0;
    std::string name;  // "Kr 25 MeV/u"
};

BeamChoice beamOfText(const TextOption& option) {
    std::vector<std::string> parts(1);
    for (char c : option.text()) {
        if (c == ':') parts.emplace_back();
        else parts.back() += c;
    }
    if (parts.size() < 2 || parts.size() > 3) {
        throw UsageError{option.quoted() + ": expected ION:MEVU or ION:MEVU:MASS, e.g. 84Kr:25"};
    }
    const IonChoice ion = parseIonName(option.quoted(), parts[0]);
    BeamChoice beam;
    beam.atomicNumber = ion.atomicNumber;
    beam.massU = parts.size() == 3 ? ionMassOfText(option.quoted(), parts[2]) : ion.massU;
    if (!parseReal(parts[1], beam.energyPerNucleonMeV)) {
        throw UsageError{option.quoted() + ": the energy '" + parts[1] + "' is not a number of MeV/u"};
    }
    coveredEnergy(option.quoted(), beam.energyPerNucleonMeV);
    beam.name = std::string(elementSymbol(ion.atomicNumber)) + " " + formatGeneral(beam.energyPerNucleonMeV) + " MeV/u";
    return beam;
}

// The folder being made, under a name of its own beside DIR; removed unless
// it was renamed to DIR.
class FolderUnderConstruction {
public:
    explicit FolderUnderConstruction(const fs::path& target) {
        std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".new-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw ComputationError{"cannot make a folder beside '" + target.string() + "': " + std::strerror(errno)};
        }
        path_ = pattern;
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(path_.c_str(), 0777 & ~mask);
    }
    ~FolderUnderConstruction() { remove(); }
    FolderUnderConstruction(const FolderUnderConstruction&) = delete;
    FolderUnderConstruction& operator=(const FolderUnderConstruction&) = delete;

    const fs::path& path() const { return path_; }
    void remove() {
        if (path_.empty()) return;
        std::error_code ec;
        fs::remove_all(path_, ec);
        path_.clear();
    }
    void renameTo(const fs::path& target) {
        if (!renameNoReplace(path_.string(), target.string())) {
            throw ComputationError{"cannot make '" + target.string() + "': " + std::strerror(errno)};
        }
        path_.clear();
    }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, const std::string& content) {
    std::string why;
    if (!replaceFileContent(path.string(), content, &why)) {
        throw ComputationError{"cannot write " + path.string() + ": " + why};
    }
}

std::string readFile(const fs::path& path) {
    std::string content, why;
    if (!readRegularFile(path.string(), kMostFileBytes, content, why)) {
        throw ComputationError{"cannot read " + path.string() + ": " + why};
    }
    return content;
}

class StationCommand : public LetCommand {
public:
    StationCommand()
        : LetCommand("station",
                     "new DIR --layers FILE [--cyclotron Ardo|Belm] [--air|--vacuum] [--beam ION:MEVU[:MASS]] "
                     "[--data DIR]",
                     "makes the station working folder DIR, which must not exist yet, from the demo station: the "
                     "device's layer file FILE (substrate first) copied under its own name and named in "
                     "\"CurrentLayerFileName.dat\", its layers in beam order in \"CurrentLayersReversed.dat\" and "
                     "their summary in \"LayerSummary.dat\"; the coefficient files of --data; the cyclotron (default "
                     "Ardo) and the target location (default vacuum) with their setup table; the beam ION at MEVU "
                     "MeV/u (e.g. 84Kr:25; the mass in u is the mass number unless MASS is given; default: the "
                     "demo's); simulation mode (\"DemoStatus.dat\" 3). The beam is then recomputed there as "
                     "recompute does. The folder computes with the formulas (\"DoLegacyCalculations.dat\" 1), so no "
                     "per-ion stopping tables are needed. The folder is made under another name beside DIR and "
                     "renamed at the end: when anything is wrong nothing is left behind.") {}

    void declareOptions(CLI::App& command) override {
        // Checked by run(), so that a misplaced option is named as the
        // other commands name it.
        command.add_option("ACTION", action_, "new: make a new station folder");
        command.add_option("DIR", folder_, "the folder to make; it must not exist");
        layers_.declare(command, "--layers", "FILE", "the device's layer file, substrate first (required)");
        cyclotron_.declare(command, "--cyclotron", "NAME", "Ardo (10 degrader foils, the default) or Belm (6)");
        declareFlag(command, air_, "--air", "the device stands in air");
        declareFlag(command, vacuum_, "--vacuum", "the device stands in the vacuum chamber (the default)");
        beam_.declare(command, "--beam", "ION:MEVU[:MASS]",
                      "the beam, e.g. 84Kr:25 (MASS: the ion's mass in u; default: the mass number)");
        engine_.declareData(command);
    }

    int run() override {
        if (action_ != "new") {
            throw UsageError{action_.empty() ? "station: give the action, new (see --help)"
                                             : "station '" + action_ + "': the one action is new (see --help)"};
        }
        if (folder_.empty()) throw UsageError{"station new: DIR, the folder to make, is required"};
        fs::path target = fs::absolute(folder_).lexically_normal();
        if (!target.has_filename()) target = target.parent_path();  // "DIR/"
        std::error_code ec;
        if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
            throw UsageError{"'" + folder_ + "' exists already; station new makes a new folder"};
        }
        if (!fs::is_directory(target.parent_path(), ec)) {
            throw UsageError{"'" + folder_ + "': the folder " + target.parent_path().string() + " does not exist"};
        }

        // The device's layers, read as the console reads them.
        if (!layers_.given()) throw UsageError{"--layers is required"};
        std::vector<LayerRecord> layers;
        std::string refusal;
        if (!readLayerFile(layers_.text(), layers, refusal)) throw UsageError{layers_.quoted() + ": cannot open the file"};
        if (!refusal.empty()) throw UsageError{refusal};
        if (layers.empty()) throw UsageError{layers_.quoted() + ": the file holds no layer record"};
        const std::string layerFileName = fs::path(layers_.text()).filename().string();
        if (layerFileName.size() < 5 || layerFileName[layerFileName.size() - 4] != '.' ||
            characterCount(layerFileName) > 127 || layerFileName.back() == ' ') {
            throw UsageError{layers_.quoted() +
                             ": the console takes a layer file name of at most 127 characters that ends in a "
                             "three-letter extension, e.g. Device.lay"};
        }

        int cyclotron = kCyclotronArdo;
        if (cyclotron_.given()) {
            if (cyclotron_.text() == "Belm") cyclotron = kCyclotronBelm;
            else if (cyclotron_.text() != "Ardo") throw UsageError{cyclotron_.quoted() + ": Ardo or Belm"};
        }
        if (air_ && vacuum_) throw UsageError{"give one of --air and --vacuum"};
        const int location = air_ ? 0 : 1;
        const std::string setupTable = setupTableName(location, cyclotron);
        BeamChoice beam;
        if (beam_.given()) beam = beamOfText(beam_);

        const fs::path demo = bundledDemoSite();
        for (const char* file : {kLayerFileNameFile, kBeamIonTmp}) {
            if (!fileIsReadable((demo / file).string())) {
                throw ComputationError{"the demo station '" + demo.string() + "': cannot read " + file};
            }
        }
        std::string demoLayerFile;
        {
            std::ifstream in;
            openInput(in, (demo / kLayerFileNameFile).string());
            demoLayerFile = readFirstLine(in);
        }
        bool taken = layerFileName != demoLayerFile && fs::exists(demo / layerFileName, ec);
        for (const char* file : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile, kRangeTableFile,
                                 kBeamResultsTmp, kBeamGeometryFile, kTraceFileName}) {
            taken = taken || layerFileName == file;
        }
        if (taken) {
            throw UsageError{layers_.quoted() + ": a file of the station folder has the name " + layerFileName};
        }
        engine_.loadCoefficients();  // the copies must be whole
        const std::string data = engine_.dataFolder();

        FolderUnderConstruction made(target);
        const fs::path& dir = made.path();
        // The demo's files but its device and the setup tables of the other
        // cyclotron and location.
        for (const fs::directory_entry& entry : fs::directory_iterator(demo)) {
            const std::string file = entry.path().filename().string();
            const bool otherTable = file.size() == 11 && (file.rfind("Air", 0) == 0 || file.rfind("Vac", 0) == 0) &&
                                    file != setupTable;
            if (!entry.is_regular_file() || otherTable || file == demoLayerFile) continue;
            writeFile(dir / file, readFile(entry.path()));
        }
        if (!fs::exists(dir / setupTable)) throw ComputationError{"the demo station has no " + setupTable};
        for (const char* file : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
            writeFile(dir / file, readFile(fs::path(data) / file));
        }
        writeFile(dir / layerFileName, readFile(layers_.text()));
        writeFile(dir / kLayerFileNameFile, layerFileName + "\n");
        std::string reversed;
        for (auto record = layers.rbegin(); record != layers.rend(); ++record) reversed += layerRecordText(*record);
        writeFile(dir / kLayersReversedFile, reversed + "\n");
        writeFile(dir / kLayerSummaryFile, layerSummary(layers));
        writeFile(dir / "CyclotronInUse.dat", std::to_string(cyclotron) + "\n");
        writeFile(dir / "TargetLocation.dat", std::to_string(location) + "\n");
        writeFile(dir / "DemoStatus.dat", "3\n");
        // The status file's second line holds the location its positions
        // belong to: the demo's positions, kept for the new location.
        std::string status = readFile(demo / kStatusFileName);
        const std::size_t lineTwo = status.find('\n') + 1, lineTwoEnd = status.find('\n', lineTwo);
        if (lineTwo == 0 || lineTwoEnd == std::string::npos) {
            throw ComputationError{"the demo station's " + std::string(kStatusFileName) + " has no location line"};
        }
        writeFile(dir / kStatusFileName, status.replace(lineTwo, lineTwoEnd - lineTwo, std::to_string(location)));
        if (beam_.given()) {
            BeamState demoBeam;
            std::ifstream in;
            openInput(in, (demo / kBeamIonTmp).string());
            parseBeamIon(in, demoBeam);
            const std::string ion = cformat("%d %d %.10g %.10g\n", demoBeam.beamTag, beam.atomicNumber, beam.massU,
                                            beam.energyPerNucleonMeV * beam.massU);
            for (const char* file : {kBeamIonTmp, kBeamIonDat}) writeFile(dir / file, ion);
            for (const char* file : {kBeamNameTmp, kBeamNameDat}) writeFile(dir / file, beam.name + "\n");
        }

        // The beam recomputed in the new folder; where the console would end,
        // the folder goes first.
        const fs::path before = fs::current_path(ec);
        fs::current_path(dir);
        HeadlessMessages messages(stderr);
        auto console = std::make_unique<ConsoleCore>(messages);
        console->beforeFailureExit = [&made](const std::string&) { made.remove(); };
        BeamResult computed;
        const bool committed = recomputeCurrentFolder(*console, false, computed);
        fs::current_path(before, ec);
        if (!committed) throw ComputationError{"the beam could not be recomputed; '" + folder_ + "' was not made"};
        made.renameTo(target);

        const BeamState& b = console->state.beam;
        const DialogFields& f = console->fields;
        std::cout << "Station folder " << target.string() << "\n"
                  << "  layers     " << layers.size() << " from " << layerFileName << ", substrate "
                  << layers.front().name << "\n"
                  << "  cyclotron  " << cyclotronName(cyclotron) << " (" << foilCountOf(cyclotron)
                  << " degrader foils), " << (location == 1 ? "in vacuum" : "in air") << " (" << setupTable << ")\n"
                  << "  beam       " << b.beamName << cformat("  (Z %d, A %g, %g MeV)", b.ionZ, b.ionA, b.beamEnergyMeV)
                  << "\n"
                  << "  substrate  " << f.energyPerNucleon << " MeV/u, nominal LET " << f.nominalLet
                  << " MeV·cm²/mg, nominal range " << f.nominalRange << " µm\n";
        return 0;
    }

private:
    std::string action_, folder_;
    TextOption layers_, cyclotron_, beam_;
    bool air_ = false, vacuum_ = false;
    EngineOptions engine_;
};

}  // namespace

std::unique_ptr<LetCommand> makeStationCommand() { return std::make_unique<StationCommand>(); }
