#include "energyloss/Traversal.h"

#include <cmath>

#include "energyloss/TraceFile.h"
#include "util/NumberFormat.h"

namespace {

constexpr double kStepFraction = 0.001;        // energy removed (added backwards) per step, of E
constexpr double kWholeRestBelowMeV = 0.0001;  // MeV/u: below this a forward step takes all the rest
constexpr double kStoppedLimit = 1e-9;         // MeV/u and MeV·cm²/mg: at or below counts as stopped

}  // namespace

int traverseLayer(const StoppingData& data, double ionMassU, int ionAtomicNumber, double energyPerNucleonMeV,
                  double goal, int match, int icompound, const LayerMaterial& layer, LayerResult& result,
                  const StoppingOptions& options) {
    if (options.keepResponsive) options.keepResponsive();
    TraceFile trace(options.traceFileName);
    double e = energyPerNucleonMeV;  // MeV/u
    trace.write(cformat("match=%d\tZ2=%d\tE/A=%s\tgoal=%s\tnumber of elements=%d\n", match, layer.atomicNumber[0],
                        formatGeneral(e).c_str(), formatGeneral(goal).c_str(), layer.elementCount));

    const bool backwards = layer.arealDensity < 0;
    const double s = backwards ? -1 : 1;
    if (e < 0) return kResultNegativeEnergy;
    if (match == kMatchEnergy && (e - goal) * layer.arealDensity < 0) return kResultWrongDirection;
    // A thickness goal against the direction, or a backwards traversal
    // without a thickness or energy goal, could never end sensibly.
    if (match == kMatchThickness && goal * s < 0) return kResultWrongDirection;
    if (backwards && match != kMatchThickness && match != kMatchEnergy) return kResultWrongDirection;
    if (e == 0) {
        result.exitEnergyPerNucleon = 0;
        result.exitLet = 0;
        result.exitNuclearStopping = 0;
        result.exitTotalStopping = 0;
        return kResultZeroEnergy;
    }

    LayerStopping source;
    const int code = prepareLayerStopping(data, ionAtomicNumber, ionMassU, layer, icompound, trace, options, source);
    if (code != kResultDone) return code;

    double x = 0;  // mg/cm², signed
    double previousLet = 0;
    bool first = true;
    StoppingPowers sp;
    for (;;) {
        sp = layerStopping(source, e * ionMassU * 1000);  // total energy in keV
        trace.writeNumbers(x, e, sp.total);
        if (first) {
            if ((match == kMatchThickness && goal == 0) || (match == kMatchEnergy && e == goal)) {
                result.traversed = 0;
                result.exitEnergyPerNucleon = e;
                result.exitLet = sp.electronic;
                result.exitNuclearStopping = sp.nuclear;
                result.exitTotalStopping = sp.total;
                return kResultDone;
            }
            first = false;
            previousLet = sp.electronic;
        }
        bool reached = false;
        if (match == kMatchThickness) {
            reached = x == goal;
        } else if (match == kMatchLet) {
            reached = (sp.electronic - goal) * (goal - previousLet) >= 0;
        } else if (match == kMatchEnergy) {
            reached = e == goal;
        }
        if (reached || sp.total <= kStoppedLimit || e <= kStoppedLimit || !std::isfinite(e)) break;

        double dE = kStepFraction * e;  // MeV/u
        if (backwards) {
            dE = -dE;
        } else if (e < kWholeRestBelowMeV) {
            dE = e;
        }
        double dX = ionMassU * dE / sp.total;  // mg/cm²
        if (match == kMatchThickness && std::fabs(x) < std::fabs(goal) && std::fabs(goal) < std::fabs(x) + std::fabs(dX)) {
            dX = goal - x;
            dE = dX * sp.total / ionMassU;
            e -= dE;
            x = goal;
        } else if (match == kMatchEnergy && s * e > s * goal && s * (e - dE) < s * goal) {
            dE = e - goal;
            dX = ionMassU * dE / sp.total;
            e = goal;
            x += dX;
        } else {
            e -= dE;
            x += dX;
        }
        previousLet = sp.electronic;
    }

    result.traversed = x;
    result.exitLet = sp.electronic;
    result.exitNuclearStopping = sp.nuclear;
    result.exitEnergyPerNucleon = e > kStoppedLimit && sp.total > kStoppedLimit ? e : 0;
    result.exitTotalStopping = e > kStoppedLimit ? sp.total : 0;
    trace.writeNumbers(result.traversed, result.exitEnergyPerNucleon, result.exitTotalStopping);
    return kResultDone;
}
