#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "energyloss/LayerMaterial.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"

// The depth–LET table of an ion followed into a material until it stops: one
// row at the entrance, one row per 0.01 MeV/u of energy lost, and the last
// step to rest. "RangeTable.txt" of the console and `tarvex-let range` are
// both written by the functions here.

// One row of the table.
struct RangeRow {
    double energyPerNucleonMeV = 0;  // MeV/u
    double energyMeV = 0;            // MeV, energy per nucleon × ion mass
    double depthUm = 0;              // µm, nominal depth (beam normal to the material)
    double effectiveDepthUm = 0;     // µm, depth × |cos T|
    double let = 0;                  // MeV·cm²/mg
    double effectiveLet = 0;         // MeV·cm²/mg, LET / |cos T| (the LET itself at cos T = 0)
};

// What follows the ion: the engine's data and options, the ion, the material
// it enters (density in g/cm³ turns areal density into depth) and the entrance.
struct RangeTableSetup {
    const StoppingData* data = nullptr;
    StoppingOptions options;
    double ionMassU = 0;               // u, also the divisor of the per-nucleon energies
    int ionAtomicNumber = 0;
    LayerMaterial layer;               // density > 0
    int icompound = 0;
    double tiltDegrees = 0;            // T
    double entryEnergyPerNucleonMeV = 0;  // MeV/u at the entrance
    double entryEnergyMeV = 0;            // MeV at the entrance (first row, peak at the entrance)
    double entryLet = 0;                  // MeV·cm²/mg at the entrance
};

// The highest LET of the stepped rows (the entrance included); equal values
// move it to the deeper row.
struct RangePeak {
    double let = 0;                  // MeV·cm²/mg
    double effectiveLet = 0;         // MeV·cm²/mg
    double energyPerNucleonMeV = 0;  // MeV/u
    double energyMeV = 0;            // MeV
};

struct RangeTableEnd {
    double rangeUm = 0;  // µm, nominal depth at rest
    RangePeak peak;
};

// Follows the ion to rest, handing each row to `onRow` as soon as it is
// known and each non-zero traversal code to `onError`; neither may be empty.
RangeTableEnd followIonToRest(const RangeTableSetup& setup, const std::function<void(const RangeRow&)>& onRow,
                              const std::function<void(int code)>& onError);

// The text lines of the table, each ended by a line break.
// Line 1: header + "   LET = " L + "   eLET = " L/|cos T| + "   A = " A.
std::string rangeTableTitleLine(const std::string& header, double let, double tiltDegrees, double ionMassU);
// Line 3: the column line, marked "   LEGACY CALCULATIONS" when `legacy`.
std::string rangeTableColumnLine(bool legacy);
std::string rangeTableRowLine(const RangeRow& row);
std::string rangeTablePeakLine(const RangePeak& peak);

// The whole table of rows already followed (the first row is the entrance).
std::string rangeTableText(const std::string& header, bool legacy, double tiltDegrees, double ionMassU,
                           const std::vector<RangeRow>& rows, const RangePeak& peak);

// The whole table in text form into `out`, every line flushed as it is
// written: title, empty line, column line, empty line, rows, empty line, peak
// line, empty line.
RangeTableEnd writeRangeTableText(std::FILE* out, const std::string& header, bool legacy,
                                  const RangeTableSetup& setup, const std::function<void(int code)>& onError);
