#pragma once

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "energyloss/LayerMaterial.h"
#include "energyloss/StoppingCoefficients.h"
#include "support/WorkFolder.h"
#include "util/NumberFormat.h"

// Helpers shared by the engine tests.

// Copies the three real coefficient files into the current working folder.
inline void copyRealCoefficients(const WorkFolder& folder) {
    for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
        std::filesystem::copy_file(std::filesystem::path(stoppingDataFolder()) / name, folder.path() / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

// The real coefficients, loaded once per test through the working folder.
inline std::unique_ptr<StoppingData> loadRealCoefficients(const WorkFolder& folder) {
    copyRealCoefficients(folder);
    auto data = std::make_unique<StoppingData>();
    loadStoppingCoefficients(*data);
    return data;
}

inline LayerMaterial element(int z, double massU, double densityGcm3, double arealDensityMgCm2 = 1) {
    LayerMaterial layer;
    layer.elementCount = 1;
    layer.atomicNumber[0] = z;
    layer.atomicMass[0] = massU;
    layer.massFraction[0] = 1;
    layer.density = densityGcm3;
    layer.arealDensity = arealDensityMgCm2;
    return layer;
}

inline LayerMaterial silicon(double arealDensityMgCm2 = 1) { return element(14, 28.086, 2.3212, arealDensityMgCm2); }

// Silicon carbide: Si 0.7, C 0.3 by mass, 3.21 g/cm³.
inline LayerMaterial siliconCarbide(double arealDensityMgCm2 = 1) {
    LayerMaterial layer;
    layer.elementCount = 2;
    layer.atomicNumber[0] = 14;
    layer.atomicMass[0] = 28.086;
    layer.massFraction[0] = 0.7;
    layer.atomicNumber[1] = 6;
    layer.atomicMass[1] = 12.011;
    layer.massFraction[1] = 0.3;
    layer.density = 3.21;
    layer.arealDensity = arealDensityMgCm2;
    return layer;
}

// A table text of 235 pairs: ln E = first + k·step, ln S = lnS(k).
template <typename LnS>
std::string tableText(double firstLnEnergyEv, double stepLnEnergy, LnS lnS) {
    std::string text;
    for (int k = 0; k < 235; ++k) {
        text += cformat("%.17g %.17g\n", firstLnEnergyEv + k * stepLnEnergy, lnS(k));
    }
    return text;
}
