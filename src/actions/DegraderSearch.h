#pragma once

#include <cstdint>

struct Console;

// The foil and rotation that present a wanted aluminium areal density.
struct DegraderSetting {
    int result = 2;           // 0 found, -1 too thin for any foil, 1 too thick, 2 no solution
    double s = 0;             // foil number
    double rDegrees = 0;      // degrader rotation
    int32_t sCounts = 0;      // target internal positions of S and R
    int32_t rCounts = 0;
};

// The thickest foil strictly thinner than x (mg/cm²), turned so that it
// presents exactly x.
DegraderSetting selectDegraderSetting(const Console& console, double arealDensityMgCm2);

// "Go": from the wanted LET or energy in the substrate back through the
// device's layers and the degrader to a foil and rotation, then (on Yes) R
// and S are moved there.
void onGo(Console& console);

// The Bragg box and the unit radios prepare "Go" and exclude each other.
void onBragg(Console& console);
void onUnitChoice(Console& console);
// "Summary": the device summary in the viewer.
void onSummary(Console& console);
