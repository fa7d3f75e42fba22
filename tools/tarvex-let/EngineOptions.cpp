#include "EngineOptions.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "beam/LayerRecord.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/StandardTargets.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

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

const char* environmentData() {
    const char* env = std::getenv("TARVEX_STOPPING_DATA");
    return env != nullptr && *env != '\0' ? env : nullptr;
}

}  // namespace

void EngineOptions::declare(CLI::App& command) {
    declareIon(command);
    declareTarget(command);
    declareData(command);
    declareTables(command);
}

void EngineOptions::declareIon(CLI::App& command) {
    ionName.declare(command, "--ion", "ION", "mass number and element symbol, e.g. 197Au");
    mass.declare(command, "--mass", "M", "exact ion mass in u (default: the mass number)");
}

void EngineOptions::declareTarget(CLI::App& command) {
    element.declare(command, "--element", "SYM",
                    "a one-element target; atomic mass and density from the coefficient file");
    layer.declare(command, "--layer", "FILE", "the first layer record of a layer file; its name decides the compound");
}

void EngineOptions::declareData(CLI::App& command) {
    data.declare(command, "--data", "DIR",
                 "folder of scoef.95a, scoef.95b, scoefgas.95 (default: $TARVEX_STOPPING_DATA, else the copy "
                 "installed with tarvex-let, ../share/tarvex/stopping beside its program folder, else the copy in "
                 "the source tree it was built from)");
}

void EngineOptions::declareTables(CLI::App& command) {
    tables.declare(command, "--tables", "DIR",
                   "use per-ion tables (.inp) from DIR where they exist (default: formulas)");
}

IonChoice parseIonName(const std::string& quoted, const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    IonChoice ion;
    int32_t a = 0;
    if (digits == 0 || !parseInt(text.substr(0, digits), a) || a < 1 || a > 300) {
        throw UsageError{quoted + ": expected a mass number and an element symbol, e.g. 197Au"};
    }
    const std::string symbol = text.substr(digits);
    ion.atomicNumber = atomicNumberOfSymbol(symbol);
    if (ion.atomicNumber == 0) throw UsageError{quoted + ": unknown element symbol '" + symbol + "'"};
    if (a < ion.atomicNumber) throw UsageError{quoted + ": mass number below the atomic number"};
    ion.massNumber = a;
    ion.massU = a;
    ion.name = text;
    return ion;
}

IonChoice EngineOptions::ion() const {
    if (!ionName.given()) throw UsageError{"--ion is required"};
    IonChoice ion = parseIonName(ionName.quoted(), ionName.text());
    if (mass.given()) ion.massU = ionMassOfText(mass.quoted(), mass.text());
    return ion;
}

double ionMassOfText(const std::string& quoted, const std::string& text) {
    double massU = 0;
    if (!parseReal(text, massU)) throw UsageError{quoted + ": not a number"};
    if (!(massU > 0) || massU > 1000) throw UsageError{quoted + ": must be above 0 and at most 1000 u"};
    return massU;
}

std::string EngineOptions::dataFolder() const {
    const char* env = environmentData();
    return data.given() ? data.text() : env != nullptr ? env : bundledStoppingData();
}

std::unique_ptr<StoppingData> EngineOptions::loadCoefficients() const {
    const char* env = environmentData();
    const std::string folder = dataFolder();
    const std::string origin = data.given()    ? "--data '" + folder + "'"
                               : env != nullptr ? "$TARVEX_STOPPING_DATA '" + folder + "'"
                                                : "the bundled data '" + folder + "'";
    for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
        if (!fileIsReadable(inFolder(folder, name))) {
            throw ComputationError{origin + ": cannot read " + inFolder(folder, name)};
        }
    }
    auto loaded = std::make_unique<StoppingData>();
    const CoefficientLoad load = loadStoppingCoefficients(*loaded, folder);
    if (!load.ok()) throw ComputationError{origin + ": " + coefficientLoadText(load)};
    return loaded;
}

TargetChoice EngineOptions::target(const StoppingData& stopping) const {
    if (element.given() == layer.given()) throw UsageError{"give the target with exactly one of --element and --layer"};
    TargetChoice target;
    if (element.given()) {
        const std::string& symbol = element.text();
        const int z = atomicNumberOfSymbol(symbol);
        if (z == 0) throw UsageError{element.quoted() + ": unknown element symbol"};
        const double* row = stopping.coefficients.value[z];
        const double massU = row[CoefficientTable::kNaturalWeight];
        if (!(massU > 0)) throw UsageError{element.quoted() + ": the coefficient file gives no atomic mass"};
        target.name = symbol;
        target.material.elementCount = 1;
        target.material.atomicNumber[0] = z;
        target.material.atomicMass[0] = massU;
        target.material.massFraction[0] = 1;
        target.material.density = row[CoefficientTable::kDensity];
        return target;
    }
    std::ifstream file;
    if (!openInput(file, layer.text())) throw UsageError{layer.quoted() + ": cannot open the file"};
    TokenReader reader(file);
    LayerRecord record;
    std::string why;
    switch (readLayerRecord(reader, record, why)) {
        case LayerReadResult::End: throw UsageError{layer.quoted() + ": the file holds no layer record"};
        case LayerReadResult::Refused: throw UsageError{layer.quoted() + ": the first record: " + why};
        case LayerReadResult::Record: break;
    }
    target.name = record.name;
    target.material = materialOf(record, 0);
    target.icompound = icompoundOf(record.name);
    return target;
}

StoppingOptions EngineOptions::stoppingOptions() {
    StoppingOptions options;
    options.tables = &tablesRead_;
    options.mode = tables.given() ? CalculationMode::Tables : CalculationMode::Formulas;
    if (tables.given()) options.tableFolder = tables.text();
    return options;
}

std::string energyBoundsText() {
    return formatGeneral(kLowestEnergyPerNucleonMeV) + " to " + formatGeneral(kHighestEnergyPerNucleonMeV) + " MeV/u";
}

double coveredEnergy(const std::string& quoted, double energyPerNucleonMeV) {
    if (!(energyPerNucleonMeV >= kLowestEnergyPerNucleonMeV && energyPerNucleonMeV <= kHighestEnergyPerNucleonMeV)) {
        throw UsageError{quoted + ": must be at least " + formatGeneral(kLowestEnergyPerNucleonMeV) + " and at most " +
                         formatGeneral(kHighestEnergyPerNucleonMeV) + " MeV/u"};
    }
    return energyPerNucleonMeV;
}

void printResultCode(int code, const std::string& context) {
    std::string text = calculationErrorText(code, context);
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    std::cerr << "tarvex-let: result code " << code << ":" << (text.front() == ' ' ? "" : " ") << text << "\n";
}
