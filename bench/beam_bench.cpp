// recomputeBeam on the demo station (15 MeV/u gold) and on a 40 MeV/u gold
// beam (about 3,900 range-table rows), with the formulas (legacy mode) and
// with per-ion tables (normal mode). Each iteration is a whole recomputation:
// coefficient files, degrader, five layers, range table, beam files.
// Go on the demo station: the search alone, and from the click to the
// question as the window runs it. `tarvex-let plan`'s default grid and
// `tarvex-let solve` on the dense one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "beam/BeamComputation.h"
#include "beam/BeamSolve.h"
#include "beam/GoProposal.h"
#include "beam/BeamRecompute.h"
#include "beam/LayerRecord.h"
#include "beam/StationFolder.h"
#include "core/AxisTable.h"
#include "core/Console.h"
#include "core/Headless.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"

namespace fs = std::filesystem;

namespace {

std::string stoppingData() {
    if (const char* env = std::getenv("TARVEX_STOPPING_DATA"); env != nullptr && *env != '\0') return env;
    return TARVEX_STOPPING_DATA_DEFAULT;
}

// The messages of a headless console that also time how long the stop
// controls wait between two chances to be served during a computation.
class TimedMessages : public HeadlessMessages {
public:
    using HeadlessMessages::HeadlessMessages;
    void keepResponsive() override { serve(); }
    void start() { last_ = std::chrono::steady_clock::now(); }
    void serve() {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
    }
    double longest = 0;  // ms

private:
    std::chrono::steady_clock::time_point last_;
};

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A copy of the demo station with the coefficient files and the per-ion
// tables of every standard target it meets, made current.
class Station {
public:
    Station() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "tarvex-beam-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path_ = pattern;
        fs::copy(fs::path(TARVEX_SOURCE_DIR) / "examples/demo-site", path_, fs::copy_options::recursive);
        for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
            fs::copy_file(fs::path(stoppingData()) / name, path_ / name);
        }
        fs::current_path(path_);
        auto data = std::make_unique<StoppingData>();
        loadStoppingCoefficients(*data);
        writeTable(*data, aluminiumDegrader(), 0);
        std::ifstream layers("DemoDevice.lay", std::ios::binary);
        TokenReader reader(layers);
        LayerRecord record;
        std::string why;
        while (readLayerRecord(reader, record, why) == LayerReadResult::Record) {
            writeTable(*data, materialOf(record, 1), icompoundOf(record.name));
        }
    }
    ~Station() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(path_, ec);
    }

    // Sets the mode and the beam; the status file's S, R and T are the demo's.
    void prepare(bool legacy, double energyPerNucleon) {
        writeFile("DoLegacyCalculations.dat", legacy ? "1\n" : "0\n");
        writeFile("CurrentBeamNZAMeV.tmp", "7 79 197 " + std::to_string(energyPerNucleon * 197) + "\n");
        console = std::make_unique<ConsoleCore>(messages);
        // The demo's calibration: S 1000 counts per foil, R 100 per degree.
        console->state.axes[kAxisS].scale = 1000;
        console->state.axes[kAxisS].internalPosition = energyPerNucleon > 20 ? 1000 : 2000;
        console->state.axes[kAxisR].scale = 100;
        console->state.axes[kAxisR].internalPosition = 3000;
        console->state.axes[kAxisT].scale = 200;
        console->state.axes[kAxisT].internalPosition = 0;
        console->fields.axisValue[kAxisT] = "0.000";
        console->fields.axisUnit[kAxisT] = "deg";
    }

    TimedMessages messages{stderr};
    std::unique_ptr<ConsoleCore> console;

private:
    static void writeTable(const StoppingData& data, const LayerMaterial& layer, int icompound) {
        const std::string name = spTableFileName(79, 197, layer, icompound);
        std::string text;
        if (!name.empty() && formatSPtable(data, 79, 197, layer, icompound, text)) writeFile(name, text);
    }

    fs::path previous_;
    fs::path path_;
};

void recompute(benchmark::State& state, bool legacy, double energyPerNucleon) {
    Station station;
    station.prepare(legacy, energyPerNucleon);
    for (auto _ : state) {
        station.messages.start();
        bool committed = recomputeBeam(*station.console);
        station.messages.serve();
        benchmark::DoNotOptimize(committed);
        if (!committed || station.messages.count() != 0) state.SkipWithError("the recomputation did not run through");
    }
    std::ifstream table("RangeTable.txt");
    int lines = 0;
    for (std::string line; std::getline(table, line);) ++lines;
    state.counters["rows"] = lines - 7;
    state.counters["MeV_per_u_at_device"] = station.console->state.beam.deviceEnergyPerNucleon;
    // The longest a Halt clicked during the recomputation waits for its
    // chance to go out (the window's event loop turns at each one).
    state.counters["longest_stop_wait_ms"] = station.messages.longest;
}

void BM_RecomputeDemoLegacy(benchmark::State& state) { recompute(state, true, 15); }
void BM_RecomputeDemoTables(benchmark::State& state) { recompute(state, false, 15); }
void BM_Recompute40MeVuLegacy(benchmark::State& state) { recompute(state, true, 40); }
void BM_Recompute40MeVuTables(benchmark::State& state) { recompute(state, false, 40); }

// Runs `body` at every iteration on the demo station, read as `tarvex-let go`
// and `plan` read it.
template <typename Body>
void onDemoStation(benchmark::State& state, Body body) {
    Station files;
    auto station = std::make_unique<StationFolder>();
    if (!readStationFolder(*station).empty()) {
        state.SkipWithError("the demo station cannot be read");
        return;
    }
    for (auto _ : state) body(*station);
}

// The search behind Go for 5 MeV/u at the substrate, the demo's device and tilt.
void BM_GoSearchDemo(benchmark::State& state) {
    onDemoStation(state, [&](StationFolder& station) {
        ConsoleState& s = station.state;
        DegraderSearch search = searchDegrader(s.stopping, s.engineOptions(false), station.ion(), axisValue(s.axes[kAxisT]),
                                               GoalKind::MeVPerNucleon, 5, station.goLayers, s.foilCount);
        benchmark::DoNotOptimize(search);
        if (search.foil.result != 0) state.SkipWithError("no setting found");
    });
}

// From the click on Go to the text of its question, without the window: All
// Halt's recomputation (skipped while nothing changed), the search and the
// prediction of what Yes gives.
void BM_GoClickToQuestionDemo(benchmark::State& state) {
    HeadlessMessages messages{stderr};
    std::unique_ptr<ConsoleCore> console;
    onDemoStation(state, [&](StationFolder& station) {
        if (!console) {
            console = std::make_unique<ConsoleCore>(messages);
            console->state = station.state;
        }
        if (!recomputeBeamIfChanged(*console) || messages.count() != 0) {
            state.SkipWithError("the recomputation did not run through");
            return;
        }
        const GoLayers layers{station.goLayers, station.layers};
        const GoProposal proposal =
            proposeGo(console->state, layers, GoalKind::MeVPerNucleon, 5, std::nan(""));
        if (!proposal.failure.empty()) {
            state.SkipWithError("no setting found");
            return;
        }
        const std::string question = proposal.question();
        benchmark::DoNotOptimize(question);
    });
}

// `tarvex-let plan` with its default grid (4 tilts without a foil, then 10 foils x 4
// rotations x 4 tilts: 164 settings; the demo's axes reach the default angles exactly).
void BM_PlanDemoDefaultGrid(benchmark::State& state) {
    onDemoStation(state, [&](StationFolder& station) {
        ConsoleState& s = station.state;
        std::vector<PlanRow> plan =
            planSettings(s.stopping, s.engineOptions(false), station.ion(), station.layers, s.foilCount,
                         s.options.foilTolerance, kPlanAngles, kPlanAngles, std::nan(""));
        benchmark::DoNotOptimize(plan);
        state.counters["settings"] = static_cast<double>(plan.size());
    });
}

// `tarvex-let solve` on the demo station for two ions on the dense grid
// (every foil, R every degree over its limits, T every 5 degrees to ±60) and
// six wanted LETs with a minimum range of 30 µm.
void BM_SolveTwoIonsDenseGrid(benchmark::State& state) {
    onDemoStation(state, [&](StationFolder& station) {
        SolveRequest request;
        request.ions = {{"84Kr", 36, 84, 25}, {"129Xe", 54, 129, 25}};
        request.wantedLets = {1, 5, 10, 20, 40, 60};
        request.minimumRangeUm = 30;
        setStationGrid(request, station, 60);
        const SolveResult result = solveSettings(request, stationComputation(station, request));
        benchmark::DoNotOptimize(result);
        state.counters["settings"] = static_cast<double>(result.settings);
        state.counters["computed"] = static_cast<double>(result.computed);
    });
}

BENCHMARK(BM_SolveTwoIonsDenseGrid)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_GoSearchDemo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_GoClickToQuestionDemo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlanDemoDefaultGrid)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecomputeDemoLegacy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecomputeDemoTables)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Recompute40MeVuLegacy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Recompute40MeVuTables)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
