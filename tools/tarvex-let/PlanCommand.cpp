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
#include "core/AxisTable.h"
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

// Refuses a plan of more than kMostPlanSettings settings; `foils` (the foils
// after foil 0) 0 when they are not known yet (the count is then per foil).
// Foil 0 is planned once per tilt: without a foil the rotation does not matter.
void checkPlanSize(std::size_t foils, std::size_t rotations, std::size_t tilts) {
    const std::size_t perFoil = rotations * tilts;
    const std::size_t settings = tilts + perFoil * foils;
    if (std::max(perFoil, settings) <= kMostPlanSettings) return;
    const std::string grid = cformat("%zu rotations \u00d7 %zu tilts", rotations, tilts);
    throw UsageError{(foils == 0 ? grid + cformat(" make %zu settings for each foil", perFoil)
                                 : cformat("%zu tilts without a foil and %zu foils \u00d7 ", tilts, foils) + grid +
                                       cformat(" make %zu settings", settings)) +
                     cformat("; a plan holds at most %zu settings", kMostPlanSettings)};
}

// A comma-separated list of finite numbers (`what`: "an angle in degrees");
// `fallback` without the option.
std::vector<double> numberList(const TextOption& option, const std::vector<double>& fallback, const char* what) {
    if (!option.given()) return fallback;
    const std::string& text = option.text();
    std::vector<double> values;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        double value = 0;
        if (!parseReal(item, value) || !std::isfinite(value)) {
            throw UsageError{option.name() + ": " + shortQuoted(item) + " is not " + what};
        }
        values.push_back(value);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return values;
}

// The most a plan turns the degrader or the turntable either way: at 90
// degrees the foil or the device stands edge-on to the beam.
constexpr double kMostPlanAngle = 89.9;

// The angles the axis stands at when sent to `angles`: each the value of the
// whole counts it becomes, as the console moves the axis. An angle whose
// counts lie outside the axis' soft limits, or that stands beyond
// kMostPlanAngle, is refused; default angles the axis cannot reach are left
// out.
std::vector<double> reachedAngles(const std::vector<double>& angles, const Axis& axis, const TextOption& option) {
    const std::string letter(1, axis.letter);
    if (axis.scale == 0 || !std::isfinite(axis.scale)) {
        throw ComputationError{"the setup table gives " + letter + " no counts per " + axis.unit};
    }
    const int32_t lowCounts = std::min(axis.softLimitLow, axis.softLimitHigh);
    const int32_t highCounts = std::max(axis.softLimitLow, axis.softLimitHigh);
    const double a = axisValueAt(axis, lowCounts), b = axisValueAt(axis, highCounts);
    const std::string limits = formatGeneral(std::min(a, b)) + " to " + formatGeneral(std::max(a, b)) + " " + axis.unit;
    std::vector<double> reached;
    for (double angle : angles) {
        const int32_t counts = internalPositionFor(axis, angle);
        const double value = axisValueAt(axis, counts);
        const bool inside = counts >= lowCounts && counts <= highCounts && std::fabs(value) <= kMostPlanAngle;
        if (inside) {
            reached.push_back(value);
            continue;
        }
        if (!option.given()) continue;
        const double low = std::max(std::min(a, b), -kMostPlanAngle), high = std::min(std::max(a, b), kMostPlanAngle);
        const double nearest =
            axisValueAt(axis, internalPositionFor(axis, std::clamp(angle, std::min(low, high), high)));
        const std::string given = option.name() + ": " + letter + " " + formatGeneral(angle);
        const std::string tail = "; the nearest " + letter + " a plan takes is " + formatGeneral(nearest);
        if (counts < lowCounts || counts > highCounts) {
            throw UsageError{given + " is outside the soft limits, " + limits + tail};
        }
        throw UsageError{given + cformat(" stands edge-on to the beam (a plan takes %g to %g ", -kMostPlanAngle,
                                         kMostPlanAngle) +
                         axis.unit + ")" + tail};
    }
    if (reached.empty()) {
        throw UsageError{"no default " + letter + " (" + option.name() + ") lies within the soft limits, " + limits};
    }
    return reached;
}

// R between `before` and `after` ("R " 45.67 "°, ") for a row with a foil, ""
// for foil 0.
std::string rotationText(const PlanRow& row, const char* before, const char* after) {
    return std::isnan(row.rDegrees) ? "" : before + formatGeneral(row.rDegrees) + after;
}

void printPlan(const std::vector<PlanRow>& plan, const std::string& title, double minimum, bool csv) {
    auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    if (csv) {
        std::cout << "foil,R,T,energy (MeV/u),nominal LET (MeV cm2/mg),effective LET (MeV cm2/mg),nominal range (um),"
                     "effective range (um),side,under minimum range\n";
        for (const PlanRow& row : plan) {
            const BeamResult& b = row.beam;
            std::cout << row.foil << "," << rotationText(row, "", "") << "," << formatGeneral(row.tDegrees) << ","
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
        const std::string r = rotationText(row, "", "");
        std::cout << column(std::to_string(row.foil), 6) << column(r.empty() ? "-" : r, 9)
                  << column(formatGeneral(row.tDegrees), 9) << column(perNucleonText(b.deviceEnergyPerNucleon), 11)
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
                     "[--svg FILE] [--bands LIST]",
                     "for every tilt T without a foil (foil 0: R does not matter without a foil, shown as \"-\", "
                     "empty in CSV) and every foil 1 .. the last at every rotation R (comma-separated degrees, "
                     "negative ones too, within the axes' soft limits of the station's setup table and -89.9 to "
                     "89.9; default 0,30,45,60 each, those the axis reaches): energy at the substrate, nominal and "
                     "effective LET and range, side of the Bragg peak and whether the effective range is under the "
                     "minimum (--min-range, else MinimumRange.dat, else none), for the station's beam or for ION at "
                     "E MeV/u. Each angle is taken as the axis reaches it, at whole counts, and the row shows and is "
                     "computed at that angle. --svg FILE: effective LET against effective range, one labelled mark "
                     "per setting, those under the minimum range greyed, the minimum range as a line and a band of "
                     "±5% around each of --bands. At most 10000 settings are computed; a larger plan is "
                     "refused.") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        tilts_.declare(command, "--tilts", "LIST",
                       "the tilts T, comma-separated degrees within T's soft limits (default 0,30,45,60)");
        rotations_.declare(command, "--rotations", "LIST",
                           "the degrader rotations R, comma-separated degrees within R's soft limits (default "
                           "0,30,45,60; R does not matter without a foil)");
        minRange_.declare(command, "--min-range", "UM",
                          "the minimum effective range in µm (default: MinimumRange.dat, else none)");
        engine_.declareIon(command);
        energy_.declare(command, "--energy", "E", "with --ion: the ion's energy per nucleon (MeV/u), at most 1000");
        declareFlag(command, csv_, "--csv", "the table as CSV under a header row");
        svg_.declare(command, "--svg", "FILE", "effective LET against effective range as an SVG picture in FILE");
        wantedLets_.declare(command, "--bands", "LIST",
                            "with --svg: wanted effective LETs (MeV·cm²/mg, comma-separated), drawn as bands of ±5%");
    }

    int run() override {
        const char* angle = "an angle in degrees";
        std::vector<double> tilts = numberList(tilts_, kPlanAngles, angle);
        std::vector<double> rotations = numberList(rotations_, kPlanAngles, angle);
        checkPlanSize(0, rotations.size(), tilts.size());
        const std::vector<double> wantedLets = numberList(wantedLets_, {}, "an effective LET above 0");
        for (double let : wantedLets) {
            if (!(let > 0)) {
                throw UsageError{wantedLets_.name() + ": " + formatGeneral(let) + " is not an effective LET above 0"};
            }
        }
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
        const std::string svgFile = svg_.given() ? callersPath(svg_.text()) : "";
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
        tilts = reachedAngles(tilts, state.axes[kAxisT], tilts_);
        rotations = reachedAngles(rotations, state.axes[kAxisR], rotations_);
        checkPlanSize(static_cast<std::size_t>(state.foilCount), rotations.size(), tilts.size());
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
            throw ComputationError{cformat("foil %d, ", row.foil) + rotationText(row, "R ", ", ") +
                                   "T " + formatGeneral(row.tDegrees) + ": " + text};
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
                SettingMark& added = marks.emplace_back();
                added.x = row.beam.effectiveRangeUm;
                added.y = row.beam.effectiveLet;
                added.kind = mark;
                added.label = cformat("foil %d, ", row.foil) + rotationText(row, "R ", "\u00b0, ") + "T " +
                              formatGeneral(row.tDegrees) + "\u00b0: " + row.beam.side();
                added.shortLabel =
                    cformat("S%d ", row.foil) + rotationText(row, "R", " ") + "T" + formatGeneral(row.tDegrees);
                added.underMinimum = row.underMinimum;
            }
            PlotGuides guides;
            guides.minimumRangeUm = minimum;
            guides.wantedLets = wantedLets;
            if (!replaceFileContent(svgFile, settingsPlotSvg(beamName + " into " + substrate, marks, guides))) {
                std::cerr << "tarvex-let: --svg '" << svg_.text() << "': cannot write it\n";
                return 1;
            }
        }
        return 0;
    }

private:
    StationFolderOption station_;
    EngineOptions engine_;
    TextOption tilts_, rotations_, minRange_, energy_, svg_, wantedLets_;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makePlanCommand() { return std::make_unique<PlanCommand>(); }
