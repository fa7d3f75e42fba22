#pragma once

#include <array>
#include <cstdint>
#include <string>

// The beam chosen in the parent program and what the last recomputation made
// of it.
struct BeamState {
    std::string beamName;              // "Beam:" text, at most 127 characters
    int beamTag = 0;                   // the parent program's own number, written back unchanged
    int ionZ = 0;                      // atomic number of the ion
    double ionA = 0;                   // u: mass number, divisor of every per-nucleon energy
    double beamEnergyMeV = 0;          // MeV, as delivered, before the degrader
    double degraderEffectiveUm = 0;    // µm of aluminium crossed (foil / |cos R|), saturated
    double foilThicknessUm = 0;        // µm, nominal thickness of the selected foil, saturated
    double degraderExitEnergyMeV = 0;  // MeV after the degrader
    double deviceEnergyMeV = 0;        // MeV at the substrate
    double deviceEnergyPerNucleon = 0; // MeV/u at the substrate
    double nominalLet = 0;             // MeV·cm²/mg at the substrate entrance, beam normal to the device
    double nominalRangeUm = 0;         // µm, depth at which the ion stops in the substrate
    double braggEnergyMeV = 0;         // MeV at the highest LET of the last range table
    bool minimumRangeReported = false; // "MinimumRange.dat" without a number was reported
    std::string recomputedInputs;      // what the last quiet, complete recomputation read; empty: unknown
    // The T, R and S counts the beam in the fields was computed for (a
    // recomputation that committed nothing leaves them).
    std::array<int32_t, 3> computedFor{};
    bool computedForKnown = false;
    // What the last computation warned of the setting (stopped, past the
    // Bragg peak, under the minimum range); empty: nothing.
    std::string settingWarning;
};
