// tarvex-let runs: the beam runs of a station's logbooks, with the beam-on
// time per ion and per effective LET; with --cross-section the device's cross
// section against effective LET, its Weibull fit and the next LET to measure.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "Cocktail.h"
#include "StationFolderOption.h"
#include "beam/BeamRuns.h"
#include "beam/BeamSolve.h"
#include "beam/CrossSection.h"
#include "beam/Degrader.h"
#include "core/Cyclotrons.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

std::string plural(int count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

void printTotals(const char* title, const std::vector<RunTotal>& totals) {
    std::cout << title << "\n";
    for (const RunTotal& total : totals) {
        std::cout << "  " << column(total.key.empty() ? "(none)" : total.key, 12)
                  << column(plural(total.runs, "run"), 9) << cformat("%10.1f s", total.seconds);
        if (total.unknown > 0) std::cout << "  (" << plural(total.unknown, "run") << " without a duration)";
        std::cout << "\n";
    }
}


// One table row of points: per run with its tilt and range, per LET without.
std::string pointRow(const CrossSectionPoint& p, const RunSummary* run) {
    std::string runs;
    for (std::int64_t number : p.runs) runs += (runs.empty() ? "" : " ") + std::to_string(number);
    std::string row = "  " + column(runs, run ? 6 : 12) + column(p.effectiveLetText, 10);
    if (run) row += column(run->conditions.t, 9) + column(run->conditions.effectiveRange, 11);
    return row + column(cformat("%.4g", p.fluence), 12) + column(cformat("%.4g", p.effectiveFluence), 12) +
           column(std::to_string(p.events), 8) + column(p.events == 0 ? "0" : cformat("%.4g", p.sigma), 11) +
           column(p.events == 0 ? "-" : cformat("%.4g", p.lower), 11) + cformat("%.4g", p.upper) + "\n";
}

void printCrossSections(const CrossSectionData& data, const std::vector<RunSummary>& runs) {
    const std::string last = column("events", 8) + column("sigma", 11) + column("lower 95%", 11) + "upper 95%\n";
    std::cout << "Cross section per run (LET in MeV\u00b7cm\u00b2/mg, T in degrees, range in \u00b5m, fluence in "
                 "1/cm\u00b2, sigma and its 95 % limits in cm\u00b2):\n"
              << "  " << column("run", 6) << column("LET", 10) << column("T", 9) << column("range", 11)
              << column("fluence", 12) << column("effective", 12) << last;
    for (const CrossSectionPoint& p : data.perRun) {
        auto found = std::find_if(runs.begin(), runs.end(), [&](const RunSummary& r) { return r.run == p.runs[0]; });
        std::cout << pointRow(p, &*found);
    }
    std::cout << "\nCross section per effective LET:\n"
              << "  " << column("runs", 12) << column("LET", 10) << column("fluence", 12) << column("effective", 12)
              << last;
    for (const CrossSectionPoint& p : data.perLet) std::cout << pointRow(p, nullptr);
}

void printFit(const WeibullFit& fit) {
    if (!fit.fitted) {
        std::cout << "\nWeibull fit: " << fit.message << "\n";
        return;
    }
    const WeibullParameters& v = fit.value;
    const WeibullParameters& u = fit.uncertainty;
    std::cout << "\nWeibull fit (Poisson maximum likelihood; uncertainties one standard deviation):\n"
              << "  " << column("onset LET", 26) << cformat("%.4g \u00b1 %.2g", v.onset, u.onset)
              << " MeV\u00b7cm\u00b2/mg\n"
              << "  " << column("width", 26) << cformat("%.4g \u00b1 %.2g", v.width, u.width)
              << " MeV\u00b7cm\u00b2/mg\n"
              << "  " << column("shape", 26) << cformat("%.4g \u00b1 %.2g", v.shape, u.shape) << "\n"
              << "  " << column("saturation cross section", 26)
              << cformat("%.4g \u00b1 %.2g", v.saturation, u.saturation) << " cm\u00b2\n";
}

// The best setting of the station in the current folder for `let`, as solve
// ranks them; nothing without cocktail ions.
void printBestSetting(double let) {
    const auto station = readStation();
    if (!station->layers.complete) throw ComputationError{station->layersProblem};
    std::vector<SolveIon> ions = stationCocktail(*station);
    if (ions.empty()) return;
    std::cout << bestStationSetting(*station, std::move(ions), let, stationMinimumRange()) << "\n";
}

bool hasCocktail(const std::string& folder) {
    for (int code : {kCyclotronArdo, kCyclotronBelm}) {
        if (fileIsReadable(inFolder(folder, cocktailFileName(code)))) return true;
    }
    return false;
}

class RunsCommand : public LetCommand {
public:
    RunsCommand()
        : LetCommand("runs", "[DIR] [--csv] [--cross-section [--events FILE] [--fit weibull] [--svg FILE] [--suggest]]",
                     "the beam runs recorded in \"BeamRuns.csv\" (and every \"BeamRuns-2.csv\", ... present, started "
                     "after a logbook that could not be continued) in the station folder DIR (default: the current "
                     "folder), newest first, "
                     "notes merged, then the beam-on time per ion and per effective LET. --csv: the runs as the "
                     "logbook window exports them, with the file first, then an empty line and the totals. A logbook "
                     "that cannot be read is named on stderr and skipped (exit status 1); so is a record cut short "
                     "(exit status 0). --cross-section: instead, the device's cross section per run and per "
                     "effective LET (runs of one LET merged): effective fluence fluence x cos T, events (from FILE, "
                     "default RunEvents.csv in DIR, \"run,events\" lines, else from the logbook), sigma = events / "
                     "effective fluence and its exact 95 % Poisson limits; runs that cannot give one are named on "
                     "stderr. --fit weibull adds the Weibull curve fitted by Poisson maximum likelihood, --svg the "
                     "picture, --suggest the effective LET to measure next (and, in a station folder with a "
                     "cocktail file, the setting that gives it).") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        declareFlag(command, csv_, "--csv",
                    "the runs as the logbook window exports them, with the file first, then an empty line and the "
                    "totals");
        declareFlag(command, crossSection_, "--cross-section",
                    "the cross section against effective LET instead of the runs");
        events_.declare(command, "--events", "FILE",
                        "the events a run, \"run,events\" lines (default: RunEvents.csv in DIR)");
        fit_.declare(command, "--fit", "MODEL", "the curve fitted to the cross sections: weibull");
        svg_.declare(command, "--svg", "FILE", "the cross section against effective LET as an SVG picture in FILE");
        declareFlag(command, suggest_, "--suggest", "the effective LET whose run would narrow the fit most");
    }

    int run() override {
        const std::string& folder = station_.folder();
        if (!crossSection_) {
            for (const TextOption* option : {&events_, &fit_, &svg_}) {
                if (option->given()) throw UsageError{option->name() + " needs --cross-section"};
            }
            if (suggest_) throw UsageError{"--suggest needs --cross-section"};
        }
        if (fit_.given() && fit_.text() != "weibull") throw UsageError{fit_.quoted() + ": the one model is weibull"};
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
            throw UsageError{"folder '" + folder + "': not a folder"};
        }
        int status = 0;
        std::vector<RunSummary> all;
        std::string csvRows;
        std::string text;
        for (const std::string& path : beamRunsFiles(folder)) {
            const std::string file = std::filesystem::path(path).filename().string();
            BeamRunsLog log;
            std::string why;
            if (!readBeamRuns(path, log, why)) {
                std::cerr << "tarvex-let: " << file << " cannot be read (" << why << ") - skipped\n";
                status = 1;
                continue;
            }
            for (const std::string& skipped : log.skipped) std::cerr << "tarvex-let: " << file << ", " << skipped << "\n";
            std::vector<RunSummary> runs = mergeRuns(log);
            text += file + ": " + plural(static_cast<int>(runs.size()), "run") + "\n";
            for (const RunSummary& run : runs) {
                csvRows += csvField(file) + "," + formatRunSummary(run);
                const RunConditions& c = run.conditions;
                text += "  run " + column(std::to_string(run.run), 5) + column(run.begin, 27) +
                        column(run.open ? "open" : run.duration.empty() ? "?" : run.duration + " s", 10) +
                        column(c.ion, 7) + column(c.energy + " MeV/u", 12) + "S " + c.s + "  R " + c.r +
                        "  T " + c.t + "  X " + c.x + "  Y " + c.y + "  Z " + c.z + "  " + c.position +
                        "  LET " + c.effectiveLet + " MeV\u00b7cm\u00b2/mg  range " + c.effectiveRange + " \u00b5m";
                if (!run.fluence.empty()) text += "  fluence " + run.fluence + " /cm\u00b2";
                if (!run.comment.empty()) text += "  " + run.comment;
                text += "\n";
            }
            all.insert(all.end(), runs.begin(), runs.end());
        }
        if (crossSection_) return crossSectionRun(all) == 0 ? status : 1;
        const RunTotals totals = totalRuns(all);
        if (csv_) {
            std::cout << "file," << kRunsExportHeader << "\n" << csvRows << "\n";
            std::cout << "total by,key,runs,beam-on time (s),runs without a duration\n";
            for (const auto& [kind, list] :
                 {std::pair{"ion", &totals.perIon}, std::pair{"effective LET", &totals.perEffectiveLet}}) {
                for (const RunTotal& t : *list) {
                    std::cout << kind << "," << csvField(t.key) << "," << t.runs << "," << cformat("%.1f", t.seconds)
                              << "," << t.unknown << "\n";
                }
            }
            return status;
        }
        if (all.empty() && text.empty()) {
            std::cout << "No beam run recorded.\n";
            return status;
        }
        std::cout << text << "\n";
        printTotals("Beam-on time per ion:", totals.perIon);
        printTotals("Beam-on time per effective LET (MeV\u00b7cm\u00b2/mg):", totals.perEffectiveLet);
        return status;
    }

private:
    // The cross-section output of the runs read; its exit status.
    int crossSectionRun(const std::vector<RunSummary>& runs) {
        const std::string svgFile = svg_.given() ? callersPath(svg_.text()) : "";
        const RunEvents events =
            readRunEvents(events_.given() ? events_.text() : inFolder(station_.folder(), kRunEventsFile));
        for (const std::string& problem : events.problems) std::cerr << "tarvex-let: " << problem << "\n";
        const CrossSectionData data = crossSections(runs, events);
        for (const std::string& problem : data.problems) std::cerr << "tarvex-let: " << problem << "\n";
        const bool fitting = fit_.given() || suggest_;
        const WeibullFit fit = fitting ? fitWeibull(data.perLet) : WeibullFit{};
        int status = fitting && !fit.fitted ? 1 : 0;
        if (csv_) {
            std::cout << formatCrossSectionCsv(data.perLet);
            if (fit_.given()) std::cout << formatWeibullCsv(fit);
            if (fitting && !fit.fitted) std::cerr << "tarvex-let: " << fit.message << "\n";
        } else {
            printCrossSections(data, runs);
            if (fit_.given()) printFit(fit);
        }
        if (suggest_) {
            const NextLet next = suggestNextLet(data.perLet, fit);
            if (csv_) {
                std::cout << "\nnext LET (MeV cm2/mg),reason\n"
                          << (next.found ? formatBeamValue(next.let) : "") << "," << csvField(next.reason) << "\n";
            } else if (next.found) {
                std::cout << "\nNext LET: " << formatBeamValue(next.let) << " MeV\u00b7cm\u00b2/mg (" << next.reason
                          << ")\n";
            } else {
                std::cout << "\nNext LET: none (" << next.reason << ")\n";
            }
            if (next.found && !csv_ && hasCocktail(station_.folder())) {
                station_.enter();
                printBestSetting(next.let);
            }
        }
        if (!svgFile.empty() &&
            !replaceFileContent(svgFile, crossSectionSvg("Cross section against effective LET", data, fit))) {
            std::cerr << "tarvex-let: --svg '" << svg_.text() << "': cannot write it\n";
            status = 1;
        }
        return status;
    }

    StationFolderOption station_;
    bool csv_ = false;
    bool crossSection_ = false;
    bool suggest_ = false;
    TextOption events_, fit_, svg_;
};

}  // namespace

std::unique_ptr<LetCommand> makeRunsCommand() { return std::make_unique<RunsCommand>(); }
