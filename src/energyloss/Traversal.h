#pragma once

#include "energyloss/LayerMaterial.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/ResultCodes.h"
#include "energyloss/StoppingCoefficients.h"

// Following an ion through one layer in small energy steps (forward Euler in
// energy, 0.1 % of the energy per nucleon per step) until a goal is met.

// The goal kinds of traverseLayer (`match`); any other value has no goal and
// runs until the ion stops.
inline constexpr int kMatchThickness = 1;  // goal: areal density to cross, mg/cm², signed like arealDensity
inline constexpr int kMatchLet = 2;        // goal: electronic stopping to reach, MeV·cm²/mg (forwards only)
inline constexpr int kMatchEnergy = 3;     // goal: energy per nucleon to reach, MeV/u

// The end point of a traversal.
struct LayerResult {
    double traversed = 0;              // mg/cm², signed: areal density crossed (negative backwards)
    double exitEnergyPerNucleon = 0;   // MeV/u; 0 when the ion stopped
    double exitLet = 0;                // MeV·cm²/mg, electronic stopping at the end point
    double exitNuclearStopping = 0;    // MeV·cm²/mg
    double exitTotalStopping = 0;      // MeV·cm²/mg; 0 when the energy ran out
};

// One traversal of `layer` by an ion of mass ionMassU (u) and atomic number
// ionAtomicNumber, starting at energyPerNucleonMeV (MeV/u): forwards when
// layer.arealDensity ≥ 0, backwards (energy growing) when it is negative.
// Appends to the trace file (options.traceFileName, "atempt.txt") one opening
// line, the table line of prepareLayerStopping, one line per iteration and a
// closing line on a regular end.
//
// Returns kResultDone (0) with the end point in `result`, or
//   1 start energy negative            (result untouched)
//   2 goal on the unreachable side     (result untouched)
//   3 start energy zero                (exit values zeroed, `traversed` kept)
//   5 per-ion table missing or short   (result untouched)
//   7 "DoLegacyCalculations.dat" missing (result untouched)
// Callers turn non-zero codes into messages with calculationErrorText.
// Needs the coefficients loaded (loadStoppingCoefficients) beforehand.
int traverseLayer(const StoppingData& data, double ionMassU, int ionAtomicNumber, double energyPerNucleonMeV,
                  double goal, int match, int icompound, const LayerMaterial& layer, LayerResult& result,
                  const StoppingOptions& options = {});
