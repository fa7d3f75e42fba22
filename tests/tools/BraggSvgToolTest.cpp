// `tarvex-let range … --svg FILE`: the Bragg-curve picture of the table the
// tool prints, written without a window.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "beam/BeamFixtures.h"
#include "beam/BraggPlot.h"
#include "support/ToolRun.h"

namespace {

class BraggSvgTool : public BeamStation {
protected:
    void SetUp() override {
        BeamStation::SetUp();
        tool = siblingProgram("tarvex-let");
        if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    }
    std::string range(const std::string& extra) const {
        return shellQuoted(tool) + " range --ion 197Au --element Si --energy 2 --tilt 60 --data . " + extra;
    }
    std::string tool;
};

TEST_F(BraggSvgTool, DrawsTheTableItPrints) {
    ToolRun plain = runCommand(range(""));
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    ToolRun drawn = runCommand(range("--svg bragg.svg"));
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
    EXPECT_EQ(drawn.err, "");
    EXPECT_EQ(drawn.out, plain.out);  // the table itself is unchanged

    const std::string svg = fileContent(folder.path() / "bragg.svg");
    ASSERT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u) << svg.substr(0, 200);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
    EXPECT_NE(svg.find(">Si \u2014 197Au at 2.00 MeV/u (394 MeV), tilt 60.000 deg</text>"), std::string::npos);
    EXPECT_GT(std::count(svg.begin(), svg.end(), '\n'), 20);
    std::size_t polylines = 0;
    for (std::size_t i = svg.find("<polyline"); i != std::string::npos; i = svg.find("<polyline", i + 1)) ++polylines;
    EXPECT_EQ(polylines, 2u);

    // The effective range is the last row's effective depth, half its depth.
    std::vector<std::string> lines = linesOf(plain.out);
    ASSERT_GT(lines.size(), 8u);
    std::istringstream last(lines[lines.size() - 4]);  // then an empty line, the peak line, an empty line
    double e = 0, mev = 0, depth = 0, effectiveDepth = 0;
    last >> e >> mev >> depth >> effectiveDepth;
    EXPECT_NEAR(effectiveDepth, depth / 2, 0.051);
    EXPECT_NE(svg.find(">Effective range " + printfText("%.1f", effectiveDepth) + " \u00b5m</text>"), std::string::npos)
        << printfText("%.1f", effectiveDepth);

    // The same picture the window makes of the same table.
    EXPECT_EQ(svg, braggPlotSvg(makeBraggPlot(parseRangeTable(plain.out))));
}

TEST_F(BraggSvgTool, CsvRowsDrawTheSamePeak) {
    ToolRun table = runCommand(range(""));
    ASSERT_EQ(table.exitCode, 0) << table.err;
    ToolRun csv = runCommand(range("--csv --svg=csv.svg"));
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("E_MeV_per_u,", 0), 0u);
    const std::string svg = fileContent(folder.path() / "csv.svg");
    ASSERT_EQ(svg.rfind("<svg", 0), 0u);

    // The peak's energies as the table's "Highest LET" line gives them.
    std::vector<std::string> lines = linesOf(table.out);
    ASSERT_GT(lines.size(), 2u);
    const std::string peakLine = lines[lines.size() - 2];
    ASSERT_EQ(peakLine.rfind("Highest LET: ", 0), 0u) << peakLine;
    const std::size_t at = peakLine.find("E = ");
    const double perNucleon = std::stod(peakLine.substr(at + 4));
    const double mev = std::stod(peakLine.substr(peakLine.find("  or  ") + 6));
    const std::string expected = "at " + printfText("%.2f", perNucleon) + " MeV/u (" + printfText("%.1f", mev) + " MeV)";
    EXPECT_NE(svg.find(">" + expected), std::string::npos) << expected;
    EXPECT_NE(svg.find(">Si \u2014 197Au at 2.00 MeV/u (394 MeV), tilt 60.000 deg</text>"), std::string::npos);
}

TEST_F(BraggSvgTool, OnlyForRangeAndOnlyWhereItCanWrite) {
    ToolRun other = runCommand(shellQuoted(tool) + " stopping --ion 197Au --element Si --data . --svg x.svg");
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_EQ(other.err, "tarvex-let: --svg does not apply to stopping\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "x.svg"));

    ToolRun nowhere = runCommand(range("--svg no/such/folder/b.svg"));
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.err, "tarvex-let: --svg 'no/such/folder/b.svg': cannot write it\n");
}

}  // namespace
