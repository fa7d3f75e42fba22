// Speed of the energy-loss engine: a full traversal of 197Au from 40 MeV/u to
// rest (about 12 900 integration steps, each with its flushed trace line)
// with the formulas in a three-element layer and with a per-ion table in
// silicon, reported per integration step; and loading the coefficient files.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "energyloss/LayerStopping.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StoppingCoefficients.h"
#include "energyloss/Traversal.h"

namespace {

constexpr double kGoldMassU = 196.967;
constexpr int kGold = 79;
constexpr double kStartMeVPerU = 40;

std::string dataFolder() {
    if (const char* env = std::getenv("TARVEX_STOPPING_DATA"); env != nullptr && *env != '\0') return env;
    return TARVEX_STOPPING_DATA_DEFAULT;
}

// A scratch working folder with the coefficient files, made current.
class BenchFolder {
public:
    BenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
        for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
            std::filesystem::copy_file(std::filesystem::path(dataFolder()) / name, path_ / name);
        }
    }
    ~BenchFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// Silicon oxynitride: Si, O, N by mass, a solid of 2.5 g/cm³.
LayerMaterial threeElementLayer() {
    LayerMaterial layer;
    layer.elementCount = 3;
    const int z[3] = {14, 8, 7};
    const double m[3] = {28.086, 15.999, 14.007};
    const double w[3] = {0.55, 0.30, 0.15};
    for (int i = 0; i < 3; ++i) {
        layer.atomicNumber[i] = z[i];
        layer.atomicMass[i] = m[i];
        layer.massFraction[i] = w[i];
    }
    layer.density = 2.5;
    layer.arealDensity = 1;
    return layer;
}

LayerMaterial siliconLayer() {
    LayerMaterial layer;
    layer.elementCount = 1;
    layer.atomicNumber[0] = 14;
    layer.atomicMass[0] = 28.086;
    layer.massFraction[0] = 1;
    layer.density = 2.3212;
    layer.arealDensity = 1;
    return layer;
}

// Steps of one traversal: the trace lines less the opening and closing lines.
double stepsInTrace() {
    std::ifstream trace(kTraceFileName);
    std::string line;
    double lines = 0;
    while (std::getline(trace, line)) {
        if (line.rfind("match=", 0) != 0 && line.rfind("icompound=", 0) != 0) ++lines;
    }
    return lines - 1;
}

void runTraversals(benchmark::State& state, const LayerMaterial& layer, const char* modeFileContent) {
    BenchFolder folder;
    auto data = std::make_unique<StoppingData>();
    loadStoppingCoefficients(*data);
    {
        std::ofstream(kCalculationModeFile) << modeFileContent;
    }
    if (std::string(modeFileContent) == "0") {
        std::string table;
        if (!formatSPtable(*data, kGold, kGoldMassU, layer, 0, table)) std::abort();
        std::ofstream("197AuSi.inp") << table;
    }
    LayerResult result;
    std::filesystem::remove(kTraceFileName);
    if (traverseLayer(*data, kGoldMassU, kGold, kStartMeVPerU, 0, kMatchEnergy, 0, layer, result) != 0) std::abort();
    const double steps = stepsInTrace();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(kTraceFileName);  // keep the trace file small, as the console's recomputation does
        state.ResumeTiming();
        const int code = traverseLayer(*data, kGoldMassU, kGold, kStartMeVPerU, 0, kMatchEnergy, 0, layer, result);
        benchmark::DoNotOptimize(code);
        benchmark::DoNotOptimize(result.traversed);
    }
    state.counters["steps"] = steps;
    state.counters["ns_per_step"] =
        benchmark::Counter(steps * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_TraverseGoldToRestFormulasThreeElements(benchmark::State& state) {
    runTraversals(state, threeElementLayer(), "1");
}

void BM_TraverseGoldToRestTableSilicon(benchmark::State& state) { runTraversals(state, siliconLayer(), "0"); }

void BM_LoadStoppingCoefficients(benchmark::State& state) {
    BenchFolder folder;
    auto data = std::make_unique<StoppingData>();
    for (auto _ : state) {
        loadStoppingCoefficients(*data);
        benchmark::DoNotOptimize(data->coefficients.value[14][8]);
    }
}

}  // namespace

BENCHMARK(BM_TraverseGoldToRestFormulasThreeElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TraverseGoldToRestTableSilicon)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadStoppingCoefficients)->Unit(benchmark::kMicrosecond);

namespace {

// For comparison: one flushed trace-sized line alone, the floor of every step.
void BM_FlushedTraceLineAlone(benchmark::State& state) {
    BenchFolder folder;
    std::FILE* file = std::fopen(kTraceFileName, "ab");
    for (auto _ : state) {
        std::fwrite("0.0368443\t14.985\t80.2239\n", 1, 25, file);
        std::fflush(file);
    }
    std::fclose(file);
}

}  // namespace

BENCHMARK(BM_FlushedTraceLineAlone)->Unit(benchmark::kNanosecond);
