#pragma once

#include <istream>
#include <string>

// Per-element stopping coefficients and the stopping formulas of single
// elements (electronic stopping scaled from proton stopping by an effective
// charge, universal nuclear stopping).
//
// Units inside this module:
//   ion energy            keV (total kinetic energy of the ion)
//   energy per nucleon    keV/u
//   stopping, internal    eV / (1e15 atoms/cm²)  (unit of the coefficient sets)
//   stopping, returned    MeV·cm²/mg            (internal × 0.6022 / M2[u])

// 93 rows of 54 numbers. Row Z (1..92) belongs to element Z; row 93 is the
// grid row. Row 0 is unused, so that rows are indexed by atomic number.
struct CoefficientTable {
    static constexpr int kGridRow = 93;
    static constexpr int kRows = 94;      // 0 (unused) .. 93
    static constexpr int kColumns = 54;   // 0 .. 53
    // Columns read by the formulas.
    static constexpr int kFermiVelocity = 6;       // vF of the target, Bohr velocities
    static constexpr int kNaturalWeight = 3;       // u (used by tarvex-let only)
    static constexpr int kDensity = 4;             // g/cm³ (used by tarvex-let only)
    static constexpr int kFirstProtonCoefficient = 8;  // A1 in column 8 … A12 in column 19
    static constexpr int kFirstScreening = 21;     // Λ (ion row) / q grid (row 93), to 38
    static constexpr int kLastScreening = 38;
    static constexpr int kFirstCorrection = 40;    // F (target row) / energy grid keV/u (row 93), to 53
    static constexpr int kLastCorrection = 53;

    double value[kRows][kColumns] = {};
};

// 24 rows of 11 numbers: gas-phase proton coefficients. Row = ion group offset
// (0 hydrogen, 8 helium, 16 heavier) + gas index (1..8); numbers 4..11 (value
// columns 3..10) are A1..A8. Row 0 is unused.
struct GasCoefficientTable {
    static constexpr int kRows = 25;
    static constexpr int kColumns = 11;
    static constexpr int kFirstProtonCoefficient = 3;  // A1 in column 3 … A8 in column 10

    double value[kRows][kColumns] = {};
};

// The coefficient data of the process: both tables, all zero until loaded.
struct StoppingData {
    CoefficientTable coefficients;
    GasCoefficientTable gasCoefficients;
};

// File names in the working folder (or in the folder given to the loader).
inline constexpr const char* kCoefficientFileA = "scoef.95a";
inline constexpr const char* kCoefficientFileB = "scoef.95b";
inline constexpr const char* kGasCoefficientFile = "scoefgas.95";

// What loading the coefficient files found: the first file that could not be
// opened or is not whole, and why. Without all three files whole every
// stopping power would be zero or stale, and a caller that commits results
// must not go on; coefficientLoadText (CalculationErrors.h) words it.
struct CoefficientLoad {
    std::string file;      // "" when all three files opened and are whole
    bool missing = false;  // the file could not be opened
    std::string reason;    // else what is wrong with it, e.g. "it ends after 92 of 93 rows."
    bool ok() const { return file.empty(); }
};

// Reads "scoef.95a", "scoef.95b" and "scoefgas.95" from `folder` (empty: the
// working folder) into `data`, in place. A file that cannot be opened writes
// "\n<name> not found.\n" to standard output and leaves its slots unchanged;
// a short or malformed file fills its slots up to the first fault and leaves
// the rest unchanged. Every file is read; the first fault is returned.
CoefficientLoad loadStoppingCoefficients(StoppingData& data, const std::string& folder = "");

// The parse halves of the loader: two header lines, then one line per row
// holding at least that row's numbers (more are ignored). Each returns ""
// for a whole file, else the reason ("it is empty.", "it ends after 92 of 93
// rows.", "row 7 holds 15 of 16 numbers.", "row 7: number 4 is not a number.").
// Columns 0..15 of rows 1..93.
std::string parseCoefficientFileA(std::istream& in, CoefficientTable& table);
// Columns 16..53 of rows 1..93.
std::string parseCoefficientFileB(std::istream& in, CoefficientTable& table);
// 11 numbers of gas rows 1..24.
std::string parseGasCoefficientFile(std::istream& in, GasCoefficientTable& table);

// The eight gas elements in gas-index order (index 1..8 = position + 1).
inline constexpr int kGasElements[8] = {1, 2, 7, 8, 10, 18, 36, 54};
// Gas index 1..8 of element z2, or 0 when z2 has no gas-phase coefficients.
int gasIndexOf(int z2);

// Proton electronic stopping of element z2 (1..92) at energyPerNucleonKeV
// (keV/u); eV/(1e15 atoms/cm²). 0 for energies ≤ 0 and for z2 outside 1..92.
double protonStopping(const StoppingData& data, int z2, double energyPerNucleonKeV);

// Gas-phase proton stopping: ion group 1 (hydrogen), 2 (helium), ≥3 (heavier),
// element z2, gas index 1..8; eV/(1e15 atoms/cm²). Above 10000 keV/u the
// element row of z2 is used, as for solids.
double gasProtonStopping(const StoppingData& data, int ionGroup, int z2, double energyPerNucleonKeV,
                         int gasIndex);

// Electronic stopping of element z2 (mass m2U, u) for ion z1 (mass m1U, u) of
// total kinetic energy ionEnergyKeV (keV); gasPhase 1 selects the gas-phase
// coefficients for the eight gas elements. MeV·cm²/mg. Returns 0 for an ion or
// target outside 1..92 and for results that are not finite (broken data).
double ionStoppingPower(const StoppingData& data, int z1, double m1U, int z2, double m2U,
                        double ionEnergyKeV, int gasPhase);

// The energy-independent factors of the nuclear stopping of one ion-target
// pair, worked out once per traversal instead of once per step.
struct NuclearStoppingFactors {
    bool zero = true;             // degenerate pair: the stopping is 0 at every energy
    double reducedPerKeV = 0;     // ε per keV of ion energy
    double stoppingScale = 0;     // MeV·cm²/mg per unit of reduced stopping sn
};
NuclearStoppingFactors nuclearStoppingFactors(int z1, double m1U, int z2, double m2U);
double nuclearStopping(const NuclearStoppingFactors& factors, double ionEnergyKeV);

// Universal nuclear stopping, MeV·cm²/mg; 0 for E ≤ 0, M2 = 0, Z1·Z2·(M1+M2) = 0
// and for results that are not finite.
double nuclearStopping(int z1, double m1U, int z2, double m2U, double ionEnergyKeV);
