#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "energyloss/LayerMaterial.h"
#include "energyloss/StoppingCoefficients.h"
#include "energyloss/TraceFile.h"

// The stopping power of one layer at one ion energy: from a per-ion stopping
// table when one exists for the ion and the layer (normal mode), else from the
// element formulas summed by mass fraction (Bragg additivity).

// A per-ion stopping table: 235 pairs (ln of the ion's total kinetic energy in
// eV, ln of the stopping power in MeV·cm²/mg), energies increasing.
struct SPtable {
    static constexpr int kPairs = 235;
    double lnEnergyEv[kPairs] = {};
    double lnStopping[kPairs] = {};
};

// Reads up to 235 pairs (energy first) from a table stream into `table`;
// returns the number of complete pairs read. A failed read leaves that slot
// and every later one unchanged.
int parseSPtable(std::istream& in, SPtable& table);

// Log-log interpolation of the table at ionEnergyKeV (keV), extended on the
// first and the last pair; 0 for energies ≤ 0 and inside a pair whose
// energies do not increase. MeV·cm²/mg.
double lookUpSPtable(const SPtable& table, double ionEnergyKeV);

// Where a traversal takes its stopping powers from.
enum class CalculationMode {
    ModeFile,  // the console: "DoLegacyCalculations.dat" decides (1 = formulas, else tables when they exist)
    Formulas,  // always the formulas; no mode file is read
    Tables,    // tables when they exist, else the formulas; no mode file is read
};

// The per-ion tables and the mode file's flag read last, kept by whoever runs
// a series of traversals (the console, one command, a benchmark): a range
// table makes thousands of traversals of the same layer, each of which would
// otherwise parse the same table again. A file is known by its device, inode,
// size and modification time; a file rewritten in place or replaced changes
// at least one of them and is read again.
class StoppingTableCache {
public:
    // The table at `path` with its count of complete pairs; false when the
    // file cannot be opened.
    bool readTable(const std::string& path, SPtable& table, int& pairs);
    // The mode file's flag; nothing when the file cannot be opened.
    std::optional<int32_t> modeFlag();
    // Forgets everything read.
    void reset();

    struct FileStamp {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = -1;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };

private:
    struct Entry {
        std::string path;
        FileStamp stamp;
        SPtable table;
        int pairs = 0;
    };
    static constexpr std::size_t kEntries = 8;
    std::array<Entry, kEntries> entries_;
    std::size_t next_ = 0;
    FileStamp modeStamp_;
    bool modeValid_ = false;
    int32_t modeFlag_ = 0;
};

struct StoppingOptions {
    CalculationMode mode = CalculationMode::ModeFile;
    std::string tableFolder;    // folder of the ".inp" tables; empty = working folder
    std::string traceFileName;  // appended to by traverseLayer; empty: no trace
    // Where the tables read last are kept; none: every traversal reads them
    // again.
    StoppingTableCache* tables = nullptr;
    // Called at every traversal, so that a caller on the window's thread can
    // keep its stop controls answering during a long computation; empty: none.
    std::function<void()> keepResponsive;
};

inline constexpr const char* kCalculationModeFile = "DoLegacyCalculations.dat";

// The one integer of "DoLegacyCalculations.dat" in the working folder, 0 when
// the file holds no integer; nothing when it cannot be opened. 1 asks for the
// formulas. The engine, the recomputation (which marks the range table) and
// the exit's Bragg warning all read the file through this; each decides
// itself what a missing file means.
std::optional<int32_t> readCalculationModeFlag();

// Stopping powers of a layer at one energy, MeV·cm²/mg.
struct StoppingPowers {
    double electronic = 0;  // Se, the LET
    double nuclear = 0;     // Sn
    double total = 0;       // St
};

// The stopping source fixed for one traversal by prepareLayerStopping.
struct LayerStopping {
    const StoppingData* data = nullptr;
    int ionAtomicNumber = 0;  // Z1
    double ionMassU = 0;      // M1, u
    LayerMaterial layer;
    int icompound = 0;
    bool useTable = false;
    NuclearStoppingFactors nuclear[LayerMaterial::kMaxElements];  // per element of the layer
    SPtable table;
};

// Fixes the stopping source of one traversal: reads the mode file (ModeFile
// mode) and, when a table is used, writes the trace line
// "icompound=… iz1=… rm1=… iUse13=1" and reads the table. Returns 0,
// kResultModeFileMissing (7) or kResultTableMissing (5; also for a table with
// fewer than 235 pairs).
int prepareLayerStopping(const StoppingData& data, int ionAtomicNumber, double ionMassU, const LayerMaterial& layer,
                         int icompound, TraceFile& trace, const StoppingOptions& options, LayerStopping& out);

// Se, Sn and St of the prepared layer at the ion's total kinetic energy
// ionEnergyKeV (keV). Values that are not finite (broken data) give all zero.
StoppingPowers layerStopping(const LayerStopping& source, double ionEnergyKeV);

// The formulas alone (Bragg sum over the layer's elements), for any layer.
StoppingPowers formulaLayerStopping(const StoppingData& data, int ionAtomicNumber, double ionMassU,
                                    const LayerMaterial& layer, double ionEnergyKeV);

// 1 when element i of the layer counts as a gas: layer density below
// 0.0715 g/cm³ and Z one of 1, 2, 7, 8, 10, 18, 36, 54.
int gasPhaseOf(const LayerMaterial& layer, int i);
