#include <gtest/gtest.h>

#include <regex>

#include "axes/TcpChannel.h"
#include "core/Console.h"
#include "core/ControllerCommands.h"
#include "core/LogFile.h"
#include "support/CaseNames.h"
#include "support/FullDisk.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"
#include "util/NumberFormat.h"

namespace {

using case_names::PrintTo;  // rows print as their names

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

TEST_F(LogFileTest, TryWriteWithoutTheNameFileNeitherStopsNorShowsAnything) {
    useFolder(3);
    EXPECT_FALSE(tryWriteLogEntry(console, "Lost"));
    EXPECT_TRUE(ui.boxes.empty());
    folder.write("CurrentLogFileName.dat", "run.log   \n");
    EXPECT_TRUE(tryWriteLogEntry(console, "Kept"));
    EXPECT_NE(folder.read("run.log").find("   Kept\n"), std::string::npos);
}

struct OutsideCase {
    const char* name;
    const char* logName;
};

class LogNameOutside : public LogFileTest, public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(LogNameOutside, IsRefusedNamingTheFile) {
    useFolder(3);
    std::filesystem::create_directory(folder.path() / "inside");
    folder.write("CurrentLogFileName.dat", std::string(GetParam().logName) + "\n");
    EXPECT_THROW(writeLogEntry(console, "x"), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error reading file CurrentLogFileName.dat: the log file " + std::string(GetParam().logName) +
                                     " would lie outside the working folder (an absolute name or \"..\") - please "
                                     "fix the problem and restart the program.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "evil.log"));
}

INSTANTIATE_TEST_SUITE_P(Names, LogNameOutside,
                         ::testing::Values(OutsideCase{"Parent", "../evil.log"},
                                           OutsideCase{"OutOfASubfolder", "inside/../../evil.log"},
                                           OutsideCase{"Absolute", "/tmp/evil.log"}),
                         RowName{});

// A log or journal on a full disk: the first lost entry is reported on the
// status line and in a warning naming the file; the next is not reported
// again; once a write succeeds, a new failure is reported anew.
struct WriteFailureCase {
    const char* name;
    const char* file;
    void (*write)(Console&);
};

class WriteFailure : public LogFileTest, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailure, IsReportedOncePerEpisode) {
    useFolder(3);
    folder.write("CurrentLogFileName.dat", "run.log\n");
    console.channel = std::make_unique<JournalChannel>();
    const std::string file = GetParam().file;
    folder.write(file, std::string(4096, 'x'));
    // The file-size limit stands in for the full disk: its cause is named.
    const std::string warning = "Error writing file " + file +
                                " - File too large. What the console writes there is lost until the file can "
                                "be written again. Please fix the problem.";
    {
        FullDisk full(4096);
        GetParam().write(console);
        GetParam().write(console);
    }
    EXPECT_EQ(folder.read(file), std::string(4096, 'x')) << "nothing of the lost entries is left";
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, warning);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(ui.texts.at(ControlId::Status), "Cannot write " + file + " - File too large");
    GetParam().write(console);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_GT(folder.read(file).size(), 4096u);
    {
        FullDisk full(folder.read(file).size());
        GetParam().write(console);
    }
    EXPECT_EQ(ui.boxes.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WriteFailure,
    ::testing::Values(WriteFailureCase{"OperatorLog", "run.log", [](Console& c) { writeLogEntry(c, "entry"); }},
                      WriteFailureCase{"ControllerJournal", "ControllerJournal.txt",
                                       [](Console& c) { sendCommand(c, "BH5;"); }}),
    RowName{});

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
