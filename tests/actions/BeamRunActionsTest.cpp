#include <gtest/gtest.h>

#include <filesystem>

#include "app/TarvexDlg.h"
#include "beam/BeamRuns.h"
#include "beam/LiveStatus.h"
#include "beam/TestPlan.h"
#include "support/CaseNames.h"
#include "support/FullDisk.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"
#include "support/ToolRun.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

using case_names::PrintTo;  // rows print as their names

const WallClock::time_point kStart = WallClock::from_time_t(1'800'000'000);
const std::chrono::steady_clock::time_point kSteadyStart{std::chrono::hours(100)};

// A channel the test can make lose its controller.
class LosingChannel : public RecordingChannel {
public:
    void lose() { link_ = ControllerLink::Lost; }
};

// A console in simulation mode on the standard site, with a clock the test
// moves by hand (S1 open and S2 closed after start-up).
class BeamRunTest : public ::testing::Test {
public:
    void start() {
        site.install(folder);
        startConsole();
    }
    void startConsole() {
        ui.events = &dialog;
        console().state.runs.clock = [this] { return now; };
        console().state.runs.steadyClock = [this] { return kSteadyStart + (now - kStart) - wallClockSet; };
        ASSERT_TRUE(dialog.onInitDialog());
        auto recording = std::make_unique<LosingChannel>();
        channel = recording.get();
        console().channel = std::move(recording);
    }
    Console& console() { return dialog.console(); }
    void click(ControlId id) { dialog.onCommand(id); }
    void openS2() {
        ui.answer(Button::Ok);  // the containment question: S1 is open
        click(ControlId::OpenS2);
    }
    void select(int axis) {
        ui.controls.activeAxis = axis;
        click(kAxisControls[static_cast<std::size_t>(axis)].radio);
    }
    std::string runs(const char* name = "BeamRuns.csv") { return folder.read(name); }
    // The operator log without its time stamps.
    std::vector<std::string> logTexts() {
        std::vector<std::string> texts;
        std::string log = folder.read("run.log");
        for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
            texts.push_back(log.substr(at + 22, end - at - 22));
        }
        return texts;
    }
    // The conditions a record written now carries.
    std::string conditions() {
        const DialogFields& f = console().fields;
        auto v = [&](int i) { return cformatAxis(i); };
        return "84Kr,10," + v(kAxisS) + "," + v(kAxisR) + "," + v(kAxisT) + "," + v(kAxisX) + "," + v(kAxisY) + "," +
               v(kAxisZ) + "," + console().state.positionName + "," + f.energyPerNucleon + "," + f.effectiveLet +
               "," + f.effectiveRange;
    }
    std::string cformatAxis(int i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", axisValue(console().state.axes[i]));
        return text;
    }
    std::string liveFile() { return folder.read(kLiveStatusFile); }

    WallClock::time_point now = kStart;
    // How far the time of day was set by hand: the steady clock does not follow.
    WallClock::duration wallClockSet{};
    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
    LosingChannel* channel = nullptr;
};

const std::string kHeader = std::string(kBeamRunsHeader) + "\n";

struct ShutterCase {
    const char* name;
    std::vector<ControlId> begin;  // clicks that open the beam (S1 open at first)
    ControlId end;
    const char* comment;
    const char* banner;
    std::vector<std::string> log;
    WallClock::duration clockSet{};  // the time of day set by hand during the run
};

class BeamRunByShutter : public BeamRunTest, public ::testing::WithParamInterface<ShutterCase> {};

TEST_P(BeamRunByShutter, BeginsAndEndsWithRecordsLogLinesAndBanner) {
    const ShutterCase& c = GetParam();
    start();
    EXPECT_FALSE(folder.exists("BeamRuns.csv")) << "no run, no logbook";
    EXPECT_EQ(ui.banners.back(), (BeamBanner{0, {}, "No beam on device: shutter S2 closed"}));
    for (ControlId id : c.begin) {
        ui.answer(Button::Ok);
        click(id);
    }
    const std::string during = conditions();
    EXPECT_EQ(runs(), kHeader + "begin,1," + isoTime(kStart) + ",," + during + ",,,,\n");
    EXPECT_EQ(ui.banners.back(), (BeamBanner{1, kSteadyStart, "BEAM ON DEVICE   run 1   0:00:00"}));

    now += std::chrono::milliseconds(2040) + c.clockSet;
    wallClockSet += c.clockSet;
    click(c.end);
    EXPECT_EQ(runs(), kHeader + "begin,1," + isoTime(kStart) + ",," + during + ",,,,\n" + "end,1," + isoTime(now) +
                          ",2.0," + during + ",,,," + c.comment + "\n");
    EXPECT_EQ(ui.banners.back(), (BeamBanner{0, {}, c.banner}));
    std::vector<std::string> log = c.log;
    log.insert(log.end() - 2, "Beam run 1 begun: 84Kr, effective LET " + console().fields.effectiveLet + " MeV·cm²/mg.");
    EXPECT_EQ(logTexts(), log);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamRunByShutter,
    ::testing::Values(
        ShutterCase{"OpenS2CloseS2", {ControlId::OpenS2}, ControlId::CloseS2, "S2 closed",
                    "No beam on device: shutter S2 closed",
                    {"Shutter S2 opened.", "Shutter S2 closed.", "Beam run 1 ended after 2.0 s (S2 closed)."},
                    -std::chrono::hours(1)},
        ShutterCase{"OpenS2CloseS1", {ControlId::OpenS2}, ControlId::CloseS1, "S1 closed",
                    "No beam on device: shutter S1 closed",
                    {"Shutter S2 opened.", "Shutter S1 closed.", "Beam run 1 ended after 2.0 s (S1 closed)."},
                    std::chrono::hours(2)},
        ShutterCase{"OpenS1Last",
                    {ControlId::CloseS1, ControlId::OpenS2, ControlId::OpenS1},
                    ControlId::CloseS1,
                    "S1 closed",
                    "No beam on device: shutter S1 closed",
                    {"Shutter S1 closed.", "Shutter S2 opened.", "Shutter S1 opened.", "Shutter S1 closed.",
                     "Beam run 1 ended after 2.0 s (S1 closed)."}}),
    RowName{});

TEST_F(BeamRunTest, ContainmentCancelledAndOutsideSimulationBeginNoRun) {
    site.set("DemoStatus.dat", "2\n");
    start();
    ui.answer(Button::Ok);
    click(ControlId::OpenS2);
    EXPECT_FALSE(folder.exists("BeamRuns.csv")) << "outside simulation S2 counts as closed";
    EXPECT_EQ(ui.banners.back().text, "No beam on device: shutter S2 closed");
}

TEST_F(BeamRunTest, TiltComingToRestEndsTheRunAndBeginsANewOne) {
    site.set("TarvexStatus.dat", "Park\n1\n1000 2000 3000 4000 5000 6000 7000 8000\n0 0 0 0 0 0 0 0\n");  // T free
    start();
    openS2();
    const std::string before = conditions();
    select(kAxisT);
    ui.answer(Button::No);  // no camera: S2 stays open
    click(ControlId::DrivePlus);
    now += std::chrono::seconds(3);
    ui.tick(kMotionTimer, 3);
    EXPECT_EQ(runs(), kHeader + "begin,1," + isoTime(kStart) + ",," + before + ",,,,\n") << "moving: the run goes on";
    EXPECT_NE(liveFile().find("\"T\": {\"value\": 55.000, \"unit\": \"deg\", \"moving\": true}"), std::string::npos)
        << liveFile();
    now += std::chrono::seconds(1);
    click(ControlId::Halt);
    const std::string after = conditions();
    EXPECT_NE(after, before) << "the tilt changed T and the effective LET";
    EXPECT_EQ(runs(), kHeader + "begin,1," + isoTime(kStart) + ",," + before + ",,,,\n" + "end,1," + isoTime(now) +
                          ",4.0," + before + ",,,,T moved\n" + "begin,2," + isoTime(now) + ",," + after + ",,,,\n");
    EXPECT_EQ(ui.banners.back().run, 2);
}

TEST_F(BeamRunTest, KilledDuringARunIsClosedAtTheNextStartAndNumberingGoesOn) {
    start();
    openS2();
    const std::string begin = runs();
    {
        // The console is killed in the middle of a note: nothing more is
        // written. The next one starts.
        std::filesystem::remove("Tarvex.run");
        ASSERT_TRUE(appendToFile("BeamRuns.csv", "note,1,2026"));
        ScriptedUi nextUi;
        CTarvexDlg next(nextUi);
        nextUi.events = &next;
        now += std::chrono::minutes(5);
        next.console().state.runs.clock = [this] { return now; };
        ASSERT_TRUE(next.onInitDialog());
        EXPECT_TRUE(nextUi.boxes.empty());
        const std::string closed = begin + "note,1,2026\n" + "end,1," + isoTime(now) + ",," + conditions() +
                                   ",,,,console ended during the run\n";
        EXPECT_EQ(runs(), closed);
        const std::vector<std::string> log = logTexts();
        EXPECT_EQ(log.end()[-2], "BeamRuns.csv, line 3: a record cut short at the end of the file is skipped.");
        EXPECT_EQ(log.back(), "Beam run 1 ended (console ended during the run).");
        nextUi.answer(Button::Ok);
        next.onCommand(ControlId::OpenS2);
        EXPECT_EQ(runs().substr(closed.size(), 8), "begin,2,");
    }
}

// A logbook of the layout before events: its open run ends in it, in its own
// layout; runs go on in the next file, numbered on, and start-up says so.
TEST_F(BeamRunTest, AnOldLayoutLogbookEndsItsRunInPlaceAndGoesOnInTheNextFile) {
    site.install(folder);
    const std::string old = std::string(kBeamRunsHeaderWithoutEvents) + "\n" +
                            "begin,6,t,,84Kr,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,12.0,30.5,60.1,,\n";
    folder.write("BeamRuns.csv", old);
    startConsole();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(runs(), old + "end,6," + isoTime(now) + ",,84Kr,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,12.0,30.5,"
                            "60.1,,console ended during the run\n");
    const std::vector<std::string> log = logTexts();
    EXPECT_EQ(log.end()[-2], "BeamRuns.csv has the beam-run layout without events and campaign steps: runs are "
                             "recorded in BeamRuns-2.csv from now on, numbered on from run 6.");
    openS2();
    EXPECT_EQ(runs("BeamRuns-2.csv"), kHeader + "begin,7," + isoTime(now) + ",," + conditions() + ",,,,\n");
}

// A full disk under the logbook: the append leaves the file as it was, the box
// names the cause, and the record goes in with the next one once there is
// room; the numbering goes on past 32 bits.
TEST_F(BeamRunTest, ALogbookOnAFullDiskKeepsItsRecordsForLater) {
    site.install(folder);
    const std::string before = kHeader + "begin,2147483647,t,,,,,,,,,,,,,,,,,\n" +
                               "end,2147483647,t,1.0,,,,,,,,,,,,,,,,\n" + "note,2147483647,t,,,,,,,,,,,,,,,,," +
                               std::string(20000, 'x') + "\n";
    folder.write("BeamRuns.csv", before);
    startConsole();
    {
        FullDisk full(before.size());
        openS2();
    }
    EXPECT_EQ(runs(), before);
    ASSERT_EQ(ui.boxes.size(), 2u) << "the containment question, then the failure";
    EXPECT_EQ(ui.lastBox().text, "Error writing BeamRuns.csv - the beam-run logbook cannot be written (File too "
                                 "large). Runs go on; their records are kept and written with the next record that "
                                 "can be written.");
    EXPECT_EQ(ui.banners.back().text, "BEAM ON DEVICE   run 2147483648   0:00:00");
    now += std::chrono::seconds(1);
    const std::string during = conditions();
    click(ControlId::CloseS2);
    EXPECT_EQ(runs(), before + "begin,2147483648," + isoTime(kStart) + ",," + during + ",,,,\n" + "end,2147483648," +
                          isoTime(now) + ",1.0," + during + ",,,,S2 closed\n");
    EXPECT_EQ(ui.boxes.size(), 2u);
}

// The live file in the way of its rewrite: said once, with the cause.
TEST_F(BeamRunTest, ALiveFileThatCannotBeRewrittenIsReportedOnce) {
    site.install(folder);
    std::filesystem::create_directories(folder.path() / kLiveStatusFile / "in the way");
    startConsole();
    openS2();
    click(ControlId::CloseS2);
    ASSERT_EQ(ui.boxes.size(), 2u) << "the failure, then the containment question";
    EXPECT_EQ(ui.boxes[0].text, "Error writing file TarvexLive.json - Is a directory. What the console writes there "
                                "is lost until the file can be written again. Please fix the problem.");
}

struct EndingCase {
    const char* name;
    std::function<void(BeamRunTest&)> end;
    const char* comment;
};

class BeamRunEnding : public BeamRunTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(BeamRunEnding, TheEndRecordSaysWhy) {
    start();
    openS2();
    now += std::chrono::seconds(1);
    const std::string during = conditions();
    try {
        GetParam().end(*this);
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 1);
    }
    std::string file = runs();
    std::string last = file.substr(file.rfind("\nend,1,") + 1);
    EXPECT_EQ(last, "end,1," + isoTime(now) + ",1.0," + during + ",,,," + GetParam().comment + "\n");
    EXPECT_EQ(logTexts().back(), std::string("Beam run 1 ended after 1.0 s (") + GetParam().comment + ").");
    EXPECT_NE(liveFile().find("\"run\": null"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamRunEnding,
    ::testing::Values(
        EndingCase{"Escape", [](BeamRunTest& test) { test.dialog.onCancel(); }, "Escape"},
        EndingCase{"Exit", [](BeamRunTest& test) { test.click(ControlId::Exit); }, "Exit"},
        EndingCase{"LostController",
                   [](BeamRunTest& test) {
                       test.channel->lose();
                       test.click(ControlId::Clear);
                   },
                   "controller lost"},
        EndingCase{"Failure",
                   [](BeamRunTest& test) {
                       test.folder.remove("CurrentBeamNZAMeV.tmp");
                       test.click(ControlId::Halt);
                   },
                   "program stopped: Error opening file CurrentBeamNZAMeV.tmp - please fix the problem and "
                   "restart the program."}),
    RowName{});

struct BadLogbook {
    const char* name;
    std::function<void(const WorkFolder&)> make;
    const char* why;
};

class BeamRunMalformedLogbook : public BeamRunTest, public ::testing::WithParamInterface<BadLogbook> {};

TEST_P(BeamRunMalformedLogbook, IsLeftAsItIsAndANewFileIsStartedOnce) {
    site.install(folder);
    GetParam().make(folder);
    const std::string bad = fileContent(folder.path() / "BeamRuns.csv");
    startConsole();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text, std::string("BeamRuns.csv cannot be read as a beam-run logbook (") + GetParam().why +
                                     "), so its run numbering cannot be continued. It is left as it is; runs are "
                                     "recorded in BeamRuns-2.csv from now on.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    openS2();
    click(ControlId::CloseS2);
    openS2();
    EXPECT_EQ(ui.boxes.size(), 3u) << "said once; the other two are containment questions";
    EXPECT_EQ(fileContent(folder.path() / "BeamRuns.csv"), bad);
    std::string next = runs("BeamRuns-2.csv");
    EXPECT_EQ(next.substr(kHeader.size(), 8), "begin,1,");
    EXPECT_NE(next.find("\nbegin,2,"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamRunMalformedLogbook,
    ::testing::Values(
        BadLogbook{"EndlessDuration",
                   [](const WorkFolder& f) {
                       f.write("BeamRuns.csv", kHeader + "begin,1,t,,,,,,,,,,,,,,,,,\nend,1,t,1e308,,,,,,,,,,,,,,,,\n");
                   },
                   "line 3: duration '1e308' is not a number of seconds"},
        BadLogbook{"Binary", [](const WorkFolder& f) { f.write("BeamRuns.csv", std::string("\x7f" "ELF\0\0", 6)); },
                   "line 1: binary content (byte 0x7F)"},
        BadLogbook{"Oversized",
                   [](const WorkFolder& f) {
                       f.write("BeamRuns.csv", kHeader);
                       std::filesystem::resize_file(f.path() / "BeamRuns.csv", kBeamRunsMaxBytes + 1);
                   },
                   "it is larger than 64 MiB"},
        BadLogbook{"Link",
                   [](const WorkFolder& f) {
                       f.write("target.csv", kHeader);
                       std::filesystem::create_symlink("target.csv", f.path() / "BeamRuns.csv");
                   },
                   "it is a symbolic link"}),
    RowName{});

TEST_F(BeamRunTest, LiveFileFollowsEveryKindOfChange) {
    start();
    std::string live = liveFile();
    std::string time = "  \"time\": \"" + isoTime(kStart) + "\",\n";
    ASSERT_EQ(live.substr(0, 2 + time.size()), "{\n" + time);
    EXPECT_NE(live.find("\"beam\": {\"ion\": \"84Kr\", \"name\": \"Kr 10 MeV/u\", \"energy\": 10, "
                        "\"substrate_energy\": 8.33929, \"nominal_let\": 35.25"),
              std::string::npos)
        << live;
    EXPECT_NE(live.find("\"shutters\": {\"S1\": \"open\", \"S2\": \"closed\"}"), std::string::npos);
    EXPECT_NE(live.find("\"X\": {\"value\": 1.000, \"unit\": \"mm\", \"moving\": false}"), std::string::npos);
    EXPECT_NE(live.find("\"switches\": {\"camera\": \"off\", \"light\": \"off\", \"laser\": \"off\"}"),
              std::string::npos);
    EXPECT_NE(live.find("\"run\": null,\n  \"step\": null\n}\n"), std::string::npos);

    now += std::chrono::seconds(1);
    click(ControlId::Clear);
    EXPECT_EQ(liveFile(), live) << "nothing it shows changed: not rewritten";

    click(ControlId::CameraOn);
    EXPECT_NE(liveFile().find("\"camera\": \"on\""), std::string::npos);
    EXPECT_NE(liveFile().find(isoTime(now)), std::string::npos) << "the time of the change";

    select(kAxisX);
    click(ControlId::NudgePlus);
    EXPECT_NE(liveFile().find("\"X\": {\"value\": 1.100,"), std::string::npos);

    click(ControlId::Halt);  // recomputes: S selects no foil, the beam stops in the degrader
    EXPECT_NE(liveFile().find("\"nominal_let\": 0, \"effective_let\": 0,"), std::string::npos) << liveFile();

    openS2();
    EXPECT_NE(liveFile().find("\"shutters\": {\"S1\": \"open\", \"S2\": \"open\"}"), std::string::npos);
    EXPECT_NE(liveFile().find("\"camera\": \"off\""), std::string::npos) << "Open S2 switched the camera off";
    EXPECT_NE(liveFile().find("\"run\": {\"number\": 1, \"begin\": \"" + isoTime(now) + "\"}"), std::string::npos);
}

TEST_F(BeamRunTest, BeamRunsWindowFromTheSystemMenuGetsTheLogbookChosen) {
    site.install(folder);
    folder.write("BeamRuns.csv", "not a logbook\n");
    startConsole();
    dialog.onSystemCommand(kBeamRunsCommand);
    EXPECT_EQ(ui.beamRunsWindows, std::vector<std::string>{"BeamRuns-2.csv"});
}

// The console writes; `tarvex-let runs` reads, merges the notes and totals.
TEST_F(BeamRunTest, ToolListsTheRunsWithNotesAndTotals) {
    const std::string tool = siblingProgram("tarvex-let");
    if (tool.empty()) GTEST_SKIP() << "tarvex-let is not built beside the tests";
    start();
    openS2();
    now += std::chrono::milliseconds(2500);
    click(ControlId::CloseS2);
    const std::string let = console().fields.effectiveLet;
    RunRecord note;
    note.kind = "note";
    note.run = 1;
    note.fluence = "1e7";
    note.comment = "DUT 3, \"quiet\"";
    ASSERT_TRUE(appendRunRecord("BeamRuns.csv", note));
    openS2();  // run 2, still open

    ToolRun r = runCommand(shellQuoted(tool) + " runs " + shellQuoted(folder.path().string()));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("BeamRuns.csv: 2 runs\n  run 2    " + isoTime(now) + "  open"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fluence 1e7 /cm²  S2 closed; DUT 3, \"quiet\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Beam-on time per ion:\n  84Kr        2 runs          2.5 s  (1 run without a duration)\n"),
              std::string::npos)
        << r.out;

    r = runCommand(shellQuoted(tool) + " runs --csv " + shellQuoted(folder.path().string()));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "file," + std::string(kRunsExportHeader) + "\n");
    EXPECT_NE(r.out.find(",1e7,,,\"S2 closed; DUT 3, \"\"quiet\"\"\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\neffective LET," + let + ",2,2.5,1\n"), std::string::npos) << r.out;

    folder.write("BeamRuns-2.csv", "garbage");
    r = runCommand(shellQuoted(tool) + " runs " + shellQuoted(folder.path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tarvex-let: BeamRuns-2.csv cannot be read (line 1: not the header of a beam-run logbook) - "
                     "skipped\n");
}

}  // namespace

namespace {

// Field `index` of the last line of a logbook.
std::string lastRecordField(const std::string& book, std::size_t index) {
    std::string line = book.substr(book.rfind('\n', book.size() - 2) + 1);
    for (std::size_t i = 0; i < index; ++i) line.erase(0, line.find(',') + 1);
    return line.substr(0, line.find(','));
}

// What follows `key` in `text` up to the next comma or blank.
std::string valueAfter(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return "missing " + key;
    const std::string rest = text.substr(at + key.size());
    return rest.substr(0, rest.find_first_of(", "));
}

}  // namespace

TEST_F(BeamRunTest, DialogRangeTableLiveFileAndLogbookGiveOneEffectiveLetAtEveryTilt) {
    start();
    for (double tilt : {0.0, 45.0, 90.0}) {
        SCOPED_TRACE(tilt);
        Axis& s = console().state.axes[kAxisS];
        Axis& t = console().state.axes[kAxisT];
        s.internalPosition = internalPositionFor(s, 0);  // no foil: the beam reaches the substrate
        t.internalPosition = internalPositionFor(t, tilt);
        ui.answer(Button::Ok);  // at 90 degrees: the tilt cannot be solved
        click(ControlId::Halt);
        openS2();
        const std::string shown = console().fields.effectiveLet;
        const std::string logged = lastRecordField(runs(), 14);
        const std::string live = valueAfter(liveFile(), "\"effective_let\": ");
        click(ControlId::CloseS2);
        if (tilt == 90) {
            EXPECT_EQ(shown, "Infinite!");
            EXPECT_EQ(logged, "Infinite!");
            EXPECT_EQ(live, "null");
            continue;
        }
        EXPECT_NE(shown, "0");
        EXPECT_EQ(logged, shown);
        EXPECT_EQ(formatBeamValue(std::stod(live)), shown);
        EXPECT_EQ(formatBeamValue(std::stod(valueAfter(folder.read("RangeTable.txt"), "eLET = "))), shown);
    }
}

// A test plan stepped through: a step that names its setting asks once for
// S, R and T; a step for another ion refuses; the run begun records the step,
// the dosimetry file's readings count from the run's begin, and the goal
// reached is said once and closes S2 where the station asks for it.
TEST_F(BeamRunTest, CampaignStepRecordsItsRunsAndClosesS2AtTheFluenceGoal) {
    start();
    folder.write("Plan.csv", std::string(kTestPlanHeader) + "\n" +
                                 "1,84Kr,40,,,1e7,,3,0,0,first\n"
                                 "1b,84Kr,40,,,1e7,,10,0,0,in reach\n"
                                 "2,129Xe,60,,,,,,,,other ion\n");
    folder.write("CloseS2AtFluenceGoal.dat", "");
    const double t0 = std::chrono::duration<double>(kStart.time_since_epoch()).count();
    folder.write("Dosimetry.csv", "time (s),fluence (1/cm2)\n" + cformat("%.0f,1000\n", t0 - 5));
    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::OpenPlan, -1, "Plan.csv"});
    ASSERT_EQ(ui.campaignOpens, 1);
    ASSERT_EQ(ui.campaigns.back().steps.size(), 3u);
    EXPECT_EQ(ui.campaigns.back().steps[0].setting, "S 3  R 0  T 0");
    EXPECT_EQ(ui.campaigns.back().steps[0].state, "to do");

    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::GoToStep, 2, ""});
    EXPECT_EQ(ui.lastBox().text, "Step 2 is planned with 129Xe, but the beam is 84Kr. Select 129Xe in the beam "
                                 "program first - nothing is moved.");
    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::GoToStep, 0, ""});
    EXPECT_EQ(ui.lastBox().text, "Tilt (T) is locked - operation aborted.") << "the site locks T";
    console().state.axes[kAxisT].locked = 0;
    // The beam stops in the degrader where the site starts: said as the axes stop.
    for (Button answer : {Button::Ok, Button::Yes}) ui.answer(answer);
    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::GoToStep, 0, ""});
    const std::size_t asked = ui.boxes.size();
    EXPECT_EQ(ui.boxes[asked - 3].text.substr(0, ui.boxes[asked - 3].text.find('\n')),
              "Step 1 of the test plan is set at (S = 3 , R = 0 , T = 0) - do you want to set them?");
    EXPECT_EQ(ui.boxes[asked - 2].text, "Attempted movement beyond software limit - request ignored. (limits 7.000 "
                                        "to 17.000 foil)");
    EXPECT_EQ(ui.campaigns.back().steps[0].state, "to do") << "a refused move leaves the step as it was";
    for (Button answer : {Button::Ok, Button::Yes}) ui.answer(answer);
    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::GoToStep, 1, ""});
    EXPECT_EQ(ui.campaigns.back().steps[1].state, "active");
    ui.tick(kMotionTimer, 400);
    EXPECT_EQ(cformatAxis(kAxisS) + " " + cformatAxis(kAxisR), "10.000 0.000");

    openS2();
    EXPECT_EQ(lastRecordField(runs(), 18), "1b") << "the begin record names the step";
    EXPECT_EQ(ui.banners.back().campaign, "step 1b \u00b7 fluence 0.00e+00 of 1.00e+07 ions/cm\u00b2 (0 %)");
    // 1000 before the run; by 10 s after its begin 6e6 more (the reading at
    // t0 + 10 spans the begin: 5 of its 15 s are before it).
    now += std::chrono::seconds(10);
    appendToFile("Dosimetry.csv", cformat("%.0f,9001000\n", t0 + 10));
    ui.tick(kCampaignTimer);
    EXPECT_EQ(ui.banners.back().campaign, "step 1b \u00b7 fluence 6.00e+06 of 1.00e+07 ions/cm\u00b2 (60 %)");
    EXPECT_NE(liveFile().find("  \"step\": {\"name\": \"1b\", \"fluence\": 6e+06, \"goal\": 1e+07}\n}\n"),
              std::string::npos)
        << liveFile();
    EXPECT_EQ(ui.beeps, 0);
    now += std::chrono::seconds(10);
    appendToFile("Dosimetry.csv", cformat("%.0f,14001000\n", t0 + 20));
    ui.tick(kCampaignTimer);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(console().state.runs.openRun, 0) << "S2 closed at the goal";
    EXPECT_EQ(lastRecordField(runs(), 16), "1.1e+07") << "the end record carries the dosimetry's fluence";
    const std::vector<std::string> log = logTexts();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Campaign step 1b: fluence goal 1.00e+07 ions/cm\u00b2 reached (1.10e+07)."),
              log.end());
    EXPECT_EQ(ui.campaigns.back().steps[1].state, "done");
    EXPECT_EQ(ui.campaigns.back().steps[1].progress, "1.10e+07 ions/cm\u00b2 (110 %), 0 events");
    // Opened again, the plan finds in the logbook which step reached its goal.
    dialog.onCampaign(CampaignRequest{CampaignRequest::Kind::OpenPlan, -1, "Plan.csv"});
    EXPECT_EQ(ui.campaigns.back().steps[0].state, "to do");
    EXPECT_EQ(ui.campaigns.back().steps[1].state, "done");
}
