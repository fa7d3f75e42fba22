// Per-ion tables (file names, lookup, reading) and the choice of the stopping
// source of a layer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>

#include "EngineFixtures.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/ResultCodes.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

LayerMaterial compoundOf(int elements) {
    LayerMaterial layer = siliconCarbide();
    layer.elementCount = elements;
    return layer;
}

struct NameCase {
    const char* name;
    int z1;
    double massU;
    LayerMaterial layer;
    int icompound;
    const char* fileName;
};

class TableFileName : public testing::TestWithParam<NameCase> {};

TEST_P(TableFileName, FollowsMassNumberSymbolAndTargetSuffix) {
    const NameCase& c = GetParam();
    EXPECT_EQ(spTableFileName(c.z1, c.massU, c.layer, c.icompound), c.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableFileName,
    testing::Values(NameCase{"GoldInSilicon", 79, 196.967, silicon(), 0, "197AuSi.inp"},
                    NameCase{"XenonInGalliumArsenide", 54, 128.905, compoundOf(2), 3, "129XeGaAs.inp"},
                    NameCase{"ProtonInAir", 1, 1.008, compoundOf(2), 1, "1HAir.inp"},
                    NameCase{"Neon21Point8IsNeon22", 10, 21.8, aluminiumDegrader(), 0, "22NeAl.inp"},
                    NameCase{"Neon21Point6IsNotStandard", 10, 21.6, aluminiumDegrader(), 0, ""},
                    NameCase{"CarbonIsNotStandard", 6, 12.0, silicon(), 0, ""},
                    NameCase{"Krypton86IsNotStandard", 36, 85.911, silicon(), 0, ""},
                    NameCase{"SiliconCarbideByName", 8, 15.995, siliconCarbide(), 6, "16OSiC.inp"},
                    NameCase{"SiliconCarbideUnderAnotherName", 8, 15.995, siliconCarbide(), 0, ""},
                    NameCase{"SodiumIodide", 67, 164.93, compoundOf(2), 8, "165HoNaI.inp"},
                    NameCase{"IndiumPhosphide", 2, 4.0026, compoundOf(2), 7, "4HeInP.inp"},
                    NameCase{"GermaniumIsNoStandardElement", 79, 196.967, element(32, 72.6, 5.3), 0, ""},
                    NameCase{"Argon36", 18, 35.968, silicon(), 0, "36ArSi.inp"},
                    NameCase{"HugeMassIsNotStandard", 79, 1e300, silicon(), 0, ""}),
    RowName{});

TEST(StandardTargets, LayerNamesSelectCompoundsExactly) {
    EXPECT_EQ(icompoundOfLayerName("air gas"), 1);
    EXPECT_EQ(icompoundOfLayerName("aramica"), 2);
    EXPECT_EQ(icompoundOfLayerName("gallium arsenide"), 3);
    EXPECT_EQ(icompoundOfLayerName("gallium nitride"), 4);
    EXPECT_EQ(icompoundOfLayerName("silicon germanium"), 5);
    EXPECT_EQ(icompoundOfLayerName("silicon carbide"), 6);
    EXPECT_EQ(icompoundOfLayerName("indium phosphide"), 7);
    EXPECT_EQ(icompoundOfLayerName("sodium iodide"), 8);
    EXPECT_EQ(icompoundOfLayerName("Silicon carbide"), 0);
    EXPECT_EQ(icompoundOfLayerName("silicon carbide "), 0);
    EXPECT_EQ(icompoundOfLayerName("silicon"), 0);
}

TEST(StandardTargets, MassNumberRule) {
    EXPECT_EQ(massNumberOf(196.967), 197);
    EXPECT_EQ(massNumberOf(1.008), 1);
    EXPECT_EQ(massNumberOf(21.7), 22);
    EXPECT_EQ(massNumberOf(21.69), 21);
    EXPECT_EQ(massNumberOf(-5), 0);
}

// A table whose ln S rises by 0.1 per pair and whose energies are ln E = 10 + k.
SPtable rampTable() {
    SPtable table;
    for (int k = 0; k < SPtable::kPairs; ++k) {
        table.lnEnergyEv[k] = 10 + k;
        table.lnStopping[k] = 0.1 * k;
    }
    return table;
}

double keVAtLn(double lnEnergyEv) { return std::exp(lnEnergyEv) / 1000; }

TEST(LookUpSPtable, InterpolatesLogarithmsBetweenPairs) {
    const SPtable table = rampTable();
    // ln E = 12.25 lies between pairs 2 and 3: ln S = 0.2 + 0.25·0.1.
    EXPECT_NEAR(lookUpSPtable(table, keVAtLn(12.25)), std::exp(0.225), 1e-12);
    // On a grid point the pair's own value.
    EXPECT_NEAR(lookUpSPtable(table, keVAtLn(15)), std::exp(0.5), 1e-12);
}

TEST(LookUpSPtable, ExtrapolatesOnTheEndPairs) {
    const SPtable table = rampTable();
    // Two units below the first energy, on the pair (0, 1): ln S = −0.2.
    EXPECT_NEAR(lookUpSPtable(table, keVAtLn(8)), std::exp(-0.2), 1e-12);
    // Three units above the last energy (244), on the pair (233, 234): ln S = 23.4 + 0.3.
    EXPECT_NEAR(lookUpSPtable(table, keVAtLn(247)) / std::exp(23.7), 1, 1e-10);
}

TEST(LookUpSPtable, NonIncreasingPairGivesZero) {
    // The bracketing pair found for an energy below the first point is (0, 1),
    // above the last point (233, 234).
    SPtable table = rampTable();
    table.lnEnergyEv[1] = table.lnEnergyEv[0];
    table.lnEnergyEv[234] = table.lnEnergyEv[233] - 1;
    EXPECT_EQ(lookUpSPtable(table, keVAtLn(9)), 0);
    EXPECT_EQ(lookUpSPtable(table, keVAtLn(250)), 0);
    EXPECT_GT(lookUpSPtable(table, keVAtLn(150.5)), 0);
    // A table of zeros (an empty file) gives 0 everywhere.
    EXPECT_EQ(lookUpSPtable(SPtable{}, 1000), 0);
}

TEST(LookUpSPtable, ZeroAndNegativeEnergiesGiveZero) {
    const SPtable table = rampTable();
    EXPECT_EQ(lookUpSPtable(table, 0), 0);
    EXPECT_EQ(lookUpSPtable(table, -1), 0);
}

TEST(ParseSPtable, ReadsPairsEnergyFirstAndCountsThem) {
    std::istringstream in("1 2\n3 4\n5");
    SPtable table;
    table.lnStopping[2] = 9;
    EXPECT_EQ(parseSPtable(in, table), 2);
    EXPECT_EQ(table.lnEnergyEv[1], 3);
    EXPECT_EQ(table.lnStopping[1], 4);
    EXPECT_EQ(table.lnEnergyEv[2], 5);
    EXPECT_EQ(table.lnStopping[2], 9);  // the missing value leaves its slot
}

class SourceChoice : public testing::Test {
protected:
    WorkFolder folder;
    std::unique_ptr<StoppingData> data = loadRealCoefficients(folder);
    TraceFile trace{kTraceFileName};
    LayerStopping source;

    int prepare(int z1, double m1, const LayerMaterial& layer, int icompound, StoppingOptions options = {}) {
        return prepareLayerStopping(*data, z1, m1, layer, icompound, trace, options, source);
    }
    std::string traceText() { return folder.exists(kTraceFileName) ? folder.read(kTraceFileName) : ""; }
    // A constant-stopping table: S = stopping at every energy.
    void writeConstantTable(const std::string& name, double stopping) {
        folder.write(name, tableText(1, 0.1, [&](int) { return std::log(stopping); }));
    }
};

TEST_F(SourceChoice, MissingModeFileGivesCode7EvenWithoutATable) {
    EXPECT_EQ(prepare(6, 12, silicon(), 0), kResultModeFileMissing);
    EXPECT_EQ(prepare(79, 196.967, silicon(), 0), kResultModeFileMissing);
    EXPECT_EQ(traceText(), "");
}

TEST_F(SourceChoice, MissingTableInNormalModeGivesCode5AfterItsTraceLine) {
    folder.write(kCalculationModeFile, "0\n");
    EXPECT_EQ(prepare(54, 128.905, compoundOf(2), 3), kResultTableMissing);
    EXPECT_EQ(traceText(), "icompound=3   iz1=54   rm1=128.905   iUse13=1\n");
}

TEST_F(SourceChoice, ModeFileFlagIsItsFirstIntegerOrZeroAndNothingWhenMissing) {
    EXPECT_EQ(readCalculationModeFlag(), std::nullopt);
    for (const auto& [text, flag] : {std::pair{"1\n", 1}, {"2\n", 2}, {"", 0}, {"legacy\n", 0}, {" 7 1\n", 7}}) {
        folder.write(kCalculationModeFile, text);
        EXPECT_EQ(readCalculationModeFlag(), flag) << text;
    }
}

TEST_F(SourceChoice, EmptyModeFileMeansNormalMode) {
    folder.write(kCalculationModeFile, "");
    EXPECT_EQ(prepare(54, 128.905, compoundOf(2), 3), kResultTableMissing);
}

TEST_F(SourceChoice, LegacyModeUsesTheFormulasAndOpensNoTable) {
    folder.write(kCalculationModeFile, "1\n");
    EXPECT_EQ(prepare(54, 128.905, compoundOf(2), 3), kResultDone);
    EXPECT_FALSE(source.useTable);
    EXPECT_EQ(traceText(), "");
}

TEST_F(SourceChoice, NonStandardIonSilentlyUsesTheFormulas) {
    folder.write(kCalculationModeFile, "0");
    EXPECT_EQ(prepare(10, 21.6, aluminiumDegrader(), 0), kResultDone);
    EXPECT_FALSE(source.useTable);
    EXPECT_EQ(traceText(), "");
}

TEST_F(SourceChoice, ShortTableIsRefusedWithCode5) {
    folder.write(kCalculationModeFile, "0");
    folder.write("197AuSi.inp", "20 3.1\n21 3.2\n");
    EXPECT_EQ(prepare(79, 196.967, silicon(), 0), kResultTableMissing);
}

TEST_F(SourceChoice, ElementTableGivesElectronicStoppingAndAddsNuclear) {
    folder.write(kCalculationModeFile, "0");
    writeConstantTable("197AuSi.inp", 50);
    ASSERT_EQ(prepare(79, 196.967, silicon(), 0), kResultDone);
    ASSERT_TRUE(source.useTable);
    const double energyKeV = 10 * 196.967 * 1000;
    const StoppingPowers s = layerStopping(source, energyKeV);
    const double sn = nuclearStopping(79, 196.967, 14, 28.086, energyKeV);
    EXPECT_NEAR(s.electronic, 50, 1e-12);
    EXPECT_EQ(s.nuclear, sn);
    EXPECT_EQ(s.total, s.electronic + sn);
}

TEST_F(SourceChoice, TheCallersCacheKeepsATableUntilItsFileChangesOrItIsReset) {
    folder.write(kCalculationModeFile, "0");
    StoppingTableCache tables;
    StoppingOptions options;
    options.tables = &tables;
    // ln S as a function of nothing: a constant table, S = e^lnS.
    auto table = [](double lnS) { return tableText(1, 0.1, [lnS](int) { return lnS; }); };
    auto lnElectronic = [&] {
        EXPECT_EQ(prepare(79, 196.967, silicon(), 0, options), kResultDone);
        return std::log(layerStopping(source, 10 * 196.967 * 1000).electronic);
    };
    const auto path = folder.path() / "197AuSi.inp";
    folder.write("197AuSi.inp", table(3.25));
    EXPECT_NEAR(lnElectronic(), 3.25, 1e-12);
    // Rewritten in place with the same size and modification time: the
    // cache cannot tell, and keeps what it read.
    const auto time = std::filesystem::last_write_time(path);
    const auto size = std::filesystem::file_size(path);
    std::ofstream(path, std::ios::trunc) << table(3.75);
    ASSERT_EQ(std::filesystem::file_size(path), size);
    std::filesystem::last_write_time(path, time);
    EXPECT_NEAR(lnElectronic(), 3.25, 1e-12);
    tables.reset();
    EXPECT_NEAR(lnElectronic(), 3.75, 1e-12);
    folder.write("197AuSi.inp", table(3.5));  // another file in its place
    EXPECT_NEAR(lnElectronic(), 3.5, 1e-12);
}

TEST_F(SourceChoice, CompoundTableGivesTotalStoppingAndSubtractsWeightedNuclear) {
    folder.write(kCalculationModeFile, "0");
    writeConstantTable("197AuSiC.inp", 40);
    const LayerMaterial layer = siliconCarbide();
    ASSERT_EQ(prepare(79, 196.967, layer, 6), kResultDone);
    const double energyKeV = 0.05 * 196.967 * 1000;
    const StoppingPowers s = layerStopping(source, energyKeV);
    const double sn = 0.7 * nuclearStopping(79, 196.967, 14, 28.086, energyKeV) +
                      0.3 * nuclearStopping(79, 196.967, 6, 12.011, energyKeV);
    EXPECT_NEAR(s.total, 40, 1e-12);
    EXPECT_NEAR(s.nuclear, sn, 1e-15 * sn);
    EXPECT_EQ(s.electronic, s.total - s.nuclear);
}

TEST_F(SourceChoice, TablesModeReadsFromTheTableFolderWithoutAModeFile) {
    std::filesystem::create_directories(folder.path() / "tables");
    writeConstantTable("tables/197AuSi.inp", 60);
    StoppingOptions options;
    options.mode = CalculationMode::Tables;
    options.tableFolder = "tables";
    ASSERT_EQ(prepare(79, 196.967, silicon(), 0, options), kResultDone);
    EXPECT_TRUE(source.useTable);
    EXPECT_NEAR(layerStopping(source, 1000).electronic, 60, 1e-12);
}

TEST_F(SourceChoice, AirUsesGasCoefficientsForGasElementsOnlyBelowTheDensityLimit) {
    LayerMaterial air;
    air.elementCount = 3;
    const int z[3] = {7, 8, 18};
    const double m[3] = {14.007, 15.999, 39.948};
    const double w[3] = {0.755, 0.232, 0.013};
    for (int i = 0; i < 3; ++i) {
        air.atomicNumber[i] = z[i];
        air.atomicMass[i] = m[i];
        air.massFraction[i] = w[i];
    }
    const double energyKeV = 2 * 84 * 1000;  // 84Kr at 2 MeV/u
    auto braggSum = [&](int gas) {
        double se = 0;
        for (int i = 0; i < 3; ++i) se += w[i] * ionStoppingPower(*data, 36, 84, z[i], m[i], energyKeV, gas);
        return se;
    };
    air.density = 0.0012;
    EXPECT_NEAR(formulaLayerStopping(*data, 36, 84, air, energyKeV).electronic, braggSum(1), 1e-12 * braggSum(1));
    air.density = 2.33;
    EXPECT_NEAR(formulaLayerStopping(*data, 36, 84, air, energyKeV).electronic, braggSum(0), 1e-12 * braggSum(0));
    EXPECT_NE(braggSum(0), braggSum(1));
    air.density = 0.0715;  // the limit itself is not a gas
    EXPECT_NEAR(formulaLayerStopping(*data, 36, 84, air, energyKeV).electronic, braggSum(0), 1e-12 * braggSum(0));
}

TEST_F(SourceChoice, FormulaSumIsMassWeighted) {
    const LayerMaterial layer = siliconCarbide();
    const double energyKeV = 5 * 197 * 1000;
    const double seSi = ionStoppingPower(*data, 79, 197, 14, 28.086, energyKeV, 0);
    const double seC = ionStoppingPower(*data, 79, 197, 6, 12.011, energyKeV, 0);
    const double snSi = nuclearStopping(79, 197, 14, 28.086, energyKeV);
    const double snC = nuclearStopping(79, 197, 6, 12.011, energyKeV);
    const StoppingPowers s = formulaLayerStopping(*data, 79, 197, layer, energyKeV);
    EXPECT_NEAR(s.electronic, 0.7 * seSi + 0.3 * seC, 1e-12 * s.electronic);
    EXPECT_NEAR(s.nuclear, 0.7 * snSi + 0.3 * snC, 1e-12 * s.nuclear);
    EXPECT_NEAR(s.total, 0.7 * (seSi + snSi) + 0.3 * (seC + snC), 1e-12 * s.total);
}

TEST_F(SourceChoice, ElementCountOutsideOneToEightNeverReadsPastTheLayer) {
    LayerMaterial layer = siliconCarbide();
    layer.elementCount = 1000;
    const StoppingPowers many = formulaLayerStopping(*data, 79, 197, layer, 1e6);
    EXPECT_TRUE(std::isfinite(many.total));
    layer.elementCount = -3;
    EXPECT_EQ(formulaLayerStopping(*data, 79, 197, layer, 1e6).total, 0);
}

TEST_F(SourceChoice, WrittenTableReadsBackAsTheFormulas) {
    std::string text;
    ASSERT_TRUE(formatSPtable(*data, 79, 197, silicon(), 0, text));
    folder.write("197AuSi.inp", text);
    folder.write(kCalculationModeFile, "0");
    ASSERT_EQ(prepare(79, 197, silicon(), 0), kResultDone);
    ASSERT_TRUE(source.useTable);
    // On the table's own points the lookup returns the formula (to the 12
    // digits written); between points the log-log interpolation of a smooth
    // curve on a 7 % energy grid stays within 0.5 %.
    for (int k : {0, 100, 200, 234}) {
        const double energyKeV = spTableEnergyPerNucleonMeV(k) * 197 * 1000;
        const double formula = formulaLayerStopping(*data, 79, 197, silicon(), energyKeV).electronic;
        EXPECT_NEAR(layerStopping(source, energyKeV).electronic, formula, 1e-9 * formula) << k;
    }
    for (double e : {0.0137, 0.5, 3.3, 15.0, 40.0}) {
        const double energyKeV = e * 197 * 1000;
        const double formula = formulaLayerStopping(*data, 79, 197, silicon(), energyKeV).electronic;
        EXPECT_NEAR(layerStopping(source, energyKeV).electronic, formula, 5e-3 * formula) << e;
    }
}

TEST(SPtableWriter, HasTheDocumentedGridAndLayout) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    std::string text;
    ASSERT_TRUE(formatSPtable(*data, 2, 4, siliconCarbide(), 6, text));
    std::istringstream in(text);
    SPtable table;
    EXPECT_EQ(parseSPtable(in, table), 235);
    std::string rest;
    EXPECT_FALSE(in >> rest);  // nothing beyond 470 numbers
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 235);
    // First and last energies: 1e-4 and 1000 MeV/u of a 4 u ion, in eV.
    EXPECT_NEAR(table.lnEnergyEv[0], std::log(1e-4 * 4 * 1e6), 1e-10);
    EXPECT_NEAR(table.lnEnergyEv[234], std::log(1e3 * 4 * 1e6), 1e-10);
    // Compound tables hold the total stopping.
    const double energyKeV = spTableEnergyPerNucleonMeV(117) * 4 * 1000;
    EXPECT_NEAR(table.lnStopping[117], std::log(formulaLayerStopping(*data, 2, 4, siliconCarbide(), energyKeV).total),
                1e-10);
}

TEST(SPtableWriter, RefusesToWriteZeroStopping) {
    auto data = std::make_unique<StoppingData>();
    std::string text = "unchanged";
    EXPECT_FALSE(formatSPtable(*data, 79, 197, silicon(), 0, text));
    EXPECT_EQ(text, "unchanged");
}

}  // namespace
