#pragma once

#include <cstdint>

#include "beam/BeamComputation.h"  // GoalKind
#include "core/CampaignState.h"

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

// False, with the warning shown, when S or R (and with `withTilt` T) is
// locked: Go would move it.
bool degraderAxesFree(Console& console, bool withTilt);
// Go's question for `wish` of `kind` and, on Yes, the moves; a test plan's
// `step` that names S, R and T asks for that setting (T included) instead of
// searching. True when the operator said Yes and every move was taken.
bool askAndGo(Console& console, GoalKind kind, double wish, double minimumRangeUm, const TestPlanStep* step);
// The station's minimum effective range in µm, NaN when it has none; a file
// without a number is reported once.
double minimumRangeOf(Console& console);

// The Bragg box and the unit radios prepare "Go" and exclude each other.
void onBragg(Console& console);
void onUnitChoice(Console& console);
// "Summary": the device summary in the viewer.
void onSummary(Console& console);
