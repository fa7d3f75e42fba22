#pragma once

#include "beam/BeamDisplay.h"

struct Console;

// Works out energy, LET and range at the device for the present degrader and
// tilt, writes the range table and commits the beam files. False when the
// recomputation ended early and committed nothing (no per-ion table for the
// degrader, a tilt whose cosine is 0, a refused beam or layer record).
bool recomputeBeam(Console& console);

// The beam stopped before the substrate: results zeroed, range table emptied.
void resetBeamResults(Console& console);

// Writes "RangeTable.txt" for the ion entering `layer` (the last matter
// passed) and sets nominalRangeUm and braggEnergyMeV.
struct LayerMaterial;
void writeRangeTable(Console& console, const LayerMaterial& layer, int icompound, int legacyFlag);
