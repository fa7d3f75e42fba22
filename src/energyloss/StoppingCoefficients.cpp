#include "energyloss/StoppingCoefficients.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

// Skips the two header lines, then reads rows firstRow..lastRow, one line
// each, `count` numbers into columns first..first+count-1. The first fault
// stops the reader, so that slot and every later one keep their values; its
// reason is returned ("" for a whole file).
template <int Columns>
std::string parseRows(std::istream& in, double (*table)[Columns], int firstRow, int lastRow, int firstColumn,
                      int count) {
    TokenReader reader(in);
    std::string line;
    if (!reader.readLine(line)) return "it is empty.";
    reader.readLine(line);
    const int rows = lastRow - firstRow + 1;
    for (int row = firstRow; row <= lastRow; ++row) {
        if (!reader.readLine(line)) return cformat("it ends after %d of %d rows.", row - firstRow, rows);
        std::istringstream text(line);
        TokenReader numbers(text);
        for (int k = 0; k < count; ++k) {
            std::string token;
            if (!numbers.readWord(token)) return cformat("row %d holds %d of %d numbers.", row - firstRow + 1, k, count);
            if (!parseReal(token, table[row][firstColumn + k])) {
                return cformat("row %d: number %d is not a number.", row - firstRow + 1, k + 1);
            }
        }
    }
    return "";
}

// Opens one coefficient file; on failure reports its "not found" line and
// hands the parser an empty stream, whose every read fails. Notes the first
// fault in `load`.
template <typename Parse>
void loadFile(const std::string& folder, const char* name, Parse parse, CoefficientLoad& load) {
    std::ifstream file;
    const bool opened = openInput(file, inFolder(folder, name));
    if (!opened) {
        std::string line = std::string("\n") + name + " not found.\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    const std::string reason = parse(file);
    if (!load.ok()) return;
    if (!opened) {
        load.file = name;
        load.missing = true;
    } else if (!reason.empty()) {
        load.file = name;
        load.reason = reason;
    }
}

// Straight-line interpolation of values[first..last] against grid[first..last]
// at x: the bracketing pair found scanning upward; the first pair is extended
// below the grid, the last pair at and above its last-but-one point.
double interpolate(const double* grid, const double* values, int first, int last, double x) {
    int j = first;
    while (j < last - 1 && x >= grid[j + 1]) ++j;
    double width = grid[j + 1] - grid[j];
    if (width == 0) return values[j];  // degenerate grid from a broken file
    return values[j] + (values[j + 1] - values[j]) * (x - grid[j]) / width;
}

// Proton stopping up to 10000 keV/u from coefficients A1..A8 at a[0..7]: the
// low- and high-energy terms combined as Slow·Shigh/(Slow + Shigh), and below
// 10 keV/u the value at 10 keV/u scaled by (E/10)^p.
double lowEnergyProtonStopping(const double* a, int z2, double e1) {
    double ec = e1 > 10 ? e1 : 10;
    double sLow = a[0] * std::pow(ec, a[1]) + a[2] * std::pow(ec, a[3]);
    double sHigh = (a[4] / std::pow(ec, a[5])) * std::log(a[6] / ec + a[7] * ec);
    double s = sLow * sHigh / (sLow + sHigh);
    if (e1 > 10) return s;
    double p = z2 < 7 ? 0.35 : 0.45;
    return s * std::pow(e1 / 10, p);
}

// Above 10000 keV/u: A9..A12 at a[0..3].
double highEnergyProtonStopping(const double* a, double e1) {
    double x = std::log(e1) / e1;
    return a[0] + a[1] * x + a[2] * x * x + a[3] / x;
}

bool validElement(int z) { return z >= 1 && z <= 92; }

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

std::string parseCoefficientFileA(std::istream& in, CoefficientTable& table) {
    return parseRows<CoefficientTable::kColumns>(in, table.value, 1, CoefficientTable::kGridRow, 0, 16);
}

std::string parseCoefficientFileB(std::istream& in, CoefficientTable& table) {
    return parseRows<CoefficientTable::kColumns>(in, table.value, 1, CoefficientTable::kGridRow, 16, 38);
}

std::string parseGasCoefficientFile(std::istream& in, GasCoefficientTable& table) {
    return parseRows<GasCoefficientTable::kColumns>(in, table.value, 1, 24, 0, 11);
}

CoefficientLoad loadStoppingCoefficients(StoppingData& data, const std::string& folder) {
    CoefficientLoad load;
    loadFile(folder, kCoefficientFileA, [&](std::istream& in) { return parseCoefficientFileA(in, data.coefficients); },
             load);
    loadFile(folder, kCoefficientFileB, [&](std::istream& in) { return parseCoefficientFileB(in, data.coefficients); },
             load);
    loadFile(folder, kGasCoefficientFile,
             [&](std::istream& in) { return parseGasCoefficientFile(in, data.gasCoefficients); }, load);
    return load;
}

int gasIndexOf(int z2) {
    for (int i = 0; i < 8; ++i) {
        if (kGasElements[i] == z2) return i + 1;
    }
    return 0;
}

double protonStopping(const StoppingData& data, int z2, double energyPerNucleonKeV) {
    const double e1 = energyPerNucleonKeV;
    if (!(e1 > 0) || !validElement(z2)) return 0;
    const double* row = data.coefficients.value[z2];
    if (e1 > 10000) return highEnergyProtonStopping(row + CoefficientTable::kFirstProtonCoefficient + 8, e1);
    return lowEnergyProtonStopping(row + CoefficientTable::kFirstProtonCoefficient, z2, e1);
}

double gasProtonStopping(const StoppingData& data, int ionGroup, int z2, double energyPerNucleonKeV,
                         int gasIndex) {
    const double e1 = energyPerNucleonKeV;
    if (!(e1 > 0) || !validElement(z2) || gasIndex < 1 || gasIndex > 8) return 0;
    if (e1 > 10000) {
        const double* row = data.coefficients.value[z2];
        return highEnergyProtonStopping(row + CoefficientTable::kFirstProtonCoefficient + 8, e1);
    }
    int offset = ionGroup <= 1 ? 0 : (ionGroup == 2 ? 8 : 16);
    const double* gasRow = data.gasCoefficients.value[offset + gasIndex];
    return lowEnergyProtonStopping(gasRow + GasCoefficientTable::kFirstProtonCoefficient, z2, e1);
}

double ionStoppingPower(const StoppingData& data, int z1, double m1U, int z2, double m2U, double ionEnergyKeV,
                        int gasPhase) {
    if (ionEnergyKeV == 0) return 0;
    if (!validElement(z1) || !validElement(z2)) return 0;
    const int gasIndex = gasPhase == 1 ? gasIndexOf(z2) : 0;
    const double e1 = ionEnergyKeV / m1U;  // keV/u
    auto proton = [&](double e) {
        return gasIndex != 0 ? gasProtonStopping(data, z1, z2, e, gasIndex) : protonStopping(data, z2, e);
    };
    const auto& table = data.coefficients.value;
    const double* grid = table[CoefficientTable::kGridRow];
    auto correction = [&](double e) {  // F of the target's row, argument capped at 9999 keV/u
        return interpolate(grid, table[z2], CoefficientTable::kFirstCorrection, CoefficientTable::kLastCorrection,
                           std::min(e, 9999.0));
    };

    double s = 0;
    if (z1 == 1) {
        s = proton(e1);
    } else if (z1 == 2) {
        const double eh = e1 >= 1 ? e1 : 1;
        const double l = std::log(eh);
        double a = 0.2865 + 0.1266 * l - 0.001429 * l * l + 0.02402 * l * l * l - 0.01135 * std::pow(l, 4) +
                   0.001475 * std::pow(l, 5);
        if (a > 30) a = 30;
        const double boost = 1 + (0.007 + 0.00005 * z2) * std::exp(-(7.6 - l) * (7.6 - l));
        const double gamma2 = (1 - std::exp(-a)) * boost * boost;
        const double sHe = proton(eh) * gamma2 * 4;
        s = e1 > 1 ? sHe : sHe * std::sqrt(e1);
    } else {
        const double vF = table[z2][CoefficientTable::kFermiVelocity];
        const double y = std::sqrt(e1 / 25) / vF;
        double vr = y >= 1 ? y * vF * (1 + 0.2 / (y * y)) : 0.75 * vF * (1 + (2.0 / 3.0) * y * y - std::pow(y, 4) / 15);
        const double zp = std::pow(static_cast<double>(z1), 0.6667);
        const double yrMin = std::max(0.13, 1 / zp);
        double yr = vr / zp;
        yr = std::max(yr, 0.13);
        yr = std::max(yr, 1 / zp);
        double a = 1.3167 * std::pow(yr, 0.6) - 0.803 * std::pow(yr, 0.3) + 0.38157 * yr + 0.008983 * yr * yr;
        if (a > 50) a = 50;
        double q = 1 - std::exp(-a);
        q = std::clamp(q, 0.0, 1.0);
        const double lambda = interpolate(grid, table[z1], CoefficientTable::kFirstScreening,
                                          CoefficientTable::kLastScreening, q);
        const double screening = 4 * lambda * vF / (1.919 * std::pow(static_cast<double>(z1), 0.33333));
        const double zeta0 = q + ((1 - q) / (2 * vF * vF)) * std::log(1 + screening * screening);
        const double lnE = std::max(0.0, std::log(e1));
        const double zeta = zeta0 * (1 + ((0.08 + 0.0015 * z2) / (static_cast<double>(z1) * z1)) *
                                             std::exp(-(7.6 - lnE) * (7.6 - lnE)));
        const double charge2 = (zeta * z1) * (zeta * z1);
        if (yr > yrMin) {
            s = proton(e1) * charge2 * correction(e1);
        } else {
            const double vrMin = std::max(1.0, 0.13 * zp);
            const double vMin = 0.5 * (vrMin + std::sqrt(std::max(0.0, vrMin * vrMin - 0.8 * vF * vF)));
            const double ee = 25 * vMin * vMin;  // keV/u
            double p = 0.47;
            if (z1 == 3) {
                p = 0.55;
            } else if (z2 <= 7 || (z1 < 18 && (z2 == 14 || z2 == 32))) {
                p = 0.375;
            }
            s = proton(ee) * correction(ee) * charge2 * std::pow(e1 / ee, p);
        }
    }
    return finiteOrZero(s * 10 * 0.06022 / m2U);
}

NuclearStoppingFactors nuclearStoppingFactors(int z1, double m1U, int z2, double m2U) {
    NuclearStoppingFactors f;
    if (m2U == 0 || static_cast<double>(z1) * z2 * (m1U + m2U) == 0) return f;
    const double screening = std::pow(static_cast<double>(z1), 0.23) + std::pow(static_cast<double>(z2), 0.23);
    f.reducedPerKeV = 32.53 * m2U / (static_cast<double>(z1) * z2 * (m1U + m2U) * screening);
    f.stoppingScale = 8.462 * z1 * static_cast<double>(z2) * m1U / ((m1U + m2U) * screening) * 10 * 0.06022 / m2U;
    f.zero = !std::isfinite(f.reducedPerKeV) || !std::isfinite(f.stoppingScale);
    return f;
}

double nuclearStopping(const NuclearStoppingFactors& factors, double ionEnergyKeV) {
    const double e = ionEnergyKeV;
    if (factors.zero || !(e > 0)) return 0;
    const double epsilon = factors.reducedPerKeV * e;  // reduced energy
    double sn = 0;
    if (epsilon >= 30) {
        sn = std::log(epsilon) / (2 * epsilon);
    } else {
        sn = std::log(1 + 1.1383 * epsilon) /
             (2 * (epsilon + 0.01321 * std::pow(epsilon, 0.21226) + 0.19593 * std::sqrt(epsilon)));
    }
    return finiteOrZero(factors.stoppingScale * sn);
}

double nuclearStopping(int z1, double m1U, int z2, double m2U, double ionEnergyKeV) {
    if (!(ionEnergyKeV > 0)) return 0;
    return nuclearStopping(nuclearStoppingFactors(z1, m1U, z2, m2U), ionEnergyKeV);
}
