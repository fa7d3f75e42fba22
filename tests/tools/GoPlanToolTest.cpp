// `tarvex-let go` and `tarvex-let plan` on the demo station and on station
// folders with other beams, devices, cyclotrons and tilts
// (reference/make_stations.py).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "beam/BeamFixtures.h"
#include "beam/BeamSolve.h"
#include "beam/StationFolder.h"
#include "support/ToolRun.h"
#include "util/NumberFormat.h"

namespace {

namespace fs = std::filesystem;

class GoPlanTool : public ::testing::Test {
protected:
    void SetUp() override {
        tool = siblingProgram("tarvex-let");
        if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
        if (!havePython()) GTEST_SKIP() << "python3 not available";
        const ToolRun made = runCommand(
            "python3 " + shellQuoted(std::string(TARVEX_SOURCE_DIR) + "/tests/beam/reference/make_stations.py") + " " +
            shellQuoted(std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site") + " " +
            shellQuoted((folder.path() / "stations").string()));
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    // A station made current with the coefficient files beside it.
    fs::path enter(const std::string& name) {
        const fs::path station = folder.path() / "stations" / name;
        for (const char* file : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
            fs::copy_file(fs::path(stoppingDataFolder()) / file, station / file, fs::copy_options::overwrite_existing);
        }
        fs::current_path(station);
        return station;
    }

    // The demo station (gold, 15 MeV/u) with S at `sCounts` and T at 30 degrees.
    fs::path demoAt(int sCounts) {
        const fs::path station = folder.path() / "stations" / "demo";
        fs::copy(fs::path(TARVEX_SOURCE_DIR) / "examples/demo-site", station,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        std::ofstream(station / "TarvexStatus.dat")
            << "Beam spot\n1\n0 0 0 6000 10000 10000 " << (sCounts == 0 ? 0 : 3000) << " " << sCounts
            << "\n0 0 0 0 0 0 0 0\n";
        return enter("demo");
    }
    // `recompute` with the axes at `counts` (T, U, V, R and S) and the
    // station's location line kept; the beam its results file then holds.
    BeamState recomputedAt(const fs::path& station, const std::string& counts, std::string* printed = nullptr) {
        const std::string location = linesOf(fileContent(station / "TarvexStatus.dat")).at(1);
        std::ofstream(station / "TarvexStatus.dat")
            << "Test position\n" << location << "\n0   0   0   " << counts << "\n0   0   0   0   0   0   0   0\n";
        const ToolRun recompute = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(station.string()));
        EXPECT_EQ(recompute.exitCode, 0) << recompute.err;
        if (printed != nullptr) *printed = recompute.out;
        BeamState beam;
        std::istringstream results(fileContent(station / "CurrentBeamDELReB.dat"));
        results >> beam.beamTag >> beam.degraderEffectiveUm >> beam.deviceEnergyMeV >> beam.nominalLet >>
            beam.nominalRangeUm;
        return beam;
    }
    ToolRun go(const fs::path& station, const std::string& wish) {
        return runCommand(shellQuoted(tool) + " go " + shellQuoted(station.string()) + " " + wish);
    }

    WorkFolder folder;
    std::string tool;
};

// The number after `label` in `text`.
double numberAfter(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    return at == std::string::npos ? std::nan("") : std::atof(text.c_str() + at + label.size());
}

// The word after `label` and its blanks in `text`.
std::string wordAfter(const std::string& text, const std::string& label) {
    auto at = text.find(label);
    if (at == std::string::npos) return "no " + label;
    at = text.find_first_not_of(' ', at + label.size());
    return text.substr(at, text.find_first_of(" \n", at) - at);
}

TEST_F(GoPlanTool, GoNamesTheSettingTheCountsReachAndSaysAMiss) {
    struct Case {
        const char* station;  // "demo": gold at T = 30 degrees
        const char* option;
        double wish;
    };
    int missed = 0, met = 0;
    for (const Case& c : {Case{"demo", "--let", 1}, Case{"demo", "--let", 5}, Case{"demo", "--let", 20},
                          Case{"demo", "--let", 50}, Case{"A-Xe129-S2-R45-T30", "--mev-per-u", 9},
                          Case{"B-Kr84-S1-Rm20-Tm60-Belm-air", "--let", 40},
                          Case{"C-He4-S0-R0-T45-SiC", "--mev-per-u", 4}, Case{"N-Li7-S1-R60-T10", "--mev-per-u", 5}}) {
        SCOPED_TRACE(std::string(c.station) + " " + c.option + " " + formatGeneral(c.wish));
        const fs::path station = std::string(c.station) == "demo" ? demoAt(2000) : enter(c.station);
        const ToolRun run = go(station, std::string(c.option) + " " + formatGeneral(c.wish));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // The rotation the counts stand for: 100 counts per degree.
        const double r = numberAfter(run.out, " , R = ");
        EXPECT_NEAR(r * 100, std::round(r * 100), 1e-6) << run.out;
        const bool let = std::string(c.option) == "--let";
        const double value = numberAfter(run.out, let ? "Effective LET: " : "Beam energy at the substrate: ");
        const bool miss = std::fabs(value - c.wish) > 0.05 * c.wish;
        const std::string warning =
            let ? "Warning: this setting gives an effective LET of " : "Warning: this setting gives an energy per nucleon of ";
        const std::string tail = ", not the " + formatGeneral(c.wish) + " asked for.\n";
        const bool said = run.out.find(warning) != std::string::npos && run.out.find(tail) != std::string::npos;
        EXPECT_EQ(said, miss) << run.out;
        (miss ? missed : met)++;
    }
    EXPECT_GE(missed, 1);
    EXPECT_GE(met, 4);
}

TEST_F(GoPlanTool, GoForTheBraggPeakAndTheReachComeFromTheBeamItself) {
    const fs::path station = demoAt(2000);
    const ToolRun passing = go(station, "--bragg");
    ASSERT_EQ(passing.exitCode, 0) << passing.err;
    EXPECT_EQ(linesOf(passing.out).back(), "The beam reaches the substrate at its Bragg peak.");
    demoAt(10000);  // foil 10 stops the beam
    EXPECT_EQ(go(station, "--bragg").out, passing.out);

    // Below what the beam can give: both sides of the peak, over every foil
    // and S = 0. The peak is the Bragg setting's LET, the near end that of
    // the beam without a degrader.
    const ToolRun low = go(station, "--let 0.01");
    EXPECT_EQ(low.exitCode, 1);
    demoAt(0);
    const ToolRun open = runCommand(shellQuoted(tool) + " recompute " + shellQuoted(station.string()));
    const std::string openLet = wordAfter(open.out, "Effective LET (MeV·cm²/mg)");
    const std::string peakLet = wordAfter(passing.out, "Effective LET:");
    EXPECT_NE(low.err.find("The effective LET this beam can give at the substrate at T = 30.000 deg, before the Bragg "
                           "peak: " + openLet + " to " + peakLet + "; past it: down to "),
              std::string::npos)
        << low.err << open.out;
}

TEST_F(GoPlanTool, GoCsvNamesTheSide) {
    const fs::path station = enter("B-Kr84-S1-Rm20-Tm60-Belm-air");
    const ToolRun run = runCommand(shellQuoted(tool) + " go " + shellQuoted(station.string()) + " --mev 1100 --csv");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "S,R,energy (MeV/u),effective LET (MeV cm2/mg),effective range (um),side");
    EXPECT_EQ(lines[1].substr(lines[1].rfind(',')), ",before peak");
}

TEST_F(GoPlanTool, GoRefusesTheBeamTheConsoleRefuses) {
    const fs::path station = enter("A-Xe129-S2-R45-T30");
    std::ofstream(station / "CurrentBeamNZAMeV.tmp") << "1 54 129 1e9\n";
    const ToolRun run = runCommand(shellQuoted(tool) + " go " + shellQuoted(station.string()) + " --let 40");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("CurrentBeamNZAMeV.tmp holds a beam energy above 1000 MeV/u"), std::string::npos) << run.err;
    // A coefficient file that is not whole is refused as a missing one is.
    std::ofstream(station / "CurrentBeamNZAMeV.tmp") << "11 54 128.905 1933.5\n";
    std::ofstream(station / "scoef.95a").flush();
    const ToolRun shortFile = runCommand(shellQuoted(tool) + " go " + shellQuoted(station.string()) + " --let 40");
    EXPECT_EQ(shortFile.exitCode, 1);
    EXPECT_EQ(shortFile.out, "");
    EXPECT_EQ(shortFile.err, "tarvex-let: Error reading file scoef.95a: it is empty.\n");
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The cells of a CSV line.
std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.push_back("");
    return cells;
}

TEST_F(GoPlanTool, PlanHasARowForEveryFoilAndAgreesWithTheRecomputation) {
    // Belm: six foils; T -18000 … 18000 counts at -200 per degree (-90 … 90),
    // R -8000 … 8000 at 100 per degree. The station stands at foil 1, R = -20,
    // T = -60. R 45.678 becomes 4567 counts, 45.67; T -30.0087 becomes 6001
    // counts, -30.005.
    const fs::path station = enter("B-Kr84-S1-Rm20-Tm60-Belm-air");
    const ToolRun plan = runCommand(shellQuoted(tool) + " plan " + shellQuoted(station.string()) +
                                    " --csv --rotations -20,45.678 --tilts -60,-30.0087 --min-range 100");
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const std::vector<std::string> rows = linesOf(plan.out);
    ASSERT_EQ(rows.size(), 1u + 2 + 6 * 2 * 2) << plan.out;
    EXPECT_EQ(rows[0], "foil,R,T,energy (MeV/u),nominal LET (MeV cm2/mg),effective LET (MeV cm2/mg),nominal range "
                       "(um),effective range (um),side,under minimum range");
    // Foil 0 once per tilt, its R empty: without a foil R does not matter.
    EXPECT_EQ(rows[1].rfind("0,,-60,", 0), 0u) << rows[1];
    EXPECT_EQ(rows[2].rfind("0,,-30.005,", 0), 0u) << rows[2];
    for (int foil = 1; foil <= 6; ++foil) {
        const std::size_t first = 3 + 4 * static_cast<std::size_t>(foil - 1);
        const std::string s = std::to_string(foil);
        std::size_t at = first;
        for (const char* angles : {",-20,-60,", ",-20,-30.005,", ",45.67,-60,", ",45.67,-30.005,"}) {
            EXPECT_EQ(rows[at].rfind(s + angles, 0), 0u) << rows[at];
            ++at;
        }
    }

    // The rows at the station's own setting and at the reached angles are what
    // the recomputation gives with the axes standing there.
    struct Setting {
        const char* counts;  // the status file's T, R and S
        std::size_t row;
    };
    for (const Setting& setting :
         {Setting{"12000   10000   10000   -2000   1000", 3}, Setting{"6001   10000   10000   4567   2000", 10}}) {
        SCOPED_TRACE(setting.counts);
        std::string printed;
        const BeamState beam = recomputedAt(station, setting.counts, &printed);
        const std::vector<std::string> cells = cellsOf(rows[setting.row]);
        ASSERT_EQ(cells.size(), 10u);
        EXPECT_EQ(cells[4], streamText(beam.nominalLet)) << rows[setting.row];
        EXPECT_EQ(cells[6], streamText(beam.nominalRangeUm)) << rows[setting.row];
        EXPECT_EQ(wordAfter(printed, "Effective LET (MeV·cm²/mg)"), formatBeamValue(std::stod(cells[5])));
        EXPECT_EQ(wordAfter(printed, "Effective range (µm)"), printfText("%.1f", std::stod(cells[7])));
        EXPECT_EQ(cells[9], std::stod(cells[7]) < 100 ? "yes" : "no");
    }

    // Angles the axes cannot stand at, and a plan of more than 10000
    // settings: 1430 tilts without a foil and 6 × 1430 with one.
    std::string tilts = "0";
    for (int i = 1; i < 1430; ++i) tilts += ",1";
    struct Refused {
        std::string options;
        std::string err;
    };
    for (const Refused& refused :
         {Refused{"--tilts 95", "--tilts: T 95 is outside the soft limits, -90 to 90 deg; the nearest T a plan takes "
                                "is 89.9"},
          Refused{"--rotations 10,-80.5", "--rotations: R -80.5 is outside the soft limits, -80 to 80 deg; the nearest "
                                          "R a plan takes is -80"},
          Refused{"--rotations 20 --tilts " + tilts,
                  "1430 tilts without a foil and 6 foils × 1 rotations × 1430 tilts make 10010 settings; a plan holds "
                  "at most 10000 settings"}}) {
        const ToolRun run =
            runCommand(shellQuoted(tool) + " plan " + shellQuoted(station.string()) + " " + refused.options);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "tarvex-let: " + refused.err + "\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(GoPlanTool, PlanOfAnotherIonDrawsOneLabelledMarkPerSetting) {
    const fs::path station = enter("A-Xe129-S2-R45-T30");
    const fs::path svg = folder.path() / "plan.svg";
    const ToolRun plan = runCommand(shellQuoted(tool) + " plan " + shellQuoted(station.string()) +
                                    " --ion 84Kr --energy 10 --rotations 0,45 --tilts 0 --min-range 60 "
                                    "--bands 20 --svg " + shellQuoted(svg.string()));
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const std::vector<std::string> lines = linesOf(plan.out);
    ASSERT_EQ(lines.size(), 2u + 1 + 10 * 2) << plan.out;
    EXPECT_EQ(lines[0].rfind("# 84Kr 10 MeV/u (Z 36, A 84, 840 MeV) into silicon; minimum range 60 µm", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[2].rfind("0     -        0        ", 0), 0u) << lines[2];
    std::size_t under = 0;
    for (const std::string& line : lines) under += line.size() > 4 && line.substr(line.size() - 4) == " yes" ? 1 : 0;
    const std::string picture = fileContent(svg);
    EXPECT_EQ(count(picture, "<circle"), 21u + 3 + 1) << "one mark per setting, three in the legend, one in the key";
    EXPECT_EQ(count(picture, "fill=\"#c4c4c4\""), under + 1) << "every setting under the minimum greyed, and the key";
    EXPECT_GE(under, 1u);
    EXPECT_LT(under, 21u);
    EXPECT_NE(picture.find("<title>foil 10, R 45°, T 0°: "), std::string::npos);
    EXPECT_NE(picture.find("<title>foil 0, T 0°: before peak</title>"), std::string::npos);
    EXPECT_NE(picture.find(">S0 T0</text>"), std::string::npos);
    EXPECT_NE(picture.find(">Minimum range 60 µm</text>"), std::string::npos);
    EXPECT_NE(picture.find("\" stroke=\"#7a3fa0\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>"), std::string::npos);
    EXPECT_NE(picture.find(">LET 20 ± 5%</text>"), std::string::npos);
    EXPECT_EQ(count(picture, "fill=\"#3c9a4a\" fill-opacity=\"0.15\"/>"), 1u);
}

TEST_F(GoPlanTool, SolveRowsAreWhatRecomputeGivesAtTheCountsTheAxesReach) {
    // Belm, in air, both signs of T allowed; negative tilts alone here.
    const fs::path station = enter("B-Kr84-S1-Rm20-Tm60-Belm-air");
    const ToolRun solve = runCommand(shellQuoted(tool) + " solve " + shellQuoted(station.string()) +
                                     " --let 30,5000 --ions 84Kr:10,129Xe:10 --tilts -60,-30 --rows 3 --csv");
    ASSERT_EQ(solve.exitCode, 0) << solve.err;
    const std::vector<std::string> lines = linesOf(solve.out);
    ASSERT_EQ(lines[0], "wanted LET (MeV cm2/mg),match,ion,energy (MeV/u),S,R,T,substrate energy (MeV/u),"
                        "effective LET (MeV cm2/mg),effective range (um),side");
    ASSERT_EQ(lines.size(), 1u + 3 + 1) << solve.out;  // three within for 30, one nearest below 5000

    StationFolder folderRead;
    ASSERT_EQ(readStationFolder(folderRead), "");
    const AxisTable& axes = folderRead.state.axes;
    std::vector<double> closenessAndRange;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::vector<std::string> c = cellsOf(lines[i]);
        ASSERT_EQ(c.size(), 11u);
        EXPECT_EQ(c[1], i < 4 ? "within" : "nearest");
        const double t = std::stod(c[6]);
        EXPECT_LT(t, 0) << "the tilts asked for";
        // The station at that setting, as the console would stand there.
        const int32_t sCounts = internalPositionFor(axes[kAxisS], std::stod(c[4]));
        const int32_t rCounts = c[5].empty() ? 0 : internalPositionFor(axes[kAxisR], std::stod(c[5]));
        const int32_t tCounts = internalPositionFor(axes[kAxisT], t);
        const double massU = c[2] == "84Kr" ? 84 : 129;
        for (const char* file : {"CurrentBeamNZAMeV.tmp", "CurrentBeamNZAMeV.dat"}) {
            std::ofstream(station / file) << "11 " << (c[2] == "84Kr" ? 36 : 54) << " " << massU << " " << 10 * massU
                                          << "\n";
        }
        const BeamState beam = recomputedAt(station, std::to_string(tCounts) + " 10000 10000 " +
                                                         std::to_string(rCounts) + " " + std::to_string(sCounts));
        // Six digits: the CSV's and the results file's.
        const double cosT = std::cos(t * kPi / 180);
        EXPECT_NEAR(std::stod(c[7]), beam.deviceEnergyMeV / massU, 1e-5 * std::stod(c[7]));
        EXPECT_NEAR(std::stod(c[8]), beam.nominalLet / cosT, 1e-5 * std::stod(c[8]));
        EXPECT_NEAR(std::stod(c[9]), beam.nominalRangeUm * cosT, 1e-5 * std::stod(c[9]));
        if (i < 4) {
            EXPECT_LE(std::fabs(std::stod(c[8]) / 30 - 1), 0.05);
            closenessAndRange.push_back(std::round(std::fabs(std::stod(c[8]) / 30 - 1) * 1000) * 1e6 -
                                        std::stod(c[9]));
        }
    }
    // Ranked: the closest LET (to 0.1 %), then the longest range.
    EXPECT_TRUE(std::is_sorted(closenessAndRange.begin(), closenessAndRange.end()));

    const ToolRun text = runCommand(shellQuoted(tool) + " solve " + shellQuoted(station.string()) +
                                    " --let 5000 --ions 84Kr:10 --tilts -60");
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("  Ion too light: the highest effective LET before its Bragg peak is "), std::string::npos)
        << text.out;
}

TEST_F(GoPlanTool, SolveRefusesWhatIsNotANumberOrBeyondTheAxes) {
    const fs::path station = enter("A-Xe129-S2-R45-T30");
    for (const char* bad : {"--let ''", "--let 0", "--let -5", "--let nan", "--let 5,,6", "--let x",
                            "--let 5 --min-range -1", "--let 5 --tolerance 0", "--let 5 --max-tilt 90",
                            "--let 5 --tilts 95", "--let 5 --ions 84Xx:25", "--let 5 --ions 84Kr:5000",
                            "--let 5 --tilts 0 --max-tilt 30"}) {
        SCOPED_TRACE(bad);
        const ToolRun run = runCommand(shellQuoted(tool) + " solve " + shellQuoted(station.string()) + " " + bad);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
    }
    // A cocktail line that is not an ion is named and skipped.
    std::ofstream(station / "CocktailArdo.dat") << "# the cocktail\n84Kr 10\nkrypton\n";
    // A picture named relative to the caller's folder lands there, not in DIR.
    const ToolRun run = runCommand("cd " + shellQuoted(folder.path().string()) + " && " + shellQuoted(tool) +
                                   " solve " + shellQuoted(station.string()) +
                                   " --let 30 --tilts 0 --rows 1 --csv --svg solve.svg");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("CocktailArdo.dat line 3: expected ION:MEVU or ION:MEVU:MASS; line skipped"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(cellsOf(linesOf(run.out).at(1)).at(2), "84Kr");
    const std::string picture = fileContent(folder.path() / "solve.svg");
    EXPECT_NE(picture.find("LET 30 \u00b1 5%"), std::string::npos) << "the wanted LET's band";
    EXPECT_FALSE(fs::exists(station / "solve.svg"));

    // With per-ion tables asked for and none there, the ion is named and skipped.
    std::ofstream(station / "DoLegacyCalculations.dat") << "0\n";
    const ToolRun noTables = runCommand(shellQuoted(tool) + " solve " + shellQuoted(station.string()) +
                                        " --let 30 --ions 84Kr:10 --tilts 0");
    EXPECT_EQ(noTables.exitCode, 1);
    EXPECT_EQ(noTables.err.rfind("tarvex-let: 84Kr: ", 0), 0u) << noTables.err;
    EXPECT_NE(noTables.err.find("; skipped\ntarvex-let: no ion of the request can be followed here\n"),
              std::string::npos)
        << noTables.err;
}

// The plan of a solve: the best setting of each LET some setting gives, in the
// caller's folder; its numbers are what recompute gives at that setting.
TEST_F(GoPlanTool, SolveWritesThePlanOfItsBestSettings) {
    const fs::path station = demoAt(2000);
    const ToolRun run = runCommand("cd " + shellQuoted(folder.path().string()) + " && " + shellQuoted(tool) +
                                   " solve " + shellQuoted(station.string()) +
                                   " --let 40,5000 --plan-out plan.csv --fluence-goal 1e7");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "tarvex-let: LET 5000: no setting within the tolerance; left out of the plan\n");
    EXPECT_EQ(fileContent(folder.path() / "plan.csv"),
              "step,ion,effective LET (MeV cm2/mg),energy (MeV/u),minimum range (um),fluence goal (1/cm2),"
              "event goal,S,R,T,comment\n"
              "1,84Kr,40,,,1e+07,,2,44,30,within 5 %: 40.0 MeV\u00b7cm\u00b2/mg at 56.7 \u00b5m\n");

    StationFolder read;
    ASSERT_EQ(readStationFolder(read), "");
    const AxisTable& axes = read.state.axes;
    for (const char* file : {"CurrentBeamNZAMeV.tmp", "CurrentBeamNZAMeV.dat"}) {
        std::ofstream(station / file) << "11 36 84 1260\n";
    }
    std::string printed;
    recomputedAt(station,
                 std::to_string(internalPositionFor(axes[kAxisT], 30)) + " 10000 10000 " +
                     std::to_string(internalPositionFor(axes[kAxisR], 44)) + " " +
                     std::to_string(internalPositionFor(axes[kAxisS], 2)),
                 &printed);
    EXPECT_NE(printed.find("\nEffective LET (MeV\u00b7cm\u00b2/mg)  40.0\nEffective range (\u00b5m)        56.7\n"),
              std::string::npos)
        << printed;
}

// Bisection looks at a few settings only; on generated stations it ranks
// first what computing every setting ranks first, and names the same nearest
// settings for LETs out of reach.
TEST_F(GoPlanTool, SolveFindsWhatComputingEverySettingFinds) {
    for (const char* name : {"A-Xe129-S2-R45-T30", "B-Kr84-S1-Rm20-Tm60-Belm-air", "C-He4-S0-R0-T45-SiC"}) {
        SCOPED_TRACE(name);
        enter(name);
        StationFolder station;
        ASSERT_EQ(readStationFolder(station), "");
        ConsoleState& state = station.state;
        SolveRequest request;
        const BeamIon ion = station.ion();
        request.ions = {{"beam", ion.ionZ, ion.ionA, ion.beamEnergyMeV / ion.ionA}};
        for (int foil = 0; foil <= state.foilCount; ++foil) request.foils.push_back(foil);
        request.rotations = {0, 20, 40, 60, 80};
        request.tilts = {0, 30, 60};
        request.foilCount = state.foilCount;
        request.foilTolerance = state.options.foilTolerance;
        request.minimumRangeUm = 20;
        request.rows = 3;
        request.wantedLets = {0.001, 1, 3, 10, 30, 60, 100, 1e5};
        const SettingComputation compute = stationComputation(station, request);
        for (const bool past : {false, true}) {
            request.pastPeak = past;
            const SolveResult quick = solveSettings(request, compute);
            const SolveResult all = solveSettings(request, compute, true);
            EXPECT_LT(quick.computed, all.computed / 2) << "bisection computes fewer settings";
            ASSERT_EQ(quick.answers.size(), all.answers.size());
            for (std::size_t k = 0; k < all.answers.size(); ++k) {
                const SolveAnswer& a = all.answers[k];
                const SolveAnswer& q = quick.answers[k];
                SCOPED_TRACE(formatGeneral(a.wanted) + (past ? " past the peak too" : ""));
                ASSERT_EQ(q.rows.size(), a.rows.size());
                EXPECT_EQ(q.limit, a.limit);
                for (std::size_t i = 0; i < a.rows.size(); ++i) {
                    EXPECT_EQ(q.rows[i].within, a.rows[i].within);
                    EXPECT_EQ(q.rows[i].beam.effectiveLet, a.rows[i].beam.effectiveLet);
                    EXPECT_EQ(q.rows[i].beam.effectiveRangeUm, a.rows[i].beam.effectiveRangeUm);
                }
            }
        }
    }
}

}  // namespace

