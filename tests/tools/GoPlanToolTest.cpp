// `tarvex-let go` and `tarvex-let plan` against the console's own Go and
// recomputation on station folders with other beams, devices, cyclotrons and
// tilts than the demo's (reference/make_stations.py).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/TarvexDlg.h"
#include "beam/BeamFixtures.h"
#include "support/RecordingChannel.h"
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

    // The console's Go on the current station: the last box it showed, its
    // question answered No.
    static std::string consoleGo(ControlId unit, const std::string& wanted) {
        ScriptedUi ui;
        CTarvexDlg dialog{ui};
        ui.events = &dialog;
        ui.chooseAnswer = [](Buttons buttons, Button fallback) {
            return buttons == Buttons::AbortRetryIgnore ? Button::Ignore : fallback;
        };
        EXPECT_TRUE(dialog.onInitDialog());
        dialog.console().channel = std::make_unique<RecordingChannel>();
        ui.chooseAnswer = [](Buttons buttons, Button fallback) {
            return buttons == Buttons::YesNo ? Button::No : fallback;
        };
        ui.controls.unitChoice = unit == ControlId::UnitLet ? 0 : unit == ControlId::UnitMeV ? 1 : 2;
        dialog.onCommand(unit);
        ui.controls.goal = wanted;
        dialog.onCommand(ControlId::Go);
        return ui.boxes.empty() ? "" : ui.boxes.back().text;
    }

    WorkFolder folder;
    std::string tool;
};

// The question's text as the tool prints it: the "(S = … , R = …)" line and
// the lines below the question.
std::string asToolOutput(const std::string& question) {
    const std::string head = "Required degrader coordinates ";
    const std::string tail = " have been determined - do you want to set them?\n\n";
    const auto end = question.find(tail);
    if (question.rfind(head, 0) != 0 || end == std::string::npos) return "not a question: " + question;
    return question.substr(head.size(), end - head.size()) + "\n" + question.substr(end + tail.size()) + "\n";
}

TEST_F(GoPlanTool, GoProposesWhatTheConsoleProposes) {
    struct Case {
        const char* station;
        ControlId unit;
        const char* option;
        const char* wanted;
    };
    // Xenon at T = 30 in vacuum, krypton on Belm in air at T = -60, helium
    // into silicon carbide at T = 45, lithium at T = 10; energies, LETs and
    // values the beam cannot give.
    int proposed = 0;
    for (const Case& c : {Case{"A-Xe129-S2-R45-T30", ControlId::UnitMeVPerNucleon, "--mev-per-u", "9"},
                          Case{"A-Xe129-S2-R45-T30", ControlId::UnitLet, "--let", "300"},
                          Case{"B-Kr84-S1-Rm20-Tm60-Belm-air", ControlId::UnitMeV, "--mev", "1100"},
                          Case{"B-Kr84-S1-Rm20-Tm60-Belm-air", ControlId::UnitLet, "--let", "40"},
                          Case{"C-He4-S0-R0-T45-SiC", ControlId::UnitMeVPerNucleon, "--mev-per-u", "4"},
                          Case{"N-Li7-S1-R60-T10", ControlId::UnitMeVPerNucleon, "--mev-per-u", "20"}}) {
        SCOPED_TRACE(std::string(c.station) + " " + c.option + " " + c.wanted);
        const fs::path station = enter(c.station);
        const std::string console = consoleGo(c.unit, c.wanted);
        const ToolRun run =
            runCommand(shellQuoted(tool) + " go " + shellQuoted(station.string()) + " " + c.option + " " + c.wanted);
        if (run.exitCode == 0) {
            ++proposed;
            EXPECT_EQ(run.out, asToolOutput(console));
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, console + "\n");
        }
    }
    EXPECT_GE(proposed, 3) << "most cases have a setting to compare";
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
}

TEST_F(GoPlanTool, PlanHasARowForEveryFoilAndAgreesWithTheRecomputation) {
    // Belm: six foils. The station stands at foil 1, R = -20, T = -60; the
    // plan's row for foil 1, R = 20, T = 60 is the same geometry.
    const fs::path station = enter("B-Kr84-S1-Rm20-Tm60-Belm-air");
    const ToolRun plan = runCommand(shellQuoted(tool) + " plan " + shellQuoted(station.string()) +
                                    " --csv --rotations 20 --tilts 60 --min-range 100");
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const std::vector<std::string> rows = linesOf(plan.out);
    ASSERT_EQ(rows.size(), 8u) << plan.out;
    EXPECT_EQ(rows[0], "foil,R,T,energy (MeV/u),nominal LET (MeV cm2/mg),effective LET (MeV cm2/mg),nominal range "
                       "(um),effective range (um),side,under minimum range");
    for (int foil = 0; foil <= 6; ++foil) {
        EXPECT_EQ(rows[static_cast<std::size_t>(foil) + 1].rfind(std::to_string(foil) + ",20,60,", 0), 0u)
            << rows[static_cast<std::size_t>(foil) + 1];
    }

    ASSERT_EQ(runCommand(shellQuoted(tool) + " recompute " + shellQuoted(station.string())).exitCode, 0);
    BeamState beam;
    std::istringstream results(fileContent(station / "CurrentBeamDELReB.dat"));
    results >> beam.beamTag >> beam.degraderEffectiveUm >> beam.deviceEnergyMeV >> beam.nominalLet >>
        beam.nominalRangeUm;
    std::vector<std::string> cells;
    std::istringstream row(rows[2]);
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    ASSERT_EQ(cells.size(), 10u);
    EXPECT_EQ(cells[4], streamText(beam.nominalLet));
    EXPECT_EQ(cells[6], streamText(beam.nominalRangeUm));
    EXPECT_NEAR(std::stod(cells[7]), beam.nominalRangeUm * 0.5, 1e-3) << "cos 60 = 0.5";
    EXPECT_EQ(cells[9], beam.nominalRangeUm * 0.5 < 100 ? "yes" : "no");
}

TEST_F(GoPlanTool, PlanOfAnotherIonDrawsOneMarkPerSetting) {
    const fs::path station = enter("A-Xe129-S2-R45-T30");
    const fs::path svg = folder.path() / "plan.svg";
    const ToolRun plan = runCommand(shellQuoted(tool) + " plan " + shellQuoted(station.string()) +
                                    " --ion 84Kr --energy 10 --rotations 0,45 --tilts 0 --svg " +
                                    shellQuoted(svg.string()));
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const std::vector<std::string> lines = linesOf(plan.out);
    ASSERT_EQ(lines.size(), 2u + 11 * 2) << plan.out;
    EXPECT_EQ(lines[0].rfind("# 84Kr 10 MeV/u (Z 36, A 84, 840 MeV) into silicon", 0), 0u) << lines[0];
    EXPECT_EQ(lines[2].rfind("0     0.0      0.0      ", 0), 0u) << lines[2];
    const std::string picture = fileContent(svg);
    std::size_t marks = 0;
    for (auto at = picture.find("<circle"); at != std::string::npos; at = picture.find("<circle", at + 1)) ++marks;
    EXPECT_EQ(marks, 22u + 3) << "one mark per setting and three in the legend";
    EXPECT_NE(picture.find("<title>foil 10, R 45°, T 0°: "), std::string::npos);
}

}  // namespace
