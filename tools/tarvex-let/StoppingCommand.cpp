// tarvex-let stopping: Se, Sn and St of an ion in a target at given energies.

#include <CLI/CLI.hpp>

#include <iostream>

#include "EngineOptions.h"
#include "energyloss/StandardTargets.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

const char* stoppingDescription() {
    static const std::string text =
        "electronic, nuclear and total stopping (MeV·cm²/mg) at each energy per nucleon E, from " +
        energyBoundsText() + " (the energies of the stopping data)";
    return text.c_str();
}

class StoppingCommand : public LetCommand {
public:
    StoppingCommand()
        : LetCommand("stopping", "[options] E...", stoppingDescription()) {}

    void declareOptions(CLI::App& command) override {
        command.add_option("E", energyTexts_, "energies per nucleon (MeV/u)");
        engine_.declare(command);
        declareFlag(command, csv_, "--csv", "machine-readable output: a header row with units, one row per result");
    }

    int run() override {
        if (energyTexts_.empty()) throw UsageError{"stopping needs at least one energy per nucleon E (MeV/u)"};
        std::vector<double> energies;
        for (const auto& text : energyTexts_) {
            double e = 0;
            if (!parseReal(text, e)) throw UsageError{"energy '" + text + "': not a number"};
            energies.push_back(coveredEnergy("energy '" + text + "'", e));
        }
        const IonChoice ion = engine_.ion();
        const auto data = engine_.loadCoefficients();
        const TargetChoice target = engine_.target(*data);
        const StoppingOptions options = engine_.stoppingOptions();
        TraceFile noTrace;
        auto source = std::make_unique<LayerStopping>();
        const int code = prepareLayerStopping(*data, ion.atomicNumber, ion.massU, target.material, target.icompound,
                                              noTrace, options, *source);
        const std::string table = spTableFileName(ion.atomicNumber, ion.massU, target.material, target.icompound);
        if (code != kResultDone) {
            std::cerr << "tarvex-let: --tables '" << options.tableFolder << "': cannot read the table " << table
                      << " (complete, 235 pairs)\n";
            return 1;
        }
        if (csv_) {
            std::cout << "E_MeV_per_u,Se_MeV_cm2_per_mg,Sn_MeV_cm2_per_mg,St_MeV_cm2_per_mg\n";
        } else {
            std::cout << "# ion " << ion.name << " (" << formatGeneral(ion.massU) << " u) in " << target.name
                      << ", stopping from "
                      << (source->useTable ? "table " + inFolder(options.tableFolder, table) : "formulas") << "\n";
            std::cout << column("E (MeV/u)", 14) << column("Se (MeV·cm²/mg)", 19) << column("Sn (MeV·cm²/mg)", 19)
                      << "St (MeV·cm²/mg)\n";
        }
        for (double e : energies) {
            const StoppingPowers s = layerStopping(*source, e * ion.massU * 1000);
            if (csv_) {
                std::cout << formatGeneral(e) << "," << formatGeneral(s.electronic) << ","
                          << formatGeneral(s.nuclear) << "," << formatGeneral(s.total) << "\n";
            } else {
                std::cout << column(formatGeneral(e), 14) << column(formatGeneral(s.electronic), 17)
                          << column(formatGeneral(s.nuclear), 17) << formatGeneral(s.total) << "\n";
            }
        }
        return 0;
    }

private:
    std::vector<std::string> energyTexts_;
    EngineOptions engine_;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeStoppingCommand() { return std::make_unique<StoppingCommand>(); }
