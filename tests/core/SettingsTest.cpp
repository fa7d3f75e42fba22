#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/Console.h"
#include "core/FileNames.h"
#include "core/Settings.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

namespace {

int cyclotron(const std::string& text, int previous) {
    std::istringstream in(text);
    return parseCyclotronCode(in, previous);
}

TEST(Settings, CyclotronCodeRule) {
    EXPECT_EQ(cyclotron("150", 500), 150);
    EXPECT_EQ(cyclotron("151", 150), 500);
    EXPECT_EQ(cyclotron("0", 150), 500);
    EXPECT_EQ(cyclotron("-150", 150), 500);
    EXPECT_EQ(cyclotron("Belm", 150), 150) << "a word keeps the code already held";
    EXPECT_EQ(cyclotron("", 150), 150);
    EXPECT_EQ(foilCountOf(150), 6);
    EXPECT_EQ(foilCountOf(500), 10);
    EXPECT_EQ(foilCountOf(151), 10) << "any code other than Belm's is Ardo";
}

TEST(Settings, SingleIntegerFilesKeepTheirValueOnAWord) {
    std::istringstream word("three");
    EXPECT_EQ(parseInteger(word, 3), 3);
    std::istringstream negative("-1\n");
    EXPECT_EQ(parseInteger(negative, 3), -1);
    std::istringstream crlf("2\r\n");
    EXPECT_EQ(parseInteger(crlf, 3), 2);
}

TEST(Settings, OptionsReadsTheLastThreeBehindTypedNumbers) {
    std::istringstream in("Options 1 2 3.0 4 5.0 6 7.0 8 9.0 10 11.0 12 0.05 2.5 3.5");
    Options options = parseOptions(in);
    EXPECT_EQ(options.foilTolerance, 0.05);
    EXPECT_EQ(options.slitToleranceU, 2.5);
    EXPECT_EQ(options.slitToleranceV, 3.5);
}

TEST(Settings, OptionsShortLabelEatsTheNumbers) {
    // "Opt" + "1" + "2" + "3." leaves "0" for number 1: everything shifts, and
    // the integer token where a real stands ends the reading early.
    std::istringstream in("Opt 1 2 3.0 4 5.0 6 7.0 8 9.0 10 11.0 12 0.05 2.5 3.5");
    Options options = parseOptions(in);
    Options defaults;
    EXPECT_NE(options.foilTolerance, 0.05);
    EXPECT_EQ(options.slitToleranceV, defaults.slitToleranceV);
}

TEST(Settings, OptionsMalformedNumberLeavesTheDefaults) {
    std::istringstream in("Options 1 2 x 4 5.0 6 7.0 8 9.0 10 11.0 12 0.05 2.5 3.5");
    Options options = parseOptions(in);
    Options defaults;
    EXPECT_EQ(options.foilTolerance, defaults.foilTolerance);
    EXPECT_EQ(options.slitToleranceU, defaults.slitToleranceU);
}

TEST(Settings, LaterReadOfAMissingFileStopsTheProgram) {
    WorkFolder folder;
    ScriptedUi ui;
    Console console(ui);
    EXPECT_THROW(
        {
            try {
                readCyclotronInUse(console);
            } catch (const ProcessExit& exit) {
                EXPECT_EQ(exit.code, 1);
                throw;
            }
        },
        ProcessExit);
    EXPECT_EQ(ui.lastBox().text,
              "Error opening file CyclotronInUse.dat - please fix the problem and restart the program.");
    EXPECT_FALSE(ui.closedWith.has_value()) << "the process ends without ending the dialog first";
}

TEST(Settings, AFolderNamedLikeASettingsFileCannotBeOpened) {
    WorkFolder folder;
    std::filesystem::create_directory(folder.path() / "DemoStatus.dat");
    ScriptedUi ui;
    Console console(ui);
    EXPECT_THROW(readDemoStatus(console), ProcessExit);
}

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(FileNames, NormalizeFileName) {
    struct Case {
        std::string name;
        std::string result;
        int lastIndex;
    };
    for (const Case& c : {Case{"   ", " ", 0}, Case{"a b  ", "a b", 2}, Case{"", "", 0}, Case{"x", "x", 0},
                          Case{"tab\t ", "tab\t", 3}, Case{std::string(200, 'n'), std::string(127, 'n'), 126},
                          Case{std::string(126, 'n') + "  z", std::string(126, 'n'), 125},
                          // Characters, not bytes: 100 two-byte letters stay whole, 130 are cut to 127.
                          Case{repeated("\u00e9", 100), repeated("\u00e9", 100), 198},
                          Case{repeated("\u00e9", 130), repeated("\u00e9", 127), 252}}) {
        CommandBuffer buffer;
        buffer.set("previous command;");
        EXPECT_EQ(normalizeFileNameInto(c.name, buffer), c.lastIndex) << c.name;
        EXPECT_EQ(buffer.text(), c.result) << c.name;
    }
}

TEST(FileNames, CommandBufferHoldsAtMost127Characters) {
    CommandBuffer buffer;
    buffer.set(std::string(300, 'c'));
    EXPECT_EQ(buffer.text(), std::string(127, 'c'));
    buffer.set("BH5;");
    EXPECT_EQ(buffer.text(), "BH5;");
}

TEST(FileNames, SaveDialogsRefuseTheConsolesOwnRecords) {
    WorkFolder folder;  // the working folder
    const std::string here = std::filesystem::current_path().string();
    const std::string logbook = " is a beam-run logbook of this station";
    const std::string own = " is one of the console's own files in the working folder";
    for (const auto& [path, refusal] : {std::pair<std::string, std::string>{"BeamRuns.csv", "BeamRuns.csv" + logbook},
                                        {"./BeamRuns-3.csv", "BeamRuns-3.csv" + logbook},
                                        {here + "/beamruns.CSV", "beamruns.CSV" + logbook},
                                        {"TarvexStatus.dat", "TarvexStatus.dat" + own},
                                        {"CurrentBeamDELReB.tmp", "CurrentBeamDELReB.tmp" + own},
                                        {"TarvexLive.json", "TarvexLive.json" + own},
                                        {"users/operator.log", "operator.log" + own},
                                        {"users/../RangeTable.txt", "RangeTable.txt" + own},
                                        {"BeamRunsExport.csv", ""},
                                        {"BeamRuns-.csv", ""},
                                        {"curve.svg", ""},
                                        {"/tmp/BeamRuns.csv", ""}}) {
        EXPECT_EQ(exportTargetRefusal(path), refusal) << path;
    }
}

TEST(FileNames, UsersFolderByDemoStatus) {
    EXPECT_EQ(usersFolderFor(-1), "./users/");
    EXPECT_EQ(usersFolderFor(0), "./users/");
    EXPECT_EQ(usersFolderFor(1), "./users/");
    EXPECT_EQ(usersFolderFor(2), "");
    EXPECT_EQ(usersFolderFor(5), "");
}

}  // namespace
