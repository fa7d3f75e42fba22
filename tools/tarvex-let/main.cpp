// tarvex-let: ion stopping powers, layer traversals and per-ion stopping
// tables from the command line, over the console's energy-loss engine.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LayerRecordReader.h"
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
    "  tarvex-let traverse [options] --energy E (--thickness MG_PER_CM2 | --to-let L | --to-energy E2)\n"
    "                      [--backwards]\n"
    "      one layer traversal from E (MeV/u): to an areal density crossed (mg/cm²), a LET\n"
    "      (MeV·cm²/mg, forwards only) or an energy per nucleon (MeV/u); --backwards runs\n"
    "      against the beam (energy growing). Appends the trace to \"atempt.txt\" in the\n"
    "      current folder.\n"
    "  tarvex-let sptable (--ion ION [--mass M] | --all) (--element Al | --element Si | --layer FILE)\n"
    "                     [--out DIR]\n"
    "      writes the per-ion stopping table (e.g. \"197AuSi.inp\") computed with the formulas,\n"
    "      for a standard ion (--all: all 22) and a standard target.\n"
    "\n"
    "Options:\n"
    "  --ion ION        mass number and element symbol, e.g. 197Au\n"
    "  --mass M         exact ion mass in u (default: the mass number)\n"
    "  --element SYM    a one-element target; atomic mass and density from the coefficient file\n"
    "  --layer FILE     the first layer record of a layer file; its name decides the compound\n"
    "  --data DIR       folder of scoef.95a, scoef.95b, scoefgas.95\n"
    "                   (default: $TARVEX_STOPPING_DATA, else the current folder)\n"
    "  --tables DIR     use per-ion tables (.inp) from DIR where they exist (default: formulas)\n"
    "  --csv            machine-readable output: a header row with units, one row per result\n"
    "  --out DIR        sptable: output folder (default: the current folder)\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 on success, 1 when a computation fails, 2 for a bad command line.\n";

struct UsageError {
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
                                                 "--thickness", "--to-let", "--to-energy"};
const std::vector<std::string> kFlagOptions = {"--csv", "--all", "--backwards", "--help"};

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
        } else if (args.command.empty() && !args.flag("--help")) {
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

std::string dataFolder(const Arguments& args) {
    if (args.has("--data")) return args.values.at("--data");
    if (const char* env = std::getenv("TARVEX_STOPPING_DATA"); env != nullptr && *env != '\0') return env;
    return "";
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
            const std::string origin = args.has("--data") ? "--data '" + folder + "'"
                                       : folder.empty()   ? "current folder"
                                                          : "$TARVEX_STOPPING_DATA '" + folder + "'";
            throw UsageError{origin + ": cannot read " + inFolder(folder, name)};
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
    std::ifstream file(path, std::ios::binary);
    if (!file) throw UsageError{"--layer '" + path + "': cannot open the file"};
    FirstLayer layer;
    std::string error;
    if (!parseFirstLayer(file, layer, error)) throw UsageError{"--layer '" + path + "': " + error};
    target.name = layer.name;
    target.material = layer.material;
    target.material.arealDensity = 0;
    target.icompound = layer.icompound;
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
    rejectOptions(args, {"--energy", "--thickness", "--to-let", "--to-energy", "--backwards", "--out", "--all"},
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

int runTraverse(const Arguments& args) {
    rejectOptions(args, {"--out", "--all"}, "traverse");
    if (!args.positional.empty()) throw UsageError{"unexpected argument '" + args.positional.front() + "'"};
    if (!args.has("--energy")) throw UsageError{"traverse needs --energy E (MeV/u)"};
    const int goals = (args.has("--thickness") ? 1 : 0) + (args.has("--to-let") ? 1 : 0) +
                      (args.has("--to-energy") ? 1 : 0);
    if (goals != 1) throw UsageError{"traverse needs exactly one of --thickness, --to-let and --to-energy"};
    const double energy = numberOption(args, "--energy");
    const bool backwards = args.flag("--backwards");
    int match = 0;
    double goal = 0;
    if (args.has("--thickness")) {
        match = kMatchThickness;
        goal = numberOption(args, "--thickness");
        if (goal < 0) throw UsageError{"--thickness '" + args.values.at("--thickness") + "': must not be negative"};
        if (backwards) goal = -goal;
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
    const StoppingOptions options = stoppingOptions(args);

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
    rejectOptions(args, {"--energy", "--thickness", "--to-let", "--to-energy", "--backwards", "--tables"},
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

}  // namespace

int main(int argc, char** argv) {
    try {
        const Arguments args = parseArguments(argc, argv);
        if (args.flag("--help") || argc == 1) {
            std::cout << kHelp;
            return argc == 1 ? 2 : 0;
        }
        if (args.command == "stopping") return runStopping(args);
        if (args.command == "traverse") return runTraverse(args);
        if (args.command == "sptable") return runSptable(args);
        throw UsageError{"unknown command '" + args.command + "' (stopping, traverse or sptable; see --help)"};
    } catch (const UsageError& error) {
        std::cerr << "tarvex-let: " << error.text << "\n";
        return 2;
    }
}
