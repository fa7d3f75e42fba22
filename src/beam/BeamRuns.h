#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/BeamRunState.h"

// The beam-run logbook "BeamRuns.csv": one CSV record per line (a quoted
// comment may span lines), each written with one append and never rewritten.
// A run is an interval in which both shutters are open; it has a `begin`
// record, an `end` record once it is over, and any number of `note` records
// (the operator's comment and fluence). This module knows the format only:
// the console decides when runs begin and end.

inline constexpr const char* kBeamRunsHeader =
    "record,run,time,duration (s),ion,energy (MeV/u),S,R,T,X,Y,Z,position,substrate energy (MeV/u),"
    "effective LET (MeV cm2/mg),effective range (um),fluence (1/cm2),comment";
inline constexpr std::size_t kBeamRunsFieldCount = 18;
// A larger file is not read: numbering cannot continue in it.
inline constexpr std::size_t kBeamRunsMaxBytes = std::size_t{64} << 20;  // bytes

// The comment of the end record written for a run found open at start-up.
inline constexpr const char* kConsoleEndedDuringRun = "console ended during the run";

struct RunRecord {
    std::string kind;      // "begin", "end" or "note"
    int run = 0;           // 1, 2, ...
    std::string time;      // ISO 8601 with the UTC offset
    std::string duration;  // s; end records only, empty when unknown
    RunConditions conditions;  // empty in note records
    std::string fluence;   // 1/cm2; note records only, may be empty
    std::string comment;

    bool operator==(const RunRecord&) const = default;
};

// What a sound logbook holds.
struct BeamRunsLog {
    std::vector<RunRecord> records;  // in file order
    int lastRun = 0;                 // highest run number begun; 0 = none
    int openRun = 0;                 // run begun and not ended; 0 = none
};

// One field as CSV: quoted (quotes doubled) when it holds a comma, a quote,
// a line break or a leading or trailing blank.
std::string csvField(const std::string& text);
// One record as one CSV line, ended by "\n".
std::string formatRunRecord(const RunRecord& record);

// Reads a whole logbook. False, with the reason (and line) in `why`, for a
// file that is not one the console wrote: another header, a record with
// another field count, an unknown kind, a run number out of order, an end
// without its begin, a quote left open, a last line without its line end
// (a truncated append), control characters or NUL bytes (binary), or more
// than kBeamRunsMaxBytes.
bool parseBeamRuns(std::string_view content, BeamRunsLog& log, std::string& why);
// Reads the file at `path` (regular files only, never through a link).
bool readBeamRuns(const std::string& path, BeamRunsLog& log, std::string& why);

// "BeamRuns.csv" for 1, "BeamRuns-<n>.csv" beyond.
std::string beamRunsFileName(int number);

// The logbook the console writes to, in `folder` ("" = the current folder):
// the highest-numbered of BeamRuns.csv, BeamRuns-2.csv, ... when it is sound;
// when it is not, the next number (a new file, numbering from 1), and
// `refusedName`/`refusedWhy` say which file could not be continued and why.
struct BeamRunsChoice {
    std::string path;
    BeamRunsLog log;
    std::string refusedName;
    std::string refusedWhy;
};
BeamRunsChoice chooseBeamRuns(const std::string& folder);
// Every existing logbook in `folder`, in number order.
std::vector<std::string> beamRunsFiles(const std::string& folder);

// Appends one record to the logbook (one append, regular files only, never
// through a link).
bool appendRunRecord(const std::string& path, const RunRecord& record);

// Local time as "2026-12-09T17:30:05+01:00".
std::string isoTime(WallClock::time_point time);
// Seconds with one decimal.
std::string formatDuration(WallClock::duration duration);

// A fluence as the operator typed it: empty, or a finite number >= 0 (1/cm2).
bool validFluence(const std::string& text);

// A run with its records merged: conditions from its begin (or end) record,
// comments of its end and note records joined with "; ", the last fluence
// given in a note.
struct RunSummary {
    int run = 0;
    std::string begin;     // time of the begin record
    std::string end;       // time of the end record; empty while open
    std::string duration;  // s; empty while open or when unknown
    RunConditions conditions;
    std::string fluence;
    std::string comment;
    bool open = false;
};
// Newest first.
std::vector<RunSummary> mergeRuns(const BeamRunsLog& log);

// The export: a header and one CSV line per run, in the order given.
inline constexpr const char* kRunsExportHeader =
    "run,begin,end,duration (s),ion,energy (MeV/u),S,R,T,X,Y,Z,position,substrate energy (MeV/u),"
    "effective LET (MeV cm2/mg),effective range (um),fluence (1/cm2),comment";
std::string formatRunSummary(const RunSummary& run);
std::string formatRunsExport(const std::vector<RunSummary>& runs);

// Beam-on time per ion and per effective LET.
struct RunTotal {
    std::string key;      // the ion or the effective LET text
    int runs = 0;
    double seconds = 0;   // s, runs with a known duration
    int unknown = 0;      // runs without a duration (open, or console ended)
};
struct RunTotals {
    std::vector<RunTotal> perIon;
    std::vector<RunTotal> perEffectiveLet;
};
RunTotals totalRuns(const std::vector<RunSummary>& runs);

// The banner while a run is open: "BEAM ON DEVICE   run 12   0:01:05".
std::string beamOnBannerText(int run, std::int64_t elapsedSeconds);
// The banner without a run: which shutter keeps the beam off the device.
std::string beamOffBannerText(bool s1Closed, bool s2Closed);

