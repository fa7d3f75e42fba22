// Branch points of the single-element stopping formulas, checked against
// values worked out by hand with the coefficients in hand, and against
// expected/stopping.txt, written once by the independent transcriptions
// (make_expected_stopping.py has the command line).

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EngineFixtures.h"
#include "energyloss/StoppingCoefficients.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

// Results that follow from the same arithmetic in another order agree to a
// few units in the last place; 1e-12 relative leaves room for that and for
// pow/exp rounding, while any branch or exponent mistake is far larger.
constexpr double kRelative = 1e-12;

void expectRelative(double actual, double expected, double relative = kRelative) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * relative) << "actual " << actual << " expected " << expected;
}

constexpr double kToMeVcm2mg = 10 * 0.06022;  // eV/(1e15 atoms/cm²) → MeV·cm²/mg, times 1/M2

struct ExpectedStopping {
    int z1 = 0;
    double m1 = 0;
    int z2 = 0;
    double m2 = 0;
    double energyKeV = 0;
    int gas = 0;
    double value = 0;
};

// The lines of expected/stopping.txt of one kind.
std::vector<ExpectedStopping> expectedStopping(const std::string& kind) {
    std::ifstream in(std::string(TARVEX_SOURCE_DIR) + "/tests/energyloss/expected/stopping.txt");
    std::vector<ExpectedStopping> rows;
    std::string k;
    ExpectedStopping r;
    while (in >> k >> r.z1 >> r.m1 >> r.z2 >> r.m2 >> r.energyKeV >> r.gas >> r.value) {
        if (k == kind) rows.push_back(r);
    }
    return rows;
}

class RealCoefficients : public testing::Test {
protected:
    WorkFolder folder;
    std::unique_ptr<StoppingData> data = loadRealCoefficients(folder);
};

TEST_F(RealCoefficients, ProtonsAtTenKeVPerNucleonTakeTheLowBranchWithFactorOne) {
    // Just above 10 keV/u the plain fit applies; at 10 the factor (10/10)^p is 1.
    const double at10 = protonStopping(*data, 14, 10);
    const double justAbove = protonStopping(*data, 14, 10 * (1 + 1e-12));
    expectRelative(at10, justAbove, 1e-9);
}

struct LowProtonCase {
    const char* name;
    int z2;
    double exponent;
};

class LowEnergyProtonExponent : public RealCoefficients, public testing::WithParamInterface<LowProtonCase> {};

TEST_P(LowEnergyProtonExponent, NineKeVIsTenKeVTimesNineTenthsToTheTargetExponent) {
    const LowProtonCase& c = GetParam();
    expectRelative(protonStopping(*data, c.z2, 9), protonStopping(*data, c.z2, 10) * std::pow(0.9, c.exponent));
}

INSTANTIATE_TEST_SUITE_P(Targets, LowEnergyProtonExponent,
                         testing::Values(LowProtonCase{"Carbon", 6, 0.35}, LowProtonCase{"Lithium", 3, 0.35},
                                         LowProtonCase{"Nitrogen", 7, 0.45}, LowProtonCase{"Silicon", 14, 0.45}),
                         RowName{});

TEST(ProtonStopping, ZeroAndNegativeEnergiesGiveZero) {
    auto data = std::make_unique<StoppingData>();
    for (int c = 8; c < 20; ++c) data->coefficients.value[14][c] = 1;
    EXPECT_EQ(protonStopping(*data, 14, 0), 0);
    EXPECT_EQ(protonStopping(*data, 14, -5), 0);
    EXPECT_EQ(gasProtonStopping(*data, 1, 7, -5, 3), 0);
}

TEST(ProtonStopping, FollowsTheFitWithHandPickedCoefficients) {
    auto data = std::make_unique<StoppingData>();
    const double a[12] = {1, 0.5, 2, 0.25, 100, 1, 1000, 0.01, 5, 2, 3, 4};
    for (int i = 0; i < 12; ++i) data->coefficients.value[7][8 + i] = a[i];
    // E1 = 100: S_low = 100^0.5 + 2·100^0.25, S_high = (100/100)·ln(1000/100 + 0.01·100) = ln 11.
    const double sLow = 10 + 2 * std::sqrt(10.0);
    const double sHigh = std::log(11.0);
    expectRelative(protonStopping(*data, 7, 100), sLow * sHigh / (sLow + sHigh));
    // E1 = 20000: only A9..A12, x = ln(E1)/E1.
    const double x = std::log(20000.0) / 20000;
    expectRelative(protonStopping(*data, 7, 20000), 5 + 2 * x + 3 * x * x + 4 / x);
}

TEST(GasProtonStopping, UsesTheGasRowOfTheIonGroupBelowAndTheElementRowAbove10000) {
    auto data = std::make_unique<StoppingData>();
    const double element[12] = {1, 0.5, 2, 0.25, 100, 1, 1000, 0.01, 5, 2, 3, 4};
    for (int i = 0; i < 12; ++i) data->coefficients.value[7][8 + i] = element[i];
    // Nitrogen is gas index 3: rows 3 (H), 11 (He), 19 (heavier). Give each a different A1.
    for (int row : {3, 11, 19}) {
        const double gas[8] = {static_cast<double>(row), 0.5, 2, 0.25, 100, 1, 1000, 0.01};
        for (int i = 0; i < 8; ++i) data->gasCoefficients.value[row][3 + i] = gas[i];
    }
    const double sHigh = std::log(11.0);
    for (auto [group, row] : {std::pair{1, 3}, std::pair{2, 11}, std::pair{3, 19}, std::pair{54, 19}}) {
        const double sLow = row * 10 + 2 * std::sqrt(10.0);
        expectRelative(gasProtonStopping(*data, group, 7, 100, 3), sLow * sHigh / (sLow + sHigh));
    }
    // At 9 keV/u the low-energy factor is chosen by Z2 (7 → 0.45).
    const double sLow10 = 19 * std::sqrt(10.0) + 2 * std::pow(10.0, 0.25);
    const double sHigh10 = 100 / 10.0 * std::log(100 + 0.1);
    expectRelative(gasProtonStopping(*data, 3, 7, 9, 3), sLow10 * sHigh10 / (sLow10 + sHigh10) * std::pow(0.9, 0.45));
    // Above 10000 keV/u: A9..A12 of the element row, for gases too.
    expectRelative(gasProtonStopping(*data, 3, 7, 20000, 3), protonStopping(*data, 7, 20000));
}

TEST_F(RealCoefficients, GasTargetsUseElementRowAbove10000AndGasRowsBelow) {
    const double m1 = 1.008;
    // Nitrogen target, protons: same above 10000 keV/u with and without the gas flag.
    const double high = 20000 * m1;
    EXPECT_EQ(ionStoppingPower(*data, 1, m1, 7, 14.007, high, 1), ionStoppingPower(*data, 1, m1, 7, 14.007, high, 0));
    const double low = 500 * m1;
    EXPECT_NE(ionStoppingPower(*data, 1, m1, 7, 14.007, low, 1), ionStoppingPower(*data, 1, m1, 7, 14.007, low, 0));
    // The gas flag is ignored for an element that has no gas-phase coefficients.
    EXPECT_EQ(ionStoppingPower(*data, 1, m1, 14, 28.086, low, 1), ionStoppingPower(*data, 1, m1, 14, 28.086, low, 0));
    // Protons: the electronic stopping is the proton stopping converted to MeV·cm²/mg.
    expectRelative(ionStoppingPower(*data, 1, m1, 7, 14.007, low, 1),
                   gasProtonStopping(*data, 1, 7, 500, 3) * kToMeVcm2mg / 14.007);
}

TEST_F(RealCoefficients, HeliumAtOneKeVPerNucleonFollowsTheEffectiveChargeFormula) {
    const std::vector<ExpectedStopping> rows = expectedStopping("real");
    ASSERT_EQ(rows.size(), 1u);
    const ExpectedStopping& r = rows[0];
    EXPECT_EQ(r.z1, 2);
    EXPECT_EQ(r.energyKeV, r.m1);  // 1 keV/u
    expectRelative(ionStoppingPower(*data, r.z1, r.m1, r.z2, r.m2, r.energyKeV, r.gas), r.value);
}

TEST_F(RealCoefficients, HeliumBelowOneKeVPerNucleonScalesWithTheSquareRootOfEnergy) {
    const double m1 = 4.0026;
    const double at1 = ionStoppingPower(*data, 2, m1, 14, 28.086, 1 * m1, 0);
    expectRelative(ionStoppingPower(*data, 2, m1, 14, 28.086, 0.25 * m1, 0), at1 * 0.5);
    expectRelative(ionStoppingPower(*data, 2, m1, 6, 12.011, 0.25 * m1, 0),
                   ionStoppingPower(*data, 2, m1, 6, 12.011, 1 * m1, 0) * 0.5);
}

struct LowVelocityCase {
    const char* name;
    int z1;
    int z2;
    double exponent;
};

class LowVelocityExponent : public RealCoefficients, public testing::WithParamInterface<LowVelocityCase> {};

// Below 1 keV/u every factor but (E1/Ee)^p is the same at both energies (the
// ζ Gaussian term is e^(-57.76) ≈ 1e-25), so the ratio shows the exponent.
TEST_P(LowVelocityExponent, RatioOfTwoSlowEnergiesShowsTheExponent) {
    const LowVelocityCase& c = GetParam();
    const double m1 = 2.0 * c.z1;
    const double slow = ionStoppingPower(*data, c.z1, m1, c.z2, 50, 0.2 * m1, 0);
    const double slower = ionStoppingPower(*data, c.z1, m1, c.z2, 50, 0.8 * m1, 0);
    ASSERT_GT(slow, 0);
    expectRelative(slower / slow, std::pow(4.0, c.exponent), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, LowVelocityExponent,
    testing::Values(LowVelocityCase{"LithiumInGold", 3, 79, 0.55}, LowVelocityCase{"LithiumInCarbon", 3, 6, 0.55},
                    LowVelocityCase{"OxygenInCarbon", 8, 6, 0.375}, LowVelocityCase{"OxygenInSilicon", 8, 14, 0.375},
                    LowVelocityCase{"ChlorineInGermanium", 17, 32, 0.375},
                    LowVelocityCase{"ArgonInSilicon", 18, 14, 0.47},
                    LowVelocityCase{"KryptonInGermanium", 36, 32, 0.47},
                    LowVelocityCase{"OxygenInCopper", 8, 29, 0.47}),
    RowName{});

// A synthetic table in which the correction and screening tables are easy to
// reason about: every F is 1, every Λ is 0.5, grid of the real files.
class SyntheticTables : public testing::Test {
protected:
    void SetUp() override {
        auto& t = data->coefficients.value;
        const double qGrid[18] = {0, 0.05, 0.1, 0.15, 0.2, 0.3, 0.4, 0.5, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95, 1, 2};
        const double eGrid[14] = {0, 10, 20, 50, 70, 100, 200, 500, 700, 1000, 2000, 5000, 7000, 10000};
        for (int c = 0; c < 18; ++c) t[93][21 + c] = qGrid[c];
        for (int c = 0; c < 14; ++c) t[93][40 + c] = eGrid[c];
        const double a[12] = {1, 0.5, 2, 0.25, 100, 1, 1000, 0.01, 5, 2, 3, 4};
        for (int z = 1; z <= 92; ++z) {
            t[z][6] = 1.0;  // vF
            for (int i = 0; i < 12; ++i) t[z][8 + i] = a[i];
            for (int c = 21; c <= 38; ++c) t[z][c] = 0.5;
            for (int c = 40; c <= 53; ++c) t[z][c] = 1.0;
        }
    }
    double oxygenInSilicon(double e1) { return ionStoppingPower(*data, 8, 16, 14, 28.086, e1 * 16, 0); }
    double goldInSilicon(double e1) { return ionStoppingPower(*data, 79, 197, 14, 28.086, e1 * 197, 0); }

    std::unique_ptr<StoppingData> data = std::make_unique<StoppingData>();
};

TEST_F(SyntheticTables, CorrectionFactorIsCappedAt9999OnTheLastPair) {
    const double base20000 = goldInSilicon(20000);
    const double base50000 = goldInSilicon(50000);
    data->coefficients.value[14][53] = 2.0;  // F at 10000 keV/u of the target
    // F(9999) on the pair (7000, 10000): 1 + (2 − 1)·2999/3000, whatever the energy above.
    const double f9999 = 1 + 2999.0 / 3000.0;
    expectRelative(goldInSilicon(20000) / base20000, f9999);
    expectRelative(goldInSilicon(50000) / base50000, f9999);
}

TEST_F(SyntheticTables, CorrectionFactorIsExtendedOnTheFirstPairBelowTheGrid) {
    const double base = oxygenInSilicon(50);
    auto& t = data->coefficients.value;
    t[93][40] = 100;  // grid now starts at 100 keV/u with the pair (100, 200)
    t[93][41] = 200;
    t[14][40] = 1;
    t[14][41] = 2;
    // F(50) = 1 + (2 − 1)·(50 − 100)/100 = 0.5.
    expectRelative(oxygenInSilicon(50) / base, 0.5);
}

TEST_F(SyntheticTables, CorrectionTableIsIndexedByTheTargetRow) {
    const double base = oxygenInSilicon(3000);
    for (int c = 40; c <= 53; ++c) data->coefficients.value[8][c] = 3.0;  // the ion's row
    EXPECT_EQ(oxygenInSilicon(3000), base);
    for (int c = 40; c <= 53; ++c) data->coefficients.value[14][c] = 3.0;  // the target's row
    expectRelative(oxygenInSilicon(3000), base * 3);
}

TEST_F(SyntheticTables, ScreeningTableIsIndexedByTheIonRow) {
    const double base = oxygenInSilicon(3000);
    for (int c = 21; c <= 38; ++c) data->coefficients.value[14][c] = 2.0;  // the target's row
    EXPECT_EQ(oxygenInSilicon(3000), base);
    for (int c = 21; c <= 38; ++c) data->coefficients.value[8][c] = 2.0;  // the ion's row
    EXPECT_NE(oxygenInSilicon(3000), base);
}

TEST_F(SyntheticTables, HeavyIonNormalPathFollowsTheEffectiveChargeFormula) {
    // O in Si at 3000 keV/u, vF = 1, Λ = 0.5 everywhere, F = 1.
    const std::vector<ExpectedStopping> rows = expectedStopping("synthetic");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].energyKeV, 3000 * 16);
    expectRelative(oxygenInSilicon(3000), rows[0].value, 1e-10);
}

TEST(IonStoppingPower, OutOfRangeIonsTargetsAndZeroEnergyGiveZero) {
    auto data = std::make_unique<StoppingData>();
    for (int z = 1; z <= 93; ++z) {
        for (int c = 0; c < 54; ++c) data->coefficients.value[z][c] = 1;
    }
    EXPECT_EQ(ionStoppingPower(*data, 79, 197, 14, 28.086, 0, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, 0, 1, 14, 28.086, 100, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, -3, 1, 14, 28.086, 100, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, 93, 240, 14, 28.086, 100, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, 1000000, 240, 14, 28.086, 100, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, 79, 197, 0, 1, 100, 0), 0);
    EXPECT_EQ(ionStoppingPower(*data, 79, 197, 93, 1, 100, 0), 0);
}

TEST(IonStoppingPower, AllZeroCoefficientsGiveZeroNotNaN) {
    auto data = std::make_unique<StoppingData>();
    for (int z1 : {1, 2, 8, 79}) {
        const double s = ionStoppingPower(*data, z1, 2.0 * z1, 14, 28.086, 1000, 0);
        EXPECT_EQ(s, 0) << "Z1 " << z1;
    }
}

TEST(NuclearStopping, FollowsTheUniversalFormulaInBothBranches) {
    // Au in Si at 10 keV, 1e4, 3e6 and 1e8 keV, then just above and just
    // below ε = 30, where the branch switches (the two forms differ by about
    // 1 % there).
    const std::vector<ExpectedStopping> rows = expectedStopping("nuclear");
    ASSERT_EQ(rows.size(), 6u);
    for (const ExpectedStopping& r : rows) {
        expectRelative(nuclearStopping(r.z1, r.m1, r.z2, r.m2, r.energyKeV), r.value, 1e-10);
    }
    expectRelative(rows[4].value / rows[5].value, 0.99, 0.005);
}

TEST(NuclearStopping, DegenerateInputsGiveZero) {
    EXPECT_EQ(nuclearStopping(79, 197, 14, 28.086, 0), 0);
    EXPECT_EQ(nuclearStopping(79, 197, 14, 28.086, -1), 0);
    EXPECT_EQ(nuclearStopping(79, 197, 14, 0, 100), 0);
    EXPECT_EQ(nuclearStopping(0, 197, 14, 28.086, 100), 0);
    EXPECT_EQ(nuclearStopping(79, 0, 14, 0, 100), 0);
    EXPECT_EQ(nuclearStopping(-79, 197, 14, 28.086, 100), 0);  // no NaN from a negative base
}

}  // namespace
