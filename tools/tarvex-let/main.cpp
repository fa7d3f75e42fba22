// tarvex-let: ion stopping powers, layer traversals and per-ion stopping
// tables from the command line, over the console's energy-loss engine.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "axes/AxisFiles.h"
#include "beam/BeamFiles.h"
#include "beam/BeamRecompute.h"
#include "beam/BeamRuns.h"
#include "beam/BraggPlot.h"
#include "beam/LayerRecord.h"
#include "beam/RangeTable.h"
#include "beam/StationFolder.h"
#include "core/Console.h"
#include "core/FileNames.h"
#include "core/Settings.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"
#include "energyloss/StoppingCoefficients.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

const char* const kHelp =
    "Usage:\n"
    "  tarvex-let stopping [options] E...\n"
    "      electronic, nuclear and total stopping (MeV·cm²/mg) at each energy per nucleon E (MeV/u)\n"
    "  tarvex-let traverse [options] --energy E (--thickness D | --to-let L | --to-energy E2)\n"
    "                      [--backwards] [--trace FILE]\n"
    "      one layer traversal from E (MeV/u): to a thickness crossed (D: 10um, 0.1mm, 2.5mil,\n"
    "      5mg/cm2; a bare number is mg/cm²), a LET (MeV·cm²/mg, forwards only) or an energy per\n"
    "      nucleon (MeV/u); --backwards runs against the beam (energy growing). --trace FILE\n"
    "      appends the trace of the traversal to FILE; without it no trace is written.\n"
    "  tarvex-let sptable (--ion ION [--mass M] | --all) (--element Al | --element Si | --layer FILE)\n"
    "                     [--out DIR]\n"
    "      writes the per-ion stopping table (e.g. \"197AuSi.inp\") computed with the formulas,\n"
    "      for a standard ion (--all: all 22) and a standard target.\n"
    "  tarvex-let range [options] --energy E [--tilt DEG] [--svg FILE]\n"
    "      the range table of the ion entering the target at E (MeV/u), tilted by DEG degrees\n"
    "      (default 0): energy (MeV/u, MeV), nominal and effective depth (µm), nominal and\n"
    "      effective LET (MeV·cm²/mg) every 0.01 MeV/u down to rest, and the Bragg peak, in the\n"
    "      format of \"RangeTable.txt\" (--csv: the rows only). Writes no trace file.\n"
    "      --svg FILE also draws the table as the console's Bragg-curve window does (nominal\n"
    "      and effective LET against depth, the Bragg peak, the effective range) into FILE.\n"
    "  tarvex-let recompute [DIR]\n"
    "      runs the console's recomputation of the beam on the station working folder DIR\n"
    "      (default: the current folder): reads the settings, the setup table and the status\n"
    "      file for S, R and T, crosses the degrader and the layers of\n"
    "      \"CurrentLayersReversed.dat\", writes \"RangeTable.txt\", \"atempt.txt\" and the beam\n"
    "      files and commits them as the console does. Each message the console would show is\n"
    "      printed on stderr as \"<icon>: <text>\" and answered with its default button; a\n"
    "      summary goes to stdout. Exit status: the console's (1) when it would end, 1 when\n"
    "      the recomputation ended early without committing, else 0.\n"
    "  tarvex-let go [DIR] (--let X | --mev X | --mev-per-u X | --bragg) [--csv]\n"
    "      the degrader setting the console's Go proposes on the station folder DIR for an\n"
    "      effective LET (MeV·cm²/mg), an energy (MeV) or energy per nucleon (MeV/u) at the\n"
    "      substrate, or for the Bragg peak, at the present tilt: the \"(S = .. , R = ..)\" line and\n"
    "      what the setting gives (energy, effective LET and range, a warning past the Bragg\n"
    "      peak or under MinimumRange.dat); --csv: S, R, energy, effective LET and range, side.\n"
    "      Go's failure text and exit status 1 when no setting gives the value.\n"
    "  tarvex-let plan [DIR] [--tilts LIST] [--rotations LIST] [--min-range UM]\n"
    "                  [--ion ION --energy E] [--csv] [--svg FILE]\n"
    "      for every foil 0 .. the last, every rotation R and tilt T (comma-separated degrees\n"
    "      from 0 to 89.9; default 0,30,45,60 each): energy at the substrate, nominal and\n"
    "      effective LET and range, side of the Bragg peak and whether the effective range is\n"
    "      under the minimum (--min-range, else MinimumRange.dat, else none), for the\n"
    "      station's beam or for ION at E MeV/u; --svg FILE: effective LET against effective\n"
    "      range, one mark per setting.\n"
    "  tarvex-let runs [DIR] [--csv]\n"
    "      the beam runs recorded in \"BeamRuns.csv\" (and \"BeamRuns-2.csv\", ... after a\n"
    "      logbook that could not be continued) in the station folder DIR (default: the current\n"
    "      folder), newest first, notes merged, then the beam-on time per ion and per effective\n"
    "      LET. --csv: the runs as the logbook window exports them, with the file first, then an\n"
    "      empty line and the totals. A logbook that cannot be read is named on stderr and\n"
    "      skipped (exit status 1).\n"
    "\n"
    "Options:\n"
    "  --ion ION        mass number and element symbol, e.g. 197Au\n"
    "  --mass M         exact ion mass in u (default: the mass number)\n"
    "  --element SYM    a one-element target; atomic mass and density from the coefficient file\n"
    "  --layer FILE     the first layer record of a layer file; its name decides the compound\n"
    "  --data DIR       folder of scoef.95a, scoef.95b, scoefgas.95 (default: $TARVEX_STOPPING_DATA,\n"
    "                   else the copy installed with tarvex-let, ../share/tarvex/stopping beside\n"
    "                   its program folder, else the copy in the source tree it was built from)\n"
    "  --tables DIR     use per-ion tables (.inp) from DIR where they exist (default: formulas)\n"
    "  --csv            machine-readable output: a header row with units, one row per result\n"
    "  --out DIR        sptable: output folder (default: the current folder)\n"
    "  --tilt DEG       range: tilt T of the target in degrees (default 0)\n"
    "  --svg FILE       range: the Bragg curve as an SVG picture in FILE\n"
    "  --thickness D    traverse: the thickness to cross, with its unit: um (or µm), mm, cm, mil\n"
    "                   or mg/cm2 (or mg/cm²); a bare number is mg/cm²\n"
    "  --trace FILE     traverse: append the trace of the traversal to FILE\n"
    "  --help           this text\n"
    "  --version        the version of tarvex-let\n"
    "\n"
    "Exit status: 0 on success, 1 when a computation fails, 2 for a bad command line.\n";

struct UsageError {
    std::string text;
};

// A computation that cannot be made (exit status 1).
struct ComputationError {
    std::string text;
};

struct Arguments {
    std::string command;
    std::map<std::string, std::string> values;  // option -> value
    std::map<std::string, bool> flags;
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return values.count(name) != 0; }
    bool flag(const std::string& name) const { return flags.count(name) != 0; }
};

const std::vector<std::string> kValueOptions = {"--ion",    "--mass",      "--element",  "--layer",
                                                 "--data",   "--tables",    "--out",      "--energy",
                                                 "--thickness", "--to-let", "--to-energy", "--tilt",
                                                 "--svg",    "--trace",     "--let",      "--mev",
                                                 "--mev-per-u", "--tilts",  "--rotations", "--min-range"};
const std::vector<std::string> kFlagOptions = {"--csv", "--all", "--backwards", "--help", "--version", "--bragg"};

bool contains(const std::vector<std::string>& list, const std::string& item) {
    for (const auto& entry : list) {
        if (entry == item) return true;
    }
    return false;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (word.rfind("--", 0) == 0) {
            if (auto eq = word.find('='); eq != std::string::npos) {
                value = word.substr(eq + 1);
                word = word.substr(0, eq);
                hasInlineValue = true;
            }
            if (contains(kFlagOptions, word)) {
                if (hasInlineValue) throw UsageError{word + " takes no value"};
                args.flags[word] = true;
            } else if (contains(kValueOptions, word)) {
                if (!hasInlineValue) {
                    if (i + 1 >= argc) throw UsageError{word + " needs a value"};
                    value = argv[++i];
                }
                if (args.has(word)) throw UsageError{word + " is given twice"};
                args.values[word] = value;
            } else {
                throw UsageError{"unknown option " + word};
            }
        } else if (args.command.empty() && !args.flag("--help") && !args.flag("--version")) {
            args.command = word;
        } else {
            args.positional.push_back(word);
        }
    }
    return args;
}

double numberOption(const Arguments& args, const std::string& name) {
    double value = 0;
    const std::string& text = args.values.at(name);
    if (!parseReal(text, value)) throw UsageError{name + " '" + text + "': not a number"};
    return value;
}

struct IonChoice {
    int atomicNumber = 0;   // Z1
    int massNumber = 0;     // A
    double massU = 0;       // M1, u
    std::string name;       // e.g. "197Au"
};

IonChoice parseIon(const Arguments& args) {
    if (!args.has("--ion")) throw UsageError{"--ion is required"};
    const std::string& text = args.values.at("--ion");
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    IonChoice ion;
    int32_t a = 0;
    if (digits == 0 || !parseInt(text.substr(0, digits), a) || a < 1 || a > 300) {
        throw UsageError{"--ion '" + text + "': expected a mass number and an element symbol, e.g. 197Au"};
    }
    const std::string symbol = text.substr(digits);
    ion.atomicNumber = atomicNumberOfSymbol(symbol);
    if (ion.atomicNumber == 0) throw UsageError{"--ion '" + text + "': unknown element symbol '" + symbol + "'"};
    if (a < ion.atomicNumber) throw UsageError{"--ion '" + text + "': mass number below the atomic number"};
    ion.massNumber = a;
    ion.massU = a;
    ion.name = text;
    if (args.has("--mass")) {
        ion.massU = numberOption(args, "--mass");
        if (!(ion.massU > 0) || ion.massU > 1000) {
            throw UsageError{"--mass '" + args.values.at("--mass") + "': must be above 0 and at most 1000 u"};
        }
    }
    return ion;
}

// The coefficient files that come with tarvex-let: installed beside it
// (../share/tarvex/stopping from its program folder), else those of the
// source tree it was built from.
std::string bundledStoppingData() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path installed = program.parent_path().parent_path() / "share/tarvex/stopping";
        if (fileIsReadable((installed / kCoefficientFileA).string())) return installed.string();
    }
    return TARVEX_STOPPING_DATA_DEFAULT;
}

std::string dataFolder(const Arguments& args) {
    if (args.has("--data")) return args.values.at("--data");
    if (const char* env = std::getenv("TARVEX_STOPPING_DATA"); env != nullptr && *env != '\0') return env;
    return bundledStoppingData();
}

std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Loads the coefficient files, refusing missing ones (the engine itself would
// go on with zero coefficients).
void loadCoefficients(const Arguments& args, StoppingData& data) {
    const std::string folder = dataFolder(args);
    for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
        if (!fileIsReadable(inFolder(folder, name))) {
            const char* env = std::getenv("TARVEX_STOPPING_DATA");
            const std::string origin = args.has("--data")                ? "--data '" + folder + "'"
                                       : env != nullptr && *env != '\0' ? "$TARVEX_STOPPING_DATA '" + folder + "'"
                                                                        : "the bundled data '" + folder + "'";
            throw ComputationError{origin + ": cannot read " + inFolder(folder, name)};
        }
    }
    loadStoppingCoefficients(data, folder);
}

struct TargetChoice {
    std::string name;          // symbol or layer name
    LayerMaterial material;
    int icompound = 0;
};

TargetChoice parseTarget(const Arguments& args, const StoppingData& data) {
    if (args.has("--element") == args.has("--layer")) {
        throw UsageError{"give the target with exactly one of --element and --layer"};
    }
    TargetChoice target;
    if (args.has("--element")) {
        const std::string& symbol = args.values.at("--element");
        const int z = atomicNumberOfSymbol(symbol);
        if (z == 0) throw UsageError{"--element '" + symbol + "': unknown element symbol"};
        const double* row = data.coefficients.value[z];
        const double mass = row[CoefficientTable::kNaturalWeight];
        if (!(mass > 0)) throw UsageError{"--element '" + symbol + "': the coefficient file gives no atomic mass"};
        target.name = symbol;
        target.material.elementCount = 1;
        target.material.atomicNumber[0] = z;
        target.material.atomicMass[0] = mass;
        target.material.massFraction[0] = 1;
        target.material.density = row[CoefficientTable::kDensity];
        return target;
    }
    const std::string& path = args.values.at("--layer");
    std::ifstream file;
    if (!openInput(file, path)) throw UsageError{"--layer '" + path + "': cannot open the file"};
    TokenReader reader(file);
    LayerRecord record;
    std::string why;
    switch (readLayerRecord(reader, record, why)) {
        case LayerReadResult::End: throw UsageError{"--layer '" + path + "': the file holds no layer record"};
        case LayerReadResult::Refused: throw UsageError{"--layer '" + path + "': the first record: " + why};
        case LayerReadResult::Record: break;
    }
    target.name = record.name;
    target.material = materialOf(record, 0);
    target.icompound = icompoundOf(record.name);
    return target;
}

StoppingOptions stoppingOptions(const Arguments& args) {
    StoppingOptions options;
    options.mode = args.has("--tables") ? CalculationMode::Tables : CalculationMode::Formulas;
    if (args.has("--tables")) options.tableFolder = args.values.at("--tables");
    return options;
}

std::string sourceText(const LayerStopping& source, const IonChoice& ion, const TargetChoice& target,
                       const StoppingOptions& options) {
    if (!source.useTable) return "formulas";
    return "table " + inFolder(options.tableFolder,
                               spTableFileName(ion.atomicNumber, ion.massU, target.material, target.icompound));
}

void rejectOptions(const Arguments& args, const std::vector<std::string>& names, const std::string& command) {
    for (const auto& name : names) {
        if (args.has(name) || args.flag(name)) throw UsageError{name + " does not apply to " + command};
    }
}

std::string column(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + "  " : text + std::string(width - text.size(), ' ');
}

int runStopping(const Arguments& args) {
    rejectOptions(args,
                  {"--energy", "--thickness", "--to-let", "--to-energy", "--backwards", "--out", "--all", "--tilt"},
                  "stopping");
    if (args.positional.empty()) throw UsageError{"stopping needs at least one energy per nucleon E (MeV/u)"};
    std::vector<double> energies;
    for (const auto& text : args.positional) {
        double e = 0;
        if (!parseReal(text, e)) throw UsageError{"energy '" + text + "': not a number"};
        if (e < 0) throw UsageError{"energy '" + text + "': must not be negative"};
        energies.push_back(e);
    }
    const IonChoice ion = parseIon(args);
    auto data = std::make_unique<StoppingData>();
    loadCoefficients(args, *data);
    const TargetChoice target = parseTarget(args, *data);
    const StoppingOptions options = stoppingOptions(args);
    TraceFile noTrace;
    auto source = std::make_unique<LayerStopping>();
    const int code = prepareLayerStopping(*data, ion.atomicNumber, ion.massU, target.material, target.icompound,
                                          noTrace, options, *source);
    if (code != kResultDone) {
        std::cerr << "tarvex-let: --tables '" << options.tableFolder << "': cannot read the table "
                  << spTableFileName(ion.atomicNumber, ion.massU, target.material, target.icompound)
                  << " (complete, 235 pairs)\n";
        return 1;
    }
    const bool csv = args.flag("--csv");
    if (csv) {
        std::cout << "E_MeV_per_u,Se_MeV_cm2_per_mg,Sn_MeV_cm2_per_mg,St_MeV_cm2_per_mg\n";
    } else {
        std::cout << "# ion " << ion.name << " (" << formatGeneral(ion.massU) << " u) in " << target.name
                  << ", stopping from " << sourceText(*source, ion, target, options) << "\n";
        std::cout << column("E (MeV/u)", 14) << column("Se (MeV·cm²/mg)", 19) << column("Sn (MeV·cm²/mg)", 19)
                  << "St (MeV·cm²/mg)\n";
    }
    for (double e : energies) {
        const StoppingPowers s = layerStopping(*source, e * ion.massU * 1000);
        if (csv) {
            std::cout << formatGeneral(e) << "," << formatGeneral(s.electronic) << "," << formatGeneral(s.nuclear)
                      << "," << formatGeneral(s.total) << "\n";
        } else {
            std::cout << column(formatGeneral(e), 14) << column(formatGeneral(s.electronic), 17)
                      << column(formatGeneral(s.nuclear), 17) << formatGeneral(s.total) << "\n";
        }
    }
    return 0;
}

// A thickness as given: its value and the factor to mg/cm² per g/cm³ of
// density (lengths), or a fixed areal density.
struct Thickness {
    double value = 0;
    double umPerUnit = 0;  // 0: the value is an areal density (mg/cm²)
};

Thickness parseThickness(const std::string& text) {
    // The longest leading number; the rest is the unit.
    Thickness thickness;
    std::size_t end = text.size();
    while (end > 0 && !parseReal(text.substr(0, end), thickness.value)) --end;
    if (end == 0) throw UsageError{"--thickness '" + text + "': not a number"};
    std::string unit = text.substr(end);
    while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
    static const std::map<std::string, double> kLengths = {
        {"um", 1}, {"\u00b5m", 1}, {"mm", 1000}, {"cm", 10000}, {"mil", 25.4}};
    if (auto length = kLengths.find(unit); length != kLengths.end()) {
        thickness.umPerUnit = length->second;
    } else if (!(unit.empty() || unit == "mg/cm2" || unit == "mg/cm\u00b2")) {
        throw UsageError{"--thickness '" + text + "': unknown unit '" + unit + "' (um, mm, cm, mil or mg/cm2)"};
    }
    if (!(thickness.value >= 0)) throw UsageError{"--thickness '" + text + "': must not be negative"};
    return thickness;
}

// mg/cm² = µm × g/cm³ / 10
double arealDensity(const Thickness& thickness, double density) {
    if (thickness.umPerUnit == 0) return thickness.value;
    return thickness.value * thickness.umPerUnit * density / 10;
}

int runTraverse(const Arguments& args) {
    rejectOptions(args, {"--out", "--all", "--tilt"}, "traverse");
    if (!args.positional.empty()) throw UsageError{"unexpected argument '" + args.positional.front() + "'"};
    if (!args.has("--energy")) throw UsageError{"traverse needs --energy E (MeV/u)"};
    const int goals = (args.has("--thickness") ? 1 : 0) + (args.has("--to-let") ? 1 : 0) +
                      (args.has("--to-energy") ? 1 : 0);
    if (goals != 1) throw UsageError{"traverse needs exactly one of --thickness, --to-let and --to-energy"};
    const double energy = numberOption(args, "--energy");
    const bool backwards = args.flag("--backwards");
    int match = 0;
    double goal = 0;
    Thickness thickness;
    if (args.has("--thickness")) {
        match = kMatchThickness;
        thickness = parseThickness(args.values.at("--thickness"));
    } else if (args.has("--to-let")) {
        if (backwards) throw UsageError{"--to-let cannot be combined with --backwards"};
        match = kMatchLet;
        goal = numberOption(args, "--to-let");
    } else {
        match = kMatchEnergy;
        goal = numberOption(args, "--to-energy");
    }
    const IonChoice ion = parseIon(args);
    auto data = std::make_unique<StoppingData>();
    loadCoefficients(args, *data);
    TargetChoice target = parseTarget(args, *data);
    target.material.arealDensity = backwards ? -1 : 1;
    if (match == kMatchThickness) {
        goal = arealDensity(thickness, target.material.density);
        if (backwards) goal = -goal;
    }
    StoppingOptions options = stoppingOptions(args);
    options.traceFileName = args.has("--trace") ? args.values.at("--trace") : "";

    LayerResult result;
    const int code = traverseLayer(*data, ion.massU, ion.atomicNumber, energy, goal, match, target.icompound,
                                   target.material, result, options);
    if (args.flag("--csv")) {
        std::cout << "code,exit_energy_MeV_per_u,exit_let_MeV_cm2_per_mg,exit_nuclear_MeV_cm2_per_mg,"
                     "exit_total_MeV_cm2_per_mg,traversed_mg_per_cm2\n";
        std::cout << code << "," << formatGeneral(result.exitEnergyPerNucleon) << "," << formatGeneral(result.exitLet)
                  << "," << formatGeneral(result.exitNuclearStopping) << ","
                  << formatGeneral(result.exitTotalStopping) << "," << formatGeneral(result.traversed) << "\n";
    } else {
        std::cout << "# ion " << ion.name << " (" << formatGeneral(ion.massU) << " u) through " << target.name
                  << (backwards ? ", backwards" : "") << "\n";
        std::cout << "result code                         " << code << "\n";
        std::cout << "exit energy (MeV/u)                 " << formatGeneral(result.exitEnergyPerNucleon) << "\n";
        std::cout << "exit LET (MeV·cm²/mg)               " << formatGeneral(result.exitLet) << "\n";
        std::cout << "exit nuclear stopping (MeV·cm²/mg)  " << formatGeneral(result.exitNuclearStopping) << "\n";
        std::cout << "exit total stopping (MeV·cm²/mg)    " << formatGeneral(result.exitTotalStopping) << "\n";
        std::cout << "areal density crossed (mg/cm²)      " << formatGeneral(result.traversed) << "\n";
    }
    if (code != kResultDone) {
        std::string text = calculationErrorText(code, "traverse");
        for (char& c : text) {
            if (c == '\n') c = ' ';
        }
        std::cerr << "tarvex-let: result code " << code << ":" << (text.front() == ' ' ? "" : " ") << text << "\n";
        return 1;
    }
    if (match == kMatchLet && result.exitEnergyPerNucleon == 0) {
        std::cerr << "tarvex-let: --to-let " << args.values.at("--to-let")
                  << ": the goal is not reached; the LET never comes to it before the ion stops\n";
        return 1;
    }
    return 0;
}

int writeTable(const StoppingData& data, const IonChoice& ion, const TargetChoice& target, const std::string& folder,
               bool csv) {
    const std::string name = spTableFileName(ion.atomicNumber, ion.massU, target.material, target.icompound);
    std::string text;
    if (!formatSPtable(data, ion.atomicNumber, ion.massU, target.material, target.icompound, text)) {
        std::cerr << "tarvex-let: " << name << ": a stopping power is not positive; check the coefficient files\n";
        return 1;
    }
    const std::string path = inFolder(folder, name);
    if (!replaceFileContent(path, text)) {
        std::cerr << "tarvex-let: --out '" << folder << "': cannot write " << path << "\n";
        return 1;
    }
    std::cout << (csv ? "" : "wrote ") << path << "\n";
    return 0;
}

int runSptable(const Arguments& args) {
    rejectOptions(args, {"--energy", "--thickness", "--to-let", "--to-energy", "--backwards", "--tables", "--tilt"},
                  "sptable");
    if (!args.positional.empty()) throw UsageError{"unexpected argument '" + args.positional.front() + "'"};
    const bool all = args.flag("--all");
    if (all && (args.has("--ion") || args.has("--mass"))) throw UsageError{"--all cannot be combined with --ion or --mass"};
    std::vector<IonChoice> ions;
    if (all) {
        for (const StandardIon& standard : kStandardIons) {
            IonChoice ion;
            ion.atomicNumber = standard.atomicNumber;
            ion.massNumber = standard.massNumber;
            ion.massU = standard.massNumber;
            ion.name = std::to_string(standard.massNumber) + standard.symbol;
            ions.push_back(ion);
        }
    } else {
        IonChoice ion = parseIon(args);
        if (findStandardIon(ion.atomicNumber, ion.massNumber) == nullptr) {
            throw UsageError{"--ion '" + ion.name + "': not one of the 22 standard ions"};
        }
        if (massNumberOf(ion.massU) != ion.massNumber) {
            throw UsageError{"--mass '" + args.values.at("--mass") + "': gives mass number " +
                             std::to_string(massNumberOf(ion.massU)) + ", not " + std::to_string(ion.massNumber)};
        }
        ions.push_back(ion);
    }
    auto data = std::make_unique<StoppingData>();
    loadCoefficients(args, *data);
    const TargetChoice target = parseTarget(args, *data);
    if (standardTargetSuffix(target.material, target.icompound).empty()) {
        const std::string option = args.has("--element") ? "--element '" + args.values.at("--element") + "'"
                                                         : "--layer '" + args.values.at("--layer") + "'";
        throw UsageError{option + ": '" + target.name +
                         "' is not a standard target (Al, Si or one of the eight standard compound names)"};
    }
    const std::string folder = args.has("--out") ? args.values.at("--out") : "";
    int status = 0;
    if (args.flag("--csv")) std::cout << "table_file\n";
    for (const IonChoice& ion : ions) {
        if (writeTable(*data, ion, target, folder, args.flag("--csv")) != 0) status = 1;
    }
    return status;
}

int runRange(const Arguments& args) {
    rejectOptions(args, {"--thickness", "--to-let", "--to-energy", "--backwards", "--out", "--all"}, "range");
    if (!args.positional.empty()) throw UsageError{"unexpected argument '" + args.positional.front() + "'"};
    if (!args.has("--energy")) throw UsageError{"range needs --energy E (MeV/u)"};
    const double energy = numberOption(args, "--energy");
    if (!(energy > 0) || energy > 1000) {
        throw UsageError{"--energy '" + args.values.at("--energy") + "': must be above 0 and at most 1000 MeV/u"};
    }
    double tilt = 0;
    if (args.has("--tilt")) {
        tilt = numberOption(args, "--tilt");
        if (!(std::fabs(tilt) < 90)) {
            throw UsageError{"--tilt '" + args.values.at("--tilt") + "': must lie between -90 and 90 degrees"};
        }
    }
    const IonChoice ion = parseIon(args);
    auto data = std::make_unique<StoppingData>();
    loadCoefficients(args, *data);
    TargetChoice target = parseTarget(args, *data);
    if (!(target.material.density > 0)) throw UsageError{"the target '" + target.name + "' has no density above 0"};
    target.material.arealDensity = 1;  // forwards

    RangeTableSetup setup;
    setup.data = data.get();
    setup.options = stoppingOptions(args);
    setup.options.traceFileName = "";  // no trace file
    setup.ionMassU = ion.massU;
    setup.ionAtomicNumber = ion.atomicNumber;
    setup.layer = target.material;
    setup.icompound = target.icompound;
    setup.tiltDegrees = tilt;
    setup.entryEnergyPerNucleonMeV = energy;
    setup.entryEnergyMeV = energy * ion.massU;

    // The LET at the entrance: a traversal that ends at once.
    LayerResult entry;
    int code = traverseLayer(*data, ion.massU, ion.atomicNumber, energy, 0, kMatchThickness, target.icompound,
                             target.material, entry, setup.options);
    auto fail = [](int failed) {
        std::string text = calculationErrorText(failed, "range");
        for (char& c : text) {
            if (c == '\n') c = ' ';
        }
        std::cerr << "tarvex-let: result code " << failed << ":" << (text.front() == ' ' ? "" : " ") << text << "\n";
    };
    if (code != kResultDone) {
        fail(code);
        return 1;
    }
    setup.entryLet = entry.exitLet;

    int failures = 0;
    auto onError = [&](int failed) {
        ++failures;
        fail(failed);
    };
    const std::string header = ion.name + "   at " + perNucleonText(energy) + " MeV/amu (" +
                               cformat("%.0f", energy * ion.massU) + " MeV)   in " + target.name + " at " +
                               cformat("%.3f", tilt) + " deg";
    const bool legacy = !args.has("--tables");
    const bool svg = args.has("--svg");
    BraggPlot plot;
    if (args.flag("--csv")) {
        std::cout << "E_MeV_per_u,E_MeV,depth_um,effective_depth_um,LET_MeV_cm2_per_mg,effective_LET_MeV_cm2_per_mg\n";
        std::vector<RangeRow> rows;
        RangeTableEnd end = followIonToRest(
            setup,
            [&rows, svg](const RangeRow& row) {
                std::cout << formatGeneral(row.energyPerNucleonMeV) << "," << formatGeneral(row.energyMeV) << ","
                          << formatGeneral(row.depthUm) << "," << formatGeneral(row.effectiveDepthUm) << ","
                          << formatGeneral(row.let) << "," << formatGeneral(row.effectiveLet) << "\n";
                if (svg) rows.push_back(row);
            },
            onError);
        std::cout.flush();
        if (svg) plot = makeBraggPlot(header, rows, legacy, end.peak);
    } else if (svg) {
        // The table is kept and then read back as the console's window reads
        // "RangeTable.txt", so the picture is the window's.
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* memory = open_memstream(&buffer, &size);
        if (memory == nullptr) {
            std::cerr << "tarvex-let: out of memory\n";
            return 1;
        }
        writeRangeTableText(memory, header, legacy, setup, onError);
        std::fclose(memory);
        const std::string text(buffer, size);
        std::free(buffer);
        std::cout << text;
        std::cout.flush();
        plot = makeBraggPlot(parseRangeTable(text));
    } else {
        std::cout.flush();
        writeRangeTableText(stdout, header, legacy, setup, onError);
    }
    if (svg) {
        const std::string& path = args.values.at("--svg");
        if (!replaceFileContent(path, braggPlotSvg(plot))) {
            std::cerr << "tarvex-let: --svg '" << path << "': cannot write it\n";
            return 1;
        }
    }
    return failures == 0 ? 0 : 1;
}

void printSummary(const ConsoleCore& console, bool committed) {
    const ConsoleState& state = console.state;
    const BeamState& beam = state.beam;
    const DialogFields& f = console.fields;
    auto line = [](const std::string& label, const std::string& text) {
        std::size_t characters = 0;  // UTF-8: count the bytes that start a character
        for (char c : label) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        std::cout << label << std::string(characters < 28 ? 28 - characters : 1, ' ') << text << "\n";
    };
    std::error_code ec;
    line("Station folder", std::filesystem::current_path(ec).string());
    line("Beam", beam.beamName + cformat("  (Z %d, A %g, %g MeV)", beam.ionZ, beam.ionA, beam.beamEnergyMeV));
    line("Degrader S, R", f.axisValue[kAxisS] + " " + f.axisUnit[kAxisS] + ", " + f.axisValue[kAxisR] + " " +
                              f.axisUnit[kAxisR]);
    line("Degrader foil (µm)", formatGeneral(beam.foilThicknessUm));
    line("Degrader path (µm)", formatGeneral(beam.degraderEffectiveUm) + "  (" + f.degrader + " mil)");
    if (!committed) {
        std::cout << "The beam was not recomputed; no file was committed.\n";
        return;
    }
    line("After the degrader (MeV)", formatGeneral(beam.degraderExitEnergyMeV));
    line("Target substrate", f.targetSubstrate);
    line("Tilt T", f.axisValue[kAxisT] + " " + f.axisUnit[kAxisT]);
    line("Beam energy (MeV/u)", f.energyPerNucleon);
    line("Beam energy (MeV)", f.energyMeV);
    line("Nominal LET (MeV·cm²/mg)", f.nominalLet);
    line("Nominal range (µm)", f.nominalRange);
    line("Effective LET (MeV·cm²/mg)", f.effectiveLet);
    line("Effective range (µm)", f.effectiveRange);
    line("Bragg peak energy (MeV)", formatGeneral(beam.braggEnergyMeV));
    std::string results = formatBeamResults(beam);
    if (!results.empty() && results.back() == '\n') results.pop_back();
    line("Results line", results);
}

// The console's messages on standard error, one "<icon word>: <text>" line
// each; where the console would end, the tool ends with its exit code.
class PrintedMessages : public MessageSink {
public:
    void report(const std::string& text, Icon icon) override {
        std::fprintf(stderr, "%s: %s\n", iconWord(icon), text.c_str());
        std::fflush(stderr);
    }
    [[noreturn]] void stop(int code, bool /*endDialog*/) override {
        std::fflush(stdout);
        std::exit(code);
    }

private:
    static const char* iconWord(Icon icon) {
        switch (icon) {
            case Icon::Stop: return "Error";
            case Icon::Warning: return "Warning";
            case Icon::Information: return "Information";
            case Icon::Question: return "Question";
            case Icon::None: break;
        }
        return "Message";
    }
};

int runRecompute(const Arguments& args) {
    rejectOptions(args,
                  {"--ion", "--mass", "--element", "--layer", "--data", "--tables", "--out", "--energy", "--thickness",
                   "--to-let", "--to-energy", "--tilt", "--csv", "--all", "--backwards"},
                  "recompute");
    if (args.positional.size() > 1) throw UsageError{"unexpected argument '" + args.positional[1] + "'"};
    if (!args.positional.empty()) {
        std::error_code ec;
        std::filesystem::current_path(args.positional.front(), ec);
        if (ec) throw UsageError{"folder '" + args.positional.front() + "': " + ec.message()};
    }
    PrintedMessages messages;
    auto console = std::make_unique<ConsoleCore>(messages);
    ConsoleState& state = console->state;
    // The start-up steps that give the recomputation its settings and axes.
    readCyclotronInUse(*console);
    state.foilCount = foilCountOf(state.cyclotronCode);
    readDemoStatus(*console);
    state.usersFolder = usersFolderFor(state.demoStatus);
    state.options = readOptions(*console);
    readTargetLocation(*console);
    loadSetupTable(*console);
    loadStatusFile(*console);

    const bool committed = recomputeBeam(*console);
    refreshEffectiveLetDisplay(*console);
    printSummary(*console, committed);
    return committed ? 0 : 1;
}


// The station folder DIR (default: the current folder) made current.
void enterStation(const Arguments& args) {
    if (args.positional.size() > 1) throw UsageError{"unexpected argument '" + args.positional[1] + "'"};
    if (args.positional.empty()) return;
    std::error_code ec;
    std::filesystem::current_path(args.positional.front(), ec);
    if (ec) throw UsageError{"folder '" + args.positional.front() + "': " + ec.message()};
}

// A value that must be a finite number above 0.
double positiveOption(const Arguments& args, const std::string& name) {
    const std::string& text = args.values.at(name);
    double value = 0;
    if (!parseReal(text, value) || !std::isfinite(value) || !(value > 0)) {
        throw UsageError{name + " '" + text + "': must be a number above 0"};
    }
    return value;
}

// A comma-separated list of angles from 0 to 89.9 degrees.
std::vector<double> angleList(const Arguments& args, const std::string& name) {
    if (!args.has(name)) return kPlanAngles;
    const std::string& text = args.values.at(name);
    std::vector<double> angles;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        double value = 0;
        if (!parseReal(item, value) || !(value >= 0 && value <= 89.9)) {
            throw UsageError{name + " '" + text + "': '" + item + "' is not an angle from 0 to 89.9 degrees"};
        }
        angles.push_back(value);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return angles;
}

// The station's minimum effective range (µm), NaN when it has none; a file
// without a number is reported once.
double stationMinimumRange() {
    double um = 0;
    switch (readMinimumRange(um)) {
        case MinimumRangeRead::Value: return um;
        case MinimumRangeRead::NoNumber: std::cerr << "tarvex-let: " << minimumRangeNoNumberText() << "\n"; break;
        case MinimumRangeRead::Absent: break;
    }
    return std::nan("");
}

std::unique_ptr<StationFolder> readStation() {
    auto station = std::make_unique<StationFolder>();
    const std::string problem = readStationFolder(*station);
    if (!problem.empty()) throw ComputationError{problem};
    return station;
}

StoppingOptions withoutTrace() {
    StoppingOptions options;
    options.traceFileName = "";
    return options;
}

int runGo(const Arguments& args) {
    rejectOptions(args,
                  {"--ion", "--mass", "--element", "--layer", "--data", "--tables", "--out", "--energy", "--thickness",
                   "--to-let", "--to-energy", "--tilt", "--all", "--backwards", "--tilts", "--rotations",
                   "--min-range"},
                  "go");
    const int goals = (args.has("--let") ? 1 : 0) + (args.has("--mev") ? 1 : 0) + (args.has("--mev-per-u") ? 1 : 0) +
                      (args.flag("--bragg") ? 1 : 0);
    if (goals != 1) throw UsageError{"go needs exactly one of --let, --mev, --mev-per-u and --bragg"};
    GoalKind kind = GoalKind::Bragg;
    double wanted = 0;
    if (args.has("--let")) {
        kind = GoalKind::Let;
        wanted = positiveOption(args, "--let");
    } else if (args.has("--mev")) {
        kind = GoalKind::MeV;
        wanted = positiveOption(args, "--mev");
    } else if (args.has("--mev-per-u")) {
        kind = GoalKind::MeVPerNucleon;
        wanted = positiveOption(args, "--mev-per-u");
    }
    enterStation(args);
    const auto station = readStation();
    const ConsoleState& state = station->state;
    if (!station->goLayersProblem.empty()) throw ComputationError{station->goLayersProblem};
    if (kind == GoalKind::Bragg) wanted = station->braggEnergyMeV;
    const double t = axisValue(state.axes[kAxisT]);
    const StoppingOptions options = withoutTrace();
    const DegraderSearch search =
        searchDegrader(state.stopping, options, station->ion(), t, kind, wanted, station->goLayers, state.foilCount);
    bool unreachable = false;
    const std::string failure = searchFailureText(search, t, unreachable);
    if (!failure.empty()) {
        std::string text = failure;
        if (unreachable) {
            const std::string reach = reachText(
                reachOfBeam(state.stopping, options, station->ion(), t, kind, station->layers, state.foilCount), kind,
                wanted, t);
            if (!reach.empty()) text += "\n\n" + reach;
        }
        std::cerr << text << "\n";
        return 1;
    }
    // The setting the axes will really reach: the target counts.
    const double s = search.foil.foil;
    const double r = search.foil.rDegrees;
    Axis sAxis = state.axes[kAxisS];
    Axis rAxis = state.axes[kAxisR];
    sAxis.internalPosition = internalPositionFor(sAxis, s);
    rAxis.internalPosition = internalPositionFor(rAxis, r);
    const BeamGeometry geometry{axisValue(sAxis), axisValue(rAxis), t, state.foilCount, state.options.foilTolerance};
    const BeamComputation predicted =
        computeBeam(state.stopping, options, station->ion(), geometry, station->layers, false);
    const double minimum = stationMinimumRange();
    if (args.flag("--csv")) {
        std::cout << "S,R,energy (MeV/u),effective LET (MeV cm2/mg),effective range (um),side\n"
                  << formatGeneral(s) << "," << formatGeneral(r) << "," << formatGeneral(predicted.deviceEnergyPerNucleon)
                  << "," << formatGeneral(predicted.effectiveLet) << "," << formatGeneral(predicted.effectiveRangeUm)
                  << "," << predicted.side() << "\n";
    } else {
        bool warned = false;
        std::cout << cformat("(S = %g , R = %g)", s, r) << "\n" << predictionText(predicted, minimum, warned) << "\n";
    }
    return 0;
}

int runPlan(const Arguments& args) {
    rejectOptions(args,
                  {"--element", "--layer", "--data", "--tables", "--out", "--thickness", "--to-let", "--to-energy",
                   "--tilt", "--all", "--backwards", "--let", "--mev", "--mev-per-u", "--bragg"},
                  "plan");
    const std::vector<double> tilts = angleList(args, "--tilts");
    const std::vector<double> rotations = angleList(args, "--rotations");
    double minimum = std::nan("");
    if (args.has("--min-range")) {
        const std::string& text = args.values.at("--min-range");
        if (!parseReal(text, minimum) || !std::isfinite(minimum) || minimum < 0) {
            throw UsageError{"--min-range '" + text + "': must be a number of micrometres, 0 or more"};
        }
    }
    if (args.has("--ion") != args.has("--energy")) throw UsageError{"--ion and --energy go together"};
    IonChoice other;
    double otherEnergy = 0;
    if (args.has("--ion")) {
        other = parseIon(args);
        otherEnergy = positiveOption(args, "--energy");
        if (otherEnergy > 1000) throw UsageError{"--energy '" + args.values.at("--energy") + "': at most 1000 MeV/u"};
    }
    enterStation(args);
    const auto station = readStation();
    const ConsoleState& state = station->state;
    if (!station->layers.complete) throw ComputationError{station->layersProblem};
    if (!args.has("--min-range")) minimum = stationMinimumRange();
    BeamIon ion = station->ion();
    std::string beamName = state.beam.beamName;
    if (args.has("--ion")) {
        ion = {other.atomicNumber, other.massU, otherEnergy * other.massU};
        beamName = other.name + cformat(" %g MeV/u", otherEnergy);
    }
    const std::vector<PlanRow> plan = planSettings(state.stopping, withoutTrace(), ion, station->layers,
                                                   state.foilCount, state.options.foilTolerance, rotations, tilts,
                                                   minimum);
    for (const PlanRow& row : plan) {
        const BeamOutcome outcome = row.beam.outcome;
        if (outcome == BeamOutcome::Substrate || outcome == BeamOutcome::Stopped) continue;
        std::string text = "the beam cannot be followed";
        if (!row.beam.failures.empty()) {
            text = calculationErrorText(row.beam.failures.back().code, row.beam.failures.back().context);
        }
        throw ComputationError{cformat("foil %d, R %g, T %g: ", row.foil, row.rDegrees, row.tDegrees) + text};
    }
    const std::string substrate = plan.empty() ? "" : plan.front().beam.substrate;
    auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    if (args.flag("--csv")) {
        std::cout << "foil,R,T,energy (MeV/u),nominal LET (MeV cm2/mg),effective LET (MeV cm2/mg),nominal range (um),"
                     "effective range (um),side,under minimum range\n";
        for (const PlanRow& row : plan) {
            const BeamComputation& b = row.beam;
            std::cout << row.foil << "," << formatGeneral(row.rDegrees) << "," << formatGeneral(row.tDegrees) << ","
                      << formatGeneral(b.deviceEnergyPerNucleon) << "," << formatGeneral(b.nominalLet) << ","
                      << formatGeneral(b.effectiveLet) << "," << formatGeneral(b.nominalRangeUm) << ","
                      << formatGeneral(b.effectiveRangeUm) << "," << b.side() << "," << yesNo(row.underMinimum)
                      << "\n";
        }
    } else {
        std::cout << "# " << beamName << cformat(" (Z %d, A %g, %g MeV)", ion.ionZ, ion.ionA, ion.beamEnergyMeV)
                  << " into " << substrate << "; minimum range "
                  << (std::isnan(minimum) ? std::string("none") : formatGeneral(minimum) + " µm")
                  << "; LET in MeV·cm²/mg, range in µm\n";
        std::cout << column("foil", 6) << column("R (deg)", 9) << column("T (deg)", 9) << column("E (MeV/u)", 11)
                  << column("LET", 9) << column("eff. LET", 10) << column("range", 9) << column("eff. range", 12)
                  << column("side", 13) << "under minimum\n";
        for (const PlanRow& row : plan) {
            const BeamComputation& b = row.beam;
            std::cout << column(std::to_string(row.foil), 6) << column(cformat("%.1f", row.rDegrees), 9)
                      << column(cformat("%.1f", row.tDegrees), 9) << column(perNucleonText(b.deviceEnergyPerNucleon), 11)
                      << column(formatBeamValue(b.nominalLet), 9) << column(formatBeamValue(b.effectiveLet), 10)
                      << column(cformat("%.1f", b.nominalRangeUm), 9) << column(cformat("%.1f", b.effectiveRangeUm), 12)
                      << column(b.side(), 13) << yesNo(row.underMinimum) << "\n";
        }
    }
    if (args.has("--svg")) {
        std::vector<SettingMark> marks;
        for (const PlanRow& row : plan) {
            const std::string side = row.beam.side();
            marks.push_back({row.beam.effectiveRangeUm, row.beam.effectiveLet,
                             side == "before peak" ? 0 : side == "past peak" ? 1 : 2,
                             cformat("foil %d, R %g\u00b0, T %g\u00b0: ", row.foil, row.rDegrees, row.tDegrees) +
                                 side});
        }
        const std::string& path = args.values.at("--svg");
        if (!replaceFileContent(path, settingsPlotSvg(beamName + " into " + substrate, marks))) {
            std::cerr << "tarvex-let: --svg '" << path << "': cannot write it\n";
            return 1;
        }
    }
    return 0;
}

std::string plural(int count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

void printTotals(const char* title, const std::vector<RunTotal>& totals) {
    std::cout << title << "\n";
    for (const RunTotal& total : totals) {
        std::cout << "  " << column(total.key.empty() ? "(none)" : total.key, 12) << column(plural(total.runs, "run"), 9)
                  << cformat("%10.1f s", total.seconds);
        if (total.unknown > 0) std::cout << "  (" << plural(total.unknown, "run") << " without a duration)";
        std::cout << "\n";
    }
}

int runRuns(const Arguments& args) {
    rejectOptions(args,
                  {"--ion", "--mass", "--element", "--layer", "--data", "--tables", "--out", "--energy", "--thickness",
                   "--to-let", "--to-energy", "--tilt", "--all", "--backwards", "--let", "--mev", "--mev-per-u",
                   "--bragg", "--tilts", "--rotations", "--min-range", "--svg"},
                  "runs");
    if (args.positional.size() > 1) throw UsageError{"unexpected argument '" + args.positional[1] + "'"};
    const std::string folder = args.positional.empty() ? "" : args.positional.front();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        throw UsageError{"folder '" + folder + "': not a folder"};
    }
    const bool csv = args.flag("--csv");
    int status = 0;
    std::vector<RunSummary> all;
    std::string csvRows;
    std::string text;
    for (const std::string& path : beamRunsFiles(folder)) {
        const std::string name = std::filesystem::path(path).filename().string();
        BeamRunsLog log;
        std::string why;
        if (!readBeamRuns(path, log, why)) {
            std::cerr << "tarvex-let: " << name << " cannot be read (" << why << ") - skipped\n";
            status = 1;
            continue;
        }
        std::vector<RunSummary> runs = mergeRuns(log);
        text += name + ": " + plural(static_cast<int>(runs.size()), "run") + "\n";
        for (const RunSummary& run : runs) {
            csvRows += csvField(name) + "," + formatRunSummary(run);
            const RunConditions& c = run.conditions;
            text += "  run " + column(std::to_string(run.run), 5) + column(run.begin, 27) +
                    column(run.open ? "open" : run.duration.empty() ? "?" : run.duration + " s", 10) +
                    column(c.ion, 7) + column(c.energy + " MeV/u", 12) + "S " + c.s + "  R " + c.r + "  T " + c.t +
                    "  X " + c.x + "  Y " + c.y + "  Z " + c.z + "  " + c.position + "  LET " + c.effectiveLet +
                    "  range " + c.effectiveRange + " um";
            if (!run.fluence.empty()) text += "  fluence " + run.fluence + " /cm2";
            if (!run.comment.empty()) text += "  " + run.comment;
            text += "\n";
        }
        all.insert(all.end(), runs.begin(), runs.end());
    }
    const RunTotals totals = totalRuns(all);
    if (csv) {
        std::cout << "file," << kRunsExportHeader << "\n" << csvRows << "\n";
        std::cout << "total by,key,runs,beam-on time (s),runs without a duration\n";
        for (const auto& [kind, list] : {std::pair{"ion", &totals.perIon}, std::pair{"effective LET", &totals.perEffectiveLet}}) {
            for (const RunTotal& t : *list) {
                std::cout << kind << "," << csvField(t.key) << "," << t.runs << "," << cformat("%.1f", t.seconds) << ","
                          << t.unknown << "\n";
            }
        }
        return status;
    }
    if (all.empty() && text.empty()) {
        std::cout << "No beam run recorded.\n";
        return status;
    }
    std::cout << text << "\n";
    printTotals("Beam-on time per ion:", totals.perIon);
    printTotals("Beam-on time per effective LET (MeV cm2/mg):", totals.perEffectiveLet);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Arguments args = parseArguments(argc, argv);
        if (args.flag("--help") || argc == 1) {
            std::cout << kHelp;
            return argc == 1 ? 2 : 0;
        }
        if (args.flag("--version")) {
            std::cout << "tarvex-let " TARVEX_VERSION "\n";
            return 0;
        }
        if (args.has("--svg") && args.command != "range" && args.command != "plan") {
            throw UsageError{"--svg does not apply to " + args.command};
        }
        if (args.has("--trace") && args.command != "traverse") {
            throw UsageError{"--trace does not apply to " + args.command};
        }
        if (args.command == "stopping") return runStopping(args);
        if (args.command == "traverse") return runTraverse(args);
        if (args.command == "sptable") return runSptable(args);
        if (args.command == "range") return runRange(args);
        if (args.command == "recompute") return runRecompute(args);
        if (args.command == "go") return runGo(args);
        if (args.command == "plan") return runPlan(args);
        if (args.command == "runs") return runRuns(args);
        throw UsageError{"unknown command '" + args.command +
                         "' (stopping, traverse, sptable, range, recompute, go, plan or runs; see --help)"};
    } catch (const UsageError& error) {
        std::cerr << "tarvex-let: " << error.text << "\n";
        return 2;
    } catch (const ComputationError& error) {
        std::cerr << "tarvex-let: " << error.text << "\n";
        return 1;
    }
}
