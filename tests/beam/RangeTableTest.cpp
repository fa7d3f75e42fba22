// "RangeTable.txt": title, column line, the entrance row, one row per
// 0.01 MeV/u, the last step to rest, and the peak line, written to the
// character; compared with a table built here from the engine's traversals.

#include <gtest/gtest.h>

#include "BeamFixtures.h"
#include "beam/Degrader.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"

namespace {

struct ExpectedTable {
    std::string text;
    double rangeUm = 0;
    double peakMeV = 0;
    int rows = 0;
};

// Builds the table the console should write for 197Au entering `layer` at
// `energy` MeV/u, straight from traverseLayer with match 3.
class RangeTable : public BeamStation {
protected:
    ExpectedTable expectedTable(const std::string& header, double energy, const LayerMaterial& layer, double tilt,
                                bool legacy) {
        const double cosT = std::cos(tilt * kPi / 180);
        const double c = std::fabs(cosT);
        LayerResult entry = traverse(energy, layer, 0, kMatchThickness);
        const double let = entry.exitLet;
        ExpectedTable t;
        char line[256];
        t.text = header + "   LET = " + streamText(let) + "   eLET = " + streamText(let / c) + "   A = 197\n\n";
        t.text += std::string("   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)") +
                  (legacy ? "   LEGACY CALCULATIONS" : "") + "\n\n";
        auto row = [&](double e, double depth, double l) {
            std::snprintf(line, sizeof line, "%8.2f %10.3f %7.1f %7.1f   %#8.4g   %#8.4g\n", e, e * 197, depth,
                          std::fabs(cosT * depth), l, std::fabs(l / cosT));
            t.text += line;
            ++t.rows;
        };
        row(energy, 0, let);
        double peakLet = let, peakE = energy;
        double e = energy, depth = 0;
        for (double goal = std::trunc(100 * e) / 100 - 0.01; goal > 0.001; goal = e - 0.01) {
            LayerResult r = traverse(e, layer, goal, kMatchEnergy);
            depth += r.traversed * 10 / layer.density;
            row(r.exitEnergyPerNucleon, depth, r.exitLet);
            if (r.exitLet >= peakLet) {
                peakLet = r.exitLet;
                peakE = r.exitEnergyPerNucleon;
            }
            e = r.exitEnergyPerNucleon;
        }
        LayerResult rest = traverse(e, layer, 0, kMatchEnergy);
        depth += rest.traversed * 10 / layer.density;
        row(rest.exitEnergyPerNucleon, depth, rest.exitLet);
        t.text += "\nHighest LET: " + streamText(peakLet) + ",  highest effective LET: " + streamText(peakLet / c) +
                  "  at  E = " + streamText(peakE) + " MeV/u  or  " + streamText(peakE * 197) + " MeV\n\n";
        t.rangeUm = depth;
        t.peakMeV = peakE * 197;
        return t;
    }
};

TEST_F(RangeTable, TiltedSiliconToTheCharacter) {
    writeLayers({siliconLayer("silicon", 0)});
    setAxis(kAxisT, 60);
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());
    ExpectedTable expected =
        expectedTable("Au 2 MeV/u   at 2.00 MeV/amu (394 MeV)   in silicon at 60.000 deg", 2,
                      referenceMaterial(siliconLayer("silicon", 0), 0), 60, true);
    EXPECT_EQ(folder.read("RangeTable.txt"), expected.text);
    EXPECT_EQ(expected.rows, 1 + 199 + 1);
    EXPECT_EQ(console.state.beam.nominalRangeUm, expected.rangeUm);
    EXPECT_EQ(console.state.beam.braggEnergyMeV, expected.peakMeV);

    // At 60 degrees every effective depth is half and every effective LET
    // twice the nominal value.
    std::vector<std::string> lines = linesOf(folder.read("RangeTable.txt"));
    for (std::size_t i = 4; i < lines.size() - 3; ++i) {
        std::istringstream row(lines[i]);
        double e = 0, mev = 0, depth = 0, effectiveDepth = 0, let = 0, effectiveLet = 0;
        row >> e >> mev >> depth >> effectiveDepth >> let >> effectiveLet;
        EXPECT_NEAR(effectiveDepth, depth / 2, 0.051) << lines[i];
        EXPECT_NEAR(effectiveLet, 2 * let, 2 * let * 1e-3) << lines[i];
    }
}

TEST_F(RangeTable, NormalModeHasNoLegacyMarkAndAnIndependentFromUnits) {
    // The substrate given in mg/cm² and normal to the beam; the formulas are
    // used for a target without a table (a two-element layer).
    folder.write("DoLegacyCalculations.dat", "0\n");
    std::string aluminiumTable;
    ASSERT_TRUE(formatSPtable(data(), 79, 197, aluminiumDegrader(), 0, aluminiumTable));
    folder.write(spTableFileName(79, 197, aluminiumDegrader(), 0), aluminiumTable);
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2955\n");
    folder.write("CurrentBeamName.tmp", "Au 15 MeV/u\n");
    LayerText oxide = siliconLayer("quartz", 0, 0);
    oxide.density = 2.2;
    oxide.elements = {{14, 28.086}, {8, 15.999}};
    oxide.unit = 9;
    writeLayers({oxide});
    setAxis(kAxisS, 0);
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());
    std::vector<std::string> lines = linesOf(folder.read("RangeTable.txt"));
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[2], "   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)");
    ExpectedTable expected = expectedTable("Au 15 MeV/u   at 15.00 MeV/amu (2955 MeV)   in quartz at 0.000 deg", 15,
                                           referenceMaterial(oxide, 0), 0, false);
    EXPECT_EQ(folder.read("RangeTable.txt"), expected.text);
}

TEST_F(RangeTable, BelowTwoHundredthsOnlyTheEntranceAndTheRest) {
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2.955\n");
    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    ExpectedTable expected = expectedTable("Au 2 MeV/u   at 0.015 MeV/amu (3 MeV)   in silicon at 0.000 deg", 2.955 / 197,
                                           referenceMaterial(siliconLayer("silicon", 0), 0), 0, true);
    EXPECT_EQ(expected.rows, 2);
    EXPECT_EQ(folder.read("RangeTable.txt"), expected.text);
}

TEST_F(RangeTable, FirstStepGoalIsCutToTheGrid) {
    // 15.005 MeV/u: the first stepped row ends at 14.99, then 14.98.
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2955.985\n");
    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    std::vector<std::string> lines = linesOf(folder.read("RangeTable.txt"));
    ASSERT_GT(lines.size(), 7u);
    EXPECT_EQ(lines[4].substr(0, 8), printfText("%8.2f", 2955.985 / 197));
    EXPECT_EQ(lines[5].substr(0, 8), "   14.99");
    EXPECT_EQ(lines[6].substr(0, 8), "   14.98");
    EXPECT_EQ(lines[lines.size() - 4].substr(0, 19), "    0.00      0.000");
}

}  // namespace
