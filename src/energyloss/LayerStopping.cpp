#include "energyloss/LayerStopping.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

#include "energyloss/ResultCodes.h"
#include "energyloss/StandardTargets.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

int elementsOf(const LayerMaterial& layer) {
    return std::clamp(layer.elementCount, 0, LayerMaterial::kMaxElements);
}

StoppingPowers finiteOrZero(const StoppingPowers& s) {
    if (std::isfinite(s.electronic) && std::isfinite(s.nuclear) && std::isfinite(s.total)) return s;
    return {};
}

using FileStamp = StoppingTableCache::FileStamp;

// False for a path that is missing or not a regular file (never cached).
bool stampOf(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
             static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
             static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
    return true;
}

bool readTableFile(const std::string& path, SPtable& table, int& pairs) {
    std::ifstream file;
    if (!openInput(file, path)) return false;
    table = SPtable{};
    pairs = parseSPtable(file, table);
    return true;
}

}  // namespace

bool StoppingTableCache::readTable(const std::string& path, SPtable& table, int& pairs) {
    FileStamp stamp;
    const bool stamped = stampOf(path, stamp);
    if (stamped) {
        for (const Entry& entry : entries_) {
            if (entry.pairs > 0 && entry.stamp == stamp && entry.path == path) {
                table = entry.table;
                pairs = entry.pairs;
                return true;
            }
        }
    }
    if (!readTableFile(path, table, pairs)) return false;
    if (stamped && pairs > 0) {
        Entry& entry = entries_[next_];
        next_ = (next_ + 1) % kEntries;
        entry = {path, stamp, table, pairs};
    }
    return true;
}

std::optional<int32_t> StoppingTableCache::modeFlag() {
    FileStamp stamp;
    const bool stamped = stampOf(kCalculationModeFile, stamp);
    if (stamped && modeValid_ && stamp == modeStamp_) return modeFlag_;
    const std::optional<int32_t> flag = readCalculationModeFlag();
    modeValid_ = flag && stamped;
    modeStamp_ = stamp;
    modeFlag_ = flag.value_or(0);
    return flag;
}

void StoppingTableCache::reset() {
    for (Entry& entry : entries_) entry.pairs = 0;
    modeValid_ = false;
}

std::optional<int32_t> readCalculationModeFlag() {
    std::ifstream file;
    if (!openInput(file, kCalculationModeFile)) return std::nullopt;
    TokenReader reader(file);
    int32_t value = 0;
    reader.readInt(value);
    return value;
}

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
        case CalculationMode::ModeFile: {
            const std::optional<int32_t> flag = options.tables ? options.tables->modeFlag() : readCalculationModeFlag();
            if (!flag) return kResultModeFileMissing;
            legacy = *flag == 1;
            break;
        }
        case CalculationMode::Formulas:
            legacy = true;
            break;
        case CalculationMode::Tables:
            break;
    }
    if (legacy || tableName.empty()) return kResultDone;

    trace.write(cformat("icompound=%d   iz1=%d   rm1=%s   iUse13=1\n", icompound, ionAtomicNumber,
                        formatGeneral(ionMassU).c_str()));
    int pairs = 0;
    const std::string path = inFolder(options.tableFolder, tableName);
    const bool opened = options.tables ? options.tables->readTable(path, out.table, pairs)
                                       : readTableFile(path, out.table, pairs);
    if (!opened) return kResultTableMissing;
    if (pairs < SPtable::kPairs) return kResultTableMissing;
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
