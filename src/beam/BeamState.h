#pragma once

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
};

// Beam files shared with the parent program.
inline constexpr const char* kBeamNameTmp = "CurrentBeamName.tmp";
inline constexpr const char* kBeamNameDat = "CurrentBeamName.dat";
inline constexpr const char* kBeamIonTmp = "CurrentBeamNZAMeV.tmp";
inline constexpr const char* kBeamIonDat = "CurrentBeamNZAMeV.dat";
inline constexpr const char* kBeamResultsTmp = "CurrentBeamDELReB.tmp";
inline constexpr const char* kBeamResultsDat = "CurrentBeamDELReB.dat";
inline constexpr const char* kLayerSummaryFile = "LayerSummary.dat";
inline constexpr const char* kLayerFileNameFile = "CurrentLayerFileName.dat";
inline constexpr const char* kLayersReversedFile = "CurrentLayersReversed.dat";
inline constexpr const char* kRangeTableFile = "RangeTable.txt";

// Degrader geometry.
inline constexpr double kPi = 3.14159265359;
inline constexpr double kUmPerMil = 25.4;                     // µm per mil
inline constexpr double kAluminiumDensity = 2.702;            // g/cm³
inline constexpr double kStartupSaturationUm = 99999.999;      // µm, "infinitely thick" at start-up
inline constexpr double kRecomputeSaturationUm = 2539999.9746;  // µm = 99999.999 mil

struct DegraderThickness {
    double foilUm = 0;       // µm, nominal foil thickness
    double effectiveUm = 0;  // µm, foil / |cos R|
};

// The foil selected by S (foil k is 2^(k-1) mil; S within `tolerance` of k,
// a later k replacing an earlier one; S below the tolerance: no foil; no
// match: saturation) and the path through it at rotation R (degrees).
DegraderThickness computeDegraderThickness(double s, double rDegrees, int foilLimit, double tolerance,
                                           double saturationUm);

// |cos T| for a tilt T in degrees, taken as 0 below 1e-6: at T = 90 degrees
// the cosine of the rounded π is about 1e-12, not 0.
double tiltCosine(double tDegrees);
