#include "beam/GoProposal.h"

#include <cmath>

#include "beam/BeamDisplay.h"
#include "energyloss/CalculationErrors.h"
#include "util/NumberFormat.h"

namespace {

std::string significant(double value) { return cformat("%.3g", value); }

// The predicted value of the wanted kind.
double predictedValue(const BeamResult& predicted, GoalKind kind) {
    switch (kind) {
        case GoalKind::Let: return predicted.effectiveLet;
        case GoalKind::MeV:
        case GoalKind::Bragg: return predicted.deviceEnergyMeV;
        case GoalKind::MeVPerNucleon: return predicted.deviceEnergyPerNucleon;
    }
    return 0;
}

bool misses(double value, double wanted) { return !(std::fabs(value - wanted) <= kGoMissTolerance * wanted); }

// The warning for a setting that gives `value` where `wanted` was asked for.
std::string missText(GoalKind kind, double value, double wanted) {
    switch (kind) {
        case GoalKind::Let:
            return "Warning: this setting gives an effective LET of " + significant(value) + ", not the " +
                   significant(wanted) + " asked for.";
        case GoalKind::MeV:
            return "Warning: this setting gives an energy of " + significant(value) + " MeV, not the " +
                   significant(wanted) + " asked for.";
        case GoalKind::MeVPerNucleon:
            return "Warning: this setting gives an energy per nucleon of " + significant(value) + " MeV/u, not the " +
                   significant(wanted) + " asked for.";
        case GoalKind::Bragg:
            return "Warning: this setting gives an energy of " + significant(value) + " MeV, not the " +
                   significant(wanted) + " MeV of the Bragg peak.";
    }
    return "";
}

// The lines below "(S = …, R = …)": the energy at the substrate, the
// effective LET and range in the dialog's formats, and every warning: the
// beam stopped or not predictable, past the Bragg peak (at it, for a Bragg
// request that lands on it), under the minimum range, far from the wish.
std::string predictionText(const BeamResult& predicted, GoalKind kind, double wanted, double minimumRangeUm,
                           bool& warned) {
    warned = true;
    switch (predicted.outcome) {
        case BeamOutcome::Stopped:
            return "Warning: the beam will be fully stopped in " + predicted.stoppedIn + " before the substrate.";
        case BeamOutcome::NoStoppingSource:
        case BeamOutcome::TiltUnsolvable:
        case BeamOutcome::LayersIncomplete: return "Warning: what the beam gives at the substrate cannot be predicted.";
        case BeamOutcome::Substrate: break;
    }
    std::string text = "Beam energy at the substrate: " + perNucleonText(predicted.deviceEnergyPerNucleon) +
                       " MeV/u\nEffective LET: " + effectiveLetText(predicted.effectiveLet) +
                       " MeV·cm²/mg\nEffective range: " + effectiveRangeText(predicted.effectiveRangeUm) + " µm";
    const double value = predictedValue(predicted, kind);
    const bool missed = misses(value, wanted);
    const bool atPeak = kind == GoalKind::Bragg && !missed;
    const bool pastPeak = predicted.pastPeak() && !atPeak;
    const bool tooShort = predicted.effectiveRangeUm < minimumRangeUm;
    warned = pastPeak || tooShort || missed;
    if (atPeak) text += "\nThe beam reaches the substrate at its Bragg peak.";
    const std::string warning = peakAndRangeWarning(pastPeak, tooShort, minimumRangeUm);
    if (!warning.empty()) text += "\n" + warning;
    if (missed) {
        text += '\n';
        text += missText(kind, value, wanted);
    }
    return text;
}

// What the beam can give, for a wanted value no setting meets.
std::string reachText(const BeamReach& reach, GoalKind kind, double tDegrees) {
    if (!reach.found) return "No foil and rotation Go can choose lets this beam reach the substrate.";
    switch (kind) {
        case GoalKind::Let: {
            std::string text = "The effective LET this beam can give at the substrate at T = " +
                               cformat("%.3f", tDegrees) + " deg, ";
            const bool before = reach.peak > reach.withoutDegrader;
            const bool past = reach.thickest < reach.peak;
            if (before) {
                text += "before the Bragg peak: " + formatBeamValue(reach.withoutDegrader) + " to " +
                        formatBeamValue(reach.peak);
                if (past) text += "; past it: down to " + formatBeamValue(reach.thickest);
            } else if (past) {
                text += "past the Bragg peak: " + formatBeamValue(reach.peak) + " down to " +
                        formatBeamValue(reach.thickest);
            } else {
                text += "is " + formatBeamValue(reach.peak);
            }
            return text + " MeV·cm²/mg.";
        }
        case GoalKind::MeV:
        case GoalKind::Bragg:
            return "The energy this beam can give at the substrate: " + formatBeamValue(reach.thickest) + " to " +
                   formatBeamValue(reach.withoutDegrader) + " MeV.";
        case GoalKind::MeVPerNucleon:
            return "The energy per nucleon this beam can give at the substrate: " + perNucleonText(reach.thickest) +
                   " to " + perNucleonText(reach.withoutDegrader) + " MeV/u.";
    }
    return "";
}

// The beam at the proposal's S and R and at tilt `t`, and the lines that
// tell it.
void predict(ConsoleState& state, const GoLayers& layers, GoProposal& proposal, double t, GoalKind kind,
             double wanted, double minimumRangeUm) {
    const BeamIon ion{state.beam.ionZ, state.beam.ionA, state.beam.beamEnergyMeV};
    const BeamGeometry geometry{proposal.s, proposal.r, t, state.foilCount, state.options.foilTolerance};
    proposal.predicted =
        computeBeam(state.stopping, state.engineOptions(false), ion, geometry, layers.beamOrder, false);
    proposal.prediction = predictionText(proposal.predicted, kind, wanted, minimumRangeUm, proposal.warned);
}

}  // namespace

std::string GoProposal::setting() const {
    return withTilt ? cformat("(S = %g , R = %g , T = %g)", s, r, t) : cformat("(S = %g , R = %g)", s, r);
}

std::string GoProposal::question() const {
    const std::string lead = step.empty() ? "Required degrader coordinates " + setting() + " have been determined"
                                          : "Step " + step + " of the test plan is set at " + setting();
    return lead + " - do you want to set them?\n\n" + prediction;
}

GoProposal proposeGo(ConsoleState& state, const GoLayers& layers, GoalKind kind, double wanted,
                     double minimumRangeUm) {
    GoProposal proposal;
    const BeamIon ion{state.beam.ionZ, state.beam.ionA, state.beam.beamEnergyMeV};
    const double t = axisValue(state.axes[kAxisT]);
    const StoppingOptions quiet = state.engineOptions(false);
    if (kind == GoalKind::Bragg) {
        wanted = braggEnergyOfBeam(state.stopping, quiet, ion, layers.layerFile);
    } else if (!(wanted > 0)) {
        proposal.failure = cformat("Go needs a value above 0 (not %g) - request ignored.", wanted);
        return proposal;
    }

    // Back out through the device, substrate first, and the aluminium.
    const DegraderSearch search = searchDegrader(state.stopping, state.engineOptions(true), ion, t, kind, wanted,
                                                 layers.layerFile, state.foilCount);
    bool unreachable = false;
    proposal.failure = searchFailureText(search, t, unreachable);
    if (!proposal.failure.empty()) {
        if (search.outcome == SearchOutcome::EngineFailure) proposal.failureIcon = Icon::Stop;
        if (unreachable) {
            proposal.failure += "\n\n" + reachText(reachOfBeam(state.stopping, quiet, ion, t, kind, layers.beamOrder,
                                                               state.foilCount),
                                                   kind, t);
        }
        return proposal;
    }

    // The setting the axes will really reach: the values of the target counts.
    const Axis& sAxis = state.axes[kAxisS];
    const Axis& rAxis = state.axes[kAxisR];
    proposal.sCounts = internalPositionFor(sAxis, search.foil.foil);
    proposal.rCounts = internalPositionFor(rAxis, search.foil.rDegrees);
    proposal.s = axisValueAt(sAxis, proposal.sCounts);
    proposal.r = axisValueAt(rAxis, proposal.rCounts);
    predict(state, layers, proposal, t, kind, wanted, minimumRangeUm);
    return proposal;
}

GoProposal proposeSetting(ConsoleState& state, const GoLayers& layers, const std::string& step, double s, double r,
                          double t, GoalKind kind, double wanted, double minimumRangeUm) {
    GoProposal proposal;
    proposal.step = step;
    proposal.withTilt = true;
    proposal.sCounts = internalPositionFor(state.axes[kAxisS], s);
    proposal.rCounts = internalPositionFor(state.axes[kAxisR], r);
    proposal.tCounts = internalPositionFor(state.axes[kAxisT], t);
    proposal.s = axisValueAt(state.axes[kAxisS], proposal.sCounts);
    proposal.r = axisValueAt(state.axes[kAxisR], proposal.rCounts);
    proposal.t = axisValueAt(state.axes[kAxisT], proposal.tCounts);
    predict(state, layers, proposal, proposal.t, kind, wanted, minimumRangeUm);
    return proposal;
}
