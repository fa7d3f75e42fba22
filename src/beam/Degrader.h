#pragma once

#include <string>

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

// What a tilt T makes of the nominal values at the substrate: the effective
// LET is the nominal LET / |cos T|, infinite at cos T = 0, and the effective
// range the nominal range × |cos T|. Every display, file and command takes
// them from here.
struct EffectiveValues {
    double let = 0;      // MeV·cm²/mg
    double rangeUm = 0;  // µm
};
EffectiveValues effectiveValues(double nominalLet, double nominalRangeUm, double tDegrees);

// "Infinite!" for an infinite LET, "0" for 0, else the three-way format.
std::string effectiveLetText(double let);
// "0" for 0, else "%.1f".
std::string effectiveRangeText(double rangeUm);
