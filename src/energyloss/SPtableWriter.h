#pragma once

#include <string>

#include "energyloss/LayerMaterial.h"
#include "energyloss/StoppingCoefficients.h"

// Per-ion stopping tables computed with the formulas, in the format the
// traversal reads back: 235 lines "ln(E/eV) ln(S/(MeV·cm²/mg))", E the ion's
// total kinetic energy at energies per nucleon spaced evenly in logarithm from
// kTableFirstEnergyPerNucleonMeV to kTableLastEnergyPerNucleonMeV. S is the
// electronic stopping for a one-element target (icompound 0: aluminium,
// silicon) and the total stopping for the compounds (icompound 1..8).

inline constexpr double kTableFirstEnergyPerNucleonMeV = 1e-4;  // MeV/u
inline constexpr double kTableLastEnergyPerNucleonMeV = 1e3;    // MeV/u

// Energy per nucleon (MeV/u) of table point k (0..234).
double spTableEnergyPerNucleonMeV(int k);

// The table text; false (and `text` unchanged) when a stopping value is not
// positive, which a logarithmic table cannot hold (missing coefficients).
bool formatSPtable(const StoppingData& data, int ionAtomicNumber, double ionMassU, const LayerMaterial& layer,
                   int icompound, std::string& text);
