#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "app/Startup.h"
#include "app/TarvexDlg.h"
#include "support/CaseNames.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"

namespace {

using case_names::PrintTo;  // rows print as their names

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { ui.events = &dialog; }

    // Installs the site and runs the start-up sequence; returns the exit code
    // when the process was ended, -1 when the dialog may be shown.
    int start() {
        site.install(folder);
        try {
            EXPECT_TRUE(dialog.onInitDialog());
            return -1;
        } catch (const ProcessExit& exit) {
            return exit.code;
        }
    }

    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
};

const char* const kParentQuestion =
    "The parent program (Orvane) did not end properly - please fix the problem and restart the program.";

TEST_F(StartupTest, NormalStartLeavesTheSequenceLogMarkerAndTimer) {
    EXPECT_EQ(start(), -1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(folder.read("TarvexLog.dat"), "\nEnd of initialization\n\n");
    EXPECT_TRUE(folder.exists("Tarvex.run"));
    EXPECT_EQ(folder.read("Tarvex.run"), "");
    EXPECT_EQ(ui.runningTimers.at(kCameraTimer), 60000);
    EXPECT_EQ(ui.texts.at(ControlId::UserLine), "User: operator (beamline)");
    EXPECT_EQ(ui.sleeps, 0);
    EXPECT_TRUE(ui.liveViews.empty()) << "no LiveView.dat, no live view";
}

// LiveView.dat: the address served, or one warning in the status line and
// the log, and the console goes on.
struct LiveViewCase {
    const char* name;
    const char* file;
    const char* refusal;  // the port's answer
    const char* started;  // host and port asked for; "" none
    const char* warning;  // "" none
};

class StartupLiveView : public StartupTest, public ::testing::WithParamInterface<LiveViewCase> {};

TEST_P(StartupLiveView, ServesTheAddressOrWarnsOnce) {
    const LiveViewCase& c = GetParam();
    site.set("LiveView.dat", c.file);
    ui.liveViewRefusal = c.refusal;
    ASSERT_EQ(start(), -1);
    EXPECT_EQ(ui.liveViews, *c.started ? std::vector<std::string>{c.started} : std::vector<std::string>{});
    EXPECT_EQ(dialog.console().fields.status, c.warning);
    const std::string log = folder.exists("run.log") ? folder.read("run.log") : "";
    if (*c.warning) {
        EXPECT_NE(log.find(std::string(c.warning) + "\n"), std::string::npos) << log;
    } else {
        EXPECT_EQ(log, "");
    }
    EXPECT_TRUE(ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, StartupLiveView,
    ::testing::Values(
        LiveViewCase{"Loopback", "127.0.0.1:8642\n", "", "127.0.0.1 8642", ""},
        LiveViewCase{"BracketedIpv6", " [::1]:80 \r\nignored\n", "", "::1 80", ""},
        LiveViewCase{"PortInUse", "127.0.0.1:8642\n", "127.0.0.1:8642 cannot be served (The bound address is already in use)",
                     "127.0.0.1 8642",
                     "No live view: LiveView.dat, 127.0.0.1:8642 cannot be served (The bound address is already in use)."},
        LiveViewCase{"NoPort", "localhost\n", "", "", "No live view: LiveView.dat, 'localhost' is not address:port."},
        LiveViewCase{"PortTooLarge", "0.0.0.0:65536", "", "",
                     "No live view: LiveView.dat, '0.0.0.0:65536': the port is not a whole number from 1 to 65535."},
        LiveViewCase{"PortZero", "0.0.0.0:0", "", "",
                     "No live view: LiveView.dat, '0.0.0.0:0': the port is not a whole number from 1 to 65535."},
        LiveViewCase{"Empty", "", "", "", "No live view: LiveView.dat, the first line is empty, not address:port."}),
    RowName{});

TEST_F(StartupTest, FieldsShownAtTheEndOfStartUp) {
    ASSERT_EQ(start(), -1);
    ASSERT_TRUE(ui.shownFields.has_value());
    const DialogFields& shown = *ui.shownFields;
    EXPECT_EQ(shown.logFile, "run.log");
    EXPECT_EQ(shown.dutLocation, "Vacuum chamber");
    EXPECT_EQ(shown.positionName, "Park");
    EXPECT_EQ(shown.userLine, "User: operator (beamline)");
    // Axis order X Y Z T U V R S: offset i, scale 1000 (T and R 100).
    EXPECT_EQ(shown.axisValue[0], "1.000");   // 1000/1000 + 0
    EXPECT_EQ(shown.axisValue[3], "43.000");  // 4000/100 + 3
    EXPECT_EQ(shown.axisValue[6], "76.000");  // R: 7000/100 + 6
    EXPECT_EQ(shown.axisValue[7], "15.000");  // S: 8000/1000 + 7
    EXPECT_EQ(shown.axisUnit[6], "deg");
    EXPECT_EQ(shown.axisUnit[7], "foil");
    EXPECT_EQ(shown.locked[3], 1);
    EXPECT_EQ(shown.activeAxis, -1);
}

TEST_F(StartupTest, NoAxisIsActiveAfterStartUp) {
    ASSERT_EQ(start(), -1);
    for (ControlId id : {ControlId::Keyboard, ControlId::NudgePlus, ControlId::Halt, ControlId::Home,
                         ControlId::SetValue, ControlId::NewAxisValue, ControlId::FinestStep, ControlId::LockedX,
                         ControlId::LockedS, ControlId::LockedR}) {
        EXPECT_FALSE(ui.isEnabled(id)) << static_cast<int>(id);
    }
    EXPECT_EQ(dialog.console().state.activeAxis, -1);
}

struct FailureCase {
    const char* name;
    const char* missingFile;
    const char* message;
};

class StartupFailureTest : public StartupTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartupFailureTest, MissingFileStopsWithItsMessage) {
    site.erase(GetParam().missingFile);
    EXPECT_EQ(start(), 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, std::string(GetParam().message) + "\nWorking folder: " + folder.path().string());
    EXPECT_EQ(ui.lastBox().caption, "Tarvex");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.lastBox().buttons, Buttons::Ok);
    EXPECT_FALSE(ui.shownFields.has_value()) << "the dialog must never be shown";
    EXPECT_FALSE(folder.exists("Tarvex.run")) << "the parent must not see the marker of a console that ended";
}

INSTANTIATE_TEST_SUITE_P(
    EachFile, StartupFailureTest,
    ::testing::Values(
        FailureCase{"Cyclotron", "CyclotronInUse.dat",
                    "Error opening file CyclotronInUse.dat - please fix the problem and restart the program."},
        FailureCase{"SkipInfo", "SkipInfoMessages.dat",
                    "Error opening file SkipInfoMessages.dat - please fix the problem and restart the program."},
        FailureCase{"DemoStatus", "DemoStatus.dat",
                    "Error opening file DemoStatus.dat - please fix the problem and restart the program."},
        FailureCase{"LogName", "CurrentLogFileName.dat",
                    "Error opening file CurrentLogFileName.dat - please fix the problem and restart the program."},
        FailureCase{"Options", "Options.dat",
                    "Error opening file Options.dat - please fix the problem and restart the program"},
        FailureCase{"Location", "TargetLocation.dat",
                    "Error opening file TargetLocation.dat - please fix the problem and restart the program."},
        FailureCase{"SetupTable", "VacArdo.dat",
                    "Error opening file VacArdo.dat - please fix the problem and restart the program."},
        FailureCase{"Status", "TarvexStatus.dat",
                    "Error opening file TarvexStatus.dat - please fix the problem and restart the program."}),
    RowName{});

// Files that open but cannot be used, or are no files at all: the start-up
// ends as for a missing file, naming it, before anything is rewritten.
enum class Stand { Text, Fifo, DeviceLink };

struct HostileCase {
    const char* name;
    const char* file;
    Stand stand;
    std::string content;
    std::string message;
};

std::string openError(const std::string& file) {
    return "Error opening file " + file + " - please fix the problem and restart the program.";
}

std::string readError(const std::string& file, const std::string& what) {
    return "Error reading file " + file + ": " + what + " - please fix the problem and restart the program.";
}

std::string setupTableWithScale(const std::string& scale) {
    std::string text = setupTableText();
    text.replace(text.find("-36000 36000 400 3 100"), 22, "-36000 36000 400 3 " + scale);
    return text;
}

class StartupHostileFile : public StartupTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(StartupHostileFile, EndsNamingTheFileAndRewritesNothing) {
    const HostileCase& c = GetParam();
    if (c.stand == Stand::Text) {
        site.set(c.file, c.content);
    } else {
        site.erase(c.file);
        if (c.stand == Stand::Fifo) {
            ASSERT_EQ(::mkfifo((folder.path() / c.file).c_str(), 0644), 0);
        } else {
            std::filesystem::create_symlink("/dev/zero", folder.path() / c.file);
        }
    }
    EXPECT_EQ(start(), 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, c.message + "\nWorking folder: " + folder.path().string());
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_FALSE(ui.shownFields.has_value());
    if (std::string(c.file) != "TarvexStatus.dat") {
        EXPECT_EQ(folder.read("TarvexStatus.dat"), site.files.at("TarvexStatus.dat"));
    }
}

const char* const kNoLocation = "it holds no DUT location number";
const char* const kNoStatus = "it does not hold the location, eight positions and eight locks";
const char* const kNoSetup = "it does not hold the eight unit words and all numbers of the eight axes";

INSTANTIATE_TEST_SUITE_P(
    Files, StartupHostileFile,
    ::testing::Values(
        HostileCase{"FifoCyclotron", "CyclotronInUse.dat", Stand::Fifo, "", openError("CyclotronInUse.dat")},
        HostileCase{"FifoDemoStatus", "DemoStatus.dat", Stand::Fifo, "", openError("DemoStatus.dat")},
        HostileCase{"DevZeroSetupTable", "VacArdo.dat", Stand::DeviceLink, "", openError("VacArdo.dat")},
        HostileCase{"FifoStatus", "TarvexStatus.dat", Stand::Fifo, "", openError("TarvexStatus.dat")},
        HostileCase{"EmptyLocation", "TargetLocation.dat", Stand::Text, "",
                    readError("TargetLocation.dat", kNoLocation)},
        HostileCase{"GarbageLocation", "TargetLocation.dat", Stand::Text, "vacuum\n",
                    readError("TargetLocation.dat", kNoLocation)},
        HostileCase{"NanLocation", "TargetLocation.dat", Stand::Text, "nan\n",
                    readError("TargetLocation.dat", kNoLocation)},
        HostileCase{"EmptyStatus", "TarvexStatus.dat", Stand::Text, "", readError("TarvexStatus.dat", kNoStatus)},
        HostileCase{"GarbageStatus", "TarvexStatus.dat", Stand::Text, "Park\nhere\n",
                    readError("TarvexStatus.dat", kNoStatus)},
        HostileCase{"NanPositionStatus", "TarvexStatus.dat", Stand::Text,
                    "Park\n1\n1 2 nan 4 5 6 7 8\n0 0 0 0 0 0 0 0\n", readError("TarvexStatus.dat", kNoStatus)},
        HostileCase{"StatusWithoutLocks", "TarvexStatus.dat", Stand::Text, "Park\n1\n1 2 3 4 5 6 7 8\n",
                    readError("TarvexStatus.dat", kNoStatus)},
        HostileCase{"EmptySetupTable", "VacArdo.dat", Stand::Text, "", readError("VacArdo.dat", kNoSetup)},
        HostileCase{"SetupTableWithoutVelocities", "VacArdo.dat", Stand::Text,
                    setupTableText().substr(0, setupTableText().rfind("500 0")), readError("VacArdo.dat", kNoSetup)},
        HostileCase{"ZeroScale", "VacArdo.dat", Stand::Text, setupTableWithScale("0"),
                    readError("VacArdo.dat", "it gives axis T the scale 0")},
        HostileCase{"LogNameEmpty", "CurrentLogFileName.dat", Stand::Text, "\n",
                    readError("CurrentLogFileName.dat", "it names no log file")},
        HostileCase{"LogNameTooLong", "CurrentLogFileName.dat", Stand::Text, std::string(130, 'l') + ".log\n",
                    readError("CurrentLogFileName.dat", "the log file " + std::string(40, 'l') +
                                                            "... is longer than 127 characters with its folder")},
        HostileCase{"LogIsAFolder", "CurrentLogFileName.dat", Stand::Text, ".\n",
                    readError("CurrentLogFileName.dat", "the log file . is not a regular file")},
        HostileCase{"UsersFolderMissing", "DemoStatus.dat", Stand::Text, "1\n",
                    readError("CurrentLogFileName.dat", "the users folder ./users/ does not exist")},
        HostileCase{"LogNameOutside", "CurrentLogFileName.dat", Stand::Text, "../outside/evil.log\n",
                    readError("CurrentLogFileName.dat",
                              "the log file ../outside/evil.log would lie outside the working folder (an absolute "
                              "name or \"..\")")}),
    RowName{});

// The S, R and T of the committed beam against the status file's (S 8000,
// R 7000, T 4000 counts): a difference, or a record that cannot be read, is
// recomputed and logged; the same geometry or no record changes nothing.
struct GeometryCase {
    const char* name;
    const char* recorded;  // nullptr: no file
    bool recomputed;
    const char* demoStatus = "3\n";  // "2\n": hardware mode
};

class StartupBeamGeometry : public StartupTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(StartupBeamGeometry, DifferenceIsRecomputedAndLogged) {
    if (GetParam().recorded != nullptr) site.set("TarvexBeamGeometry.dat", GetParam().recorded);
    site.set("DemoStatus.dat", GetParam().demoStatus);
    EXPECT_EQ(start(), -1);
    const std::string log = folder.exists("run.log") ? folder.read("run.log") : "";
    if (!GetParam().recomputed) {
        EXPECT_EQ(log, "");
        EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), site.files.at("CurrentBeamDELReB.dat"));
        return;
    }
    EXPECT_NE(log.find("Beam recomputed at start-up: the stored beam "), std::string::npos) << log;
    EXPECT_NE(log.find(", the status file holds S 15.000, R 76.000, T 43.000.\n"), std::string::npos) << log;
    EXPECT_EQ(folder.read("TarvexBeamGeometry.dat"), "8000   7000   4000\n");
    EXPECT_NE(folder.read("CurrentBeamDELReB.dat"), site.files.at("CurrentBeamDELReB.dat"));
}

INSTANTIATE_TEST_SUITE_P(Records, StartupBeamGeometry,
                         ::testing::Values(GeometryCase{"Same", "8000   7000   4000\n", false},
                                           GeometryCase{"NoRecord", nullptr, false},
                                           GeometryCase{"RMoved", "8000   7100   4000\n", true},
                                           GeometryCase{"Unreadable", "8000 x\n", true},
                                           GeometryCase{"LeftPending", "pending\n", true},
                                           GeometryCase{"RMovedInHardwareMode", "8000   7100   4000\n", true, "2\n"}),
                         RowName{});

TEST_F(StartupTest, UnformableSetupTableNameGivesAnEmptyFileName) {
    site.set("TargetLocation.dat", "2\n");
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(ui.lastBox().text, "Error opening file  - please fix the problem and restart the program.\nWorking folder: " +
                                     folder.path().string());
    EXPECT_EQ(dialog.console().fields.dutLocation, "In-air");
}

TEST_F(StartupTest, ParentMarkerPresentThroughoutAsksAfterFourWaitsThenAtOnce) {
    folder.write("Orvane.run", "");
    ui.answer(Button::Retry);
    ui.answer(Button::Cancel);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(ui.sleeps, 4);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, kParentQuestion);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::RetryCancel);
    EXPECT_EQ(ui.boxes[0].defaultButton, Button::Cancel);
    EXPECT_FALSE(folder.exists("Tarvex.run"));
}

TEST_F(StartupTest, ParentMarkerRemovedDuringTheThirdWait) {
    folder.write("Orvane.run", "");
    ui.onSleep = [this](int count) {
        if (count == 3) folder.remove("Orvane.run");
    };
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(ui.sleeps, 3);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StartupTest, StaleOwnMarkerIgnoredIsReplaced) {
    folder.write("Tarvex.run", "left by a crash");
    ui.answer(Button::Ignore);
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(ui.sleeps, 4);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Previous instance of this program did not end properly. \n"
              "Using more than one program to control the same hardware in the same way can lead to unpredictable "
              "results. \n\nClick ABORT to terminate this instance, RETRY to re-check the status of the other "
              "program, or IGNORE to continue running this instance.");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::AbortRetryIgnore);
    EXPECT_EQ(ui.boxes[0].defaultButton, Button::Retry);
    EXPECT_EQ(folder.read("Tarvex.run"), "");
}

// Two consoles in one folder would record every run twice: while the first
// holds the folder a second is refused outright; once it is gone (as after a
// crash) its marker is a stale one, and the operator decides.
TEST_F(StartupTest, ASecondConsoleInTheFolderIsRefusedWhileTheFirstHoldsIt) {
    ASSERT_EQ(start(), -1);
    auto second = [] {
        ScriptedUi otherUi;
        otherUi.answer(Button::Abort);
        CTarvexDlg other{otherUi};
        try {
            other.onInitDialog();
        } catch (const ProcessExit& exit) {
            EXPECT_EQ(exit.code, 1);
        }
        return otherUi.boxes;
    };
    const std::vector<RecordedBox> refused = second();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].text, "Another Tarvex console is running in this working folder. Two consoles would drive the "
                               "same hardware and write the same records - this one ends.");
    EXPECT_EQ(refused[0].icon, Icon::Stop);
    EXPECT_TRUE(folder.exists("Tarvex.run")) << "the first console's marker stays";

    dialog.console().folderLock.release();  // the first console is gone without ending
    const std::vector<RecordedBox> stale = second();
    ASSERT_EQ(stale.size(), 1u);
    EXPECT_EQ(stale[0].text.rfind("Previous instance of this program did not end properly.", 0), 0u);
}

TEST_F(StartupTest, OwnMarkerAbortKeepsTheMarker) {
    folder.write("Tarvex.run", "other copy");
    ui.answer(Button::Retry);
    ui.answer(Button::Abort);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(folder.read("Tarvex.run"), "other copy");
    EXPECT_FALSE(folder.exists("TarvexLog.dat"));
}

TEST_F(StartupTest, MarkerThatCannotBeCreatedIsReportedWithTheFolder) {
    std::filesystem::create_directory(folder.path() / "Tarvex.run");
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(ui.lastBox().text,
              "Error opening file Tarvex.run - please fix the problem and restart the program.\nWorking folder: " +
                  folder.path().string());
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "Tarvex.run")) << "not this process's marker";
}

TEST_F(StartupTest, FailureAfterStartUpRemovesTheMarkerAndNamesNoFolder) {
    ASSERT_EQ(start(), -1);
    folder.remove("CyclotronInUse.dat");
    try {
        dialog.onCommand(ControlId::OpenS2);
        FAIL() << "the program should end";
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 1);
    }
    EXPECT_EQ(ui.lastBox().text, "Error opening file CyclotronInUse.dat - please fix the problem and restart the program.");
    EXPECT_FALSE(folder.exists("Tarvex.run"));
}

TEST_F(StartupTest, CyclotronOtherThan150IsArdo) {
    site.set("CyclotronInUse.dat", "151\n");
    site.erase("VacBelm.dat");
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(dialog.console().state.cyclotronCode, 500);
    EXPECT_EQ(dialog.console().state.foilCount, 10);
    EXPECT_EQ(ui.texts.count(ControlId::LabelU), 0u) << "vacuum chamber on Ardo keeps the layout labels";
}

TEST_F(StartupTest, BelmInTheVacuumChamber) {
    site.set("CyclotronInUse.dat", "150\n");
    site.erase("VacArdo.dat");
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(dialog.console().state.foilCount, 6);
    EXPECT_EQ(ui.texts.at(ControlId::LabelU), "U (not used)");
    EXPECT_EQ(ui.texts.at(ControlId::LabelV), "V (not used)");
    EXPECT_EQ(ui.texts.at(ControlId::CheckParallax), "xHair On");
    EXPECT_EQ(ui.texts.at(ControlId::UndoParallax), "xHair Off");
}

TEST_F(StartupTest, ArdoInAirLabels) {
    site.set("TargetLocation.dat", "0\n");
    site.set("TarvexStatus.dat", "Park\n0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(ui.shownFields->dutLocation, "In-air");
    EXPECT_EQ(ui.texts.at(ControlId::LabelU), "U (roll angle)");
    EXPECT_EQ(ui.texts.at(ControlId::LabelV), "V (not used)");
    EXPECT_EQ(ui.texts.count(ControlId::CheckParallax), 0u);
}

TEST_F(StartupTest, DirectControlHiddenOnlyInSimulation) {
    for (const char* mode : {"1", "3"}) {
        WorkFolder inner;
        ScriptedUi innerUi;
        CTarvexDlg innerDialog(innerUi);
        Site innerSite;
        innerSite.set("DemoStatus.dat", mode);
        innerSite.set("CurrentLogFileName.dat", "run.log");
        innerSite.install(inner);
        std::filesystem::create_directory(inner.path() / "users");  // mode 1 keeps the log there
        ASSERT_TRUE(innerDialog.onInitDialog());
        EXPECT_FALSE(innerUi.isVisible(ControlId::Reset)) << mode;
        EXPECT_FALSE(innerUi.isEnabled(ControlId::DirectControl)) << mode;
        EXPECT_FALSE(innerUi.isVisible(ControlId::DirectControl)) << mode;
        EXPECT_EQ(innerUi.modes, std::vector<OperatingMode>{OperatingMode::Simulation}) << mode;
    }
    site.set("DemoStatus.dat", "2\n");
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(ui.modes, std::vector<OperatingMode>{OperatingMode::Hardware});
    EXPECT_EQ(ui.visible.count(ControlId::Reset), 0u) << "the layout state stays";
    EXPECT_EQ(ui.enabled.count(ControlId::DirectControl), 0u);
}

TEST_F(StartupTest, StatusFromTheOtherLocationIsReset) {
    site.set("TarvexStatus.dat", "Park\n0\n1 2 3 4 5 6 7 8\n1 1 1 1 1 1 1 1\n");
    EXPECT_EQ(start(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Setup has changed - please move each axis to home position before proceeding.");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(folder.read("TarvexStatus.dat"),
              "Current\n1\n0   0   0   0   0   0   0   0\n0   0   0   0   0   0   0   0\n");
    EXPECT_EQ(ui.shownFields->positionName, "Current");
    EXPECT_EQ(ui.shownFields->axisValue[0], "0.000");
    EXPECT_EQ(ui.shownFields->locked[0], 0);
}

TEST_F(StartupTest, RefusedTimerIsReportedAndStartUpGoesOn) {
    ui.timersAvailable = false;
    EXPECT_EQ(start(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Timer 1 not available!");
    EXPECT_EQ(ui.boxes[0].icon, Icon::None);
    EXPECT_EQ(folder.read("TarvexLog.dat"), "\nEnd of initialization\n\n");
}

TEST_F(StartupTest, EscapeRemovesTheMarkerAndClosesWithoutStartingTheParent) {
    ASSERT_EQ(start(), -1);
    dialog.onCancel();
    EXPECT_FALSE(folder.exists("Tarvex.run"));
    EXPECT_EQ(ui.closedWith, 2);
    EXPECT_TRUE(ui.runningTimers.empty());
    EXPECT_TRUE(ui.startedProcesses.empty());
    EXPECT_FALSE(folder.exists("run.log")) << "no log line";
    EXPECT_EQ(folder.read("TarvexStatus.dat"), site.files.at("TarvexStatus.dat")) << "no status file written";
}

TEST_F(StartupTest, CloseRequestOnlyBeepsAndEnterDoesNothing) {
    ASSERT_EQ(start(), -1);
    dialog.onCloseRequest();
    dialog.onOk();
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_FALSE(ui.closedWith.has_value());
    EXPECT_TRUE(folder.exists("Tarvex.run"));
}

TEST_F(StartupTest, AboutFromTheSystemMenu) {
    ASSERT_EQ(start(), -1);
    dialog.onSystemCommand(kAboutCommand);
    dialog.onSystemCommand(kAboutCommand | 0x3);  // low four bits are ignored
    dialog.onSystemCommand(0xF060);               // other system commands: default handling
    EXPECT_EQ(ui.aboutBoxes, 2);
    EXPECT_EQ(ui.braggCurveWindows, 0);
}

TEST_F(StartupTest, BraggCurveFromTheSystemMenu) {
    ASSERT_EQ(start(), -1);
    dialog.onSystemCommand(kBraggCurveCommand);
    dialog.onSystemCommand(kBraggCurveCommand | 0x5);  // low four bits are ignored
    dialog.onSystemCommand(kBraggCurveCommand + 0x10);  // another command
    EXPECT_EQ(ui.braggCurveWindows, 2);
    EXPECT_EQ(ui.aboutBoxes, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
