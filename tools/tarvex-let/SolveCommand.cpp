// tarvex-let solve: the station's settings (ion, S, R, T) that give wanted
// effective LETs with a minimum range, ranked, each computed as the console
// computes it after the move.

#include <CLI/CLI.hpp>

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Cocktail.h"
#include "EngineOptions.h"
#include "StationFolderOption.h"
#include "beam/BeamSolve.h"
#include "beam/BraggPlot.h"
#include "beam/TestPlan.h"
#include "core/Cyclotrons.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

std::string cocktailFileName(int cyclotronCode) {
    return std::string("Cocktail") + (cyclotronCode == kCyclotronBelm ? "Belm" : "Ardo") + ".dat";
}

namespace {

// Comma-separated items of an option; an empty item is refused.
std::vector<std::string> items(const TextOption& option) {
    std::vector<std::string> list;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = option.text().find(',', from);
        list.push_back(option.text().substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (list.back().empty()) throw UsageError{option.quoted() + ": an empty item"};
        if (comma == std::string::npos) return list;
        from = comma + 1;
    }
}

double realItem(const TextOption& option, const std::string& item, const char* what) {
    double value = 0;
    if (!parseReal(item, value) || !std::isfinite(value)) {
        throw UsageError{option.name() + ": '" + item + "' is not " + what};
    }
    return value;
}

// "84Kr:25" or "84Kr:25:83.91" (energy in MeV/u, mass in u).
SolveIon ionItem(const std::string& quoted, const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) throw UsageError{quoted + ": expected ION:MEVU or ION:MEVU:MASS"};
    const IonChoice choice = parseIonName(quoted, parts[0]);
    double energy = 0;
    if (!parseReal(parts[1], energy) || !std::isfinite(energy) || !(energy > 0)) {
        throw UsageError{quoted + ": the energy must be a number of MeV/u above 0"};
    }
    coveredEnergy(quoted, energy);
    SolveIon ion{choice.name, choice.atomicNumber, choice.massU, energy};
    if (parts.size() == 3) {
        if (!parseReal(parts[2], ion.massU) || !(ion.massU > 0) || ion.massU > 1000) {
            throw UsageError{quoted + ": the mass must be above 0 and at most 1000 u"};
        }
    }
    return ion;
}

// `degrees` at the counts the axis reaches, refused outside its limits.
double reached(const Axis& axis, const std::string& option, double degrees) {
    const int32_t counts = internalPositionFor(axis, degrees);
    if (!(counts > axis.softLimitLow && counts < axis.softLimitHigh)) {
        const double low = axisValueAt(axis, axis.softLimitLow + 1);
        const double high = axisValueAt(axis, axis.softLimitHigh - 1);
        throw UsageError{option + cformat(": %g is beyond %c's limits; it reaches %g to %g %s", degrees, axis.letter,
                                          std::fmin(low, high), std::fmax(low, high), axis.unit.c_str())};
    }
    return axisValueAt(axis, counts);
}

void printText(const SolveRequest& request, const SolveResult& result, const std::string& substrate) {
    std::string ions;
    for (const SolveIon& ion : request.ions) {
        ions += (ions.empty() ? "" : ", ") + ion.name + cformat(" %g MeV/u", ion.energyPerNucleon);
    }
    const bool minimum = !std::isnan(request.minimumRangeUm);
    std::cout << "# " << ions << " into " << substrate << "; minimum range "
              << (minimum ? formatGeneral(request.minimumRangeUm) + " \u00b5m" : std::string("none")) << "; within "
              << formatGeneral(request.tolerance * 100) << " %; T " << formatGeneral(request.tilts.front()) << " to "
              << formatGeneral(request.tilts.back()) << "\u00b0; " << result.settings << " settings, "
              << result.computed << " computed; LET in MeV\u00b7cm\u00b2/mg, range in \u00b5m\n";
    for (const SolveAnswer& answer : result.answers) {
        std::cout << "\nLET " << formatGeneral(answer.wanted) << ": "
                  << (answer.limit.empty() ? cformat("the %zu best settings", answer.rows.size())
                                           : std::string("no setting within the tolerance; the nearest"))
                  << "\n";
        if (!answer.limit.empty()) std::cout << "  " << answer.limit << "\n";
        if (answer.rows.empty()) continue;
        std::cout << "  " << column("match", 9) << column("ion", 8) << column("S", 4) << column("R", 9)
                  << column("T", 9) << column("E (MeV/u)", 11) << column("eff. LET", 10) << column("eff. range", 12)
                  << column("side", 13)
                  << (minimum ? "LET at " + formatGeneral(request.minimumRangeUm) + " \u00b5m" : std::string(""))
                  << "\n";
        for (const SolveRow& row : answer.rows) {
            const BeamResult& b = row.beam;
            const SolveSetting& at = row.setting;
            std::string deep;
            if (minimum) {
                deep = std::isnan(row.letAtMinimumDepth)
                           ? "-"
                           : formatBeamValue(row.letAtMinimumDepth) +
                                 cformat(" (%+.1f %%)", (row.letAtMinimumDepth / b.effectiveLet - 1) * 100);
            }
            std::cout << "  " << column(row.within ? "within" : "nearest", 9) << column(request.ions[at.ion].name, 8)
                      << column(std::to_string(at.foil), 4) << column(at.foil == 0 ? "-" : cformat("%.3f", at.r), 9)
                      << column((at.bothSigns ? "\u00b1" : "") + cformat("%.3f", at.t), 9)
                      << column(perNucleonText(b.deviceEnergyPerNucleon), 11)
                      << column(effectiveLetText(b.effectiveLet), 10)
                      << column(effectiveRangeText(b.effectiveRangeUm), 12)
                      << column(b.side(), 13) << deep << "\n";
        }
    }
}

// The test plan of the answers: one step a wanted LET some setting gives
// within the tolerance, at the best of them; the others named on stderr.
std::vector<TestPlanStep> planSteps(const SolveRequest& request, const SolveResult& result, double fluenceGoal,
                                    std::int64_t eventGoal) {
    std::vector<TestPlanStep> steps;
    for (const SolveAnswer& answer : result.answers) {
        if (!answer.limit.empty() || answer.rows.empty()) {
            std::cerr << "tarvex-let: LET " << formatGeneral(answer.wanted)
                      << ": no setting within the tolerance; left out of the plan\n";
            continue;
        }
        const SolveRow& best = answer.rows.front();
        TestPlanStep step;
        step.name = std::to_string(steps.size() + 1);
        step.ion = request.ions[best.setting.ion].name;
        step.wantedLet = answer.wanted;
        step.minimumRangeUm = request.minimumRangeUm;
        step.fluenceGoal = fluenceGoal;
        step.eventGoal = eventGoal;
        step.hasSetting = true;
        step.s = best.setting.s;
        step.r = best.setting.r;
        step.t = best.setting.t;  // the positive tilt where the row stands for both
        step.comment = "within " + formatGeneral(request.tolerance * 100) + " %: " +
                       effectiveLetText(best.beam.effectiveLet) + " MeV\u00b7cm\u00b2/mg at " +
                       effectiveRangeText(best.beam.effectiveRangeUm) + " \u00b5m";
        steps.push_back(std::move(step));
    }
    return steps;
}

void printCsv(const SolveRequest& request, const SolveResult& result) {
    std::cout << "wanted LET (MeV cm2/mg),match,ion,energy (MeV/u),S,R,T,substrate energy (MeV/u),"
                 "effective LET (MeV cm2/mg),effective range (um),side\n";
    for (const SolveAnswer& answer : result.answers) {
        for (const SolveRow& row : answer.rows) {
            const SolveIon& ion = request.ions[row.setting.ion];
            const BeamResult& b = row.beam;
            std::cout << formatGeneral(answer.wanted) << "," << (row.within ? "within" : "nearest") << ","
                      << ion.name << "," << formatGeneral(ion.energyPerNucleon) << "," << row.setting.foil << ","
                      << (row.setting.foil == 0 ? "" : formatGeneral(row.setting.r)) << ","
                      << formatGeneral(row.setting.t) << "," << formatGeneral(b.deviceEnergyPerNucleon) << ","
                      << formatGeneral(b.effectiveLet) << "," << formatGeneral(b.effectiveRangeUm) << "," << b.side()
                      << "\n";
        }
    }
}

}  // namespace

std::vector<SolveIon> readCocktail(const std::string& file) {
    std::vector<SolveIon> ions;
    std::ifstream in;
    if (!openInput(in, file)) return ions;
    TokenReader lines(in);
    std::string line;
    int number = 0;
    while (lines.readLine(line)) {
        ++number;
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        TokenReader reader(words);
        std::string text;
        for (std::string word; reader.readWord(word);) text += (text.empty() ? "" : ":") + word;
        if (text.empty()) continue;
        try {
            ions.push_back(ionItem(file + " line " + std::to_string(number), text));
        } catch (const UsageError& error) {
            std::cerr << "tarvex-let: " << error.text << "; line skipped\n";
        }
    }
    return ions;
}

std::vector<SolveIon> stationCocktail(const StationFolder& station) {
    return readCocktail(cocktailFileName(station.state.cyclotronCode));
}

namespace {

class SolveCommand : public LetCommand {
public:
    SolveCommand()
        : LetCommand("solve",
                     "[DIR] --let L[,L...] [--min-range UM] [--ions ION:MEVU[,...]] [--tilts LIST | --max-tilt DEG] "
                     "[--tolerance PCT] [--past-peak] [--rows N] [--csv] [--svg FILE] "
                     "[--plan-out FILE [--fluence-goal X] [--event-goal N]]",
                     "for each wanted effective LET (MeV·cm²/mg), the settings of the station folder DIR - ion, foil "
                     "S (0 included), rotation R (every degree over R's limits) and tilt T (default every 5 degrees "
                     "up to ±60 where T's limits allow) - whose effective LET at the substrate is within the "
                     "tolerance (default 5 %) and whose effective range is at least the minimum (--min-range, else "
                     "MinimumRange.dat, else none), before the Bragg peak unless --past-peak; ranked by the closest "
                     "LET, the longest range, the smallest |T|, the lowest foil; each computed at the values the axes "
                     "reach, as `recompute` there prints it. A LET no setting meets gets the nearest setting on "
                     "either side and what limits it. Ions: --ions, else the cyclotron's CocktailArdo.dat or "
                     "CocktailBelm.dat in DIR, else the present beam. --plan-out writes a test plan of the best "
                     "setting of each wanted LET that some setting gives.") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        let_.declare(command, "--let", "L[,L...]", "the wanted effective LETs (MeV·cm²/mg), comma-separated");
        minRange_.declare(command, "--min-range", "UM",
                          "the minimum effective range in µm (default: MinimumRange.dat, else none)");
        ions_.declare(command, "--ions", "ION:MEVU[,...]",
                      "the ions and their energies (MeV/u), e.g. 84Kr:25,129Xe:25; ION:MEVU:MASS gives the mass (u)");
        tilts_.declare(command, "--tilts", "LIST", "the tilts T, comma-separated degrees (either sign)");
        maxTilt_.declare(command, "--max-tilt", "DEG", "every 5 degrees from -DEG to DEG (default 60; below 90)");
        tolerance_.declare(command, "--tolerance", "PCT", "how far from the wanted LET a setting may be (default 5)");
        rows_.declare(command, "--rows", "N", "at most N settings a wanted LET (default 10)");
        declareFlag(command, pastPeak_, "--past-peak", "settings past the Bragg peak count too");
        declareFlag(command, csv_, "--csv", "the rows as CSV under a header row");
        svg_.declare(command, "--svg", "FILE", "effective LET against effective range as an SVG picture in FILE");
        planOut_.declare(command, "--plan-out", "FILE",
                         "a test plan in FILE: one step a wanted LET, at its best setting");
        fluenceGoal_.declare(command, "--fluence-goal", "X", "the plan's fluence goal of every step (1/cm²)");
        eventGoal_.declare(command, "--event-goal", "N", "the plan's event goal of every step (a whole number)");
    }

    int run() override {
        SolveRequest request;
        if (!let_.given()) throw UsageError{"solve needs --let"};
        for (const std::string& item : items(let_)) {
            const double let = realItem(let_, item, "an effective LET");
            if (!(let > 0)) throw UsageError{let_.name() + ": '" + item + "' is not an effective LET above 0"};
            request.wantedLets.push_back(let);
        }
        if (minRange_.given()) {
            request.minimumRangeUm = realItem(minRange_, minRange_.text(), "a number of micrometres");
            if (request.minimumRangeUm < 0) throw UsageError{minRange_.quoted() + ": must be 0 or more"};
        }
        request.pastPeak = pastPeak_;
        if (tolerance_.given()) request.tolerance = tolerance_.positive() / 100;
        if (request.tolerance >= 1) throw UsageError{tolerance_.quoted() + ": must be below 100"};
        if (rows_.given()) {
            const double rows = rows_.positive();
            if (rows != std::floor(rows) || rows > 1000) {
                throw UsageError{rows_.quoted() + ": a whole number up to 1000"};
            }
            request.rows = static_cast<std::size_t>(rows);
        }
        if (tilts_.given() && maxTilt_.given()) throw UsageError{"--tilts and --max-tilt exclude each other"};
        double maxTilt = 60;
        if (maxTilt_.given()) {
            maxTilt = realItem(maxTilt_, maxTilt_.text(), "a tilt in degrees");
            if (!(maxTilt >= 0 && maxTilt < 90)) {
                throw UsageError{maxTilt_.quoted() + ": must be 0 or more and below 90"};
            }
        }
        std::vector<double> givenTilts;
        if (tilts_.given()) {
            for (const std::string& item : items(tilts_)) {
                const double t = realItem(tilts_, item, "a tilt in degrees");
                if (!(std::fabs(t) < 90)) {
                    throw UsageError{tilts_.name() + ": '" + item + "' is not a tilt below 90 degrees"};
                }
                givenTilts.push_back(t);
            }
        }
        if (ions_.given()) {
            for (const std::string& item : items(ions_)) {
                request.ions.push_back(ionItem(ions_.name() + " '" + item + "'", item));
            }
        }

        if ((fluenceGoal_.given() || eventGoal_.given()) && !planOut_.given()) {
            throw UsageError{"--fluence-goal and --event-goal go with --plan-out"};
        }
        const double fluenceGoal = fluenceGoal_.given() ? fluenceGoal_.positive() : std::nan("");
        std::int64_t eventGoal = -1;
        if (eventGoal_.given() && (!parseInt64(eventGoal_.text(), eventGoal) || eventGoal < 0)) {
            throw UsageError{eventGoal_.quoted() + ": a whole number, 0 or more"};
        }
        const std::string svgFile = svg_.given() ? callersPath(svg_.text()) : "";
        const std::string planFile = planOut_.given() ? callersPath(planOut_.text()) : "";
        station_.enter();
        const auto station = readStation();
        ConsoleState& state = station->state;
        if (!station->layers.complete) throw ComputationError{station->layersProblem};
        if (!minRange_.given()) request.minimumRangeUm = stationMinimumRange();
        if (request.ions.empty()) request.ions = stationCocktail(*station);
        if (request.ions.empty()) {
            const BeamIon beam = station->ion();
            request.ions.push_back({state.beam.beamName, beam.ionZ, beam.ionA, beam.beamEnergyMeV / beam.ionA});
        }

        setStationGrid(request, *station, maxTilt);
        if (tilts_.given()) {
            request.tilts.clear();
            for (double t : givenTilts) request.tilts.push_back(reached(state.axes[kAxisT], tilts_.name(), t));
        }
        if (request.tilts.empty()) throw UsageError{"no tilt up to the --max-tilt lies within T's limits"};

        const SolveResult result = solveSettings(request, stationComputation(*station, request));
        for (const std::string& skipped : result.skippedIons) std::cerr << "tarvex-let: " << skipped << "; skipped\n";
        if (result.settings == 0) throw ComputationError{"no ion of the request can be followed here"};
        std::string substrate;
        for (const SolveAnswer& answer : result.answers) {
            if (!answer.rows.empty()) substrate = answer.rows.front().beam.substrate;
        }
        if (csv_) {
            printCsv(request, result);
        } else {
            printText(request, result, substrate);
        }
        if (svg_.given()) {
            // The rows shown: those within the tolerance ringed, the nearest
            // ones plain; the minimum range and the wanted LETs' bands drawn.
            std::vector<SettingMark> marks;
            for (const SolveAnswer& answer : result.answers) {
                for (const SolveRow& row : answer.rows) {
                    const SolveSetting& at = row.setting;
                    const std::string tilt = (at.bothSigns ? "\u00b1" : "") + cformat("%g", at.t);
                    SettingMark mark{row.beam.effectiveRangeUm, row.beam.effectiveLet, row.beam.pastPeak() ? 1 : 0,
                                     request.ions[at.ion].name +
                                         cformat(" S %d, R %g\u00b0, T ", at.foil, at.r) + tilt +
                                         cformat("\u00b0 for LET %g", answer.wanted)};
                    mark.shortLabel = request.ions[at.ion].name + cformat(" S%d R%g T", at.foil, at.r) + tilt;
                    mark.chosen = row.within;
                    marks.push_back(std::move(mark));
                }
            }
            PlotGuides guides;
            guides.minimumRangeUm = request.minimumRangeUm;
            guides.wantedLets = request.wantedLets;
            guides.tolerance = request.tolerance;
            if (!replaceFileContent(svgFile, settingsPlotSvg("Settings for the wanted LETs", marks, guides))) {
                std::cerr << "tarvex-let: --svg '" << svg_.text() << "': cannot write it\n";
                return 1;
            }
        }
        if (planOut_.given()) {
            std::string why;
            if (!replaceFileContent(planFile, formatTestPlan(planSteps(request, result, fluenceGoal, eventGoal)),
                                    &why)) {
                std::cerr << "tarvex-let: --plan-out '" << planOut_.text() << "': cannot write it: " << why << "\n";
                return 1;
            }
        }
        return 0;
    }

private:
    StationFolderOption station_;
    TextOption let_, minRange_, ions_, tilts_, maxTilt_, tolerance_, rows_, svg_, planOut_, fluenceGoal_, eventGoal_;
    bool pastPeak_ = false;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeSolveCommand() { return std::make_unique<SolveCommand>(); }
