#include <cmath>
#include <cstdio>
#include <memory>

#include "app/Console.h"
#include "app/Failure.h"
#include "beam/BeamRecompute.h"
#include "energyloss/CalculationErrors.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void writeLine(std::FILE* file, const std::string& line) {
    std::fputs(line.c_str(), file);
    std::fflush(file);
}

std::string dataRow(double energyPerNucleon, double energyMeV, double depthUm, double effectiveDepthUm, double let,
                    double effectiveLet) {
    return cformat("%8.2f %10.3f %7.1f %7.1f   %#8.4g   %#8.4g\n", energyPerNucleon, energyMeV, depthUm,
                   effectiveDepthUm, let, effectiveLet);
}

}  // namespace

void writeRangeTable(Console& console, const LayerMaterial& layer, int icompound, int legacyFlag) {
    ConsoleState& state = console.state;
    BeamState& beam = state.beam;
    const DialogFields& fields = console.fields;
    const std::string& name = fields.targetSubstrate;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kRangeTableFile, "wb"));
    if (!file) stopProgram(console, "Error opening RangeTable.txt - please fix the problem and restart the program.");

    double t = axisValue(state.axes[kAxisT]);
    double cosT = std::cos(t * kPi / 180);
    double c = std::fabs(cosT);
    // At a tilt of exactly 90 degrees the effective values have no meaning;
    // they repeat the nominal ones rather than dividing by zero.
    auto effective = [c](double let) { return c == 0 ? let : let / c; };

    std::string header = fields.beam + "   at " + fields.energyPerNucleon + " MeV/amu (" + fields.energyMeV +
                         " MeV)   in " + name + " at " + fields.axisValue[kAxisT] + " " + fields.axisUnit[kAxisT];
    writeLine(file.get(), header + "   LET = " + formatGeneral(beam.nominalLet) + "   eLET = " +
                              formatGeneral(effective(beam.nominalLet)) + "   A = " + formatGeneral(beam.ionA) + "\n");
    writeLine(file.get(), "\n");
    writeLine(file.get(), std::string("   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)") +
                              (legacyFlag != 0 ? "   LEGACY CALCULATIONS" : "") + "\n");
    writeLine(file.get(), "\n");
    writeLine(file.get(), dataRow(beam.deviceEnergyPerNucleon, beam.deviceEnergyMeV, 0.0, 0.0, beam.nominalLet,
                                  effective(beam.nominalLet)));

    double peakLet = beam.nominalLet;
    double peakEnergyPerNucleon = beam.deviceEnergyPerNucleon;
    double peakEnergyMeV = beam.deviceEnergyMeV;
    double e = beam.deviceEnergyPerNucleon;
    double depthUm = 0;

    // One step to goal energy `goal`; returns the exit energy per nucleon.
    auto step = [&](double goal) {
        LayerResult result;
        int code = traverseLayer(state.stopping, beam.ionA, beam.ionZ, e, goal, kMatchEnergy, icompound, layer, result);
        reportCalculationError(console.ui, code, name + " range");
        depthUm += result.traversed * 10 / layer.density;
        double let = result.exitLet;
        double eLet = cosT == 0 ? let : std::fabs(let / cosT);
        writeLine(file.get(), dataRow(result.exitEnergyPerNucleon, result.exitEnergyPerNucleon * beam.ionA, depthUm,
                                      std::fabs(cosT * depthUm), let, eLet));
        return std::pair{result.exitEnergyPerNucleon, let};
    };

    double goal = std::trunc(100 * e) / 100 - 0.01;
    while (goal > 0.001) {
        auto [exitEnergy, let] = step(goal);
        if (peakLet <= let) {
            peakLet = let;
            peakEnergyPerNucleon = exitEnergy;
            peakEnergyMeV = exitEnergy * beam.ionA;
        }
        // A failed step leaves no exit energy; the next goal then ends the loop.
        e = exitEnergy;
        goal = e - 0.01;
    }
    step(0.0);
    writeLine(file.get(), "\n");
    writeLine(file.get(), "Highest LET: " + formatGeneral(peakLet) + ",  highest effective LET: " +
                              formatGeneral(effective(peakLet)) + "  at  E = " + formatGeneral(peakEnergyPerNucleon) +
                              " MeV/u" + "  or  " + formatGeneral(peakEnergyMeV) + " MeV\n");
    writeLine(file.get(), "\n");

    beam.nominalRangeUm = depthUm;
    beam.braggEnergyMeV = peakEnergyMeV;
}
