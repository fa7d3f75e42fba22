// The Bragg-curve plot data: "RangeTable.txt" read back into a record, the two
// curves, axes with 1-2-5 ticks, the peak by the table's own rule, the
// effective range, the title, the empty states with their reasons, and the
// SVG picture.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BeamFixtures.h"
#include "beam/BraggPlot.h"

namespace {

const std::string kTitleLine =
    "Au 15 MeV/u   at 5.70 MeV/amu (1122 MeV)   in silicon at 0.000 deg   LET = 92.3984   eLET = 92.3984   A = 197\n";
const std::string kColumns = "   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)\n";

// A row as the console writes it.
std::string row(double e, double depth, double effectiveDepth, double let, double effectiveLet, double mass = 197) {
    return printfText("%8.2f", e) + printfText(" %10.3f", e * mass) + printfText(" %7.1f", depth) +
           printfText(" %7.1f", effectiveDepth) + printfText("   %#8.4g", let) + printfText("   %#8.4g", effectiveLet) +
           "\n";
}

std::string table(const std::string& rows, const std::string& peakLine, const std::string& title = kTitleLine,
                  const std::string& columns = kColumns) {
    return title + "\n" + columns + "\n" + rows + "\n" + peakLine + "\n";
}

// Tags of an XML text balanced: every opened element closed in order.
bool balancedTags(const std::string& xml, std::string& why) {
    std::vector<std::string> open;
    std::size_t i = 0;
    while ((i = xml.find('<', i)) != std::string::npos) {
        std::size_t end = xml.find('>', i);
        if (end == std::string::npos) {
            why = "unterminated tag";
            return false;
        }
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
        if (tag.back() == '/') continue;
        std::string name = tag.substr(tag[0] == '/' ? 1 : 0);
        name = name.substr(0, name.find_first_of(" \t\n"));
        if (tag[0] == '/') {
            if (open.empty() || open.back() != name) {
                why = "</" + name + "> closes " + (open.empty() ? "nothing" : open.back());
                return false;
            }
            open.pop_back();
        } else {
            open.push_back(name);
        }
    }
    if (!open.empty()) why = "<" + open.back() + "> never closed";
    return open.empty();
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + what.size())) ++n;
    return n;
}

// ---------------------------------------------------------------- ticks

TEST(BraggAxis, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    EXPECT_DOUBLE_EQ(niceStep(63.3, 8), 10);    // 6.33 would need steps of 7.9: the next is 10
    EXPECT_DOUBLE_EQ(niceStep(1, 5), 0.2);      // exactly five intervals
    EXPECT_DOUBLE_EQ(niceStep(0.37, 6), 0.1);   // 0.05 would need 7.4 intervals
    EXPECT_DOUBLE_EQ(niceStep(2300, 5), 500);   // 460 per interval
    EXPECT_DOUBLE_EQ(niceStep(160, 8), 20);
    EXPECT_DOUBLE_EQ(niceStep(0, 5), 1);        // no span
}

TEST(BraggAxis, TicksCoverTheDataFromZero) {
    PlotAxis depth = niceAxis(0, 63.3, 8, kDepthAxisTitle);
    EXPECT_EQ(depth.title, "Depth (\u00b5m)");
    EXPECT_DOUBLE_EQ(depth.min, 0);
    EXPECT_DOUBLE_EQ(depth.max, 70);
    EXPECT_EQ(depth.tickLabels, (std::vector<std::string>{"0", "10", "20", "30", "40", "50", "60", "70"}));

    PlotAxis small = niceAxis(0, 0.37, 6, kLetAxisTitle);
    EXPECT_EQ(small.title, "LET (MeV\u00b7cm\u00b2/mg)");
    EXPECT_EQ(small.tickLabels, (std::vector<std::string>{"0.0", "0.1", "0.2", "0.3", "0.4"}));

    PlotAxis fine = niceAxis(0, 0.2, 4, "");
    EXPECT_EQ(fine.tickLabels, (std::vector<std::string>{"0.00", "0.05", "0.10", "0.15", "0.20"}));

    PlotAxis exact = niceAxis(0, 60, 6, "");  // a maximum on a tick gets no extra interval
    EXPECT_DOUBLE_EQ(exact.max, 60);
    EXPECT_EQ(exact.ticks.size(), 7u);

    PlotAxis nothing = niceAxis(0, 0, 5, "");
    EXPECT_DOUBLE_EQ(nothing.max, 1);
    EXPECT_EQ(nothing.tickLabels.front(), "0.0");
    EXPECT_EQ(nothing.tickLabels.back(), "1.0");
}

TEST(BraggAxis, LabelsNeverShowMinusZeroOrRoundingNoise) {
    EXPECT_EQ(tickLabel(-1e-17, 0.1), "0.0");
    EXPECT_EQ(tickLabel(0.1 + 0.2, 0.1), "0.3");
    EXPECT_EQ(tickLabel(2500, 500), "2500");
}

TEST(BraggAxis, DecimalPointWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "de_DE.utf8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    PlotAxis small = niceAxis(0, 0.37, 6, "");
    std::string label = tickLabel(0.25, 0.05);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(small.tickLabels[1], "0.1");
    EXPECT_EQ(label, "0.25");
}

// ---------------------------------------------------------------- reading

TEST(BraggTable, DemoTableIsReadIntoItsParts) {
    const std::string text = table(row(5.70, 0.0, 0.0, 92.40, 92.40) + row(4.60, 50.1, 50.1, 93.38, 93.38) +
                                       row(0.00, 63.3, 63.3, 0, 0),
                                   "Highest LET: 93.3751,  highest effective LET: 93.3751  at  E = 4.6 MeV/u  or  906.2 MeV\n",
                                   kTitleLine,
                                   "   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)   LEGACY CALCULATIONS\n");
    RangeTableRecord record = parseRangeTable(text);
    EXPECT_EQ(record.source, RangeTableSource::Table);
    EXPECT_EQ(record.problem, "");
    EXPECT_TRUE(record.headerParsed);
    EXPECT_EQ(record.beam, "Au 15 MeV/u");
    EXPECT_EQ(record.energyPerNucleonText, "5.70");
    EXPECT_EQ(record.energyMeVText, "1122");
    EXPECT_EQ(record.substrate, "silicon");
    EXPECT_EQ(record.tiltText, "0.000 deg");
    EXPECT_TRUE(record.hasEntryValues);
    EXPECT_DOUBLE_EQ(record.entryLet, 92.3984);
    EXPECT_DOUBLE_EQ(record.ionMassU, 197);
    EXPECT_TRUE(record.legacy);
    ASSERT_EQ(record.rows.size(), 3u);
    EXPECT_DOUBLE_EQ(record.rows[1].energyMeV, 906.2);
    EXPECT_DOUBLE_EQ(record.rows[1].depthUm, 50.1);
    EXPECT_DOUBLE_EQ(record.rows[1].let, 93.38);
    ASSERT_TRUE(record.hasPeakLine);
    EXPECT_DOUBLE_EQ(record.peakLine.let, 93.3751);
    EXPECT_DOUBLE_EQ(record.peakLine.energyPerNucleonMeV, 4.6);
    EXPECT_DOUBLE_EQ(record.peakLine.energyMeV, 906.2);

    BraggPlot plot = makeBraggPlot(record);
    ASSERT_FALSE(plot.empty) << plot.reason;
    EXPECT_EQ(plot.title, "silicon \u2014 Au 15 MeV/u at 5.70 MeV/u (1122 MeV), tilt 0.000 deg");
    EXPECT_EQ(plot.subtitle, "legacy calculations");
    // The peak's values come from the "Highest LET" line (six digits), its
    // depth from the row of that energy.
    EXPECT_DOUBLE_EQ(plot.peak.let, 93.3751);
    EXPECT_DOUBLE_EQ(plot.peak.energyPerNucleonMeV, 4.6);
    EXPECT_DOUBLE_EQ(plot.peak.energyMeV, 906.2);
    EXPECT_DOUBLE_EQ(plot.peak.depthUm, 50.1);
    EXPECT_DOUBLE_EQ(plot.rangeUm, 63.3);
    EXPECT_EQ(plot.peakLabel, "Bragg peak 93.38 MeV\u00b7cm\u00b2/mg");
    EXPECT_EQ(plot.peakEnergyLabel, "at 4.60 MeV/u (906.2 MeV), depth 50.1 \u00b5m");
    EXPECT_EQ(plot.effectiveRangeLabel, "Effective range 63.3 \u00b5m");
    EXPECT_FALSE(plot.tilted);
    // The axes hold every point: 0 to 70 µm; LET from 0 past the peak.
    EXPECT_DOUBLE_EQ(plot.x.min, 0);
    EXPECT_DOUBLE_EQ(plot.x.max, 70);
    EXPECT_DOUBLE_EQ(plot.y.min, 0);
    EXPECT_GT(plot.y.max, 93.38);
    EXPECT_EQ(plot.y.ticks.back(), plot.y.max);
}

TEST(BraggTable, CrLfLinesAreRead) {
    std::string text = table(row(2.0, 0, 0, 40, 40) + row(0, 10, 10, 0, 0),
                             "Highest LET: 40,  highest effective LET: 40  at  E = 2 MeV/u  or  394 MeV\n");
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    RangeTableRecord record = parseRangeTable(crlf);
    EXPECT_EQ(record.problem, "");
    EXPECT_EQ(record.rows.size(), 2u);
    EXPECT_TRUE(record.hasPeakLine);
    EXPECT_EQ(record.tiltText, "0.000 deg");
}

TEST(BraggTable, SingleRow) {
    RangeTableRecord record = parseRangeTable(
        table(row(0.01, 0, 0, 12.5, 12.5),
              "Highest LET: 12.5,  highest effective LET: 12.5  at  E = 0.01 MeV/u  or  1.97 MeV\n"));
    ASSERT_EQ(record.rows.size(), 1u);
    BraggPlot plot = makeBraggPlot(record);
    ASSERT_FALSE(plot.empty) << plot.reason;
    ASSERT_EQ(plot.nominal.size(), 1u);
    ASSERT_EQ(plot.effective.size(), 1u);
    EXPECT_DOUBLE_EQ(plot.peak.let, 12.5);
    EXPECT_DOUBLE_EQ(plot.peak.energyPerNucleonMeV, 0.01);
    EXPECT_DOUBLE_EQ(plot.peak.depthUm, 0);
    EXPECT_DOUBLE_EQ(plot.rangeUm, 0);
    EXPECT_DOUBLE_EQ(plot.effectiveRangeUm, 0);
    // A depth span of nothing still gets a readable axis: 0 to 1 µm.
    EXPECT_DOUBLE_EQ(plot.x.min, 0);
    EXPECT_DOUBLE_EQ(plot.x.max, 1);
    EXPECT_GE(plot.x.ticks.size(), 3u);
    EXPECT_GT(plot.y.max, 12.5);
}

TEST(BraggTable, PeakAtTheFirstRow) {
    // A slow ion past its peak: the LET only falls from the entrance on.
    RangeTableRecord record = parseRangeTable(
        table(row(0.50, 0, 0, 30.1, 30.1) + row(0.49, 0.2, 0.2, 29.9, 29.9) + row(0.48, 0.4, 0.4, 29.5, 29.5) +
                  row(0, 3.1, 3.1, 0, 0),
              "Highest LET: 30.1,  highest effective LET: 30.1  at  E = 0.5 MeV/u  or  98.5 MeV\n"));
    EXPECT_EQ(braggPeakRow(record.rows, true), 0);
    BraggPlot plot = makeBraggPlot(record);
    EXPECT_DOUBLE_EQ(plot.peak.let, 30.1);
    EXPECT_DOUBLE_EQ(plot.peak.depthUm, 0);
    EXPECT_DOUBLE_EQ(plot.peak.energyMeV, 0.5 * 197);
    EXPECT_EQ(plot.peakEnergyLabel, "at 0.50 MeV/u (98.5 MeV), depth 0.0 \u00b5m");
}

TEST(BraggTable, EqualLetsMoveThePeakToTheDeeperRow) {
    const std::string rows = row(3.00, 0, 0, 10, 10) + row(2.99, 1.0, 1.0, 20, 20) + row(2.98, 2.0, 2.0, 30, 30) +
                             row(2.97, 3.0, 3.0, 30, 30) + row(2.96, 4.0, 4.0, 25, 25);
    // Complete, as the console writes it: the line names 2.97 MeV/u.
    RangeTableRecord record = parseRangeTable(
        table(rows + row(0, 9.0, 9.0, 0, 0),
              "Highest LET: 30,  highest effective LET: 30  at  E = 2.97 MeV/u  or  585.09 MeV\n"));
    EXPECT_EQ(braggPeakRow(record.rows, true), 3);
    BraggPlot plot = makeBraggPlot(record);
    EXPECT_DOUBLE_EQ(plot.peak.depthUm, 3.0);
    EXPECT_DOUBLE_EQ(plot.peak.energyPerNucleonMeV, 2.97);

    // Without the "Highest LET" line (a table cut short) the rows decide.
    RangeTableRecord cut = parseRangeTable(kTitleLine + "\n" + kColumns + "\n" + rows);
    EXPECT_FALSE(cut.hasPeakLine);
    BraggPlot cutPlot = makeBraggPlot(cut);
    ASSERT_FALSE(cutPlot.empty) << cutPlot.reason;
    EXPECT_DOUBLE_EQ(cutPlot.peak.depthUm, 3.0);
    EXPECT_DOUBLE_EQ(cutPlot.peak.energyPerNucleonMeV, 2.97);
    EXPECT_DOUBLE_EQ(cutPlot.peak.energyMeV, 2.97 * 197);
    EXPECT_EQ(cutPlot.subtitle, "incomplete table: no \"Highest LET\" line");
}

TEST(BraggTable, TheHighestLetLineNamesThePeakAmongRowsPrintedAlike) {
    // 30.004 at 2.98 MeV/u and 29.996 at 2.97 MeV/u both print as 30.00; the
    // line, written from the unrounded values, names the shallower row.
    RangeTableRecord record = parseRangeTable(
        table(row(3.00, 0, 0, 10, 10) + row(2.98, 2.0, 2.0, 30.004, 30.004) + row(2.97, 3.0, 3.0, 29.996, 29.996) +
                  row(0, 9.0, 9.0, 0, 0),
              "Highest LET: 30.004,  highest effective LET: 30.004  at  E = 2.98 MeV/u  or  587.06 MeV\n"));
    EXPECT_EQ(braggPeakRowOfLine(record.rows, record.peakLine), 1);
    BraggPlot plot = makeBraggPlot(record);
    EXPECT_DOUBLE_EQ(plot.peak.depthUm, 2.0);
    EXPECT_DOUBLE_EQ(plot.peak.let, 30.004);
    EXPECT_DOUBLE_EQ(plot.peak.energyMeV, 587.06);

    // A line naming an energy no row has: the rows decide.
    RangeTableRecord odd = record;
    odd.peakLine.energyPerNucleonMeV = 1.5;
    EXPECT_EQ(braggPeakRowOfLine(odd.rows, odd.peakLine), -1);
    EXPECT_DOUBLE_EQ(makeBraggPlot(odd).peak.depthUm, 3.0);
}

TEST(BraggTable, TheStepToRestIsNoPeakCandidate) {
    // The last row of a complete table is the step to rest, which never
    // moves the peak, even at an equal LET.
    std::vector<RangeRow> rows = {{1, 197, 0, 0, 10, 10}, {0.99, 195, 1, 1, 20, 20}, {0, 0, 2, 2, 20, 20}};
    EXPECT_EQ(braggPeakRow(rows, true), 1);
    // A table still being written (no "Highest LET" line) has no such row yet.
    EXPECT_EQ(braggPeakRow(rows, false), 2);
    EXPECT_EQ(braggPeakRow({}, true), -1);
}

TEST(BraggTable, TiltOfSixtyDegrees) {
    const std::string title =
        "Au 2 MeV/u   at 2.00 MeV/amu (394 MeV)   in silicon at 60.000 deg   LET = 40   eLET = 80   A = 197\n";
    RangeTableRecord record = parseRangeTable(
        table(row(2.00, 0, 0, 40, 80) + row(1.50, 4.0, 2.0, 50, 100) + row(1.00, 8.0, 4.0, 45, 90) +
                  row(0, 12.0, 6.0, 0, 0),
              "Highest LET: 50,  highest effective LET: 100  at  E = 1.5 MeV/u  or  295.5 MeV\n", title));
    BraggPlot plot = makeBraggPlot(record);
    ASSERT_FALSE(plot.empty) << plot.reason;
    EXPECT_EQ(plot.title, "silicon \u2014 Au 2 MeV/u at 2.00 MeV/u (394 MeV), tilt 60.000 deg");
    ASSERT_EQ(plot.nominal.size(), 4u);
    ASSERT_EQ(plot.effective.size(), 4u);
    for (std::size_t i = 0; i < plot.nominal.size(); ++i) {
        EXPECT_DOUBLE_EQ(plot.effective[i].x, plot.nominal[i].x / 2) << i;
        EXPECT_DOUBLE_EQ(plot.effective[i].y, plot.nominal[i].y * 2) << i;
    }
    EXPECT_TRUE(plot.tilted);
    EXPECT_DOUBLE_EQ(plot.rangeUm, 12);
    EXPECT_DOUBLE_EQ(plot.effectiveRangeUm, 6);
    EXPECT_DOUBLE_EQ(plot.peak.effectiveLet, 100);
    EXPECT_DOUBLE_EQ(plot.peak.effectiveDepthUm, 2);
    EXPECT_EQ(plot.peakLabel, "Bragg peak 50.00 MeV\u00b7cm\u00b2/mg (effective 100.0)");
    EXPECT_EQ(plot.effectiveRangeLabel, "Effective range 6.0 \u00b5m");
    EXPECT_EQ(plot.effectiveLegend, "Effective LET at tilt 60.000 deg, range 6.0 \u00b5m");
    // The LET axis holds the effective curve, twice as high.
    EXPECT_GT(plot.y.max, 100);
}

// ---------------------------------------------------------------- empty states

TEST(BraggTable, StoppedBeamEmptyFile) {
    for (const std::string& text : {std::string(), std::string("\n"), std::string("  \r\n\n")}) {
        RangeTableRecord record = parseRangeTable(text);
        EXPECT_EQ(record.source, RangeTableSource::Empty);
        BraggPlot plot = makeBraggPlot(record);
        EXPECT_TRUE(plot.empty);
        EXPECT_EQ(plot.reason, "The beam stops before the substrate");
        EXPECT_TRUE(plot.nominal.empty());
    }
}

TEST(BraggTable, MalformedInputGivesAReason) {
    struct Case {
        std::string text;
        std::string reason;
    };
    const std::string peak = "Highest LET: 40,  highest effective LET: 40  at  E = 2 MeV/u  or  394 MeV\n";
    const std::vector<Case> cases = {
        {"this is not a table\n" + row(1, 0, 0, 1, 1), "RangeTable.txt does not start with a range table's title line"},
        {table(row(2, 0, 0, 40, 40) + "    1.00   197.000     3.0     3.0      50.00\n", peak),
         "RangeTable.txt: line 6 is not a row of six numbers"},
        {table(row(2, 0, 0, 40, 40) + "    1.00   197.000     3.0     3.0      50.00   fifty\n", peak),
         "RangeTable.txt: line 6 is not a row of six numbers"},
        {table(row(2, 0, 0, 40, 40) + "    1,00   197,000     3,0     3,0      50,00   50,00\n", peak),
         "RangeTable.txt: line 6 is not a row of six numbers"},
        {table(row(2, 0, 0, 40, 40) + "    1.00   197.000     3.0     3.0      50.00   50.00  7\n", peak),
         "RangeTable.txt: line 6 is not a row of six numbers"},
        {table(row(2, 0, 0, 40, 40) + "    1.00   197.000     3.0     3.0      nan   nan\n", peak),
         "RangeTable.txt: line 6 is not a row of six numbers"},
        {table(row(2, 0, 0, 40, 40), "Highest LET: lots,  highest effective LET: 40\n"),
         "RangeTable.txt: line 7 is not a readable \"Highest LET\" line"},
        {table(row(2, 0, 0, 40, 40), peak) + row(1, 1, 1, 1, 1), "RangeTable.txt: line 9 is not a row of six numbers"},
        {kTitleLine + "\n" + kColumns + "\n", "RangeTable.txt holds no rows"},
        {std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0", 12) + kTitleLine, "RangeTable.txt is not a text file"},
    };
    for (const Case& c : cases) {
        BraggPlot plot = makeBraggPlot(parseRangeTable(c.text));
        EXPECT_TRUE(plot.empty) << c.text;
        EXPECT_EQ(plot.reason, c.reason) << c.text;
        EXPECT_TRUE(plot.nominal.empty());
    }
}

TEST(BraggTable, RandomBytesNeverCrash) {
    std::string bytes;
    unsigned state = 12345;
    for (int round = 0; round < 200; ++round) {
        bytes.clear();
        for (int i = 0; i < 300; ++i) {
            state = state * 1103515245u + 12345u;
            bytes += static_cast<char>((state >> 16) & 0xff);
        }
        if (round % 2 == 0) bytes = kTitleLine + bytes;
        BraggPlot plot = makeBraggPlot(parseRangeTable(bytes));
        EXPECT_TRUE(plot.empty);
        EXPECT_FALSE(plot.reason.empty());
        EXPECT_EQ(braggPlotSvg(plot).rfind("<svg", 0), 0u);
    }
}

class BraggFile : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }
    WorkFolder folder;
};

TEST_F(BraggFile, MissingEmptyOversizedAndGood) {
    BraggPlot missing = makeBraggPlot(readRangeTableFile(path("RangeTable.txt")));
    EXPECT_TRUE(missing.empty);
    EXPECT_EQ(missing.reason, "No range table yet");

    folder.write("RangeTable.txt", "");
    EXPECT_EQ(makeBraggPlot(readRangeTableFile(path("RangeTable.txt"))).reason, "The beam stops before the substrate");

    folder.write("RangeTable.txt", table(row(2.0, 0, 0, 40, 40) + row(0, 10, 10, 0, 0),
                                         "Highest LET: 40,  highest effective LET: 40  at  E = 2 MeV/u  or  394 MeV\n"));
    BraggPlot good = makeBraggPlot(readRangeTableFile(path("RangeTable.txt")));
    EXPECT_FALSE(good.empty) << good.reason;
    EXPECT_EQ(good.nominal.size(), 2u);

    std::filesystem::create_directory(folder.path() / "folder");
    EXPECT_EQ(makeBraggPlot(readRangeTableFile(path("folder"))).reason, "RangeTable.txt is not a file");

    // Larger than the limit: refused without being read.
    {
        std::ofstream big(path("Big.txt"), std::ios::binary);
        big << kTitleLine;
        std::filesystem::resize_file(path("Big.txt"), kMaxRangeTableBytes + 1);
    }
    RangeTableRecord oversized = readRangeTableFile(path("Big.txt"));
    EXPECT_EQ(oversized.source, RangeTableSource::Unreadable);
    EXPECT_EQ(oversized.problem, "RangeTable.txt is too large to show (64.0 MB)");
}

// ---------------------------------------------------------------- the console's own table

class BraggOfRecomputation : public BeamStation {};

TEST_F(BraggOfRecomputation, SixtyDegreesHalvesDepthAndDoublesLet) {
    writeLayers({siliconLayer("silicon", 0)});
    setAxis(kAxisT, 60);
    ASSERT_EQ(recompute(), -1);
    BraggPlot plot = makeBraggPlot(readRangeTableFile((folder.path() / "RangeTable.txt").string()));
    ASSERT_FALSE(plot.empty) << plot.reason;
    EXPECT_EQ(plot.title, "silicon \u2014 Au 2 MeV/u at 2.00 MeV/u (394 MeV), tilt 60.000 deg");
    EXPECT_EQ(plot.nominal.size(), 1u + 199u + 1u);  // entrance, 1.99 … 0.01 MeV/u, rest
    ASSERT_EQ(plot.nominal.size(), plot.effective.size());
    for (std::size_t i = 0; i < plot.nominal.size(); ++i) {
        // Depths are written with one decimal, LETs with four digits.
        EXPECT_NEAR(plot.effective[i].x, plot.nominal[i].x / 2, 0.051) << i;
        EXPECT_NEAR(plot.effective[i].y, plot.nominal[i].y * 2, plot.nominal[i].y * 2e-3) << i;
    }
    EXPECT_NEAR(plot.rangeUm, console.state.beam.nominalRangeUm, 0.051);
    EXPECT_NEAR(plot.effectiveRangeUm, console.state.beam.nominalRangeUm / 2, 0.051);
    // The peak's energy is the one the console keeps for the Bragg choice.
    EXPECT_NEAR(plot.peak.energyMeV, console.state.beam.braggEnergyMeV, console.state.beam.braggEnergyMeV * 1e-5);
}

TEST_F(BraggOfRecomputation, BeamStoppedInALayerShowsTheReason) {
    LayerText thick = siliconLayer("silicon", 2, 0);
    thick.unit = 2;  // cm
    writeLayers({thick});
    setAxis(kAxisS, 0);
    ASSERT_EQ(recompute(), -1);
    BraggPlot plot = makeBraggPlot(readRangeTableFile((folder.path() / "RangeTable.txt").string()));
    EXPECT_TRUE(plot.empty);
    EXPECT_EQ(plot.reason, "The beam stops before the substrate");
}

// ---------------------------------------------------------------- read-out and SVG

TEST(BraggReadout, CurveValuesAreInterpolated) {
    std::vector<PlotPoint> curve = {{0, 10}, {10, 20}, {20, 0}};
    double y = -1;
    ASSERT_TRUE(curveValueAt(curve, 5, y));
    EXPECT_DOUBLE_EQ(y, 15);
    ASSERT_TRUE(curveValueAt(curve, 15, y));
    EXPECT_DOUBLE_EQ(y, 10);
    EXPECT_FALSE(curveValueAt(curve, 21, y));
    EXPECT_FALSE(curveValueAt({}, 0, y));

    BraggPlot plot = makeBraggPlot("Au   at 2.00 MeV/amu (394 MeV)   in Si at 60.000 deg",
                                   {{2, 394, 0, 0, 40, 80}, {1, 197, 10, 5, 60, 120}, {0, 0, 20, 10, 0, 0}}, false,
                                   {60, 120, 1, 197});
    EXPECT_EQ(braggReadout(plot, 5, 55.2),
              "Depth 5.0 \u00b5m,  LET 55.20 MeV\u00b7cm\u00b2/mg   \u2014   at this depth: nominal 50.00, effective 120.0");
    EXPECT_EQ(braggReadout(plot, 15, 1), "Depth 15.0 \u00b5m,  LET 1.000 MeV\u00b7cm\u00b2/mg   \u2014   at this depth: nominal 30.00");
}

TEST(BraggSvg, PictureHasTitleAxesCurvesAndMarks) {
    const std::string title =
        "Au 2 MeV/u   at 2.00 MeV/amu (394 MeV)   in Si & <oxide> at 60.000 deg   LET = 40   eLET = 80   A = 197\n";
    BraggPlot plot = makeBraggPlot(parseRangeTable(
        table(row(2.00, 0, 0, 40, 80) + row(1.50, 4.0, 2.0, 50, 100) + row(0, 12.0, 6.0, 0, 0),
              "Highest LET: 50,  highest effective LET: 100  at  E = 1.5 MeV/u  or  295.5 MeV\n", title)));
    ASSERT_FALSE(plot.empty) << plot.reason;
    const std::string svg = braggPlotSvg(plot, 800, 500);
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
    EXPECT_NE(svg.find("width=\"800\" height=\"500\""), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
    std::string why;
    EXPECT_TRUE(balancedTags(svg, why)) << why;
    EXPECT_NE(svg.find("Si &amp; &lt;oxide&gt; \u2014 Au 2 MeV/u at 2.00 MeV/u (394 MeV), tilt 60.000 deg"),
              std::string::npos);
    EXPECT_EQ(svg.find("<oxide>"), std::string::npos);
    EXPECT_NE(svg.find(">Depth (\u00b5m)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">LET (MeV\u00b7cm\u00b2/mg)</text>"), std::string::npos);
    EXPECT_EQ(count(svg, "<polyline"), 2u);
    EXPECT_NE(svg.find(kNominalColour), std::string::npos);
    EXPECT_NE(svg.find(kEffectiveColour), std::string::npos);
    EXPECT_NE(svg.find(">Bragg peak 50.00 MeV\u00b7cm\u00b2/mg (effective 100.0)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">at 1.50 MeV/u (295.5 MeV), depth 4.0 \u00b5m</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Effective range 6.0 \u00b5m</text>"), std::string::npos);
    EXPECT_EQ(count(svg, "<circle"), 2u);  // the peak on each curve
    for (const std::string& label : plot.x.tickLabels) EXPECT_NE(svg.find(">" + label + "</text>"), std::string::npos);

    // The nominal curve starts at the plot's lower left corner plus the
    // entrance LET, the effective one at twice that height.
    BraggFrame frame = braggFrame(plot, 800, 500);
    const std::string firstNominal = printfText("%.1f", frame.left) + "," + printfText("%.1f", frame.py(40));
    const std::string firstEffective = printfText("%.1f", frame.left) + "," + printfText("%.1f", frame.py(80));
    EXPECT_NE(svg.find("points=\"" + firstNominal + " "), std::string::npos) << firstNominal;
    EXPECT_NE(svg.find("points=\"" + firstEffective + " "), std::string::npos) << firstEffective;
    EXPECT_LT(frame.py(80), frame.py(40));  // higher LET, higher up
}

TEST(BraggSvg, EmptyStateShowsTheReason) {
    RangeTableRecord empty;
    empty.source = RangeTableSource::Empty;
    const std::string svg = braggPlotSvg(makeBraggPlot(empty));
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    std::string why;
    EXPECT_TRUE(balancedTags(svg, why)) << why;
    EXPECT_NE(svg.find(">The beam stops before the substrate</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<polyline"), std::string::npos);
}

TEST(SettingsSvg, GuidesGreyedAndChosenMarksAndOneLabelPerFreePlace) {
    // 900 × 560: the plot area runs from x 84 to 872 and, under the title and
    // the key line, from y 66 to 476. The x axis reaches 0 … 25 µm (past the
    // minimum range 20 × 1.05, step 5), the y axis 0 … 50 (past the band's top
    // 44 × 1.05 = 46.2, step 10).
    // Five marks at one place: their labels take the four places beside it
    // (right, left, above, below) and the fifth is left out.
    std::vector<SettingMark> marks(5, {10, 20, 1, "foil 1, T 0°: past peak", "S1 T0", false, false});
    marks.push_back({15, 30, 0, "foil 3, R 30°, T 45°: before peak", "S3 R30 T45", false, true});
    marks.push_back({5, 10, 0, "foil 5, R 0°, T 0°: before peak", "S5 R0 T0", true, false});
    PlotGuides guides;
    guides.minimumRangeUm = 20;
    guides.wantedLets = {40};
    guides.tolerance = 0.1;
    const std::string svg = settingsPlotSvg("Kr <10> into silicon", marks, guides);
    std::string why;
    EXPECT_TRUE(balancedTags(svg, why)) << why;
    // x = 84 + 20 / 25 × 788; the band from 476 − 44 / 50 × 410 down to 476 − 36 / 50 × 410.
    EXPECT_NE(svg.find("<line x1=\"714.4\" y1=\"66.0\" x2=\"714.4\" y2=\"476.0\" stroke=\"#7a3fa0\""),
              std::string::npos);
    EXPECT_NE(svg.find(">Minimum range 20 \u00b5m</text>"), std::string::npos);
    EXPECT_NE(svg.find("<rect x=\"84.0\" y=\"115.2\" width=\"788.0\" height=\"65.6\" fill=\"#3c9a4a\""),
              std::string::npos);
    EXPECT_NE(svg.find(">LET 40 \u00b1 10%</text>"), std::string::npos);
    // The greyed mark (5, 10) at 84 + 5 / 25 × 788, 476 − 10 / 50 × 410; the
    // chosen one (15, 30) ringed at 556.8, 230.
    EXPECT_NE(svg.find("<circle cx=\"241.6\" cy=\"394.0\" r=\"4.0\" fill=\"#c4c4c4\""), std::string::npos);
    EXPECT_NE(svg.find("<circle cx=\"556.8\" cy=\"230.0\" r=\"7.5\" fill=\"none\" stroke=\"#000000\""),
              std::string::npos);
    EXPECT_EQ(count(svg, "<title>foil 1, T 0°: past peak</title>"), 5u);
    EXPECT_EQ(count(svg, ">S1 T0</text>"), 4u);
    EXPECT_EQ(count(svg, ">S3 R30 T45</text>"), 1u);
    EXPECT_EQ(count(svg, ">S5 R0 T0</text>"), 1u);
    EXPECT_NE(svg.find("Kr &lt;10&gt; into silicon"), std::string::npos);
    EXPECT_EQ(count(svg, ">under the minimum range</text>") + count(svg, ">chosen</text>"), 2u);
}

TEST(BraggLabel, PeakLabelGoesWhereNoCurveCrosses) {
    // Nothing above the peak: the label stands above it.
    BraggPlot flat = makeBraggPlot("Au   at 2.00 MeV/amu (394 MeV)   in Si at 0.000 deg",
                                   {{2, 394, 0, 0, 40, 40}, {1, 197, 10, 10, 50, 50}, {0, 0, 20, 20, 0, 0}}, false,
                                   {50, 50, 1, 197});
    BraggFrame frame = braggFrame(flat, 900, 560);
    LabelSpot above = placePeakLabel(flat, frame, 200);
    EXPECT_LT(above.baseline + kPeakLabelLineGap, frame.py(50));

    // A tilted table whose effective curve runs just above the nominal peak
    // all the way across: the label stays clear of that line and of the marker.
    BraggPlot tilted = makeBraggPlot(
        "Au   at 2.00 MeV/amu (394 MeV)   in Si at 30.000 deg",
        {{2, 394, 0, 0, 40, 56}, {1.5, 295.5, 5, 4.9, 45, 56}, {1, 197, 10, 9.8, 50, 56}, {0.5, 98.5, 15, 14.7, 45, 56},
         {0, 0, 20, 19.6, 0, 56}},
        false, {50, 56, 1, 197});
    frame = braggFrame(tilted, 900, 560);
    LabelSpot below = placePeakLabel(tilted, frame, 200);
    const double top = below.baseline - 13, bottom = below.baseline + kPeakLabelLineGap + 4;
    EXPECT_TRUE(frame.py(56) < top - 2 || frame.py(56) > bottom + 2) << top << ".." << bottom << " line " << frame.py(56);
    EXPECT_TRUE(frame.py(50) + 5 < top || frame.py(50) - 5 > bottom) << top << ".." << bottom << " marker " << frame.py(50);
    // And stays within the plot area.
    const double left = below.alignRight ? below.x - 200 : below.x;
    EXPECT_GE(left, frame.left);
    EXPECT_LE(left + 200, frame.right);

    // A steep tilt: the effective curve falls to its range left of a late
    // nominal peak, and a wide label beside the marker would cross it either
    // way; it goes against the side of the plot area, clear of both curves.
    BraggPlot steep = makeBraggPlot(
        "Au   at 15.00 MeV/amu (2955 MeV)   in Si at 60.000 deg",
        {{15, 2955, 0, 0, 80, 160}, {8, 1576, 60, 30, 88, 176}, {4.6, 906, 100, 50, 93.4, 186.8},
         {3, 591, 120, 60, 85, 170}, {1, 197, 145, 72.5, 40, 80}, {0, 0, 155, 77.5, 0, 0}},
        false, {93.4, 186.8, 4.6, 906});
    frame = braggFrame(steep, 900, 560);
    const double width = 300;
    LabelSpot side = placePeakLabel(steep, frame, width);
    const double sideLeft = side.alignRight ? side.x - width : side.x;
    const double sideTop = side.baseline - 13, sideBottom = side.baseline + kPeakLabelLineGap + 4;
    EXPECT_GT(sideLeft, frame.px(77.5)) << "over the effective curve";
    EXPECT_LE(sideLeft + width, frame.right);
    for (const PlotPoint& p : steep.nominal) {
        if (frame.px(p.x) >= sideLeft && frame.px(p.x) <= sideLeft + width) {
            EXPECT_TRUE(frame.py(p.y) > sideBottom || frame.py(p.y) < sideTop) << "over the nominal curve at " << p.x;
        }
    }
    EXPECT_LT(sideBottom, frame.py(93.4) - 6) << "over the marker";
}

TEST(BraggFrameMapping, PixelsAndDataRoundTrip) {
    BraggPlot plot = makeBraggPlot("Au   at 2.00 MeV/amu (394 MeV)   in Si at 0.000 deg",
                                   {{2, 394, 0, 0, 40, 40}, {0, 0, 20, 20, 0, 0}}, false, {40, 40, 2, 394});
    BraggFrame frame = braggFrame(plot, 900, 560);
    EXPECT_DOUBLE_EQ(frame.px(plot.x.min), frame.left);
    EXPECT_DOUBLE_EQ(frame.px(plot.x.max), frame.right);
    EXPECT_DOUBLE_EQ(frame.py(plot.y.min), frame.bottom);
    EXPECT_DOUBLE_EQ(frame.py(plot.y.max), frame.top);
    EXPECT_NEAR(frame.dataX(frame.px(13.7)), 13.7, 1e-9);
    EXPECT_NEAR(frame.dataY(frame.py(21.5)), 21.5, 1e-9);
    EXPECT_TRUE(frame.inside(frame.px(10), frame.py(20)));
    EXPECT_FALSE(frame.inside(frame.left - 1, frame.py(20)));
}

TEST(BraggExport, TitleAndFileNameNameTheBeamSettingsAndDate) {
    BraggExportLabel label{"197Au 15 MeV/u", "2 foil", "30.000 deg", "60.000 deg", "2026-12-09"};
    EXPECT_EQ(braggExportTitle(label), "197Au 15 MeV/u   S = 2 foil   R = 30.000 deg   T = 60.000 deg   2026-12-09");
    EXPECT_EQ(braggExportFileName(label, ".png"), "Bragg curve 197Au 15 MeV_u 2026-12-09.png");
    label.beam = std::string("a\\b:c*d?e\"f<g>h|i\tj\x7fk\xc2\xb5");
    EXPECT_EQ(braggExportFileName(label, ".svg"), "Bragg curve a_b_c_d_e_f_g_h_i_j_k\xc2\xb5 2026-12-09.svg");

    BraggPlot plot;
    plot.title = "silicon";
    plot.subtitle = "legacy calculations";
    const BraggPlot exported = braggExportPlot(plot, label);
    EXPECT_EQ(exported.title, braggExportTitle(label));
    EXPECT_EQ(exported.subtitle, "silicon   legacy calculations");
}

}  // namespace
