// tarvex-let go: the degrader setting the console's Go proposes on a station
// folder, and what it gives.

#include <CLI/CLI.hpp>

#include <iostream>

#include "StationFolderOption.h"
#include "beam/BeamComputation.h"
#include "core/AxisTable.h"
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
        const ConsoleState& state = station->state;
        if (!station->goLayersProblem.empty()) throw ComputationError{station->goLayersProblem};
        if (kind == GoalKind::Bragg) wanted = station->braggEnergyMeV;
        const double t = axisValue(state.axes[kAxisT]);
        const StoppingOptions options = withoutTrace();
        const DegraderSearch search = searchDegrader(state.stopping, options, station->ion(), t, kind, wanted,
                                                     station->goLayers, state.foilCount);
        bool unreachable = false;
        const std::string failure = searchFailureText(search, t, unreachable);
        if (!failure.empty()) {
            std::string text = failure;
            if (unreachable) {
                const std::string reach = reachText(
                    reachOfBeam(state.stopping, options, station->ion(), t, kind, station->layers, state.foilCount),
                    kind, wanted, t);
                if (!reach.empty()) text += "\n\n" + reach;
            }
            std::cerr << text << "\n";
            return 1;
        }
        // The setting the axes will really reach: the values of the target counts.
        const Axis& sAxis = state.axes[kAxisS];
        const Axis& rAxis = state.axes[kAxisR];
        const double s = axisValueAt(sAxis, internalPositionFor(sAxis, search.foil.foil));
        const double r = axisValueAt(rAxis, internalPositionFor(rAxis, search.foil.rDegrees));
        const BeamGeometry geometry{s, r, t, state.foilCount, state.options.foilTolerance};
        const BeamComputation predicted =
            computeBeam(state.stopping, options, station->ion(), geometry, station->layers, false);
        const double minimum = stationMinimumRange();
        if (csv_) {
            std::cout << "S,R,energy (MeV/u),effective LET (MeV cm2/mg),effective range (um),side\n"
                      << formatGeneral(s) << "," << formatGeneral(r) << ","
                      << formatGeneral(predicted.deviceEnergyPerNucleon) << "," << formatGeneral(predicted.effectiveLet)
                      << "," << formatGeneral(predicted.effectiveRangeUm) << "," << predicted.side() << "\n";
        } else {
            bool warned = false;
            std::cout << goSettingText(s, r) << "\n"
                      << predictionText(predicted, minimum, warned) << "\n";
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
