// The live view's work per request, without sockets: the page, the live
// status read from its file, and the cross-section plot of a campaign of
// twenty runs at five effective LETs, once drawn (a flood of requests while
// nothing changes) and drawn afresh (a logbook just changed). The server
// answers on the window's event loop, so these are what a request or a
// flood of them can delay it by; the page and the status are far below a
// millisecond.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "beam/BeamRuns.h"
#include "beam/LiveStatus.h"
#include "beam/LiveView.h"

namespace fs = std::filesystem;

namespace {

// A working folder with a live status file, a logbook and its events.
class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "tarvex-live-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path = pattern;
        LiveStatus status;
        status.time = "2026-12-11T10:00:00+01:00";
        status.beam.ion = "197Au";
        status.beam.name = "Au 15 MeV/u";
        status.run = 20;
        status.runBegin = status.time;
        std::ofstream(path / kLiveStatusFile) << formatLiveStatus(status);
        std::vector<RunRecord> records;
        std::string events = "run,events\n";
        const char* lets[] = {"5.0", "10.0", "20.0", "40.0", "80.0"};
        for (int run = 1; run <= 20; ++run) {
            RunRecord begin;
            begin.kind = "begin";
            begin.run = run;
            begin.time = "2026-12-11T09:00:00+01:00";
            begin.conditions.ion = "197Au";
            begin.conditions.effectiveLet = lets[run % 5];
            begin.conditions.t = "0.000";
            begin.conditions.effectiveRange = "60.0";
            RunRecord end = begin;
            end.kind = "end";
            end.duration = "120.0";
            end.fluence = "1e7";
            records.push_back(begin);
            records.push_back(end);
            events += std::to_string(run) + "," + std::to_string((run % 5) * (run % 5) * 10) + "\n";
        }
        if (!appendRunRecords((path / "BeamRuns.csv").string(), records)) throw std::runtime_error("no logbook");
        std::ofstream(path / "RunEvents.csv") << events;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

void answer(benchmark::State& state, const char* path, bool fresh) {
    Folder folder;
    LiveViewSite site(folder.path.string());
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (fresh) {
            LiveViewSite drawn(folder.path.string());
            bytes += drawn.answer("GET", path).body.size();
        } else {
            bytes += site.answer("GET", path).body.size();
        }
    }
    benchmark::DoNotOptimize(bytes);
}

void BM_LiveViewPage(benchmark::State& state) { answer(state, "/", false); }
void BM_LiveViewStatus(benchmark::State& state) { answer(state, "/live.json", false); }
void BM_LiveViewRefused(benchmark::State& state) { answer(state, "/BeamRuns.csv", false); }
void BM_LiveViewPlotUnchanged(benchmark::State& state) { answer(state, "/cross-section.svg", false); }
void BM_LiveViewPlotDrawn(benchmark::State& state) { answer(state, "/cross-section.svg", true); }

}  // namespace

BENCHMARK(BM_LiveViewPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveViewStatus)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveViewRefused)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveViewPlotUnchanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveViewPlotDrawn)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
