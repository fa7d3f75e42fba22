// tarvex-let go: the degrader setting the console's Go proposes on a station
// folder, and what it gives.

#include <CLI/CLI.hpp>

#include <iostream>

#include "StationFolderOption.h"
#include "beam/GoProposal.h"
#include "util/NumberFormat.h"

namespace {

class GoCommand : public LetCommand {
public:
    GoCommand()
        : LetCommand("go", "[DIR] (--let X | --mev X | --mev-per-u X | --bragg) [--csv]",
                     "the degrader setting the console's Go proposes on the station folder DIR for an effective LET "
                     "(MeV·cm²/mg), an energy (MeV) or energy per nucleon (MeV/u) at the substrate, or for the "
                     "Bragg peak, at the present tilt: the \"(S = .. , R = ..)\" line and what the setting gives "
                     "(energy, effective LET and range, a warning past the Bragg peak or under MinimumRange.dat); "
                     "--csv: S, R, energy, effective LET and range, side. Go's failure text and exit status 1 when "
                     "no setting gives the value.") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        let_.declare(command, "--let", "X", "an effective LET at the substrate (MeV·cm²/mg)");
        mev_.declare(command, "--mev", "X", "an energy at the substrate (MeV)");
        mevPerU_.declare(command, "--mev-per-u", "X", "an energy per nucleon at the substrate (MeV/u)");
        declareFlag(command, bragg_, "--bragg", "the Bragg peak at the substrate");
        declareFlag(command, csv_, "--csv", "S, R, energy, effective LET and range, side, under a header row");
    }

    int run() override {
        const int goals =
            (let_.given() ? 1 : 0) + (mev_.given() ? 1 : 0) + (mevPerU_.given() ? 1 : 0) + (bragg_ ? 1 : 0);
        if (goals != 1) throw UsageError{"go needs exactly one of --let, --mev, --mev-per-u and --bragg"};
        GoalKind kind = GoalKind::Bragg;
        double wanted = 0;
        if (let_.given()) {
            kind = GoalKind::Let;
            wanted = let_.positive();
        } else if (mev_.given()) {
            kind = GoalKind::MeV;
            wanted = mev_.positive();
        } else if (mevPerU_.given()) {
            kind = GoalKind::MeVPerNucleon;
            wanted = mevPerU_.positive();
        }
        station_.enter();
        const auto station = readStation();
        if (!station->goLayersProblem.empty()) throw ComputationError{station->goLayersProblem};
        const GoLayers layers{station->goLayers, station->layers};
        const GoProposal proposal = proposeGo(station->state, layers, kind, wanted, stationMinimumRange());
        if (!proposal.failure.empty()) {
            std::cerr << proposal.failure << "\n";
            return 1;
        }
        const BeamResult& predicted = proposal.predicted;
        if (csv_) {
            std::cout << "S,R,energy (MeV/u),effective LET (MeV cm2/mg),effective range (um),side\n"
                      << formatGeneral(proposal.s) << "," << formatGeneral(proposal.r) << ","
                      << formatGeneral(predicted.deviceEnergyPerNucleon) << "," << formatGeneral(predicted.effectiveLet)
                      << "," << formatGeneral(predicted.effectiveRangeUm) << "," << predicted.side() << "\n";
        } else {
            std::cout << proposal.setting() << "\n" << proposal.prediction << "\n";
        }
        return 0;
    }

private:
    StationFolderOption station_;
    TextOption let_, mev_, mevPerU_;
    bool bragg_ = false;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeGoCommand() { return std::make_unique<GoCommand>(); }
