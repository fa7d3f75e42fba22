// tarvex-let plan: what every foil, rotation and tilt of a station gives at
// the substrate.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "EngineOptions.h"
#include "StationFolderOption.h"
#include "beam/BeamComputation.h"
#include "beam/BraggPlot.h"
#include "energyloss/CalculationErrors.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// The most settings one plan computes, each a whole computation of the beam
// (some 150 a second).
constexpr std::size_t kMostPlanSettings = 10000;

// `text` in quotes, cut to 40 bytes (at a character's start) and "…".
std::string shortQuoted(const std::string& text) {
    constexpr std::size_t kMost = 40;
    if (text.size() <= kMost) return "'" + text + "'";
    std::size_t end = kMost;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return "'" + text.substr(0, end) + "\u2026'";
}

// Refuses a plan of more than kMostPlanSettings settings; `foils` 0 when the
// foils are not known yet (the count is then per foil).
void checkPlanSize(std::size_t foils, std::size_t rotations, std::size_t tilts) {
    const std::size_t perFoil = rotations * tilts;
    const std::size_t settings = perFoil * std::max<std::size_t>(foils, 1);
    if (settings <= kMostPlanSettings) return;
    const std::string grid = cformat("%zu rotations \u00d7 %zu tilts", rotations, tilts);
    throw UsageError{(foils == 0 ? grid + cformat(" make %zu settings for each foil", perFoil)
                                 : cformat("%zu foils \u00d7 ", foils) + grid + cformat(" make %zu settings", settings)) +
                     cformat("; a plan holds at most %zu settings", kMostPlanSettings)};
}

// A comma-separated list of angles from 0 to 89.9 degrees; the default
// without the option.
std::vector<double> angleList(const TextOption& option) {
    if (!option.given()) return kPlanAngles;
    const std::string& text = option.text();
    std::vector<double> angles;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        double value = 0;
        if (!parseReal(item, value) || !(value >= 0 && value <= 89.9)) {
            throw UsageError{option.name() + ": " + shortQuoted(item) + " is not an angle from 0 to 89.9 degrees"};
        }
        angles.push_back(value);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return angles;
}

void printPlan(const std::vector<PlanRow>& plan, const std::string& title, double minimum, bool csv) {
    auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    if (csv) {
        std::cout << "foil,R,T,energy (MeV/u),nominal LET (MeV cm2/mg),effective LET (MeV cm2/mg),nominal range (um),"
                     "effective range (um),side,under minimum range\n";
        for (const PlanRow& row : plan) {
            const BeamResult& b = row.beam;
            std::cout << row.foil << "," << formatGeneral(row.rDegrees) << "," << formatGeneral(row.tDegrees) << ","
                      << formatGeneral(b.deviceEnergyPerNucleon) << "," << formatGeneral(b.nominalLet) << ","
                      << formatGeneral(b.effectiveLet) << "," << formatGeneral(b.nominalRangeUm) << ","
                      << formatGeneral(b.effectiveRangeUm) << "," << b.side() << "," << yesNo(row.underMinimum)
                      << "\n";
        }
        return;
    }
    std::cout << "# " << title << "; minimum range "
              << (std::isnan(minimum) ? std::string("none") : formatGeneral(minimum) + " µm")
              << "; LET in MeV·cm²/mg, range in µm\n";
    std::cout << column("foil", 6) << column("R (deg)", 9) << column("T (deg)", 9) << column("E (MeV/u)", 11)
              << column("LET", 9) << column("eff. LET", 10) << column("range", 9) << column("eff. range", 12)
              << column("side", 13) << "under minimum\n";
    for (const PlanRow& row : plan) {
        const BeamResult& b = row.beam;
        std::cout << column(std::to_string(row.foil), 6) << column(cformat("%.1f", row.rDegrees), 9)
                  << column(cformat("%.1f", row.tDegrees), 9) << column(perNucleonText(b.deviceEnergyPerNucleon), 11)
                  << column(formatBeamValue(b.nominalLet), 9) << column(effectiveLetText(b.effectiveLet), 10)
                  << column(cformat("%.1f", b.nominalRangeUm), 9) << column(cformat("%.1f", b.effectiveRangeUm), 12)
                  << column(b.side(), 13) << yesNo(row.underMinimum) << "\n";
    }
}

class PlanCommand : public LetCommand {
public:
    PlanCommand()
        : LetCommand("plan",
                     "[DIR] [--tilts LIST] [--rotations LIST] [--min-range UM] [--ion ION --energy E] [--csv] "
                     "[--svg FILE]",
                     "for every foil 0 .. the last, every rotation R and tilt T (comma-separated degrees from 0 to "
                     "89.9; default 0,30,45,60 each): energy at the substrate, nominal and effective LET and range, "
                     "side of the Bragg peak and whether the effective range is under the minimum (--min-range, "
                     "else MinimumRange.dat, else none), for the station's beam or for ION at E MeV/u; --svg FILE: "
                     "effective LET against effective range, one mark per setting. At most 10000 settings (foils × rotations "
                     "× tilts) are computed; a larger plan is refused.") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        tilts_.declare(command, "--tilts", "LIST",
                       "the tilts T, comma-separated degrees from 0 to 89.9 (default 0,30,45,60)");
        rotations_.declare(command, "--rotations", "LIST",
                           "the degrader rotations R, comma-separated degrees from 0 to 89.9 (default 0,30,45,60)");
        minRange_.declare(command, "--min-range", "UM",
                          "the minimum effective range in µm (default: MinimumRange.dat, else none)");
        engine_.declareIon(command);
        energy_.declare(command, "--energy", "E", "with --ion: the ion's energy per nucleon (MeV/u), at most 1000");
        declareFlag(command, csv_, "--csv", "the table as CSV under a header row");
        svg_.declare(command, "--svg", "FILE", "effective LET against effective range as an SVG picture in FILE");
    }

    int run() override {
        const std::vector<double> tilts = angleList(tilts_);
        const std::vector<double> rotations = angleList(rotations_);
        checkPlanSize(0, rotations.size(), tilts.size());
        double minimum = std::nan("");
        if (minRange_.given()) {
            if (!parseReal(minRange_.text(), minimum) || !std::isfinite(minimum) || minimum < 0) {
                throw UsageError{minRange_.quoted() + ": must be a number of micrometres, 0 or more"};
            }
        }
        if (engine_.ionName.given() != energy_.given()) throw UsageError{"--ion and --energy go together"};
        IonChoice other;
        double otherEnergy = 0;
        if (engine_.ionName.given()) {
            other = engine_.ion();
            otherEnergy = energy_.positive();
            if (otherEnergy > 1000) throw UsageError{energy_.quoted() + ": at most 1000 MeV/u"};
        }
        station_.enter();
        const auto station = readStation();
        const ConsoleState& state = station->state;
        if (!station->layers.complete) throw ComputationError{station->layersProblem};
        if (!minRange_.given()) minimum = stationMinimumRange();
        BeamIon ion = station->ion();
        std::string beamName = state.beam.beamName;
        if (engine_.ionName.given()) {
            ion = {other.atomicNumber, other.massU, otherEnergy * other.massU};
            beamName = other.name + cformat(" %g MeV/u", otherEnergy);
        }
        checkPlanSize(static_cast<std::size_t>(state.foilCount) + 1, rotations.size(), tilts.size());
        const std::vector<PlanRow> plan = planSettings(state.stopping, station->state.engineOptions(false), ion, station->layers,
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
        printPlan(plan,
                  beamName + cformat(" (Z %d, A %g, %g MeV)", ion.ionZ, ion.ionA, ion.beamEnergyMeV) + " into " +
                      substrate,
                  minimum, csv_);
        if (svg_.given()) {
            std::vector<SettingMark> marks;
            for (const PlanRow& row : plan) {
                const int mark = row.beam.outcome != BeamOutcome::Substrate ? 2 : row.beam.pastPeak() ? 1 : 0;
                marks.push_back({row.beam.effectiveRangeUm, row.beam.effectiveLet, mark,
                                 cformat("foil %d, R %g\u00b0, T %g\u00b0: ", row.foil, row.rDegrees, row.tDegrees) +
                                     row.beam.side()});
            }
            if (!replaceFileContent(svg_.text(), settingsPlotSvg(beamName + " into " + substrate, marks))) {
                std::cerr << "tarvex-let: --svg '" << svg_.text() << "': cannot write it\n";
                return 1;
            }
        }
        return 0;
    }

private:
    StationFolderOption station_;
    EngineOptions engine_;
    TextOption tilts_, rotations_, minRange_, energy_, svg_;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makePlanCommand() { return std::make_unique<PlanCommand>(); }
