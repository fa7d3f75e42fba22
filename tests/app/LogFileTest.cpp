#include <gtest/gtest.h>

#include <regex>

#include "app/Console.h"
#include "app/LogFile.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

namespace {

class LogFileTest : public ::testing::Test {
protected:
    void useFolder(int demoStatus) {
        console.state.demoStatus = demoStatus;
        console.state.usersFolder = demoStatus <= 1 ? "./users/" : "";
    }
    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
};

const std::regex kEntry(R"(\d\d/\d\d/\d\d   \d\d:\d\d:\d\d   Status bar cleared\n)");

TEST_F(LogFileTest, ClearEmptiesTheStatusLineAndLogsIt) {
    useFolder(3);
    folder.write("CurrentLogFileName.dat", "run42.log   \r\n");
    console.fields.status = "Camera on";
    onClear(console);
    EXPECT_EQ(console.fields.status, "");
    EXPECT_EQ(ui.texts.at(ControlId::Status), "");
    EXPECT_TRUE(std::regex_match(folder.read("run42.log"), kEntry)) << folder.read("run42.log");
    EXPECT_EQ(console.fields.logFile, "run42.log");
}

TEST_F(LogFileTest, EntriesAppendUnderTheUsersFolder) {
    useFolder(1);
    folder.write("CurrentLogFileName.dat", "run42.log   \n");
    folder.write("users/run42.log", "earlier\n");
    onClear(console);
    onClear(console);
    std::string log = folder.read("users/run42.log");
    EXPECT_EQ(log.rfind("earlier\n", 0), 0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}

TEST_F(LogFileTest, NameChangedBetweenEntriesTakesEffectAtOnce) {
    useFolder(3);
    folder.write("CurrentLogFileName.dat", "a.log\n");
    writeLogEntry(console, "one");
    folder.write("CurrentLogFileName.dat", "b.log\n");
    writeLogEntry(console, "two");
    EXPECT_NE(folder.read("a.log").find("   one\n"), std::string::npos);
    EXPECT_NE(folder.read("b.log").find("   two\n"), std::string::npos);
}

TEST_F(LogFileTest, LongNameIsCutAsAWholePath) {
    useFolder(1);
    std::string line(200, 'L');
    folder.write("CurrentLogFileName.dat", line + "\n");
    std::filesystem::create_directory(folder.path() / "users");
    writeLogEntry(console, "x");
    EXPECT_EQ(console.fields.logFile, std::string(127, 'L'));
    EXPECT_TRUE(folder.exists("users/" + std::string(127 - 8, 'L')));
}

TEST_F(LogFileTest, EmptyFirstLineStopsWithAnEmptyName) {
    useFolder(3);
    folder.write("CurrentLogFileName.dat", "\nsecond.log\n");
    EXPECT_THROW(writeLogEntry(console, "x"), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error opening file  - please fix the problem and restart the program.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
}

TEST_F(LogFileTest, FolderNameStopsWithThePath) {
    useFolder(1);
    folder.write("CurrentLogFileName.dat", "\n");
    std::filesystem::create_directory(folder.path() / "users");
    EXPECT_THROW(writeLogEntry(console, "x"), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error opening file ./users/ - please fix the problem and restart the program.");
}

TEST_F(LogFileTest, MissingNameFileStops) {
    useFolder(3);
    EXPECT_THROW(writeLogEntry(console, "x"), ProcessExit);
    EXPECT_EQ(ui.lastBox().text,
              "Error opening file CurrentLogFileName.dat - please fix the problem and restart the program.");
}

TEST(LogTimeStamp, Format) {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(logTimeStamp(t), "24/03/07   14:05:09   ");
}

}  // namespace
