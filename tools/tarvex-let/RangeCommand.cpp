// tarvex-let range: the range table of an ion entering a target, as the
// console writes "RangeTable.txt", and its Bragg curve as a picture.

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "EngineOptions.h"
#include "beam/BeamComputation.h"
#include "beam/BraggPlot.h"
#include "beam/RangeTable.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

class RangeCommand : public LetCommand {
public:
    RangeCommand()
        : LetCommand("range", "[options] --energy E [--tilt DEG] [--svg FILE]",
                     "the range table of the ion entering the target at E (MeV/u), tilted by DEG degrees (default "
                     "0): energy (MeV/u, MeV), nominal and effective depth (µm), nominal and effective LET "
                     "(MeV·cm²/mg) every 0.01 MeV/u down to rest, and the Bragg peak, in the format of "
                     "\"RangeTable.txt\" (--csv: the rows only). Writes no trace file. --svg FILE also draws the "
                     "table as the console's Bragg-curve window does (nominal and effective LET against depth, the "
                     "Bragg peak, the effective range) into FILE.") {}

    void declareOptions(CLI::App& command) override {
        engine_.declare(command);
        energy_.declare(command, "--energy", "E", "the energy per nucleon entering the target (MeV/u)");
        tilt_.declare(command, "--tilt", "DEG", "tilt T of the target in degrees, between -90 and 90 (default 0)");
        svg_.declare(command, "--svg", "FILE", "the Bragg curve as an SVG picture in FILE");
        declareFlag(command, csv_, "--csv", "the rows of the table only, under a header row with units");
    }

    int run() override {
        if (!energy_.given()) throw UsageError{"range needs --energy E (MeV/u)"};
        const double energy = energy_.number();
        if (!(energy > 0) || energy > 1000) {
            throw UsageError{energy_.quoted() + ": must be above 0 and at most 1000 MeV/u"};
        }
        double tilt = 0;
        if (tilt_.given()) {
            tilt = tilt_.number();
            if (!(std::fabs(tilt) < 90)) throw UsageError{tilt_.quoted() + ": must lie between -90 and 90 degrees"};
        }
        const IonChoice ion = engine_.ion();
        const auto data = engine_.loadCoefficients();
        TargetChoice target = engine_.target(*data);
        if (!(target.material.density > 0)) throw UsageError{"the target '" + target.name + "' has no density above 0"};
        target.material.arealDensity = 1;  // forwards

        RangeTableSetup setup;
        setup.data = data.get();
        setup.options = engine_.stoppingOptions();
        setup.ionMassU = ion.massU;
        setup.ionAtomicNumber = ion.atomicNumber;
        setup.layer = target.material;
        setup.icompound = target.icompound;
        setup.tiltDegrees = tilt;
        setup.entryEnergyPerNucleonMeV = energy;
        setup.entryEnergyMeV = energy * ion.massU;

        // The LET at the entrance: a traversal that ends at once.
        LayerResult entry;
        const int code = traverseLayer(*data, ion.massU, ion.atomicNumber, energy, 0, kMatchThickness,
                                       target.icompound, target.material, entry, setup.options);
        if (code != kResultDone) {
            printResultCode(code, "range");
            return 1;
        }
        setup.entryLet = entry.exitLet;

        int failures = 0;
        auto onError = [&](int failed) {
            ++failures;
            printResultCode(failed, "range");
        };
        const std::string header = ion.name + "   at " + perNucleonText(energy) + " MeV/amu (" +
                                   cformat("%.0f", energy * ion.massU) + " MeV)   in " + target.name + " at " +
                                   cformat("%.3f", tilt) + " deg";
        const bool legacy = !engine_.tables.given();
        const bool svg = svg_.given();
        BraggPlot plot;
        if (csv_) {
            std::cout << "E_MeV_per_u,E_MeV,depth_um,effective_depth_um,LET_MeV_cm2_per_mg,"
                         "effective_LET_MeV_cm2_per_mg\n";
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
            // The table is kept and then read back as the console's window
            // reads "RangeTable.txt", so the picture is the window's.
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
        if (svg && !replaceFileContent(svg_.text(), braggPlotSvg(plot))) {
            std::cerr << "tarvex-let: --svg '" << svg_.text() << "': cannot write it\n";
            return 1;
        }
        return failures == 0 ? 0 : 1;
    }

private:
    EngineOptions engine_;
    TextOption energy_, tilt_, svg_;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeRangeCommand() { return std::make_unique<RangeCommand>(); }
