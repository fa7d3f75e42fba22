#include "energyloss/SPtableWriter.h"

#include <cmath>

#include "energyloss/LayerStopping.h"
#include "util/NumberFormat.h"

double spTableEnergyPerNucleonMeV(int k) {
    const double first = std::log(kTableFirstEnergyPerNucleonMeV);
    const double last = std::log(kTableLastEnergyPerNucleonMeV);
    return std::exp(first + (last - first) * k / (SPtable::kPairs - 1));
}

bool formatSPtable(const StoppingData& data, int ionAtomicNumber, double ionMassU, const LayerMaterial& layer,
                   int icompound, std::string& text) {
    std::string table;
    table.reserve(SPtable::kPairs * 40);
    for (int k = 0; k < SPtable::kPairs; ++k) {
        const double energyKeV = spTableEnergyPerNucleonMeV(k) * ionMassU * 1000;
        const StoppingPowers s = formulaLayerStopping(data, ionAtomicNumber, ionMassU, layer, energyKeV);
        const double stopping = icompound == 0 ? s.electronic : s.total;  // MeV·cm²/mg
        if (!(stopping > 0) || !std::isfinite(stopping)) return false;
        table += cformat("%.12g %.12g\n", std::log(energyKeV * 1000), std::log(stopping));
    }
    text = table;
    return true;
}
