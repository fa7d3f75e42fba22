// The engine's view of a layer record: its areal density, its standard
// compound code and its material. Kept apart from the reader so that the beam
// computation needs nothing of the console.

#include "beam/LayerRecord.h"
#include "energyloss/StandardTargets.h"

double arealDensityOf(const LayerRecord& record) {
    double t = record.thickness;
    switch (record.thicknessUnit) {
        case 0: return t * record.density / 10;
        case 1: return t * 1000 * record.density / 10;
        case 2: return t * 10000 * record.density / 10;
        case 3: return t * 25.4 * record.density / 10;
        default: return t;
    }
}

int icompoundOf(const std::string& name) {
    return icompoundOfLayerName(name);
}

LayerMaterial materialOf(const LayerRecord& record, double arealDensityMgCm2) {
    LayerMaterial layer;
    layer.elementCount = record.elementCount;
    for (int i = 0; i < record.elementCount && i < LayerMaterial::kMaxElements; ++i) {
        layer.atomicNumber[i] = record.atomicNumber[i];
        layer.atomicMass[i] = record.atomicMass[i];
        layer.elementReserved[i] = record.elementReserved[i];
        layer.massFraction[i] = record.massFraction[i];
    }
    layer.density = record.density;
    layer.layerReserved = record.layerReserved;
    layer.arealDensity = arealDensityMgCm2;
    return layer;
}
