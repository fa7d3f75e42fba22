#pragma once

#include <istream>
#include <string>

#include "energyloss/LayerMaterial.h"

// The first record of a layer file (the record format the parent program
// writes): name line, then density (g/cm³), element count, tilt flag; per
// element Z, mass (u), reserved, mass fraction; then thickness, reserved and
// the thickness unit code (0 µm, 1 mm, 2 cm, 3 mil, other mg/cm²).
struct FirstLayer {
    std::string name;               // at most 127 characters, trailing blanks removed
    LayerMaterial material;         // arealDensity in mg/cm² from thickness and unit
    int icompound = 0;              // from the exact name
};

// Parses the first record from `in`; false with `error` set when the file holds
// no record or a malformed one.
bool parseFirstLayer(std::istream& in, FirstLayer& layer, std::string& error);
