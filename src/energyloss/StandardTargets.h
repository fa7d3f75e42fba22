#pragma once

#include <string>
#include <string_view>

#include "energyloss/LayerMaterial.h"

// The standard ions and targets for which per-ion stopping tables exist, the
// table file names, and the element symbols.

struct StandardIon {
    int atomicNumber;    // Z1
    int massNumber;      // A
    const char* symbol;  // as used in table file names
};

inline constexpr int kStandardIonCount = 22;
extern const StandardIon kStandardIons[kStandardIonCount];

// Table file suffix by icompound (1..8) and the standard compound layer names.
inline constexpr int kStandardCompoundCount = 8;
extern const char* const kCompoundLayerNames[kStandardCompoundCount + 1];  // [0] unused
extern const char* const kCompoundSuffixes[kStandardCompoundCount + 1];    // [0] unused

// Mass number of an ion of mass massU (u): massU + 0.3 truncated to an
// integer (196.967 → 197, 1.008 → 1). 0 for masses outside 0..1000 u.
int massNumberOf(double massU);

// The standard ion with atomic number z1 and mass number a, or nullptr.
const StandardIon* findStandardIon(int z1, int massNumber);

// icompound of a layer name: exact, case-sensitive comparison of the whole
// name with the eight standard compound names ("air gas" 1 … "sodium iodide"
// 8); 0 for every other name.
int icompoundOfLayerName(std::string_view name);

// The table suffix of the layer as a standard target: "Al" or "Si" for a
// one-element aluminium or silicon layer with icompound 0, the compound suffix
// for icompound 1..8; empty when the layer is not a standard target.
std::string standardTargetSuffix(const LayerMaterial& layer, int icompound);

// The per-ion table file name, e.g. "197AuSi.inp", "129XeGaAs.inp"; empty when
// the ion or the target is not standard (then the formulas are used).
std::string spTableFileName(int z1, double m1U, const LayerMaterial& layer, int icompound);

// Element symbols of Z 1..92 ("H" … "U"); nullptr outside.
const char* elementSymbol(int z);
// Atomic number of an element symbol (case-sensitive, "Si"), 0 when unknown.
int atomicNumberOfSymbol(std::string_view symbol);
