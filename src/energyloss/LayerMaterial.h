#pragma once

// The description of one layer handed to the engine for one traversal. The
// caller fills it from a layer record (or with the built-in aluminium
// degrader) before each call. Elements are held at indices 0..elementCount-1.
struct LayerMaterial {
    static constexpr int kMaxElements = 8;

    int elementCount = 0;                            // N, 1..8
    int atomicNumber[kMaxElements] = {};             // Z of each element
    double atomicMass[kMaxElements] = {};            // u
    double elementReserved[kMaxElements] = {};       // kept, used by no calculation
    double massFraction[kMaxElements] = {};          // weight of each element in the Bragg sum
    double density = 0;                              // g/cm³; below 0.0715 gas elements count as gases
    double layerReserved = 0;                        // kept, used by no calculation
    double arealDensity = 0;                         // mg/cm², signed: only its sign is read (< 0: backwards)
};

// The built-in aluminium degrader: Z 13, 26.982 u, density 2.702 g/cm³.
inline LayerMaterial aluminiumDegrader() {
    LayerMaterial layer;
    layer.elementCount = 1;
    layer.atomicNumber[0] = 13;
    layer.atomicMass[0] = 26.982;
    layer.massFraction[0] = 1;
    layer.elementReserved[0] = 1.0;
    layer.layerReserved = 26.982;
    layer.density = 2.702;
    return layer;
}
