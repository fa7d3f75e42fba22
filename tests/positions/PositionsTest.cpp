#include <gtest/gtest.h>

#include <sstream>

#include "axes/AxisFiles.h"
#include "positions/PositionFiles.h"
#include "positions/Preview.h"
#include "support/CaseNames.h"
#include "support/StartedConsole.h"

namespace {

using case_names::PrintTo;  // rows print as their names

class PositionsTest : public StartedConsole {
protected:
    // demoStatus 3: working folder; 1: "./users/". Location 1 = vacuum chamber.
    void start(const std::string& demoStatus = "3", const std::string& location = "1") {
        site.set("DemoStatus.dat", demoStatus + "\n");
        site.set("TargetLocation.dat", location + "\n");
        // T, R and S at 0 degrees and no foil (the site's offsets are 3, 6 and 7).
        site.set("TarvexStatus.dat", "Park\n" + location + "\n10 20 30 -300 50 60 -600 -7000\n0 0 0 0 0 0 0 0\n");
        if (demoStatus == "1" || demoStatus == "0") std::filesystem::create_directory(folder.path() / "users");
        for (const auto& [name, content] : positionFiles) folder.write(name, content);
        startConsole();
    }
    void save(const std::string& name) {
        ui.controls.newPositionName = name;
        dialog.onCommand(ControlId::Save);
    }
    void selectEntry(const std::string& entry) {
        ui.controls.positionListSelection = entry;
        dialog.onListSelectionChanged(ControlId::PositionList);
    }
    std::vector<std::string> listed() { return ui.listItems[ControlId::PositionList]; }

    std::map<std::string, std::string> positionFiles;
};

const char* const kSavedContent =
    "10\t20\t30\t-300\t50\t60\t-600\t-7000\t; internal position coordinates\n"
    "0\t0\t0\t0\t0\t0\t0\t0\t; lock status\n";

TEST(PositionFileFormat, RoundTripAndBadInput) {
    PositionFile file;
    for (int i = 0; i < kAxisCount; ++i) {
        file.internalPosition[static_cast<std::size_t>(i)] = -i * 7;
        file.locked[static_cast<std::size_t>(i)] = i % 2;
    }
    std::string text = formatPositionFile(file);
    EXPECT_EQ(text, "0\t-7\t-14\t-21\t-28\t-35\t-42\t-49\t; internal position coordinates\n"
                    "0\t1\t0\t1\t0\t1\t0\t1\t; lock status\n");
    PositionFile back;
    std::istringstream in(text);
    parsePositionFile(in, back);
    EXPECT_EQ(back.internalPosition, file.internalPosition);
    EXPECT_EQ(back.locked, file.locked);

    PositionFile partial;
    partial.internalPosition.fill(5);
    std::istringstream shortFile("1 2 3\n");
    parsePositionFile(shortFile, partial);
    EXPECT_EQ(partial.internalPosition[2], 3);
    EXPECT_EQ(partial.internalPosition[3], 5) << "missing numbers keep their value";

    std::istringstream oddLocks("1 2 3 4 5 6 7 8 ; c\n7 0 -1 0 0 0 0 0 ; l\n");
    parsePositionFile(oddLocks, partial);
    EXPECT_EQ(partial.locked[0], 1);
    EXPECT_EQ(partial.locked[2], 1);
}

TEST_F(PositionsTest, SaveWritesTheFileLogsAndNamesThePosition) {
    start();
    save("run7");
    EXPECT_EQ(folder.read("run7.po1"), kSavedContent);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, "Set run7 saved successfully.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Information);
    EXPECT_NE(folder.read("run.log").find("   Set run7 saved successfully.\n"), std::string::npos);
    EXPECT_EQ(listed(), std::vector<std::string>{"run7.po1"});
    EXPECT_EQ(ui.controls.positionName, "run7");
    EXPECT_EQ(ui.controls.newPositionName, "");
    EXPECT_EQ(console().state.namedPositionName, "run7");
}

TEST_F(PositionsTest, SaveUnderTheUsersFolderAndTwice) {
    start("1");
    save("run7");
    EXPECT_EQ(folder.read("users/run7.po1"), kSavedContent);
    save("run7");
    EXPECT_EQ(ui.lastBox().text, "File ./users/run7.po1 already exists - please select another file name.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
}

TEST_F(PositionsTest, HiddenTwinRefusesTheNameAndStaysUntouched) {
    positionFiles["run7.po4"] = "hidden twin\n";
    start("3", "0");
    save("run7");
    EXPECT_EQ(ui.lastBox().text, "Operation was unsuccessful - please choose another name.");
    EXPECT_FALSE(folder.exists("run7.po2"));
    EXPECT_EQ(folder.read("run7.po4"), "hidden twin\n");
}

TEST_F(PositionsTest, EmptyAndUnsafeNamesAreRefused) {
    start();
    save("");
    EXPECT_EQ(ui.lastBox().text, "No file name given - request ignored.");
    for (const std::string& name : std::vector<std::string>{"../escape", "sub/name", "a\\b", std::string(130, 'n'), "tab\tname"}) {
        ui.boxes.clear();
        save(name);
        ASSERT_EQ(ui.boxes.size(), 1u) << name;
        const std::string& text = ui.lastBox().text;
        EXPECT_EQ(text.substr(text.size() - 16), "request ignored.") << name;
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        files += entry.path().extension() == ".po1" ? 1 : 0;
    }
    EXPECT_EQ(files, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "escape.po1"));
}

TEST_F(PositionsTest, SaveIntoAMissingUsersFolderReportsTheOpenFailure) {
    start("1");
    std::filesystem::remove_all(folder.path() / "users");
    save("run7");
    EXPECT_EQ(ui.lastBox().text, "Error opening file ./users/run7.po1 - please fix the problem and restart the program.");
}

TEST_F(PositionsTest, ListPatternsFollowLocationAndMode) {
    positionFiles = {{"b.po1", ""}, {"a.po1", ""}, {"c.po2", ""}, {"d.po3", ""}, {"e.po4", ""}, {"f.po10", ""}};
    start();
    EXPECT_EQ(listed(), (std::vector<std::string>{"a.po1", "b.po1"}));
    EXPECT_FALSE(ui.isEnabled(ControlId::Unhide));
    EXPECT_TRUE(ui.isEnabled(ControlId::Hide));
    dialog.onCommand(ControlId::ShowHidden);
    EXPECT_EQ(listed(), std::vector<std::string>{"d.po3"});
    EXPECT_TRUE(ui.isEnabled(ControlId::Unhide));
    EXPECT_FALSE(ui.isEnabled(ControlId::Hide));
}

TEST_F(PositionsTest, SelectionIsAnnounced) {
    start();
    selectEntry("a.po1");
    EXPECT_EQ(ui.lastBox().text, "File a.po1 has been selected.");
    EXPECT_EQ(console().state.selectedPositionFile, "a.po1");
    EXPECT_THROW(selectEntry(""), ProcessExit);
    EXPECT_EQ(ui.lastBox().text, "Error selecting file from the list");
}

TEST_F(PositionsTest, RestoreKeepsLockedAxesAndOnlyAddsLocks) {
    positionFiles["spot.po1"] =
        "1 2 3 -300 5 6 -600 -7000\t; internal position coordinates\n0 0 0 0 1 0 0 0\t; lock status\n";
    start();
    console().state.axes[kAxisZ].locked = 1;
    selectEntry("spot.po1");
    ui.answer(Button::Ok);
    dialog.onCommand(ControlId::Restore);
    // The file's counts in each axis's units: X 1 count at 1000 a millimetre, Y
    // to S each with its offset (T: -300 / 100 + 3 degrees).
    EXPECT_EQ(ui.lastBox().text,
              "Coordinates along axes that are currently locked will not be changed.\n\nThe file's positions:\n"
              "X  0.001 mm\nY  1.002 mm\nZ  2.003 mm  (locked: stays at 2.030 mm)\nT  0.000 deg\nU  4.005 mm\n"
              "V  5.006 mm\nR  0.000 deg\nS  0.000 foil");
    EXPECT_EQ(ui.lastBox().buttons, Buttons::OkCancel);
    EXPECT_EQ(ui.lastBox().icon, Icon::Information);
    const AxisTable& axes = console().state.axes;
    EXPECT_EQ(axes[kAxisX].internalPosition, 1);
    EXPECT_EQ(axes[kAxisZ].internalPosition, 30) << "locked Z keeps its position";
    EXPECT_EQ(axes[kAxisZ].locked, 1);
    EXPECT_EQ(axes[kAxisU].internalPosition, 5);
    EXPECT_EQ(axes[kAxisU].locked, 1) << "the file's lock is added";
    EXPECT_EQ(ui.controls.positionName, "Current") << "Z differs from the file";
    EXPECT_EQ(console().state.namedPositionName, "spot");
    EXPECT_EQ(ui.controls.locked[kAxisU], 1);
    EXPECT_EQ(folder.read("TarvexStatus.dat"), "Current\n1\n1   2   30   -300   5   6   -600   -7000\n0   0   1   0   1   0   0   0\n")
        << "the positions the axes came to rest at, and the locks";
}

TEST_F(PositionsTest, RestoreThatLocksTheActiveAxisDisablesItsOperations) {
    positionFiles["spot.po1"] =
        "1 2 3 -300 5 6 -600 -7000\t; internal position coordinates\n1 0 0 0 0 0 0 0\t; lock status\n";
    start();
    ui.controls.activeAxis = kAxisX;
    dialog.onCommand(ControlId::ActiveX);
    ASSERT_TRUE(ui.isEnabled(ControlId::NudgePlus));
    selectEntry("spot.po1");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(console().state.axes[kAxisX].locked, 1);
    for (ControlId id : {ControlId::NudgePlus, ControlId::DrivePlus, ControlId::SetValue, ControlId::Home}) {
        EXPECT_FALSE(ui.isEnabled(id)) << static_cast<int>(id);
    }
    EXPECT_TRUE(ui.isEnabled(ControlId::LockedX)) << "it can be unlocked";
}

TEST_F(PositionsTest, RestoreBeyondTheLimitsIsRefusedNamingTheFile) {
    positionFiles["far.po1"] =
        "1 2 3 -300 5 6 -600 100000\t; internal position coordinates\n0 0 0 0 0 0 0 0\t; lock status\n";
    start();
    selectEntry("far.po1");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(ui.lastBox().text, "Attempted movement beyond software limit - request ignored. (far.po1, axis S: "
                                 "limits 7.000 to 17.000 foil)");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 10) << "nothing moves";
    EXPECT_EQ(console().state.namedPositionName, "Park");
}

TEST_F(PositionsTest, RestoredPositionShowsItsName) {
    start();
    save("run7");
    selectEntry("run7.po1");
    ui.controls.activeAxis = kAxisX;
    dialog.onCommand(ControlId::ActiveX);
    dialog.onCommand(ControlId::NudgePlus);
    EXPECT_EQ(ui.controls.positionName, "Current");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 10);
    EXPECT_EQ(ui.controls.positionName, "run7");
}

TEST_F(PositionsTest, RestoreOfATruncatedOrMissingFile) {
    positionFiles["short.po1"] = std::string("\x01\x02 5", 4);
    start();
    selectEntry("short.po1");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 10) << "a malformed file moves nothing";
    selectEntry("gone.po1");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(ui.lastBox().text, "Error opening file gone.po1 - please fix the problem and restart the program.");
    dialog.onCommand(ControlId::Preview);
    EXPECT_EQ(ui.lastBox().text, "Error opening file gone.po1 - please fix the problem and restart the program.");
    EXPECT_FALSE(folder.exists("Preview.txt"));
}

// Position files that hold no complete set of positions and locks: Restore
// and Preview refuse them naming the file, and nothing moves.
struct UnusableCase {
    const char* name;
    std::string content;
};

class UnusablePositionFile : public PositionsTest, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusablePositionFile, IsRefusedNamingTheFile) {
    positionFiles["bad.po1"] = GetParam().content;
    start();
    selectEntry("bad.po1");
    const std::string refusal =
        "File bad.po1 does not hold eight positions and eight locks (or its name cannot be used) - request ignored.";
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(ui.lastBox().text, refusal);
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 10);
    EXPECT_EQ(console().state.namedPositionName, "Park");
    dialog.onCommand(ControlId::Preview);
    EXPECT_EQ(ui.lastBox().text, refusal);
    EXPECT_FALSE(folder.exists("Preview.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, UnusablePositionFile,
    ::testing::Values(UnusableCase{"Empty", ""}, UnusableCase{"Garbage", "run seven\n"},
                      UnusableCase{"Nan", "nan 2 3 4 5 6 7 8\n0 0 0 0 0 0 0 0\n"},
                      UnusableCase{"NoLocks", "1 2 3 4 5 6 7 8\t; internal position coordinates\n"}),
    RowName{});

// A file whose name Save would refuse (a line end in it) is not listed, and
// selected anyway it is not restored: its name never reaches the status file.
// A name the file system holds in another encoding (Latin-1 "é") is listed
// with a marker and restored from the file as it is named; Save counts
// characters, not bytes.
TEST_F(PositionsTest, NamesAreTakenAsTheFileSystemHoldsThem) {
    positionFiles = {{"Sonde\xe9.po1", "1 2 3 4 5 6 7 8\n0 0 0 0 0 0 0 0\n"}};
    start();
    EXPECT_EQ(listed(), std::vector<std::string>{"Sonde?.po1 (name not UTF-8)"});
    selectEntry("Sonde?.po1 (name not UTF-8)");
    EXPECT_EQ(console().state.selectedPositionFile, "Sonde\xe9.po1");
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(console().state.axes[kAxisX].internalPosition, 1);

    std::string greek;  // 100 two-byte letters: 200 bytes, 104 characters with ".po1"
    for (int i = 0; i < 100; ++i) greek += "\u03b1";
    save(greek);
    EXPECT_TRUE(folder.exists(greek + ".po1")) << ui.lastBox().text;
}

TEST_F(PositionsTest, NamesSaveWouldRefuseAreNotListedOrRestored) {
    const std::string evil = "evil\nname.po1";
    positionFiles = {{evil, kSavedContent}, {"ok.po1", kSavedContent}, {"tab\tname.po1", kSavedContent}};
    start();
    EXPECT_EQ(listed(), std::vector<std::string>{"ok.po1"});
    selectEntry(evil);
    dialog.onCommand(ControlId::Restore);
    EXPECT_EQ(ui.lastBox().text,
              "File evil?name.po1 does not hold eight positions and eight locks (or its name cannot be used) - "
              "request ignored.");
    EXPECT_EQ(console().state.namedPositionName, "Park");
    console().state.positionName = "bad\nname";
    writeStatusFile(console());
    EXPECT_EQ(folder.read("TarvexStatus.dat").rfind("bad?name\n1\n", 0), 0u);
}

TEST_F(PositionsTest, HideThenSaveOfTheSameNameIsRefusedAndUnhideBringsItBack) {
    start();
    save("run7");
    selectEntry("run7.po1");
    ui.answer(Button::Yes);
    dialog.onCommand(ControlId::Hide);
    EXPECT_EQ(ui.lastBox().caption, "Are you sure?");
    EXPECT_EQ(ui.lastBox().text,
              "This will hide the selected position file from this list. However, you will not be allowed to reuse "
              "this file name until the file is physically removed from the user folder by the administrator.\n\n"
              "Click Yes to continue or No cancel the request.\n\n");
    EXPECT_TRUE(folder.exists("run7.po3"));
    EXPECT_FALSE(folder.exists("run7.po1"));
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(console().state.selectedPositionFile, "");
    save("run7");
    EXPECT_EQ(ui.lastBox().text, "Operation was unsuccessful - please choose another name.");

    dialog.onCommand(ControlId::ShowHidden);
    selectEntry("run7.po3");
    ui.answer(Button::Yes);
    dialog.onCommand(ControlId::Unhide);
    EXPECT_TRUE(folder.exists("run7.po1"));
    EXPECT_EQ(listed().size(), 0u) << "Show Hidden after Unhide";
}

TEST_F(PositionsTest, HideAnsweredNoOrWithoutSelection) {
    positionFiles["a.po1"] = kSavedContent;
    start();
    dialog.onCommand(ControlId::Hide);
    EXPECT_EQ(ui.lastBox().text, "No file selected - request ignored.");
    selectEntry("a.po1");
    ui.answer(Button::No);
    dialog.onCommand(ControlId::Hide);
    EXPECT_TRUE(folder.exists("a.po1"));
}

TEST_F(PositionsTest, PreviewLinesInDialogRowOrderAndTheViewerCopy) {
    // Site calibrations: axis i has offset i and scale 1000 (T and R 100).
    positionFiles["p.po1"] =
        "1000 2000 3000 4000 5000 6000 7000 8000\t; internal position coordinates\n1 0 0 0 0 0 0 1\t; lock status\n";
    start();
    selectEntry("p.po1");
    const std::size_t boxesBefore = ui.boxes.size();
    dialog.onCommand(ControlId::Preview);
    EXPECT_EQ(folder.read("Preview.txt"),
              "X :    1.000 mm \t(to be locked)\n"
              "Y :    3.000 mm\n"
              "Z :    5.000 mm\n"
              "T :   43.000 deg\n"
              "U :    9.000 mm\n"
              "V :   11.000 mm\n"
              "S :   15.000 foil \t(to be locked)\n"
              "R :   76.000 deg\n");
    EXPECT_EQ(folder.read("Copy of Preview(txt).txt"), folder.read("Preview.txt"));
    EXPECT_EQ(ui.shownDocuments, std::vector<std::string>{(folder.path() / "Copy of Preview(txt).txt").string()});
    EXPECT_EQ(ui.boxes.size(), boxesBefore);
}

TEST_F(PositionsTest, TextCopyNamesAndLineEnds) {
    EXPECT_EQ(textCopyName("Preview.txt"), "Copy of Preview(txt).txt");
    EXPECT_EQ(textCopyName("LayerSummary.dat"), "Copy of LayerSummary(dat).txt");
    EXPECT_EQ(textCopyName("notes"), "Copy of notes.txt");
    EXPECT_EQ(textCopyName("./users/a.b.cde"), "Copy of a.b(cde).txt");
    EXPECT_EQ(textCopyName("x.dat"), "Copy of x(dat).txt");
    EXPECT_EQ(textCopyName(".dat"), "Copy of .dat.txt");

    start();
    folder.write("notes", "one\r\ntwo\nlast");
    ui.documentsOpen = false;  // a desktop opener would fail: it is not asked
    const std::size_t boxesBefore = ui.boxes.size();
    showTextCopy(console(), "notes");
    EXPECT_EQ(folder.read("Copy of notes.txt"), "one\r\ntwo\nlast");
    EXPECT_EQ(ui.shownDocuments, std::vector<std::string>{(folder.path() / "Copy of notes.txt").string()});
    EXPECT_TRUE(ui.openedDocuments.empty());
    EXPECT_EQ(ui.boxes.size(), boxesBefore);
    showTextCopy(console(), "absent.dat");
    EXPECT_EQ(ui.lastBox().text, "Error opening file absent.dat");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.shownDocuments.size(), 1u) << "nothing to show without a copy";
}

}  // namespace
