#include "beam/Degrader.h"

#include <cmath>
#include <limits>

#include "util/NumberFormat.h"

DegraderThickness computeDegraderThickness(double s, double rDegrees, int foilLimit, double tolerance,
                                           double saturationUm) {
    double foil = saturationUm;
    if (s < tolerance) foil = 0;
    for (int k = 1; k <= foilLimit; ++k) {
        if (std::fabs(s - k) < tolerance) foil = kUmPerMil * std::pow(2.0, k - 1);
    }
    double c = std::cos(rDegrees * kPi / 180);
    double effective = c == 0 ? saturationUm : foil / std::fabs(c);
    return {std::fmin(foil, saturationUm), std::fmin(effective, saturationUm)};
}

double tiltCosine(double tDegrees) {
    const double c = std::fabs(std::cos(tDegrees * kPi / 180));
    return c < 1e-6 ? 0 : c;
}

EffectiveValues effectiveValues(double nominalLet, double nominalRangeUm, double tDegrees) {
    const double c = tiltCosine(tDegrees);
    return {c == 0 ? std::numeric_limits<double>::infinity() : std::fabs(nominalLet / c),
            std::fabs(c * nominalRangeUm)};
}

std::string effectiveLetText(double let) {
    if (std::isinf(let)) return "Infinite!";
    return let == 0 ? "0" : formatBeamValue(let);
}

std::string effectiveRangeText(double rangeUm) {
    return rangeUm == 0 ? "0" : cformat("%.1f", rangeUm);
}
