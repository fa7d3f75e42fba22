#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "beam/BeamComputation.h"
#include "beam/Degrader.h"

// Beam-time planning: for wanted effective LETs, the settings of the station
// (ion, foil S, rotation R, tilt T) that give them at the substrate within a
// tolerance, with at least a minimum effective range, ranked. Every row is a
// whole computation of the beam at the values the axes reach, as the console
// computes it after the move.
//
// For one ion at one tilt the beam depends on the aluminium crossed alone, and
// before the Bragg peak more aluminium means a lower energy at the substrate:
// a higher LET and a shorter range. Sorted by the aluminium crossed, the
// settings that are before the peak and keep the minimum range are therefore
// a prefix along which the LET rises (past the peak, a stretch along which it
// falls), and the settings nearest a wanted LET stand beside the place where
// the LET crosses it. The solver finds those places by bisection and computes
// only the settings it looks at.

// One ion of the station's cocktail.
struct SolveIon {
    std::string name;             // "84Kr"
    int z = 0;
    double massU = 0;             // u
    double energyPerNucleon = 0;  // MeV/u as delivered

    BeamIon beam() const { return {z, massU, energyPerNucleon * massU}; }
};

// One setting: foil S, rotation R and tilt T as the axes reach them.
struct SolveSetting {
    std::size_t ion = 0;  // index into the request's ions
    int foil = 0;         // 0 … foil count
    double s = 0;         // the S value the axis reaches for the foil
    double r = 0;         // degrees
    double t = 0;         // degrees
    // The tilt -t is one of the request's too and gives the same numbers:
    // the row stands for both.
    bool bothSigns = false;
};

struct SolveRow {
    SolveSetting setting;
    BeamResult beam;       // without its range-table rows
    bool within = true;    // within the tolerance; false: one of the nearest on either side
    // The effective LET at the depth of the minimum range (NaN: no minimum,
    // or the ion stops before it).
    double letAtMinimumDepth = std::nan("");
};

struct SolveAnswer {
    double wanted = 0;           // effective LET, MeV·cm²/mg
    std::vector<SolveRow> rows;  // ranked
    std::string limit;           // why no setting is within the tolerance; empty when some is
};

struct SolveRequest {
    std::vector<SolveIon> ions;
    std::vector<double> wantedLets;  // MeV·cm²/mg, each above 0
    std::vector<double> foils;       // the S value reached for foil k at index k (0 … foil count)
    std::vector<double> rotations;   // degrees, as the axis reaches them
    std::vector<double> tilts;       // degrees, as the axis reaches them
    int foilCount = 10;
    double foilTolerance = 0.1;
    double minimumRangeUm = std::nan("");  // NaN: none
    double tolerance = 0.05;               // relative
    bool pastPeak = false;                 // settings past the Bragg peak count too
    std::size_t rows = 10;                 // at most this many rows a wanted LET
};

// The whole computation of one setting (range-table rows only when `keepRows`).
using SettingComputation = std::function<BeamResult(const SolveSetting& setting, bool keepRows)>;

struct SolveResult {
    std::vector<SolveAnswer> answers;      // one a wanted LET, in the request's order
    std::vector<std::string> skippedIons;  // "84Kr: <why>" for ions the stopping data cannot follow
    std::size_t settings = 0;              // settings the grid holds (of the ions not skipped)
    std::size_t computed = 0;              // whole computations done
};

struct StationFolder;
struct Axis;

// The values from `from` to `to` in steps of `step` at which the axis can
// stand (inside its soft limits), as it reaches them.
std::vector<double> reachableSteps(const Axis& axis, double from, double to, double step);
// The station's grid into the request: every foil at the S value the axis
// reaches, R every degree over its limits (at most ±89), T every 5 degrees
// from -maxTiltDegrees to maxTiltDegrees where its limits allow; the foil
// count and tolerance.
void setStationGrid(SolveRequest& request, const StationFolder& station, double maxTiltDegrees);
// A setting computed on the station as the console computes it there.
SettingComputation stationComputation(StationFolder& station, const SolveRequest& request);

// The ranked answer. `exhaustive` computes every setting instead of bisecting
// (the reference the bisection is checked against).
SolveResult solveSettings(const SolveRequest& request, const SettingComputation& compute, bool exhaustive = false);

// The station's setting solve ranks first for effective LET `let`, with
// `ions` (the present beam when empty), the station's grid at tilts up to
// `maxTiltDegrees` and the minimum range `minimumRangeUm` (NaN: none), as a
// line: "Best setting: 197Au S 1, R 44.000°, T ±10.000°: effective LET 90.0
// MeV·cm²/mg, effective range 88.1 µm" ("Nearest setting: " outside the
// tolerance; "No setting of the station reaches it: <why>"), ions the
// stopping data cannot follow named after it.
std::string bestStationSetting(StationFolder& station, std::vector<SolveIon> ions, double let,
                               double minimumRangeUm, double maxTiltDegrees = 60);

// Rank order: the LET closest to the wanted one (to 0.1 % of it), then the
// longest effective range, the smallest |T|, the lowest foil, the smallest |R|.
bool rankedBefore(const SolveRow& a, const SolveRow& b, double wanted);

// The effective LET at effective depth `depthUm` of a computed beam's range
// table, interpolated; NaN outside it.
double effectiveLetAtDepth(const BeamResult& beam, double depthUm);
