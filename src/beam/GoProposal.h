#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "beam/BeamComputation.h"
#include "core/ConsoleState.h"
#include "core/Ui.h"

// "Go": from a wanted value at the substrate to the foil and rotation that
// give it, and what that setting will really give. The console's Go button
// and `tarvex-let go` both ask here.

// A setting whose effective LET (or energy) differs from the wish by more
// than this share is said to miss it, and No becomes the default; a Bragg
// request that lands this close to the peak is at the peak.
inline constexpr double kGoMissTolerance = 0.05;

// The device as Go reads it.
struct GoLayers {
    std::vector<LayerRecord> layerFile;  // the device's layer file, substrate first (the search)
    DeviceLayers beamOrder;              // "CurrentLayersReversed.dat" (the prediction and the reach)
};

struct GoProposal {
    // Non-empty when no setting is proposed: the operator's text, shown with
    // `failureIcon` and Ok.
    std::string failure;
    Icon failureIcon = Icon::Warning;

    int32_t sCounts = 0;  // the target counts of S and R
    int32_t rCounts = 0;
    double s = 0;  // the values those counts stand for (what the axes will show)
    double r = 0;
    bool withTilt = false;  // a setting of T too (a test plan's step)
    int32_t tCounts = 0;
    double t = 0;
    std::string step;       // the step of the test plan it sets; empty: Go's own search
    BeamResult predicted;  // the beam at those counts, without range-table rows
    std::string prediction;     // the lines below the setting, warnings included
    bool warned = false;        // a warning line: No is the default

    // "(S = 3 , R = 56.69)", with a tilt "(S = 3 , R = 56.69 , T = 45)"
    std::string setting() const;
    // The whole question of the Yes/No box.
    std::string question() const;
    Button defaultButton() const { return warned ? Button::No : Button::Yes; }
};

// The proposal for `wanted` (effective LET, MeV or MeV/u; ignored for the
// Bragg peak, which is taken from the beam itself) at the tilt and with the
// axes of `state`. The search's traversals write the state's trace file; the
// prediction's and the reach's do not. `minimumRangeUm` NaN: no minimum.
GoProposal proposeGo(ConsoleState& state, const GoLayers& layers, GoalKind kind, double wanted,
                     double minimumRangeUm);

// The proposal of a setting chosen beforehand (a test plan's step `step`):
// the counts S, R and T reach for `s`, `r` and `t`, and what the beam gives
// there, judged against `wanted` of `kind` as Go judges its own.
GoProposal proposeSetting(ConsoleState& state, const GoLayers& layers, const std::string& step, double s, double r,
                          double t, GoalKind kind, double wanted, double minimumRangeUm);
