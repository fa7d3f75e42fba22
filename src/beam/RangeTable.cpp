#include "beam/RangeTable.h"

#include <cmath>

#include "beam/Degrader.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"

namespace {

void writeLine(std::FILE* file, const std::string& line) {
    std::fputs(line.c_str(), file);
    std::fflush(file);
}

// LET / |cos T|; at a tilt of 90 degrees the effective values have no
// meaning and repeat the nominal ones rather than dividing by zero.
double effectiveLetOf(double let, double tiltDegrees) {
    double c = tiltCosine(tiltDegrees);
    return c == 0 ? let : let / c;
}

}  // namespace

RangeTableEnd followIonToRest(const RangeTableSetup& setup, const std::function<void(const RangeRow&)>& onRow,
                              const std::function<void(int code)>& onError) {
    const double cosT = tiltCosine(setup.tiltDegrees);
    const double ionA = setup.ionMassU;

    onRow({setup.entryEnergyPerNucleonMeV, setup.entryEnergyMeV, 0.0, 0.0, setup.entryLet,
           effectiveLetOf(setup.entryLet, setup.tiltDegrees)});

    RangeTableEnd end;
    end.peak = {setup.entryLet, 0, setup.entryEnergyPerNucleonMeV, setup.entryEnergyMeV};
    double e = setup.entryEnergyPerNucleonMeV;
    double depthUm = 0;

    // One traversal down to `goal` (MeV/u); returns the row it ends on.
    auto step = [&](double goal) {
        LayerResult result;
        int code = traverseLayer(*setup.data, ionA, setup.ionAtomicNumber, e, goal, kMatchEnergy, setup.icompound,
                                 setup.layer, result, setup.options);
        if (code != kResultDone) onError(code);
        depthUm += result.traversed * 10 / setup.layer.density;  // mg/cm² to µm
        double let = result.exitLet;
        double effectiveLet = cosT == 0 ? let : std::fabs(let / cosT);
        RangeRow row{result.exitEnergyPerNucleon, result.exitEnergyPerNucleon * ionA, depthUm, cosT * depthUm, let,
                     effectiveLet};
        onRow(row);
        return row;
    };

    double goal = std::trunc(100 * e) / 100 - 0.01;
    while (goal > 0.001) {
        RangeRow row = step(goal);
        if (end.peak.let <= row.let) end.peak = {row.let, 0, row.energyPerNucleonMeV, row.energyMeV};
        // A failed step leaves no exit energy; the next goal then ends the loop.
        e = row.energyPerNucleonMeV;
        goal = e - 0.01;
    }
    step(0.0);

    end.rangeUm = depthUm;
    end.peak.effectiveLet = effectiveLetOf(end.peak.let, setup.tiltDegrees);
    return end;
}

std::string rangeTableTitleLine(const std::string& header, double let, double tiltDegrees, double ionMassU) {
    return header + "   LET = " + formatGeneral(let) + "   eLET = " + formatGeneral(effectiveLetOf(let, tiltDegrees)) +
           "   A = " + formatGeneral(ionMassU) + "\n";
}

std::string rangeTableColumnLine(bool legacy) {
    return std::string("   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)") +
           (legacy ? "   LEGACY CALCULATIONS" : "") + "\n";
}

std::string rangeTableRowLine(const RangeRow& row) {
    return cformat("%8.2f %10.3f %7.1f %7.1f   %#8.4g   %#8.4g\n", row.energyPerNucleonMeV, row.energyMeV, row.depthUm,
                   row.effectiveDepthUm, row.let, row.effectiveLet);
}

std::string rangeTablePeakLine(const RangePeak& peak) {
    return "Highest LET: " + formatGeneral(peak.let) + ",  highest effective LET: " +
           formatGeneral(peak.effectiveLet) + "  at  E = " + formatGeneral(peak.energyPerNucleonMeV) + " MeV/u" +
           "  or  " + formatGeneral(peak.energyMeV) + " MeV\n";
}

std::string rangeTableText(const std::string& header, bool legacy, double tiltDegrees, double ionMassU,
                           const std::vector<RangeRow>& rows, const RangePeak& peak) {
    std::string text = rangeTableTitleLine(header, rows.empty() ? 0 : rows.front().let, tiltDegrees, ionMassU);
    text += '\n';
    text += rangeTableColumnLine(legacy);
    text += '\n';
    for (const RangeRow& row : rows) text += rangeTableRowLine(row);
    text += '\n';
    text += rangeTablePeakLine(peak);
    text += '\n';
    return text;
}

RangeTableEnd writeRangeTableText(std::FILE* out, const std::string& header, bool legacy,
                                  const RangeTableSetup& setup, const std::function<void(int code)>& onError) {
    writeLine(out, rangeTableTitleLine(header, setup.entryLet, setup.tiltDegrees, setup.ionMassU));
    writeLine(out, "\n");
    writeLine(out, rangeTableColumnLine(legacy));
    writeLine(out, "\n");
    RangeTableEnd end =
        followIonToRest(setup, [out](const RangeRow& row) { writeLine(out, rangeTableRowLine(row)); }, onError);
    writeLine(out, "\n");
    writeLine(out, rangeTablePeakLine(end.peak));
    writeLine(out, "\n");
    return end;
}
