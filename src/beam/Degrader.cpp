#include <cmath>

#include "beam/Degrader.h"

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
