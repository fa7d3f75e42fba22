#include <gtest/gtest.h>

#include <sstream>

#include "axes/AxisFiles.h"
#include "core/Console.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

namespace {

TEST(AxisTable, ValueConversionAndDirection) {
    Axis axis;
    axis.internalPosition = 12345;
    axis.scale = 0;
    axis.offset = 4;
    EXPECT_EQ(axisValue(axis), 0.0);
    axis.scale = -100;
    EXPECT_DOUBLE_EQ(axisValue(axis), -123.45 + 4);
    EXPECT_EQ(internalPositionFor(axis, 5.5), -150) << "trunc(1.5 * -100)";
    EXPECT_EQ(plusDirectionStep(axis, 10), -10);
    axis.scale = 0;
    EXPECT_EQ(plusDirectionStep(axis, 10), -10) << "a zero scale counts as negative";
    axis.scale = 1e12;
    EXPECT_EQ(internalPositionFor(axis, 1e6), INT32_MAX) << "saturates instead of overflowing";
}

TEST(AxisTable, SetupTableNames) {
    EXPECT_EQ(setupTableName(0, 500), "AirArdo.dat");
    EXPECT_EQ(setupTableName(0, 150), "AirBelm.dat");
    EXPECT_EQ(setupTableName(1, 500), "VacArdo.dat");
    EXPECT_EQ(setupTableName(1, 150), "VacBelm.dat");
    EXPECT_EQ(setupTableName(2, 500), "");
}

TEST(AxisTable, SetupTableMalformedTokenLeavesTheRest) {
    AxisTable table;
    table[kAxisY].offset = 99;
    table[kAxisS].jogVelocity = 77;
    std::istringstream in("a b c d e f g h\n1 2 3 4.5 10\n5 6 7 oops 20\n");
    parseSetupTable(in, table);
    EXPECT_EQ(table[kAxisX].unit, "a");
    EXPECT_EQ(table[kAxisS].unit, "h");
    EXPECT_EQ(table[kAxisX].offset, 4.5);
    EXPECT_EQ(table[kAxisY].nudgeStep, 7);
    EXPECT_EQ(table[kAxisY].offset, 99) << "malformed token leaves the field";
    EXPECT_EQ(table[kAxisY].scale, 0) << "and every later one";
    EXPECT_EQ(table[kAxisS].jogVelocity, 77);
}

TEST(AxisTable, StatusFileRoundTrip) {
    AxisTable table;
    for (int i = 0; i < kAxisCount; ++i) {
        table[i].internalPosition = (i - 3) * 1000;
        table[i].locked = i % 2;
    }
    std::string text = formatStatusFile("Beam spot 1", 1, table);
    EXPECT_EQ(text,
              "Beam spot 1\n1\n-3000   -2000   -1000   0   1000   2000   3000   4000\n0   1   0   1   0   1   0   1\n");
    StoredStatus stored;
    std::istringstream in(text);
    parseStatusFile(in, stored);
    EXPECT_EQ(stored.positionName, "Beam spot 1");
    EXPECT_EQ(stored.dutLocation, 1);
    EXPECT_EQ(stored.internalPosition[kAxisR], 3000);
    EXPECT_EQ(stored.locked[kAxisS], 1);
}

class AxisFilesTest : public ::testing::Test {
protected:
    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
};

TEST_F(AxisFilesTest, SeventhNumberIsRShownInItsOwnBox) {
    folder.write("TarvexStatus.dat", "Here\n0\n0 0 0 0 0 0 700 800\n0 0 0 0 0 0 0 0\n");
    for (Axis& axis : console.state.axes.axes) axis.scale = 100;
    loadStatusFile(console);
    refreshAxisValues(console);
    EXPECT_EQ(ui.texts.at(ControlId::ValueR), "7.000");
    EXPECT_EQ(ui.texts.at(ControlId::ValueS), "8.000");
}

TEST_F(AxisFilesTest, ZeroScaleShowsZero) {
    folder.write("TarvexStatus.dat", "Here\n0\n5 5 5 5 5 5 5 5\n0 0 0 0 0 0 0 0\n");
    loadStatusFile(console);
    EXPECT_EQ(console.fields.axisValue[kAxisX], "0.000");
}

// A status file cut short would start the console with positions it never
// had: it is refused as a missing one is, and nothing is rewritten.
TEST_F(AxisFilesTest, TruncatedStatusIsRefused) {
    console.state.axes[kAxisZ].internalPosition = 33;
    folder.write("TarvexStatus.dat", "Half\n0\n1 2\n");
    EXPECT_THROW(loadStatusFile(console), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error reading file TarvexStatus.dat: it does not hold the location, eight positions "
                                 "and eight locks - please fix the problem and restart the program.");
    EXPECT_EQ(console.state.axes[kAxisZ].internalPosition, 33);
    EXPECT_EQ(folder.read("TarvexStatus.dat"), "Half\n0\n1 2\n");
}

TEST_F(AxisFilesTest, PositionNameFollowsTheNamedPosition) {
    folder.write("TarvexStatus.dat", "Spot A   \n0\n1 2 3 4 5 6 7 8\n0 0 0 0 0 0 0 0\n");
    loadStatusFile(console);
    EXPECT_EQ(console.state.positionName, "Spot A") << "trailing blanks dropped";
    nameCurrentPosition(console);
    console.state.axes[kAxisT].internalPosition += 10;
    refreshPositionName(console);
    EXPECT_EQ(ui.texts.at(ControlId::DutPosition), "Current");
    console.state.axes[kAxisT].internalPosition -= 10;
    refreshPositionName(console);
    EXPECT_EQ(ui.texts.at(ControlId::DutPosition), "Spot A");
}

TEST_F(AxisFilesTest, WriteStatusReplacesTheFileWhole) {
    folder.write("TarvexStatus.dat", std::string(5000, 'x'));
    console.state.positionName = "P";
    console.state.dutLocation = 0;
    writeStatusFile(console);
    EXPECT_EQ(folder.read("TarvexStatus.dat"), "P\n0\n0   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++files;
    EXPECT_EQ(files, 1) << "no temporary file left behind";
}

TEST_F(AxisFilesTest, UnwritableStatusStopsTheProgram) {
    std::filesystem::create_directory(folder.path() / "TarvexStatus.dat");
    EXPECT_THROW(writeStatusFile(console), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error opening file TarvexStatus.dat - please fix the problem and restart the program.");
}

}  // namespace
