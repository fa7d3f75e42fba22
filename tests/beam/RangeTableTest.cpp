// "RangeTable.txt": title, column line, the entrance row, one row per
// 0.01 MeV/u, the last step to rest, and the peak line, written to the
// character; compared with the tables in expected/, written once by the
// independent recomputation (reference/make_range_tables.py, the command line
// is in it) for this fixture's station.

#include <gtest/gtest.h>

#include "BeamFixtures.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"

namespace {

std::string expectedTable(const std::string& name) {
    return fileContent(std::string(TARVEX_SOURCE_DIR) + "/tests/beam/expected/" + name);
}

using RangeTable = BeamStation;

TEST_F(RangeTable, TiltedSiliconToTheCharacter) {
    writeLayers({siliconLayer("silicon", 0)});
    setAxis(kAxisT, 60);
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());
    const std::string expected = expectedTable("tilted-silicon.txt");
    EXPECT_EQ(folder.read("RangeTable.txt"), expected);
    // Four lines above the rows, three below; rows at 2.00, 1.99 ... 0.01 and 0.00.
    EXPECT_EQ(linesOf(expected).size(), 4u + 1 + 199 + 1 + 3);
    // The last row's depth (29.4 um), and the peak line's "at E = 2 MeV/u":
    // the entrance, 2 * 197 MeV.
    EXPECT_NEAR(console.state.beam.nominalRangeUm, 29.4, 0.05);
    EXPECT_DOUBLE_EQ(console.state.beam.braggEnergyMeV, 394);

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
    EXPECT_EQ(folder.read("RangeTable.txt"), expectedTable("quartz-normal-mode.txt"));
}

TEST_F(RangeTable, BelowTwoHundredthsOnlyTheEntranceAndTheRest) {
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2.955\n");
    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    const std::string expected = expectedTable("below-two-hundredths.txt");
    EXPECT_EQ(linesOf(expected).size(), 4u + 2 + 3);
    EXPECT_EQ(folder.read("RangeTable.txt"), expected);
}

TEST_F(RangeTable, FirstStepGoalIsCutToTheGrid) {
    // 15.005 MeV/u: the first stepped row ends at 14.99, then 14.98.
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2955.985\n");
    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    std::vector<std::string> lines = linesOf(folder.read("RangeTable.txt"));
    ASSERT_GT(lines.size(), 7u);
    EXPECT_EQ(lines[4].substr(0, 8), "   15.01");
    EXPECT_EQ(lines[5].substr(0, 8), "   14.99");
    EXPECT_EQ(lines[6].substr(0, 8), "   14.98");
    EXPECT_EQ(lines[lines.size() - 4].substr(0, 19), "    0.00      0.000");
}

}  // namespace
