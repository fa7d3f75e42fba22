#include "energyloss/LayerStopping.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "energyloss/ResultCodes.h"
#include "energyloss/StandardTargets.h"
#include "util/NumberFormat.h"
#include "util/TokenReader.h"

namespace {

int elementsOf(const LayerMaterial& layer) {
    return std::clamp(layer.elementCount, 0, LayerMaterial::kMaxElements);
}

StoppingPowers finiteOrZero(const StoppingPowers& s) {
    if (std::isfinite(s.electronic) && std::isfinite(s.nuclear) && std::isfinite(s.total)) return s;
    return {};
}

std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Normal mode unless the mode file holds 1; false when it cannot be opened.
bool readLegacyFlag(bool& legacy) {
    std::ifstream file(kCalculationModeFile, std::ios::binary);
    if (!file) return false;
    TokenReader reader(file);
    int32_t value = 0;
    reader.readInt(value);
    legacy = value == 1;
    return true;
}

}  // namespace

int parseSPtable(std::istream& in, SPtable& table) {
    TokenReader reader(in);
    int pairs = 0;
    for (int k = 0; k < SPtable::kPairs; ++k) {
        if (!reader.readReal(table.lnEnergyEv[k])) break;
        if (!reader.readReal(table.lnStopping[k])) break;
        ++pairs;
    }
    return pairs;
}

double lookUpSPtable(const SPtable& table, double ionEnergyKeV) {
    if (!(ionEnergyKeV > 0)) return 0;
    const double x = std::log(1000 * ionEnergyKeV);  // ln of the energy in eV
    int lo = 0;
    int hi = SPtable::kPairs - 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (x < table.lnEnergyEv[mid]) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    const double d = table.lnEnergyEv[hi] - table.lnEnergyEv[lo];
    if (!(d > 0)) return 0;
    return std::exp(table.lnStopping[lo] * (table.lnEnergyEv[hi] - x) / d +
                    table.lnStopping[hi] * (x - table.lnEnergyEv[lo]) / d);
}

int gasPhaseOf(const LayerMaterial& layer, int i) {
    return layer.density < 0.0715 && gasIndexOf(layer.atomicNumber[i]) != 0 ? 1 : 0;
}

int prepareLayerStopping(const StoppingData& data, int ionAtomicNumber, double ionMassU, const LayerMaterial& layer,
                         int icompound, TraceFile& trace, const StoppingOptions& options, LayerStopping& out) {
    out.data = &data;
    out.ionAtomicNumber = ionAtomicNumber;
    out.ionMassU = ionMassU;
    out.layer = layer;
    out.icompound = icompound;
    out.useTable = false;
    for (int i = 0; i < LayerMaterial::kMaxElements; ++i) {
        out.nuclear[i] = nuclearStoppingFactors(ionAtomicNumber, ionMassU, layer.atomicNumber[i], layer.atomicMass[i]);
    }

    const std::string tableName = spTableFileName(ionAtomicNumber, ionMassU, layer, icompound);
    bool legacy = false;
    switch (options.mode) {
        case CalculationMode::ModeFile:
            if (!readLegacyFlag(legacy)) return kResultModeFileMissing;
            break;
        case CalculationMode::Formulas:
            legacy = true;
            break;
        case CalculationMode::Tables:
            break;
    }
    if (legacy || tableName.empty()) return kResultDone;

    std::ifstream file(inFolder(options.tableFolder, tableName), std::ios::binary);
    trace.write(cformat("icompound=%d   iz1=%d   rm1=%s   iUse13=1\n", icompound, ionAtomicNumber,
                        formatGeneral(ionMassU).c_str()));
    if (!file) return kResultTableMissing;
    out.table = SPtable{};
    if (parseSPtable(file, out.table) < SPtable::kPairs) return kResultTableMissing;
    out.useTable = true;
    return kResultDone;
}

namespace {

// The Bragg sum of the formulas with the nuclear factors at hand.
StoppingPowers braggSum(const StoppingData& data, int z1, double m1, const LayerMaterial& layer,
                        const NuclearStoppingFactors* nuclear, double ionEnergyKeV) {
    StoppingPowers s;
    const int n = elementsOf(layer);
    for (int i = 0; i < n; ++i) {
        const double se = ionStoppingPower(data, z1, m1, layer.atomicNumber[i], layer.atomicMass[i], ionEnergyKeV,
                                           gasPhaseOf(layer, i));
        const double sn = nuclearStopping(nuclear[i], ionEnergyKeV);
        s.electronic += layer.massFraction[i] * se;
        s.nuclear += layer.massFraction[i] * sn;
        s.total += layer.massFraction[i] * (se + sn);
    }
    return finiteOrZero(s);
}

}  // namespace

StoppingPowers formulaLayerStopping(const StoppingData& data, int ionAtomicNumber, double ionMassU,
                                    const LayerMaterial& layer, double ionEnergyKeV) {
    NuclearStoppingFactors nuclear[LayerMaterial::kMaxElements];
    for (int i = 0; i < elementsOf(layer); ++i) {
        nuclear[i] = nuclearStoppingFactors(ionAtomicNumber, ionMassU, layer.atomicNumber[i], layer.atomicMass[i]);
    }
    return braggSum(data, ionAtomicNumber, ionMassU, layer, nuclear, ionEnergyKeV);
}

StoppingPowers layerStopping(const LayerStopping& source, double ionEnergyKeV) {
    const LayerMaterial& layer = source.layer;
    if (!source.useTable) {
        return braggSum(*source.data, source.ionAtomicNumber, source.ionMassU, layer, source.nuclear, ionEnergyKeV);
    }
    StoppingPowers s;
    if (source.icompound == 0) {
        s.electronic = lookUpSPtable(source.table, ionEnergyKeV);
        s.nuclear = nuclearStopping(source.nuclear[0], ionEnergyKeV);
        s.total = s.electronic + s.nuclear;
    } else {
        s.total = lookUpSPtable(source.table, ionEnergyKeV);
        const int n = elementsOf(layer);
        for (int i = 0; i < n; ++i) s.nuclear += layer.massFraction[i] * nuclearStopping(source.nuclear[i], ionEnergyKeV);
        s.electronic = s.total - s.nuclear;
    }
    return finiteOrZero(s);
}
