// Reading the coefficient files: layout, missing files, short, malformed,
// binary and huge-number content.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

#include "EngineFixtures.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"
#include "energyloss/Traversal.h"

namespace {

constexpr double kUntouched = 7.25;  // a value no file below holds

std::unique_ptr<StoppingData> filledWithSentinel() {
    auto data = std::make_unique<StoppingData>();
    for (auto& row : data->coefficients.value) {
        for (double& v : row) v = kUntouched;
    }
    for (auto& row : data->gasCoefficients.value) {
        for (double& v : row) v = kUntouched;
    }
    return data;
}

TEST(CoefficientLoading, RealFilesFillTheDocumentedColumns) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    const auto& t = data->coefficients.value;
    // Silicon row of scoef.95a: "14 28 27.977 28.086 2.3212 4.977E22 .974 4.70 1.33101E00 ..."
    EXPECT_EQ(t[14][0], 14);
    EXPECT_EQ(t[14][3], 28.086);
    EXPECT_EQ(t[14][6], 0.974);
    EXPECT_EQ(t[14][8], 1.33101);
    // Grid row 93 of scoef.95b: q grid ends "1.0 2.0", energy grid "... 7000 10000".
    EXPECT_EQ(t[93][37], 1.0);
    EXPECT_EQ(t[93][38], 2.0);
    EXPECT_EQ(t[93][52], 7000);
    EXPECT_EQ(t[93][53], 10000);
    // Gas file: hydrogen row 1 starts "1 8.990E-05 5.374E19 1.53256E-02".
    EXPECT_EQ(data->gasCoefficients.value[1][0], 1);
    EXPECT_EQ(data->gasCoefficients.value[1][3], 1.53256e-2);
}

TEST(CoefficientLoading, MissingFilesPrintTheirNotFoundLinesAndLeaveTheTables) {
    WorkFolder folder;
    auto data = filledWithSentinel();
    testing::internal::CaptureStdout();
    const CoefficientLoad load = loadStoppingCoefficients(*data);
    EXPECT_EQ(load.file, "scoef.95a");  // the first one missing
    EXPECT_TRUE(load.missing);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\nscoef.95a not found.\n\nscoef.95b not found.\n\nscoefgas.95 not found.\n");
    EXPECT_EQ(data->coefficients.value[14][8], kUntouched);
    EXPECT_EQ(data->coefficients.value[93][53], kUntouched);
    EXPECT_EQ(data->gasCoefficients.value[24][10], kUntouched);
}

TEST(CoefficientLoading, MissingGasFileChangesNothingForSolids) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    const double before = ionStoppingPower(*data, 79, 197, 14, 28.086, 15 * 197 * 1000, 0);
    folder.remove(kGasCoefficientFile);
    auto reloaded = std::make_unique<StoppingData>();
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadStoppingCoefficients(*reloaded).file, "scoefgas.95");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nscoefgas.95 not found.\n");
    EXPECT_EQ(ionStoppingPower(*reloaded, 79, 197, 14, 28.086, 15 * 197 * 1000, 0), before);
}

TEST(CoefficientLoading, EveryLoadRereadsTheFiles) {
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    std::string a = folder.read(kCoefficientFileA);
    a.replace(a.find(" .974 "), 6, " .500 ");
    folder.write(kCoefficientFileA, a);
    EXPECT_TRUE(loadStoppingCoefficients(*data).ok());
    EXPECT_EQ(data->coefficients.value[14][6], 0.5);
}

TEST(CoefficientLoading, ShortFileFillsWhatItHoldsAndSaysWhereItEnds) {
    auto data = filledWithSentinel();
    std::istringstream in("header one\nheader two\n" + std::string("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18"));
    EXPECT_EQ(parseCoefficientFileA(in, data->coefficients), "it ends after 1 of 93 rows.");
    for (int c = 0; c < 16; ++c) EXPECT_EQ(data->coefficients.value[1][c], c + 1);
    EXPECT_EQ(data->coefficients.value[2][0], kUntouched) << "one row per line; the numbers beyond it are ignored";
    EXPECT_EQ(data->coefficients.value[1][16], kUntouched);  // columns of the other file stay as they were
}

TEST(CoefficientLoading, MalformedTokenStopsTheFile) {
    auto data = filledWithSentinel();
    std::istringstream in("h\nh\n1 2 3 x 5 6\n");
    EXPECT_EQ(parseCoefficientFileB(in, data->coefficients), "row 1: number 4 is not a number.");
    EXPECT_EQ(data->coefficients.value[1][16], 1);
    EXPECT_EQ(data->coefficients.value[1][18], 3);
    EXPECT_EQ(data->coefficients.value[1][19], kUntouched);
    EXPECT_EQ(data->coefficients.value[1][20], kUntouched);  // the 5 after the bad token is not read
}

TEST(CoefficientLoading, OverflowingNumberIsMalformed) {
    auto data = filledWithSentinel();
    std::istringstream in("h\nh\n1 2 1e400 4\n");
    EXPECT_EQ(parseGasCoefficientFile(in, data->gasCoefficients), "row 1: number 3 is not a number.");
    EXPECT_EQ(data->gasCoefficients.value[1][1], 2);
    EXPECT_EQ(data->gasCoefficients.value[1][2], kUntouched);
}

TEST(CoefficientLoading, EmptyAndHeaderOnlyFilesChangeNothing) {
    for (const auto& [text, reason] : {std::pair{"", "it is empty."}, {"only one header line", "it ends after 0 of 93 rows."},
                                       {"h\nh\n", "it ends after 0 of 93 rows."},
                                       {"h\nh\n\n", "row 1 holds 0 of 16 numbers."}}) {
        auto data = filledWithSentinel();
        std::istringstream in(text);
        EXPECT_EQ(parseCoefficientFileA(in, data->coefficients), reason) << text;
        EXPECT_EQ(data->coefficients.value[1][0], kUntouched) << text;
    }
}

// Broken data must give a traversal that ends, with finite results.
void expectTraversalEnds(const StoppingData& data) {
    LayerResult result;
    StoppingOptions formulas;
    formulas.mode = CalculationMode::Formulas;
    for (int z1 : {1, 2, 79}) {
        const int code = traverseLayer(data, 2.0 * z1 + 1, z1, 15, 0, kMatchEnergy, 0, silicon(), result, formulas);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(std::isfinite(result.traversed));
        EXPECT_TRUE(std::isfinite(result.exitLet));
        EXPECT_EQ(result.exitEnergyPerNucleon, 0);
    }
}

TEST(CoefficientLoading, AllZeroTablesLeaveOnlyNuclearStopping) {
    WorkFolder folder;
    auto data = std::make_unique<StoppingData>();
    expectTraversalEnds(*data);
    const StoppingPowers s = formulaLayerStopping(*data, 79, 197, silicon(), 15 * 197 * 1000);
    EXPECT_EQ(s.electronic, 0);
    EXPECT_EQ(s.total, s.nuclear);
    EXPECT_GT(s.nuclear, 0);
}

TEST(CoefficientLoading, HugeNumbersEverywhereNeverHang) {
    WorkFolder folder;
    std::string a = "h\nh\n", b = "h\nh\n", g = "h\nh\n";
    for (int i = 1; i <= 93 * 16; ++i) a += i % 16 == 0 ? "1e300\n" : "1e300 ";
    for (int i = 1; i <= 93 * 38; ++i) b += i % 38 == 0 ? "-1e300\n" : "-1e300 ";
    for (int i = 1; i <= 24 * 11; ++i) g += i % 11 == 0 ? "1e-300\n" : "1e-300 ";
    folder.write(kCoefficientFileA, a);
    folder.write(kCoefficientFileB, b);
    folder.write(kGasCoefficientFile, g);
    auto data = std::make_unique<StoppingData>();
    EXPECT_TRUE(loadStoppingCoefficients(*data).ok());
    expectTraversalEnds(*data);
}

TEST(CoefficientLoading, RandomBinaryFilesNeverCrash) {
    WorkFolder folder;
    std::mt19937 random(12345);
    for (int round = 0; round < 5; ++round) {
        for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
            std::string bytes(3000, '\0');
            for (char& c : bytes) c = static_cast<char>(random() & 0xff);
            folder.write(name, bytes);
        }
        auto data = std::make_unique<StoppingData>();
        loadStoppingCoefficients(*data);
        expectTraversalEnds(*data);
    }
}

TEST(CoefficientLoading, RealFilesWithTheirTailsCutOffStillGiveEndingTraversals) {
    WorkFolder folder;
    copyRealCoefficients(folder);
    const std::string a = folder.read(kCoefficientFileA);
    const std::string b = folder.read(kCoefficientFileB);
    for (double keep : {0.1, 0.5, 0.9}) {
        folder.write(kCoefficientFileA, a.substr(0, static_cast<std::size_t>(static_cast<double>(a.size()) * keep)));
        folder.write(kCoefficientFileB, b.substr(0, static_cast<std::size_t>(static_cast<double>(b.size()) * keep)));
        auto data = std::make_unique<StoppingData>();
        loadStoppingCoefficients(*data);
        expectTraversalEnds(*data);
    }
}

}  // namespace
