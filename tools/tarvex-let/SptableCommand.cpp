// tarvex-let sptable: the per-ion stopping tables of standard ions in a
// standard target, computed with the formulas.

#include <CLI/CLI.hpp>

#include <iostream>

#include "EngineOptions.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"
#include "util/TextFiles.h"

namespace {

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

class SptableCommand : public LetCommand {
public:
    SptableCommand()
        : LetCommand("sptable",
                     "(--ion ION [--mass M] | --all) (--element Al | --element Si | --layer FILE) [--out DIR]",
                     "writes the per-ion stopping table (e.g. \"197AuSi.inp\") computed with the formulas, for a "
                     "standard ion (--all: all 22) and a standard target.") {}

    void declareOptions(CLI::App& command) override {
        engine_.declareIon(command);
        declareFlag(command, all_, "--all", "all 22 standard ions");
        engine_.declareTarget(command);
        engine_.declareData(command);
        out_.declare(command, "--out", "DIR", "output folder (default: the current folder)");
        declareFlag(command, csv_, "--csv", "machine-readable output: a header row, one row per table file");
    }

    int run() override {
        if (all_ && (engine_.ionName.given() || engine_.mass.given())) {
            throw UsageError{"--all cannot be combined with --ion or --mass"};
        }
        std::vector<IonChoice> ions;
        if (all_) {
            for (const StandardIon& standard : kStandardIons) {
                IonChoice ion;
                ion.atomicNumber = standard.atomicNumber;
                ion.massNumber = standard.massNumber;
                ion.massU = standard.massNumber;
                ion.name = std::to_string(standard.massNumber) + standard.symbol;
                ions.push_back(ion);
            }
        } else {
            IonChoice ion = engine_.ion();
            if (findStandardIon(ion.atomicNumber, ion.massNumber) == nullptr) {
                throw UsageError{"--ion '" + ion.name + "': not one of the 22 standard ions"};
            }
            if (massNumberOf(ion.massU) != ion.massNumber) {
                throw UsageError{engine_.mass.quoted() + ": gives mass number " +
                                 std::to_string(massNumberOf(ion.massU)) + ", not " + std::to_string(ion.massNumber)};
            }
            ions.push_back(ion);
        }
        const auto data = engine_.loadCoefficients();
        const TargetChoice target = engine_.target(*data);
        if (standardTargetSuffix(target.material, target.icompound).empty()) {
            throw UsageError{engine_.targetQuoted() + ": '" + target.name +
                             "' is not a standard target (Al, Si or one of the eight standard compound names)"};
        }
        const std::string folder = out_.given() ? out_.text() : "";
        int status = 0;
        if (csv_) std::cout << "table_file\n";
        for (const IonChoice& ion : ions) {
            if (writeTable(*data, ion, target, folder, csv_) != 0) status = 1;
        }
        return status;
    }

private:
    EngineOptions engine_;
    TextOption out_;
    bool all_ = false;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeSptableCommand() { return std::make_unique<SptableCommand>(); }
