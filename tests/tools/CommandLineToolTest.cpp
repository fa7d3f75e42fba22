// tarvex-let as a physicist uses it, and the cross-check of the formulas
// against the independent reference in reference_stopping.py.

#include <gtest/gtest.h>

#include "support/ToolRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "energyloss/EngineFixtures.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StoppingCoefficients.h"
#include "beam/BeamRuns.h"
#include "support/CaseNames.h"
#include "support/ExposureRuns.h"
#include "util/TokenReader.h"

namespace {

using case_names::PrintTo;  // rows print as their names

std::string toolPath() {
    return siblingProgram("tarvex-let");
}

std::string referenceScript() { return std::string(TARVEX_SOURCE_DIR) + "/tests/energyloss/reference_stopping.py"; }

double reference(int z1, double m1, int z2, double m2, double eMeVPerU, int gas) {
    const ToolRun run = runCommand("python3 " + shellQuoted(referenceScript()) + " " + shellQuoted(stoppingDataFolder()) + " " +
                               std::to_string(z1) + " " + cformat("%.17g", m1) + " " + std::to_string(z2) + " " +
                               cformat("%.17g", m2) + " " + cformat("%.17g", eMeVPerU) + " " + std::to_string(gas));
    double value = -1;
    std::string text = run.out;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    EXPECT_TRUE(parseReal(text, value)) << run.out << run.err;
    return value;
}

class Tool : public testing::Test {
public:
    ToolRun let(const std::string& arguments) {
        return runCommand(shellQuoted(tool) + " " + arguments + " --data " + shellQuoted(stoppingDataFolder()));
    }

protected:
    void SetUp() override {
        tool = toolPath();
        if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    }
    WorkFolder folder;
    std::string tool;
};

// Six significant digits: the printed value ("%g") must equal the reference
// rounded to six digits.
TEST_F(Tool, GoldInSiliconAt15MeVPerNucleonMatchesTheIndependentReference) {
    if (!havePython()) GTEST_SKIP() << "python3 not available";
    const ToolRun run = let("stopping --ion 197Au --element Si --csv 15");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Header, then "15,Se,Sn,St".
    const std::string row = run.out.substr(run.out.find('\n') + 1);
    const std::string se = row.substr(3, row.find(',', 3) - 3);
    const double expected = reference(79, 197, 14, 28.086, 15, 0);
    EXPECT_EQ(se, cformat("%.6g", expected));
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "E_MeV_per_u,Se_MeV_cm2_per_mg,Sn_MeV_cm2_per_mg,St_MeV_cm2_per_mg");
}

struct ReferenceCase {
    const char* name;
    int z1;
    double m1;
    int z2;
    double m2;
    double eMeVPerU;
    int gas;
};

class AgainstReference : public testing::TestWithParam<ReferenceCase> {};

// Both sides evaluate the same formulas in double precision; only the order of
// a few operations differs, so 1e-9 relative is ample and any branch,
// constant or exponent slip shows.
TEST_P(AgainstReference, EngineAgreesWithTheIndependentReference) {
    if (!havePython()) GTEST_SKIP() << "python3 not available";
    const ReferenceCase& c = GetParam();
    WorkFolder folder;
    auto data = loadRealCoefficients(folder);
    const double expected = reference(c.z1, c.m1, c.z2, c.m2, c.eMeVPerU, c.gas);
    const double actual = ionStoppingPower(*data, c.z1, c.m1, c.z2, c.m2, c.eMeVPerU * c.m1 * 1000, c.gas);
    EXPECT_NEAR(actual, expected, 1e-9 * std::fabs(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AgainstReference,
    testing::Values(ReferenceCase{"GoldSilicon15", 79, 196.967, 14, 28.086, 15, 0},
                    ReferenceCase{"GoldSilicon40AboveTheHighEnergySwitch", 79, 196.967, 14, 28.086, 40, 0},
                    ReferenceCase{"GoldSiliconSlow", 79, 196.967, 14, 28.086, 0.002, 0},
                    ReferenceCase{"XenonArsenic3", 54, 128.905, 33, 74.922, 3, 0},
                    ReferenceCase{"KryptonNitrogenGas", 36, 83.912, 7, 14.007, 0.7, 1},
                    ReferenceCase{"ArgonArgonGasHigh", 18, 39.962, 18, 39.948, 25, 1},
                    ReferenceCase{"LithiumGold", 3, 7.016, 79, 196.967, 0.0005, 0},
                    ReferenceCase{"HeliumSilicon", 2, 4.0026, 14, 28.086, 0.0003, 0},
                    ReferenceCase{"HeliumOxygenGas", 2, 4.0026, 8, 15.999, 2, 1},
                    ReferenceCase{"ProtonAluminium", 1, 1.008, 13, 26.982, 0.005, 0},
                    ReferenceCase{"ProtonHydrogenGas", 1, 1.008, 1, 1.008, 0.3, 1},
                    ReferenceCase{"NeonCopper", 10, 21.991, 29, 63.546, 9.999, 0}),
    RowName{});

// The ends of the stopping data are inside it; at 1000 MeV/u the electronic
// stopping is the reference's.
TEST_F(Tool, StoppingTakesTheEndsOfTheData) {
    const ToolRun run = let("stopping --ion 197Au --element Si --csv 0.0001 1000");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::istringstream rows(run.out);
    std::string header, low, high, extra;
    std::getline(rows, header);
    std::getline(rows, low);
    std::getline(rows, high);
    EXPECT_FALSE(std::getline(rows, extra)) << run.out;
    EXPECT_EQ(low.rfind("0.0001,", 0), 0u) << run.out;
    ASSERT_EQ(high.rfind("1000,", 0), 0u) << run.out;
    if (!havePython()) GTEST_SKIP() << "python3 not available";
    EXPECT_EQ(high.substr(5, high.find(',', 5) - 5), cformat("%.6g", reference(79, 197, 14, 28.086, 1000, 0)));
}

TEST_F(Tool, StoppingTextOutputNamesUnitsInItsHeader) {
    const ToolRun run = let("stopping --ion 84Kr --mass 83.912 --element Al 1 10");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("E (MeV/u)"), std::string::npos);
    EXPECT_NE(run.out.find("Se (MeV·cm²/mg)"), std::string::npos);
    EXPECT_NE(run.out.find("83.912 u"), std::string::npos);
}

struct BadArgumentCase {
    const char* name;
    const char* arguments;
    const char* named;  // the argument the error must name
};

class BadArguments : public Tool, public testing::WithParamInterface<BadArgumentCase> {};

TEST_P(BadArguments, AreRejectedWithOneLineNamingTheArgument) {
    const BadArgumentCase& c = GetParam();
    const ToolRun run = let(c.arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadArguments,
    testing::Values(BadArgumentCase{"UnknownIonSymbol", "stopping --ion 12Xy --element Si 1", "--ion"},
                    BadArgumentCase{"IonWithoutMassNumber", "stopping --ion Au --element Si 1", "--ion"},
                    BadArgumentCase{"UnknownElement", "stopping --ion 197Au --element Qq 1", "--element"},
                    BadArgumentCase{"MalformedEnergy", "stopping --ion 197Au --element Si 1,5", "1,5"},
                    BadArgumentCase{"MalformedMass", "stopping --ion 197Au --mass 19x --element Si 1", "--mass"},
                    BadArgumentCase{"UnknownOption", "stopping --ion 197Au --element Si --fast 1", "--fast"},
                    BadArgumentCase{"MissingLayerFile", "stopping --ion 197Au --layer nowhere.lay 1", "--layer"},
                    BadArgumentCase{"NonStandardIonTable", "sptable --ion 12C --element Si", "--ion"},
                    BadArgumentCase{"NonStandardTargetTable", "sptable --ion 197Au --element Ge", "--element"},
                    BadArgumentCase{"MassAgainstMassNumber", "sptable --ion 197Au --mass 150 --element Si", "--mass"},
                    BadArgumentCase{"TraverseWithoutGoal", "traverse --ion 197Au --element Si --energy 15",
                                    "--thickness"},
                    BadArgumentCase{"MalformedThickness",
                                    "traverse --ion 197Au --element Si --energy 15 --thickness 1e999", "--thickness"},
                    BadArgumentCase{"UnknownThicknessUnit",
                                    "traverse --ion 197Au --element Si --energy 15 --thickness 10furlong", "'furlong'"},
                    BadArgumentCase{"ThicknessUnitWithoutNumber",
                                    "traverse --ion 197Au --element Si --energy 15 --thickness um", "--thickness"},
                    BadArgumentCase{"NegativeThickness",
                                    "traverse --ion 197Au --element Si --energy 15 --thickness -2mil", "--thickness"},
                    // Energies outside the stopping data, 0.0001 to 1000 MeV/u, refused before any row.
                    BadArgumentCase{"StoppingEnergyFarAboveTheData", "stopping --ion 197Au --element Si 15 1e6",
                                    "tarvex-let: energy '1e6': must be at least 0.0001 and at most 1000 MeV/u\n"},
                    BadArgumentCase{"StoppingEnergyJustAboveTheData", "stopping --ion 197Au --element Si 15 1000.5",
                                    "tarvex-let: energy '1000.5': must be at least 0.0001 and at most 1000 MeV/u\n"},
                    BadArgumentCase{"StoppingEnergyBelowTheData", "stopping --ion 197Au --element Si 0.00005 15",
                                    "tarvex-let: energy '0.00005': must be at least 0.0001 and at most 1000 MeV/u\n"},
                    BadArgumentCase{"TraverseEnergyAboveTheData",
                                    "traverse --ion 197Au --element Si --energy 2000 --thickness 10",
                                    "tarvex-let: --energy '2000': must be at least 0.0001 and at most 1000 MeV/u\n"},
                    BadArgumentCase{"TraverseGoalEnergyAboveTheData",
                                    "traverse --ion 197Au --element Si --energy 900 --to-energy 1500 --backwards",
                                    "tarvex-let: --to-energy '1500': must be at least 0.0001 and at most 1000 MeV/u\n"},
                    BadArgumentCase{"TraceOutsideTraverse", "stopping --ion 197Au --element Si --trace t.txt 15",
                                    "--trace"},
                    BadArgumentCase{"UnknownCommand", "range --ion 197Au", "range"},
                    BadArgumentCase{"OptionGivenTwice", "stopping --ion 197Au --ion 84Kr --element Si 1", "--ion"},
                    BadArgumentCase{"FlagWithAValue", "stopping --ion 197Au --element Si --csv=1 1", "csv"},
                    BadArgumentCase{"OptionBeforeTheCommand", "--csv stopping --ion 197Au --element Si 1", "--csv"},
                    BadArgumentCase{"ArgumentTooMany", "sptable --ion 197Au --element Si extra", "'extra'"}),
    RowName{});

// Every program answers --help and --version with status 0, without a display
// and without touching the current folder.
class Conventions : public testing::TestWithParam<const char*> {};

TEST_P(Conventions, HelpAndVersionWithoutADisplay) {
    const std::string program = siblingProgram(GetParam());
    if (program.empty()) GTEST_SKIP() << GetParam() << " is not built beside the tests";
    WorkFolder folder;
    const std::string bare = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + shellQuoted(program);
    const ToolRun version = runCommand(bare + " --version");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, std::string(GetParam()) + " " + TARVEX_VERSION + "\n");
    const ToolRun help = runCommand(bare + " --help");
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Usage:", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

INSTANTIATE_TEST_SUITE_P(Programs, Conventions, testing::Values("tarvex", "tarvex-let", "tarvex-controller-sim"),
                         TextName{});

TEST_F(Tool, DataDefaultsToTheBundledCoefficientFiles) {
    const ToolRun bundled = runCommand("env -u TARVEX_STOPPING_DATA " + shellQuoted(tool) +
                                       " stopping --ion 197Au --element Si --csv 15");
    EXPECT_EQ(bundled.exitCode, 0) << bundled.err;
    EXPECT_EQ(bundled.out, let("stopping --ion 197Au --element Si --csv 15").out);
    const ToolRun elsewhere = runCommand("TARVEX_STOPPING_DATA=nowhere " + shellQuoted(tool) +
                                         " stopping --ion 197Au --element Si 15");
    EXPECT_EQ(elsewhere.exitCode, 1) << "a missing coefficient file is no usage error";
    EXPECT_NE(elsewhere.err.find("$TARVEX_STOPPING_DATA 'nowhere'"), std::string::npos) << elsewhere.err;
}

TEST_F(Tool, MissingDataFolderIsNamed) {
    const ToolRun run = runCommand(shellQuoted(tool) + " stopping --ion 197Au --element Si --data nowhere 15");
    EXPECT_EQ(run.exitCode, 1) << "a computation that cannot be made, not a bad command line";
    EXPECT_NE(run.err.find("--data 'nowhere'"), std::string::npos) << run.err;
    // A short file is refused as a missing one is.
    for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
        std::filesystem::copy_file(std::filesystem::path(stoppingDataFolder()) / name, folder.path() / name);
    }
    std::string b = fileContent(folder.path() / "scoef.95b");
    std::ofstream(folder.path() / "scoef.95b") << b.substr(0, b.rfind('\n', b.size() - 2) + 1);
    const ToolRun shortFile = runCommand(shellQuoted(tool) + " stopping --ion 197Au --element Si --data " +
                                         shellQuoted(folder.path().string()) + " 15");
    EXPECT_EQ(shortFile.exitCode, 1);
    EXPECT_EQ(shortFile.err, "tarvex-let: --data '" + folder.path().string() +
                                 "': Error reading file scoef.95b: it ends after 92 of 93 rows.\n");
    EXPECT_EQ(shortFile.out, "");
}

TEST_F(Tool, HelpDescribesTheCommands) {
    const ToolRun run = runCommand(shellQuoted(tool) + " --help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word :
         {"stopping", "traverse", "sptable", "--tables", "--csv", "MeV/u", "mg/cm²", "0.0001 to 1000 MeV/u"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

// Each command answers --help with its own usage and options alone, and
// refuses an unknown option and an option of another command (status 2).
struct CommandCase {
    const char* name;     // the command
    const char* own;      // an option of the command
    const char* foreign;  // an option of another command
};

class EachCommand : public Tool, public testing::WithParamInterface<CommandCase> {};

TEST_P(EachCommand, HelpShowsItsOwnOptionsAndOthersAreRefused) {
    const CommandCase& c = GetParam();
    const std::string command = shellQuoted(tool) + " " + c.name;
    const ToolRun help = runCommand(command + " --help");
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind(std::string("Usage:\n  tarvex-let ") + c.name + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find(std::string("\n  ") + c.own + " "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("\n  --help "), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find(c.foreign), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("--version"), std::string::npos) << help.out;

    const ToolRun unknown = runCommand(command + " --no-such-option");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, "tarvex-let: unknown option --no-such-option\n");
    EXPECT_EQ(unknown.out, "");
    const ToolRun foreign = runCommand(command + " " + c.foreign + " 1");
    EXPECT_EQ(foreign.exitCode, 2);
    EXPECT_EQ(foreign.err, std::string("tarvex-let: ") + c.foreign + " does not apply to " + c.name + "\n");
    EXPECT_EQ(foreign.out, "");
}

INSTANTIATE_TEST_SUITE_P(Commands, EachCommand,
                         testing::Values(CommandCase{"stopping", "--tables", "--energy"},
                                         CommandCase{"traverse", "--to-let", "--out"},
                                         CommandCase{"sptable", "--all", "--tables"},
                                         CommandCase{"range", "--tilt", "--thickness"},
                                         CommandCase{"recompute", "--help", "--csv"},
                                         CommandCase{"go", "--bragg", "--ion"},
                                         CommandCase{"plan", "--rotations", "--let"},
                                         CommandCase{"runs", "--cross-section", "--ion"},
                                         CommandCase{"station", "--cyclotron", "--ion"}),
                         RowName{});

TEST_F(Tool, HelpOfTheToolListsEveryCommandAndEveryOption) {
    const ToolRun run = runCommand(shellQuoted(tool) + " --help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* command :
         {"stopping", "traverse", "sptable", "range", "recompute", "go", "plan", "solve", "station", "runs"}) {
        EXPECT_NE(run.out.find(std::string("\n  tarvex-let ") + command + " "), std::string::npos) << command;
    }
    for (const char* option :
         {"--thickness D ", "--to-energy E2 ", "--mev-per-u X ", "--min-range UM ", "--max-tilt DEG ",
          "--layers FILE ", "--version "}) {
        EXPECT_NE(run.out.find(std::string("\n  ") + option), std::string::npos) << option;
    }
    const ToolRun bare = runCommand(shellQuoted(tool));
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.out, run.out);
}

// Runs 1 and 3 share LET 10.0 (2 events in 2e7 /cm2), run 2 at T 60 has none
// in 1e7 effective; run 4 is still open. Limits worked by bisection of the
// Poisson sums: e^-y (1 + y) = 0.975 gives y = 0.242209, e^-y (1 + y + y²/2)
// = 0.025 gives y = 7.22469; with no events -ln 0.05 = 2.995732.
TEST_F(Tool, RunsCrossSectionCsvMergesTheRunsOfALetAndNamesTheOpenRun) {
    const std::vector<RunRecord> records = exposureRuns(true);
    ASSERT_TRUE(appendRunRecords("BeamRuns.csv", records));
    folder.write("RunEvents.csv", "run,events\n1,1\n2,0\n3,1\n");
    const ToolRun run = runCommand(shellQuoted(tool) + " runs --cross-section --csv");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "effective LET (MeV cm2/mg),runs,fluence (1/cm2),effective fluence (1/cm2),events,cross section (cm2),"
              "lower 95% (cm2),upper 95% (cm2)\n"
              "10.0,1 3,2e+07,2e+07,2,1e-07,1.21105e-08,3.61234e-07\n"
              "20.0,2,2e+07,1e+07,0,0,0,2.99573e-07\n");
    EXPECT_EQ(run.err, "tarvex-let: run 4: still open - left out\n");
    const ToolRun fit = runCommand(shellQuoted(tool) + " runs --cross-section --fit weibull --svg out.svg");
    EXPECT_EQ(fit.exitCode, 1);
    EXPECT_NE(fit.out.find("\nWeibull fit: The Weibull fit needs events at four effective LETs or more; these runs "
                           "have events at 1.\n"),
              std::string::npos)
        << fit.out;
    EXPECT_NE(folder.read("out.svg").find(">no events: 95 % upper limit</text>"), std::string::npos);
}

TEST_F(Tool, SptableWritesTheFormulaTableUnderItsStandardName) {
    std::filesystem::create_directories("out");
    const ToolRun run = let("sptable --ion 197Au --mass 196.967 --element Si --out out");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto data = loadRealCoefficients(folder);
    std::string expected;
    ASSERT_TRUE(formatSPtable(*data, 79, 196.967, element(14, data->coefficients.value[14][3], 2.3212), 0, expected));
    EXPECT_EQ(folder.read("out/197AuSi.inp"), expected);
}

TEST_F(Tool, SptableAllWritesTheTwentyTwoStandardIons) {
    const ToolRun run = let("sptable --all --element Al");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* name : {"1HAl.inp", "4HeAl.inp", "22NeAl.inp", "36ArAl.inp", "109AgAl.inp", "197AuAl.inp"}) {
        EXPECT_TRUE(folder.exists(name)) << name;
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path().extension() == ".inp") ++files;
    }
    EXPECT_EQ(files, 22);
}

TEST_F(Tool, SptableForACompoundLayerFile) {
    folder.write("device.lay",
                 "gallium arsenide\n5.32 2 0\n31 69.723 0 0.482\n33 74.922 0 0.518\n100 0 0\n\n");
    const ToolRun run = let("sptable --ion 129Xe --mass 128.905 --layer device.lay");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(folder.exists("129XeGaAs.inp"));
}

TEST_F(Tool, TablesOptionUsesTheWrittenTable) {
    std::filesystem::create_directories("tables");
    ASSERT_EQ(let("sptable --ion 197Au --element Si --out tables").exitCode, 0);
    const ToolRun formulas = let("stopping --ion 197Au --element Si --csv 2.5");
    const ToolRun tables = let("stopping --ion 197Au --element Si --tables tables --csv 2.5");
    ASSERT_EQ(tables.exitCode, 0) << tables.err;
    auto se = [](const std::string& out) {
        const std::string row = out.substr(out.find('\n') + 1);
        double value = 0;
        parseReal(row.substr(4, row.find(',', 4) - 4), value);
        return value;
    };
    EXPECT_NEAR(se(tables.out), se(formulas.out), 5e-3 * se(formulas.out));  // interpolation on a 7 % grid
    const ToolRun missing = let("stopping --ion 197Au --element Al --tables tables 2.5");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("197AuAl.inp"), std::string::npos) << missing.err;
}

TEST_F(Tool, TraverseReportsTheEndPointAndWritesTheTraceOnlyWhenAsked) {
    const ToolRun quiet = let("traverse --ion 197Au --element Si --energy 15 --thickness 10 --csv");
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "no trace file without --trace";
    const ToolRun run = let("traverse --ion 197Au --element Si --energy 15 --thickness 10 --csv --trace trace.txt");
    EXPECT_EQ(run.out, quiet.out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "code,exit_energy_MeV_per_u,exit_let_MeV_cm2_per_mg,exit_nuclear_MeV_cm2_per_mg,"
              "exit_total_MeV_cm2_per_mg,traversed_mg_per_cm2");
    EXPECT_EQ(run.out.substr(run.out.rfind(',') + 1), "10\n");
    EXPECT_EQ(run.out.substr(run.out.find('\n') + 1, 2), "0,");
    EXPECT_EQ(folder.read("trace.txt").substr(0, 50), "match=1\tZ2=14\tE/A=15\tgoal=10\tnumber of elements=1\n");
    EXPECT_FALSE(folder.exists("atempt.txt"));
}

// The areal density crossed for a thickness given with a unit.
std::string crossed(Tool& tool, const std::string& thickness) {
    const ToolRun run = tool.let("traverse --ion 197Au --element Si --energy 15 --csv --thickness " + thickness);
    EXPECT_EQ(run.exitCode, 0) << thickness << ": " << run.err;
    return run.out.substr(run.out.rfind(',') + 1);
}

TEST_F(Tool, ThicknessTakesAUnitSuffix) {
    EXPECT_EQ(crossed(*this, "5"), "5\n");
    EXPECT_EQ(crossed(*this, "5mg/cm2"), "5\n");
    EXPECT_EQ(crossed(*this, "'5 mg/cm\u00b2'"), "5\n");
    // Silicon, 2.3212 g/cm³ in the coefficient file: 10 µm are 2.3212 mg/cm².
    EXPECT_EQ(crossed(*this, "10um"), "2.3212\n");
    EXPECT_EQ(crossed(*this, "10\u00b5m"), "2.3212\n");
    EXPECT_EQ(crossed(*this, "0.01mm"), crossed(*this, "10um"));
    EXPECT_EQ(crossed(*this, "0.001cm"), crossed(*this, "10um"));
    EXPECT_EQ(crossed(*this, "2.5mil"), crossed(*this, "63.5um"));
}

TEST_F(Tool, TraverseBackwardsGivesANegativeArealDensity) {
    const ToolRun run = let("traverse --ion 197Au --element Si --energy 10 --to-energy 15 --backwards --csv");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(",-"), std::string::npos) << run.out;
}

// Gold of 900 MeV/u backwards through 1 cm of silicon (2321.2 mg/cm²) would
// leave above 1000 MeV/u. By hand: St, falling, is 11.688 MeV·cm²/mg at 900
// and 11.421 at 1000 MeV/u (the reference's Se and 0.0015 of Sn), so the
// 100 MeV/u up to the end of the data take 197 u × 100 MeV/u / St, between
// 1685.5 and 1724.9 mg/cm².
TEST_F(Tool, TraverseBackwardsStopsAtTheUpperEndOfTheData) {
    const ToolRun run =
        let("traverse --ion 197Au --element Si --energy 900 --thickness 1cm --backwards --csv --trace trace.txt");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tarvex-let: --thickness 1cm: the goal is not reached; stopped at 1000 MeV/u, the upper end "
                       "of the stopping data\n");
    const std::string row = run.out.substr(run.out.find('\n') + 1);  // code, E, Se, Sn, St, crossed
    EXPECT_EQ(row.rfind("0,1000,", 0), 0u) << run.out;
    double crossed = 0;
    ASSERT_TRUE(parseReal(row.substr(row.rfind(',') + 1, row.size() - row.rfind(',') - 2), crossed)) << run.out;
    EXPECT_GT(-crossed, 1685.5);
    EXPECT_LT(-crossed, 1724.9);
    // The trace is that of the traversal reported, alone.
    const std::string trace = folder.read("trace.txt");
    EXPECT_EQ(trace.substr(0, trace.find('\n') + 1), "match=3\tZ2=14\tE/A=900\tgoal=1000\tnumber of elements=1\n");
    EXPECT_EQ(trace.find("match=", 1), std::string::npos) << trace.substr(0, 200);

    const ToolRun thinner = let("traverse --ion 197Au --element Si --energy 900 --thickness 1000 --backwards --csv");
    EXPECT_EQ(thinner.exitCode, 0) << thinner.err;
    EXPECT_EQ(thinner.out.substr(thinner.out.rfind(',') + 1), "-1000\n");
}

TEST_F(Tool, TraverseToAnUnreachableLetSaysSoAndFails) {
    // Gold in silicon never reaches 200 MeV·cm²/mg: the ion runs to rest.
    const ToolRun run = let("traverse --ion 197Au --element Si --energy 15 --to-let 200");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "tarvex-let: --to-let 200: the goal is not reached; the LET never comes to it before the ion stops\n");
    EXPECT_EQ(let("traverse --ion 197Au --element Si --energy 15 --to-let 85").exitCode, 0);
}

TEST_F(Tool, BadGoalsListsAndTiltsAreUsageErrors) {
    for (const char* arguments :
         {"go --let -1", "go --let ''", "go --mev 0", "go --mev-per-u nan", "go --let inf", "go --mev x",
          "go --let 5 --bragg", "plan --tilts 0,inf", "plan --bands 40,-5", "plan --tilts 30,", "plan --min-range -1",
          "plan --ion 84Kr", "range --ion 197Au --element Si --energy 2 --tilt 90", "go --let"}) {
        const ToolRun run = runCommand(shellQuoted(tool) + " " + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << arguments;
    }
    // A grid too large and bad values too long to repeat.
    std::string rotations = "0", tilts = "0";
    for (int i = 1; i < 101; ++i) rotations += ",1";
    for (int i = 1; i < 100; ++i) tilts += ",2";
    for (const auto& [arguments, err] :
         {std::pair{"plan --rotations " + rotations + " --tilts " + tilts,
                    std::string("tarvex-let: 101 rotations × 100 tilts make 10100 settings for each foil; a plan "
                                "holds at most 10000 settings\n")},
          std::pair{"plan --tilts 0,30," + std::string(7000, '9'),
                    "tarvex-let: --tilts: '" + std::string(40, '9') + "…' is not an angle in degrees\n"},
          std::pair{std::string("plan --rotations 0,30,x"),
                    std::string("tarvex-let: --rotations: 'x' is not an angle in degrees\n")}}) {
        const ToolRun run = runCommand(shellQuoted(tool) + " " + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(Tool, TraverseFailureExitsNonZeroWithTheMessage) {
    const ToolRun run = let("traverse --ion 197Au --element Si --energy 10 --to-energy 15");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("beam energy steps are in the wrong direction."), std::string::npos) << run.err;
}

}  // namespace
