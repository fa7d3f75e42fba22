#pragma once

#include <string>

#include "energyloss/LayerMaterial.h"
#include "util/TokenReader.h"

// One layer of a layer file: a name line, then density, element count and
// tilt flag, the elements, and thickness, reserved value and thickness unit.
struct LayerRecord {
    std::string name;          // material name, at most 127 characters, no trailing blanks
    double density = 0;        // g/cm³
    int32_t elementCount = 0;  // 1..8
    int32_t tiltFlag = 0;      // 1 = turns with the turntable T
    int32_t atomicNumber[LayerMaterial::kMaxElements] = {};
    double atomicMass[LayerMaterial::kMaxElements] = {};       // u
    double elementReserved[LayerMaterial::kMaxElements] = {};  // kept
    double massFraction[LayerMaterial::kMaxElements] = {};
    double thickness = 0;      // in thicknessUnit
    double layerReserved = 0;  // kept
    int32_t thicknessUnit = 0; // 0 µm, 1 mm, 2 cm, 3 mil, other: mg/cm²
};

enum class LayerReadResult {
    Record,   // a usable record was read
    End,      // the sequence ended (a name line of two characters or fewer, or the end of the file)
    Refused,  // the record cannot be used safely; `why` says what is wrong
};

// Reads the next record from a layer file through its token reader.
LayerReadResult readLayerRecord(TokenReader& reader, LayerRecord& record, std::string& why);

// Areal density of the record in mg/cm², before any tilt.
double arealDensityOf(const LayerRecord& record);

// The standard-compound code of a layer name: exact, case-sensitive match.
int icompoundOf(const std::string& name);

// The engine's description of the layer with the given areal density.
LayerMaterial materialOf(const LayerRecord& record, double arealDensityMgCm2);
