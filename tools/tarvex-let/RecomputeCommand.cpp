// tarvex-let recompute: the console's recomputation of the beam on a station
// working folder, without the dialog.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "StationFolderOption.h"
#include "axes/AxisFiles.h"
#include "beam/BeamComputation.h"
#include "beam/BeamFiles.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "core/Cyclotrons.h"
#include "core/FileNames.h"
#include "core/Headless.h"
#include "core/Settings.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

void printSummary(const ConsoleCore& console, const BeamResult& computed, bool committed) {
    const ConsoleState& state = console.state;
    const BeamState& beam = state.beam;
    const DialogFields& f = console.fields;
    auto line = [](const std::string& label, const std::string& text) {
        const std::size_t characters = characterCount(label);
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
    for (std::size_t i = 1; i < computed.passages.size(); ++i) {
        const LayerPassage& passage = computed.passages[i];
        line("After " + passage.name + " (MeV/u)", formatGeneral(passage.exitEnergyPerNucleon));
    }
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

class RecomputeCommand : public LetCommand {
public:
    RecomputeCommand()
        : LetCommand("recompute", "[DIR] [--trace]",
                     "runs the console's recomputation of the beam on the station working folder DIR (default: the "
                     "current folder): reads the settings, the setup table and the status file for S, R and T, "
                     "crosses the degrader and the layers of \"CurrentLayersReversed.dat\", writes "
                     "\"RangeTable.txt\" and the beam files and commits them as the console does (with --trace also "
                     "the engine's trace, \"atempt.txt\"). "
                     "Each message the console would show is printed on stderr as \"<icon>: <text>\" and answered "
                     "with its default button; a summary goes to stdout. Exit status: the console's (1) when it "
                     "would end, 1 when the recomputation ended early without committing, else 0.") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        declareFlag(command, trace_, "--trace", "writes the engine's trace \"atempt.txt\" as the console does");
    }

    int run() override {
        station_.enter();
        HeadlessMessages messages(stderr);
        auto console = std::make_unique<ConsoleCore>(messages);
        BeamResult computed;
        const bool committed = recomputeCurrentFolder(*console, trace_, computed);
        refreshEffectiveLetDisplay(*console);
        printSummary(*console, computed, committed);
        return committed ? 0 : 1;
    }

private:
    StationFolderOption station_;
    bool trace_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeRecomputeCommand() { return std::make_unique<RecomputeCommand>(); }
