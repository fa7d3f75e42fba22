// tarvex-let runs: the beam runs of a station's logbooks, with the beam-on
// time per ion and per effective LET.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "StationFolderOption.h"
#include "beam/BeamRuns.h"
#include "util/NumberFormat.h"

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

class RunsCommand : public LetCommand {
public:
    RunsCommand()
        : LetCommand("runs", "[DIR] [--csv]",
                     "the beam runs recorded in \"BeamRuns.csv\" (and every \"BeamRuns-2.csv\", ... present, started "
                     "after a logbook that could not be continued) in the station folder DIR (default: the current "
                     "folder), newest first, "
                     "notes merged, then the beam-on time per ion and per effective LET. --csv: the runs as the "
                     "logbook window exports them, with the file first, then an empty line and the totals. A logbook "
                     "that cannot be read is named on stderr and skipped (exit status 1); so is a record cut short "
                     "(exit status 0).") {}

    void declareOptions(CLI::App& command) override {
        station_.declare(command);
        declareFlag(command, csv_, "--csv",
                    "the runs as the logbook window exports them, with the file first, then an empty line and the "
                    "totals");
    }

    int run() override {
        const std::string& folder = station_.folder();
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
    StationFolderOption station_;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeRunsCommand() { return std::make_unique<RunsCommand>(); }
