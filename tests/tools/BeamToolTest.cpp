// `tarvex-let recompute` and `tarvex-let range` as a station or a physicist
// uses them: the demo station in both calculation modes, the console's exit
// code and messages, and the range table of the tool against the console's.

#include <gtest/gtest.h>

#include "support/ToolRun.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <map>
#include <fstream>

#include "beam/BeamFiles.h"
#include "beam/BeamFixtures.h"
#include "beam/LayerRecord.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

std::string toolPath() {
    return siblingProgram("tarvex-let");
}

class BeamTool : public ::testing::Test {
protected:
    void SetUp() override {
        tool = toolPath();
        if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    }

    // A prepared copy of the demo station (coefficients and per-ion tables).
    std::filesystem::path prepareDemo(const std::string& name) {
        const std::filesystem::path site = folder.path() / name;
        ToolRun prepared = runCommand("TARVEX_STOPPING_DATA=" + shellQuoted(stoppingDataFolder()) + " " +
                           shellQuoted(std::string(TARVEX_SOURCE_DIR) + "/scripts/prepare-demo") + " " +
                           shellQuoted(site.string()) + " " + shellQuoted(tool));
        EXPECT_EQ(prepared.exitCode, 0) << prepared.err;
        return site;
    }

    WorkFolder folder;
    std::string tool;
};

const std::string kDemo = std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site";

TEST_F(BeamTool, DemoStationLegacyModeReproducesItsCommittedResults) {
    const auto site = prepareDemo("legacy");
    ASSERT_EQ(fileContent(site / "DoLegacyCalculations.dat"), "1\n");
    ToolRun r = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string results = fileContent(site / "CurrentBeamDELReB.dat");
    EXPECT_EQ(results, fileContent(std::filesystem::path(kDemo) / "CurrentBeamDELReB.dat"));
    EXPECT_EQ(fileContent(site / "CurrentBeamDELReB.tmp"), results);
    EXPECT_NE(r.out.find("Results line                " + results.substr(0, results.size() - 1)), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Target substrate            silicon\n"), std::string::npos) << r.out;
    std::vector<std::string> table = linesOf(fileContent(site / "RangeTable.txt"));
    ASSERT_GT(table.size(), 10u);
    EXPECT_EQ(table[0].rfind("Au 15 MeV/u   at ", 0), 0u);
    EXPECT_NE(table[2].find("LEGACY CALCULATIONS"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(site / "atempt.txt"));  // only with --trace

    // The demo picture: 15 MeV/u gold through foil 2 at 30 degrees reaches
    // the substrate.
    EXPECT_NE(r.out.find("Degrader S, R               2.000 foil, 30.000 deg\n"), std::string::npos) << r.out;
}

TEST_F(BeamTool, DemoStationNormalModeUsesTheGeneratedTables) {
    const auto site = prepareDemo("normal");
    std::ofstream(site / "DoLegacyCalculations.dat") << "0\n";
    ToolRun r = runCommand(shellQuoted(tool) + " recompute --trace " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(fileContent(site / "atempt.txt").find("icompound=2"), std::string::npos);  // the aramica table
    std::vector<std::string> table = linesOf(fileContent(site / "RangeTable.txt"));
    ASSERT_GT(table.size(), 10u);
    EXPECT_EQ(table[2], "   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)");

    // Tables computed from the formulas give nearly the legacy results.
    BeamState normal, legacy;
    std::istringstream normalLine(fileContent(site / "CurrentBeamDELReB.dat"));
    std::istringstream legacyLine(fileContent(std::filesystem::path(kDemo) / "CurrentBeamDELReB.dat"));
    for (BeamState* beam : {&normal, &legacy}) {
        std::istringstream& in = beam == &normal ? normalLine : legacyLine;
        in >> beam->beamTag >> beam->degraderEffectiveUm >> beam->deviceEnergyMeV >> beam->nominalLet >>
            beam->nominalRangeUm >> beam->degraderExitEnergyMeV >> beam->braggEnergyMeV;
    }
    EXPECT_EQ(normal.degraderEffectiveUm, legacy.degraderEffectiveUm);
    EXPECT_NEAR(normal.deviceEnergyMeV, legacy.deviceEnergyMeV, 0.01 * legacy.deviceEnergyMeV);
    EXPECT_NEAR(normal.nominalLet, legacy.nominalLet, 0.01 * legacy.nominalLet);
    EXPECT_NEAR(normal.nominalRangeUm, legacy.nominalRangeUm, 0.01 * legacy.nominalRangeUm);
}

TEST_F(BeamTool, NormalModeWithoutTablesEndsEarlyAndCommitsNothing) {
    const auto site = prepareDemo("notables");
    std::ofstream(site / "DoLegacyCalculations.dat") << "0\n";
    std::filesystem::remove(site / "197AuAl.inp");
    const std::string before = fileContent(site / "CurrentBeamDELReB.dat");
    ToolRun r = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Error:  \n\nError - Stopping power table for the selected nuclide not found.\n\nUse Set Options to switch "
              "to legacy calculations and try again.\n");
    EXPECT_FALSE(std::filesystem::exists(site / "CurrentBeamDELReB.tmp"));
    EXPECT_EQ(fileContent(site / "CurrentBeamDELReB.dat"), before);
    EXPECT_NE(r.out.find("no file was committed"), std::string::npos) << r.out;
}

TEST_F(BeamTool, MissingCoefficientFileFailsAndCommitsNothing) {
    const auto site = prepareDemo("nocoefficients");
    std::filesystem::remove(site / "scoef.95b");
    const std::string before = fileContent(site / "CurrentBeamDELReB.dat");
    ToolRun r = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Warning: Error opening file scoef.95b - the stopping powers cannot be computed"),
              std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(site / "CurrentBeamDELReB.tmp"));
    EXPECT_EQ(fileContent(site / "CurrentBeamDELReB.dat"), before);
}

TEST_F(BeamTool, MisalignedDegraderMessagesAndLog) {
    const auto site = prepareDemo("misaligned");
    std::ofstream(site / "TarvexStatus.dat") << "Beam spot\n1\n0 0 0 0 10000 10000 3000 2500\n0 0 0 0 0 0 0 0\n";
    ToolRun r = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err,
              "Warning: Deviation of coordinate S (selected degrader foil) from the closest integer value is not within "
              "specified tolerance (0.050).\n\nIt will be assumed that the degrader is infinitely thick or at least "
              "thick enough to stop the beam.\nWarning: Beam fully stopped in Al degrader.\n");
    EXPECT_NE(fileContent(site / "TarvexOperator.log").find("Degrader misaligned - acknowleged.\n"), std::string::npos);
    EXPECT_EQ(fileContent(site / "RangeTable.txt"), "");
    EXPECT_EQ(fileContent(site / "CurrentBeamDELReB.dat"), "7   " + streamText(2539999.9746) + "   0   0   0   0   0\n");
}

TEST_F(BeamTool, MissingSettingsFileEndsWithTheConsolesExitCode) {
    const auto site = prepareDemo("broken");
    std::filesystem::remove(site / "CurrentLayersReversed.dat");
    ToolRun r = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Error: Error opening file CurrentLayersReversed.dat - please fix the problem and restart the program.\n");
    ToolRun noFolder = runCommand(shellQuoted(tool) + " recompute " + shellQuoted((folder.path() / "nowhere").string()));
    EXPECT_EQ(noFolder.exitCode, 2);
    EXPECT_NE(noFolder.err.find("nowhere"), std::string::npos);
}

// `tarvex-let station new`: a station folder for a device, from the demo.
class StationNew : public BeamTool {
protected:
    void SetUp() override {
        BeamTool::SetUp();
        if (tool.empty()) return;
        std::filesystem::copy_file(std::filesystem::path(kDemo) / "DemoDevice.lay", folder.path() / "Device.lay");
    }
    ToolRun stationNew(const std::string& arguments) {
        return runCommand(shellQuoted(tool) + " station new " + arguments + " --data " +
                          shellQuoted(stoppingDataFolder()));
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::vector<LayerRecord> layersOf(const std::filesystem::path& path) {
    std::vector<LayerRecord> records;
    std::string refusal;
    EXPECT_TRUE(readLayerFile(path.string(), records, refusal)) << path;
    EXPECT_EQ(refusal, "");
    return records;
}

TEST_F(StationNew, TheFolderHoldsTheDevicesLayersAndReproducesTheDemosBeam) {
    ToolRun made = stationNew("dut --layers Device.lay");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.err, "");
    const std::filesystem::path dut = folder.path() / "dut";
    EXPECT_EQ(fileContent(dut / "Device.lay"), fileContent(folder.path() / "Device.lay"));
    EXPECT_EQ(fileContent(dut / "CurrentLayerFileName.dat"), "Device.lay\n");
    // Beam order, as the demo's committed file holds the same device.
    const std::vector<LayerRecord> mine = layersOf(dut / "CurrentLayersReversed.dat");
    const std::vector<LayerRecord> demo = layersOf(std::filesystem::path(kDemo) / "CurrentLayersReversed.dat");
    ASSERT_EQ(mine.size(), 5u);
    ASSERT_EQ(mine.size(), demo.size());
    for (std::size_t i = 0; i < mine.size(); ++i) {
        SCOPED_TRACE(demo[i].name);
        EXPECT_EQ(mine[i].name, demo[i].name);
        EXPECT_EQ(mine[i].density, demo[i].density);
        EXPECT_EQ(mine[i].tiltFlag, demo[i].tiltFlag);
        EXPECT_EQ(mine[i].thickness, demo[i].thickness);
        EXPECT_EQ(mine[i].thicknessUnit, demo[i].thicknessUnit);
        ASSERT_EQ(mine[i].elementCount, demo[i].elementCount);
        for (int e = 0; e < demo[i].elementCount; ++e) {
            EXPECT_EQ(mine[i].atomicNumber[e], demo[i].atomicNumber[e]);
            EXPECT_EQ(mine[i].atomicMass[e], demo[i].atomicMass[e]);
            EXPECT_EQ(mine[i].massFraction[e], demo[i].massFraction[e]);
        }
    }
    // No line break after the last line: the console's "Layers:" shows 5.
    EXPECT_EQ(fileContent(dut / "LayerSummary.dat"),
              "silicon ROT\n"
              "  aramica                 6 um\n"
              "  air gas                 30 mm\n"
              "  silicon dioxide         1.5 um  (turns with T)\n"
              "  aluminium               2 um  (turns with T)\n"
              "  silicon                 (substrate, turns with T)");
    EXPECT_EQ(fileContent(dut / "DemoStatus.dat"), "3\n");
    EXPECT_EQ(fileContent(dut / "CyclotronInUse.dat"), "500\n");
    EXPECT_EQ(fileContent(dut / "TargetLocation.dat"), "1\n");
    EXPECT_EQ(fileContent(dut / "VacArdo.dat"), fileContent(std::filesystem::path(kDemo) / "VacArdo.dat"));
    for (const char* gone : {"AirArdo.dat", "VacBelm.dat", "AirBelm.dat", "DemoDevice.lay"}) {
        EXPECT_FALSE(std::filesystem::exists(dut / gone)) << gone;
    }
    for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
        EXPECT_EQ(fileContent(dut / name), fileContent(std::filesystem::path(stoppingDataFolder()) / name)) << name;
    }
    // The demo's beam and geometry through the same device: the demo's results.
    EXPECT_EQ(fileContent(dut / "CurrentBeamName.dat"), "Au 15 MeV/u\n");
    EXPECT_EQ(fileContent(dut / "CurrentBeamDELReB.dat"),
              fileContent(std::filesystem::path(kDemo) / "CurrentBeamDELReB.dat"));
    EXPECT_EQ(entries(), (std::vector<std::string>{"Device.lay", "dut"}));

    ToolRun r = runCommand(shellQuoted(tool) + " recompute dut");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Beam                        Au 15 MeV/u  (Z 79, A 197, 2955 MeV)\n"), std::string::npos)
        << r.out;
}

TEST_F(StationNew, BelmInAirWithAnotherBeam) {
    ToolRun made = stationNew("dut --layers Device.lay --cyclotron Belm --air --beam 84Kr:25");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_NE(made.out.find("Belm (6 degrader foils), in air (AirBelm.dat)"), std::string::npos) << made.out;
    const std::filesystem::path dut = folder.path() / "dut";
    EXPECT_EQ(fileContent(dut / "CyclotronInUse.dat"), "150\n");
    EXPECT_EQ(fileContent(dut / "TargetLocation.dat"), "0\n");
    EXPECT_TRUE(std::filesystem::exists(dut / "AirBelm.dat"));
    for (const char* name : {"CurrentBeamNZAMeV.dat", "CurrentBeamNZAMeV.tmp"}) {
        EXPECT_EQ(fileContent(dut / name), "7 36 84 2100\n") << name;  // 84 u × 25 MeV/u
    }
    for (const char* name : {"CurrentBeamName.dat", "CurrentBeamName.tmp"}) {
        EXPECT_EQ(fileContent(dut / name), "Kr 25 MeV/u\n") << name;
    }
    // Foil 7 exists on Ardo (1625.6 µm), not on Belm: the degrader saturates.
    // The status file's location line says in air (0), or the console would
    // send the axes home.
    EXPECT_EQ(linesOf(fileContent(dut / "TarvexStatus.dat")).at(1), "0");
    std::ofstream(dut / "TarvexStatus.dat") << "Beam spot\n0\n0 0 0 0 10000 10000 3000 7000\n0 0 0 0 0 0 0 0\n";
    ToolRun r = runCommand(shellQuoted(tool) + " recompute dut");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Warning: Beam fully stopped in Al degrader.\n");
    EXPECT_NE(r.out.find("Beam                        Kr 25 MeV/u  (Z 36, A 84, 2100 MeV)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Degrader foil (µm)          2.54e+06\n"), std::string::npos) << r.out;
}

TEST_F(StationNew, BadInputIsNamedAndNothingIsWritten) {
    std::filesystem::create_directory(folder.path() / "taken");
    std::ofstream(folder.path() / "Flat.lay") << "silicon\n0 1 1\n14 28.086 0 1.0\n0 0 0\n\n";
    const std::vector<std::string> before = entries();
    struct Case {
        const char* arguments;
        std::string err;
    };
    for (const Case& c :
         {Case{"taken --layers Device.lay", "'taken' exists already; station new makes a new folder"},
          Case{"dut --layers Flat.lay",
               "Layer record 1 of Flat.lay cannot be used: its density is not above 0 g/cm3."},
          Case{"dut --layers Device.lay --beam 84Qq:25", "--beam '84Qq:25': unknown element symbol 'Qq'"},
          Case{"dut --layers Device.lay --beam 84Kr:1001",
               "--beam '84Kr:1001': must be at least 0.0001 and at most 1000 MeV/u"},
          Case{"dut --layers Device.lay --beam 84Kr:25:0", "--beam '84Kr:25:0': must be above 0 and at most 1000 u"},
          Case{"dut --layers Device.lay --cyclotron Cedr", "--cyclotron 'Cedr': Ardo or Belm"}}) {
        ToolRun r = stationNew(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments;
        EXPECT_EQ(r.err, "tarvex-let: " + c.err + "\n");
        EXPECT_EQ(entries(), before) << c.arguments;
        EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "taken"));
    }
}

// The tool's table of 197Au entering silicon at 2 MeV/u equals the rows the
// console writes for a beam that reaches a silicon substrate at 2 MeV/u.
// `tarvex-let recompute` on a station folder other than the demo's, made
// hostile in one way per row: it ends within seconds with a non-zero status
// and a message naming the file, commits nothing and writes nothing outside
// the folder.
struct HostileStation {
    const char* name;
    const char* change;  // shell commands run in the station folder; $OUTSIDE is a folder beside it
    const char* named;   // the file the message names
};

class HostileRecompute : public BeamTool, public ::testing::WithParamInterface<HostileStation> {};

TEST_P(HostileRecompute, EndsNamingTheFileAndCommitsNothing) {
    if (!havePython()) GTEST_SKIP() << "python3 not available";
    const std::filesystem::path stations = folder.path() / "stations";
    ToolRun made = runCommand("python3 " + shellQuoted(std::string(TARVEX_SOURCE_DIR) + "/tests/beam/reference/make_stations.py") +
                              " " + shellQuoted(kDemo) + " " + shellQuoted(stations.string()));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::filesystem::path site = stations / "A-Xe129-S2-R45-T30";
    const std::filesystem::path outside = folder.path() / "outside";
    std::filesystem::create_directory(outside);
    for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
        std::filesystem::copy_file(std::filesystem::path(stoppingDataFolder()) / name, site / name);
    }
    ToolRun changed = runCommand("cd " + shellQuoted(site.string()) + " && OUTSIDE=" + shellQuoted(outside.string()) +
                                 " && " + GetParam().change);
    ASSERT_EQ(changed.exitCode, 0) << changed.err;
    std::map<std::string, std::string> before;
    for (const char* name : {"CurrentBeamNZAMeV.dat", "CurrentBeamDELReB.dat", "CurrentBeamName.dat", "TarvexStatus.dat"}) {
        before[name] = fileContent(site / name);
    }
    // `timeout` only keeps a tool that blocks on the hostile file from hanging
    // the test; it ends the tool with status 124.
    ToolRun r = runCommand("timeout 20 " + shellQuoted(tool) + " recompute " + shellQuoted(site.string()));
    EXPECT_NE(r.exitCode, 124) << "recompute did not finish within 20 s";
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(GetParam().named), std::string::npos) << r.err;
    for (const auto& [name, content] : before) EXPECT_EQ(fileContent(site / name), content) << name;
    EXPECT_FALSE(std::filesystem::exists(site / "CurrentBeamDELReB.tmp"));
    EXPECT_FALSE(std::filesystem::exists(site / "TarvexBeamGeometry.dat"));
    EXPECT_TRUE(std::filesystem::is_empty(outside)) << "written outside the station folder";
}

INSTANTIATE_TEST_SUITE_P(
    Stations, HostileRecompute,
    ::testing::Values(
        HostileStation{"FifoLayerFile", "rm CurrentLayersReversed.dat && mkfifo CurrentLayersReversed.dat",
                       "CurrentLayersReversed.dat"},
        HostileStation{"Beam1e300MeV", "echo '11 54 128.905 1e300' > CurrentBeamNZAMeV.tmp", "CurrentBeamNZAMeV.tmp"},
        HostileStation{"NegativeThickness",
                       "printf 'silicon\\n2.33 1 1\\n14 28.086 0 1.0\\n-5 0 0\\n\\n' > CurrentLayersReversed.dat",
                       "CurrentLayersReversed.dat"},
        HostileStation{"EmptySetupTable", ": > VacArdo.dat", "VacArdo.dat"},
        HostileStation{"TruncatedBeamFile", "echo '7 79' > CurrentBeamNZAMeV.tmp", "CurrentBeamNZAMeV.tmp"},
        HostileStation{"RangeTableLinksOutside", "ln -s \"$OUTSIDE/range.txt\" RangeTable.txt", "RangeTable.txt"},
        HostileStation{"CoefficientFileWithoutItsLastLine", "sed -i '$d' scoef.95b",
                       "Warning: Error reading file scoef.95b: it ends after 92 of 93 rows.\n"},
        HostileStation{"EmptyCoefficientFile", ": > scoef.95a", "Warning: Error reading file scoef.95a: it is empty.\n"},
        HostileStation{"CoefficientRowWithoutItsLastColumn", "sed -i '9s/ [^ ]*$//' scoef.95a",
                       "Warning: Error reading file scoef.95a: row 7 holds 15 of 16 numbers.\n"},
        HostileStation{"LogNameOutside",
                       "echo '../../outside/evil.log' > CurrentLogFileName.dat && sed -i '3s/ 2000$/ 2500/' "
                       "TarvexStatus.dat",
                       "CurrentLogFileName.dat"}),
    RowName{});

class RangeCommand : public BeamStation {
protected:
    void SetUp() override {
        BeamStation::SetUp();
        tool = toolPath();
        if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    }
    std::string tool;
};

TEST_F(RangeCommand, RowsEqualTheConsolesRangeTable) {
    // The target as --element Si describes it: the coefficient file's mass and density.
    const double* row = data().coefficients.value[14];
    LayerText si = siliconLayer("silicon", 0, 1);  // a name of two characters would end the records
    si.elements = {{14, row[CoefficientTable::kNaturalWeight]}};
    si.density = row[CoefficientTable::kDensity];
    writeLayers({si});
    setAxis(kAxisT, 40);
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());
    const std::string consoleTable = folder.read("RangeTable.txt");

    ToolRun r = runCommand(shellQuoted(tool) + " range --ion 197Au --element Si --energy 2 --tilt 40 --data .");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> mine = linesOf(r.out), theirs = linesOf(consoleTable);
    ASSERT_EQ(mine.size(), theirs.size());
    EXPECT_EQ(mine[0], "197Au   at 2.00 MeV/amu (394 MeV)   in Si at 40.000 deg" +
                           theirs[0].substr(theirs[0].find("   LET = ")));
    for (std::size_t i = 1; i < mine.size(); ++i) EXPECT_EQ(mine[i], theirs[i]) << "line " << i + 1;

    ToolRun csv = runCommand(shellQuoted(tool) + " range --ion 197Au --element Si --energy 2 --tilt 40 --data . --csv");
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::vector<std::string> rows = linesOf(csv.out);
    ASSERT_EQ(rows.size(), 1 + (mine.size() - 7));
    EXPECT_EQ(rows[0], "E_MeV_per_u,E_MeV,depth_um,effective_depth_um,LET_MeV_cm2_per_mg,effective_LET_MeV_cm2_per_mg");
    EXPECT_EQ(rows[1].rfind("2,394,0,0,", 0), 0u) << rows[1];
}

TEST_F(RangeCommand, BadArgumentsAreNamed) {
    for (const char* args : {"--ion 197Au --element Si", "--ion 197Au --element Si --energy 0",
                                    "--ion 197Au --element Si --energy x", "--ion 197Au --element Si --energy 2 --tilt y",
                                    "--ion 197Au --element Qq --energy 2", "--ion 197Au --energy 2"}) {
        ToolRun r = runCommand(shellQuoted(tool) + " range --data . " + args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("tarvex-let: ", 0), 0u) << r.err;
    }
    ToolRun missing = runCommand(shellQuoted(tool) + " range --data . --ion 197Au --element Si --energy 2 --tables .");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Stopping power table"), std::string::npos) << missing.err;
}

}  // namespace
