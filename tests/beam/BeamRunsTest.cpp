#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "beam/BeamRuns.h"
#include "beam/LiveStatus.h"
#include "support/CaseNames.h"
#include "support/WorkFolder.h"
#include "util/TextFiles.h"

namespace {

using case_names::PrintTo;  // rows print as their names

const std::string kHeader = std::string(kBeamRunsHeader) + "\n";
const std::string kBegin1 = "begin,1,2026-12-09T10:00:00+00:00,,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,"
                            "14.2,40.1,95.3,,,,\n";
const std::string kEnd1 = "end,1,2026-12-09T10:00:02+00:00,2.0,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,"
                          "14.2,40.1,95.3,,,,S2 closed\n";

RunRecord note(int run, const std::string& fluence, const std::string& comment) {
    RunRecord r;
    r.kind = "note";
    r.run = run;
    r.time = "2026-12-09T11:00:00+00:00";
    r.fluence = fluence;
    r.comment = comment;
    return r;
}

RunRecord counted(RunRecord record, const std::string& events) {
    record.events = events;
    return record;
}

TEST(BeamRunsFormat, RecordsRoundTripWithCommasQuotesAndLineBreaksQuoted) {
    RunRecord n = note(1, "1e7", "ok, \"SEL\" seen\nat 10:02");
    EXPECT_EQ(formatRunRecord(n),
              "note,1,2026-12-09T11:00:00+00:00,,,,,,,,,,,,,,1e7,,,\"ok, \"\"SEL\"\" seen\nat 10:02\"\n");
    BeamRunsLog log;
    std::string why;
    ASSERT_TRUE(parseBeamRuns(kHeader + kBegin1 + kEnd1 + formatRunRecord(n), log, why)) << why;
    ASSERT_EQ(log.records.size(), 3u);
    EXPECT_EQ(log.records[2], n);
    EXPECT_EQ(formatRunRecord(log.records[0]), kBegin1);
    EXPECT_EQ(formatRunRecord(log.records[1]), kEnd1);
    EXPECT_EQ(log.lastRun, 1);
    EXPECT_EQ(log.openRun, 0);
    EXPECT_EQ(csvField(" lead"), "\" lead\"");
    EXPECT_EQ(csvField("plain text"), "plain text");

    // What the reader would refuse as binary is never written; run numbers
    // go past 32 bits.
    RunRecord odd = note(1, "", std::string("lost\x1b[0m \0!", 11));
    odd.run = 2147483648;
    EXPECT_EQ(formatRunRecord(odd), "note,2147483648,2026-12-09T11:00:00+00:00,,,,,,,,,,,,,,,,,lost [0m  !\n");
}

TEST(BeamRunsFormat, CrLfLinesAndAnOpenRunAreRead) {
    std::string crlf = kHeader + kBegin1;
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.replace(at, 1, "\r\n");
    BeamRunsLog log;
    std::string why;
    ASSERT_TRUE(parseBeamRuns(crlf, log, why)) << why;
    EXPECT_EQ(log.openRun, 1);
    EXPECT_EQ(log.records[0].comment, "");
    EXPECT_TRUE(parseBeamRuns("", log, why)) << "an empty file is a new logbook";
}

struct Malformed {
    const char* name;
    std::string content;
    const char* why;
};

class BeamRunsMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(BeamRunsMalformed, IsRefusedWithItsLine) {
    BeamRunsLog log;
    std::string why;
    EXPECT_FALSE(parseBeamRuns(GetParam().content, log, why));
    EXPECT_EQ(why, GetParam().why);
    EXPECT_TRUE(log.records.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamRunsMalformed,
    ::testing::Values(
        Malformed{"OtherHeader", "run,time\n" + kBegin1, "line 1: not the header of a beam-run logbook"},
        Malformed{"Binary", kHeader + kBegin1 + std::string("end,1\0\0", 7) + "\n",
                  "line 3: binary content (byte 0x00)"},
        Malformed{"MoreFields", kHeader + "begin,1,,,,,,,,,,,,,,,,,,,,\n", "line 2: more than 20 fields"},
        Malformed{"HugeDuration", kHeader + kBegin1 + "end,1,,1e308,,,,,,,,,,,,,,,,\n",
                  "line 3: duration '1e308' is not a number of seconds"},
        Malformed{"UnknownKind", kHeader + "start,1,,,,,,,,,,,,,,,,,,\n", "line 2: unknown record kind 'start'"},
        Malformed{"RunNotANumber", kHeader + "begin,one,,,,,,,,,,,,,,,,,,\n",
                  "line 2: run number 'one' is not a number from 1 to 9223372036854775806"},
        Malformed{"RunCannotCountOn", kHeader + "begin,9223372036854775807,,,,,,,,,,,,,,,,,,\n",
                  "line 2: run number '9223372036854775807' is not a number from 1 to 9223372036854775806"},
        Malformed{"RunOutOfOrder", kHeader + kBegin1 + kEnd1 + kBegin1,
                  "line 4: run 1 does not count on from run 1"},
        Malformed{"EndWithoutBegin", kHeader + kEnd1, "line 2: end of run 1, which is not open"},
        Malformed{"NoteBeforeBegin", kHeader + "note,3,,,,,,,,,,,,,,,,,,\n",
                  "line 2: note for run 3, which has not begun"},
        Malformed{"BadFluence", kHeader + kBegin1 + "note,1,,,,,,,,,,,,,,,-5,,,\n",
                  "line 3: fluence '-5' is not a number"},
        Malformed{"BadEvents", kHeader + kBegin1 + "note,1,,,,,,,,,,,,,,,,2.5,,\n",
                  "line 3: events '2.5' are not a whole number"},
        Malformed{"EventsInTheOldLayout",
                  std::string(kBeamRunsHeaderWithoutEvents) + "\nbegin,1,,,,,,,,,,,,,,,,,,\n",
                  "line 2: more than 18 fields"},
        Malformed{"StrayQuote", kHeader + "note,1,a\"b,,,,,,,,,,,,,,,,,\n",
                  "line 2: a quote or carriage return inside an unquoted field"}),
    RowName{});

// An append cut short by a crash or a full disk: the cut record is passed over
// with a note, and what comes after it is read.
TEST(BeamRunsFormat, RecordsCutShortAreSkippedWithANote) {
    const struct {
        std::string content;
        std::vector<std::string> skipped;
        std::size_t records;
    } rows[] = {
        {kHeader + kBegin1 + kEnd1.substr(0, 30), {"line 3: a record cut short at the end of the file is skipped"}, 1},
        {kHeader + kBegin1.substr(0, 60) + "\n" + kBegin1 + kEnd1,
         {"line 2: a record cut short (9 of 20 fields) is skipped"}, 2},
        {kHeader + kBegin1 + "note,1,t,,,,,,,,,,,,,,,,,\"never closed\n",
         {"line 3: a record cut short at the end of the file is skipped"}, 1},
    };
    for (const auto& row : rows) {
        BeamRunsLog log;
        std::string why;
        ASSERT_TRUE(parseBeamRuns(row.content, log, why)) << why;
        EXPECT_EQ(log.skipped, row.skipped);
        EXPECT_EQ(log.records.size(), row.records);
    }
}

TEST(BeamRunsFiles, HighestSoundFileIsContinuedAndABrokenOneNeverTouched) {
    WorkFolder folder;
    EXPECT_EQ(chooseBeamRuns("").path, "BeamRuns.csv");
    folder.write("BeamRuns.csv", kHeader + kBegin1);
    BeamRunsChoice choice = chooseBeamRuns("");
    EXPECT_EQ(choice.path, "BeamRuns.csv");
    EXPECT_EQ(choice.log.openRun, 1);
    EXPECT_TRUE(choice.refusedName.empty());

    folder.write("BeamRuns.csv", "not a logbook\n");
    choice = chooseBeamRuns("");
    EXPECT_EQ(choice.path, "BeamRuns-2.csv");
    EXPECT_EQ(choice.refusedName, "BeamRuns.csv");
    EXPECT_EQ(choice.log.lastRun, 0);

    folder.write("BeamRuns-2.csv", kHeader + kBegin1 + kEnd1);
    choice = chooseBeamRuns("");
    EXPECT_EQ(choice.path, "BeamRuns-2.csv");
    EXPECT_EQ(choice.log.lastRun, 1);

    // Over 64 MiB: refused unread (a sparse file costs no disk).
    std::filesystem::resize_file(folder.path() / "BeamRuns-2.csv", kBeamRunsMaxBytes + 1);
    choice = chooseBeamRuns("");
    EXPECT_EQ(choice.path, "BeamRuns-3.csv");
    EXPECT_EQ(choice.refusedWhy, "it is larger than 64 MiB");

    // A gap in the numbering: every file is listed, the highest continued.
    std::filesystem::remove(folder.path() / "BeamRuns-2.csv");
    folder.write("BeamRuns-3.csv", kHeader + kBegin1);
    folder.write("BeamRuns-03.csv", kHeader);
    folder.write("BeamRuns-1.csv", kHeader);
    EXPECT_EQ(beamRunsFiles(""), (std::vector<std::string>{"BeamRuns.csv", "BeamRuns-3.csv"}));
    choice = chooseBeamRuns("");
    EXPECT_EQ(choice.path, "BeamRuns-3.csv");
    EXPECT_EQ(choice.log.openRun, 1);
}

TEST(BeamRunsFiles, AppendsNeverGoThroughALink) {
    WorkFolder folder;
    folder.write("elsewhere.txt", "precious\n");
    std::filesystem::create_symlink("elsewhere.txt", folder.path() / "BeamRuns.csv");
    EXPECT_FALSE(appendRunRecord("BeamRuns.csv", note(1, "", "x")));
    EXPECT_EQ(folder.read("elsewhere.txt"), "precious\n");
    BeamRunsChoice choice = chooseBeamRuns("");
    EXPECT_EQ(choice.refusedWhy, "it is a symbolic link");
    EXPECT_EQ(choice.path, "BeamRuns-2.csv");

    // A new file gets the header with its first record, in one append.
    ASSERT_TRUE(appendRunRecord("BeamRuns-2.csv", note(1, "", "x")));
    EXPECT_EQ(folder.read("BeamRuns-2.csv"), kHeader + formatRunRecord(note(1, "", "x")));
}

TEST(BeamRunsMerge, NotesAndEndCommentsMergeNewestFirstWithTotals) {
    BeamRunsLog log;
    std::string why;
    std::string second = "begin,2,2026-12-09T10:05:00+00:00,,132Xe,15,1.000,0.000,60.000,1.000,2.000,3.000,Park,"
                         "12.0,\"1,000.5\",30.0,,,7,\n";
    ASSERT_TRUE(parseBeamRuns(kHeader + kBegin1 + kEnd1 + formatRunRecord(counted(note(1, "2e6", "first"), "5")) + second +
                                  formatRunRecord(counted(note(1, "3e6", "second, corrected"), "12")),
                              log, why))
        << why;
    std::vector<RunSummary> runs = mergeRuns(log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].run, 2);
    EXPECT_TRUE(runs[0].open);
    EXPECT_EQ(runs[1].comment, "S2 closed; first; second, corrected");
    EXPECT_EQ(runs[1].fluence, "3e6");
    EXPECT_EQ(formatRunsExport(runs),
              std::string(kRunsExportHeader) + "\n" +
                  "2,2026-12-09T10:05:00+00:00,,,132Xe,15,1.000,0.000,60.000,1.000,2.000,3.000,Park,12.0,"
                  "\"1,000.5\",30.0,,,7,\n"
                  "1,2026-12-09T10:00:00+00:00,2026-12-09T10:00:02+00:00,2.0,197Au,15,1.000,0.000,0.000,1.000,"
                  "2.000,3.000,Park,14.2,40.1,95.3,3e6,12,,\"S2 closed; first; second, corrected\"\n");
    RunTotals totals = totalRuns(runs);
    EXPECT_EQ(totals.all.runs, 2);
    EXPECT_DOUBLE_EQ(totals.all.seconds, 2.0);
    EXPECT_EQ(totals.all.unknown, 1) << "run 2 is open";
    EXPECT_DOUBLE_EQ(totals.all.fluence, 3e6);
    EXPECT_EQ(totals.all.noFluence, 1);
    ASSERT_EQ(totals.perIon.size(), 2u);
    EXPECT_EQ(totals.perIon[0].key, "132Xe");
    EXPECT_EQ(totals.perIon[0].unknown, 1);
    EXPECT_EQ(totals.perIon[1].key, "197Au");
    EXPECT_DOUBLE_EQ(totals.perIon[1].seconds, 2.0);
    ASSERT_EQ(totals.perEffectiveLet.size(), 2u);
    EXPECT_EQ(totals.perEffectiveLet[0].key, "40.1") << "a LET that is no plain number comes last";
}

TEST(BeamRunsText, TimesBannersAndFluences) {
    const char* saved = std::getenv("TZ");
    std::string previous = saved ? saved : "";
    setenv("TZ", "XST-5:30", 1);
    tzset();
    EXPECT_EQ(isoTime(WallClock::from_time_t(0)), "1970-01-01T05:30:00+05:30");
    setenv("TZ", "YST8", 1);
    tzset();
    EXPECT_EQ(isoTime(WallClock::from_time_t(0)), "1969-12-31T16:00:00-08:00");
    if (saved) setenv("TZ", previous.c_str(), 1); else unsetenv("TZ");
    tzset();

    EXPECT_EQ(formatDuration(std::chrono::milliseconds(2049)), "2.0");
    EXPECT_EQ(beamOnBannerText(12, 3725), "BEAM ON DEVICE   run 12   1:02:05");
    EXPECT_EQ(beamOffBannerText(false, true), "No beam on device: shutter S2 closed");
    EXPECT_EQ(beamOffBannerText(true, false), "No beam on device: shutter S1 closed");
    EXPECT_EQ(beamOffBannerText(true, true), "No beam on device: shutters S1 and S2 closed");
    for (const char* good : {"", "0", "1e7", "2.5E+06"}) EXPECT_TRUE(validFluence(good)) << good;
    for (const char* bad : {"-1", "1e7 ions", "nan", "inf", "1,5"}) EXPECT_FALSE(validFluence(bad)) << bad;
}

TEST(LiveStatusFormat, EveryKeyInItsPlace) {
    LiveStatus s;
    s.time = "2026-12-09T10:00:00+01:00";
    s.beam = {"84Kr", "Kr \"10\" MeV/u", 10.0, 8.3399999, 35.25, std::nullopt, 60.04, 0};
    for (std::size_t i = 0; i < s.axes.size(); ++i) {
        s.axes[i] = LiveAxis{"XYZTUVRS"[i], static_cast<double>(i) * 1.5 - 0.0001, i == 3 ? "deg" : "mm", i == 6};
    }
    s.s1Open = true;
    s.camera = true;
    s.run = 4;
    s.runBegin = "2026-12-09T09:59:58+01:00";
    s.step = {"2a", 3.2e6, 1e7};
    EXPECT_EQ(formatLiveStatus(s),
              "{\n"
              "  \"time\": \"2026-12-09T10:00:00+01:00\",\n"
              "  \"beam\": {\"ion\": \"84Kr\", \"name\": \"Kr \\\"10\\\" MeV/u\", \"energy\": 10, "
              "\"substrate_energy\": 8.34, \"nominal_let\": 35.25, \"effective_let\": null, "
              "\"nominal_range\": 60.04, \"effective_range\": 0},\n"
              "  \"axes\": {\n"
              "    \"X\": {\"value\": 0.000, \"unit\": \"mm\", \"moving\": false},\n"
              "    \"Y\": {\"value\": 1.500, \"unit\": \"mm\", \"moving\": false},\n"
              "    \"Z\": {\"value\": 3.000, \"unit\": \"mm\", \"moving\": false},\n"
              "    \"T\": {\"value\": 4.500, \"unit\": \"deg\", \"moving\": false},\n"
              "    \"U\": {\"value\": 6.000, \"unit\": \"mm\", \"moving\": false},\n"
              "    \"V\": {\"value\": 7.500, \"unit\": \"mm\", \"moving\": false},\n"
              "    \"R\": {\"value\": 9.000, \"unit\": \"mm\", \"moving\": true},\n"
              "    \"S\": {\"value\": 10.500, \"unit\": \"mm\", \"moving\": false}\n"
              "  },\n"
              "  \"shutters\": {\"S1\": \"open\", \"S2\": \"closed\"},\n"
              "  \"switches\": {\"camera\": \"on\", \"light\": \"off\", \"laser\": \"off\"},\n"
              "  \"run\": {\"number\": 4, \"begin\": \"2026-12-09T09:59:58+01:00\"},\n"
              "  \"step\": {\"name\": \"2a\", \"fluence\": 3.2e+06, \"goal\": 1e+07}\n"
              "}\n");
    EXPECT_EQ(jsonString(std::string("a\tb\x01") + "\\"), "\"a\\tb\\u0001\\\\\"");
    // Latin-1 from the parent's beam file and a NUL are still JSON in UTF-8.
    EXPECT_EQ(jsonString(std::string("Kr \xE9t\0", 6)), "\"Kr \xEF\xBF\xBDt\\u0000\"");
}

}  // namespace
