#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/BeamRunState.h"
#include "core/BeamState.h"
#include "util/Csv.h"  // csvField, for the logbook's callers

// The beam-run logbook "BeamRuns.csv": one CSV record per line (a quoted
// comment may span lines), each written with one append and never rewritten.
// A run is an interval in which both shutters are open; it has a `begin`
// record, an `end` record once it is over, and any number of `note` records
// (the operator's comment and fluence). This module knows the format only:
// the console decides when runs begin and end.

inline constexpr const char* kBeamRunsHeader =
    "record,run,time,duration (s),ion,energy (MeV/u),S,R,T,X,Y,Z,position,substrate energy (MeV/u),"
    "effective LET (MeV cm2/mg),effective range (um),fluence (1/cm2),events,step,comment";
inline constexpr std::size_t kBeamRunsFieldCount = 20;
// The layout before events and campaign steps were recorded: still read, but
// continued in the next numbered file (see chooseBeamRuns).
inline constexpr const char* kBeamRunsHeaderWithoutEvents =
    "record,run,time,duration (s),ion,energy (MeV/u),S,R,T,X,Y,Z,position,substrate energy (MeV/u),"
    "effective LET (MeV cm2/mg),effective range (um),fluence (1/cm2),comment";
inline constexpr std::size_t kBeamRunsFieldCountWithoutEvents = 18;
// A larger file is not read: numbering cannot continue in it.
inline constexpr std::size_t kBeamRunsMaxBytes = std::size_t{64} << 20;  // bytes

// The comment of the end record written for a run found open at start-up.
inline constexpr const char* kConsoleEndedDuringRun = "console ended during the run";

// What a sound logbook holds.
struct BeamRunsLog {
    std::vector<RunRecord> records;  // in file order
    std::int64_t lastRun = 0;        // highest run number begun; 0 = none
    std::int64_t openRun = 0;        // run begun and not ended; 0 = none
    // Records cut short (an append a crash or a full disk cut off) that were
    // passed over: "line 7: a record cut short (3 of 20 fields) is skipped".
    std::vector<std::string> skipped;
    bool withoutEvents = false;  // written in the layout before events and steps
};

// The longest duration a record may give: about 31 years.
inline constexpr double kMaxRunSeconds = 1e9;  // s

// One record as one CSV line, ended by "\n". Control characters other than
// line breaks and tabs (which the reader refuses as binary) become blanks, so
// the console never writes what it cannot read back. `withoutEvents`: in the
// layout before events and steps (the end of a run left open in such a file).
std::string formatRunRecord(const RunRecord& record, bool withoutEvents = false);

// Reads a whole logbook. False, with the reason (and line) in `why`, for a
// file that is not one the console wrote: another header, a record with more
// fields, an unknown kind, a run number out of order, an end without its
// begin, a duration that is no number of seconds up to kMaxRunSeconds,
// control characters or NUL bytes (binary), or more than kBeamRunsMaxBytes.
// A record cut short (fewer fields, a last line without its line end, a quote
// left open at the end) is passed over and named in `skipped`.
bool parseBeamRuns(std::string_view content, BeamRunsLog& log, std::string& why);
// Reads the file at `path` (regular files only, never through a link).
bool readBeamRuns(const std::string& path, BeamRunsLog& log, std::string& why);

// The beam's ion as the logbook names it: "84Kr" ("Z120" for an element
// without a symbol).
std::string beamIonText(const BeamState& beam);

// "BeamRuns.csv" for 1, "BeamRuns-<n>.csv" beyond.
std::string beamRunsFileName(int number);

// The logbook the console writes to, in `folder` ("" = the current folder):
// the highest-numbered of BeamRuns.csv, BeamRuns-2.csv, ... when it is sound;
// when it is not, the next number (a new file, numbering from 1), and
// `refusedName`/`refusedWhy` say which file could not be continued and why.
// A sound file in the layout without events is continued in the next number
// too, its numbering going on: `continuedFrom` names it, and `log` is its
// content (a run it left open is ended in it, in its own layout).
struct BeamRunsChoice {
    std::string path;
    BeamRunsLog log;
    std::string refusedName;
    std::string refusedWhy;
    std::string continuedFrom;  // path of the file without events that is continued in `path`
};
BeamRunsChoice chooseBeamRuns(const std::string& folder);
// Every existing logbook in `folder`, in number order, gaps in the numbering
// included ("BeamRuns.csv", "BeamRuns-3.csv").
std::vector<std::string> beamRunsFiles(const std::string& folder);

// Appends records to the logbook in one append, whole or not at all (regular
// files only, never through a link); `why`, when given, says why it failed.
bool appendRunRecord(const std::string& path, const RunRecord& record, std::string* why = nullptr);
bool appendRunRecords(const std::string& path, const std::vector<RunRecord>& records, std::string* why = nullptr,
                      bool withoutEvents = false);

// Local time as "2026-12-09T17:30:05+01:00".
std::string isoTime(WallClock::time_point time);
// Seconds with one decimal.
std::string formatDuration(std::chrono::steady_clock::duration duration);

// A fluence as the operator typed it: empty, or a finite number >= 0 (1/cm2).
bool validFluence(const std::string& text);
// An event count: empty, or a whole number >= 0 ("12", not "12.0" or "-1").
bool validEvents(const std::string& text);

// A run with its records merged: conditions from its begin (or end) record,
// comments of its end and note records joined with "; ", the last fluence
// and the last event count given in its end and note records, the step of its
// begin record.
struct RunSummary {
    std::int64_t run = 0;
    std::string begin;     // time of the begin record
    std::string end;       // time of the end record; empty while open
    std::string duration;  // s; empty while open or when unknown
    RunConditions conditions;
    std::string fluence;
    std::string events;
    std::string step;
    std::string comment;
    bool open = false;
};
// Newest first.
std::vector<RunSummary> mergeRuns(const BeamRunsLog& log);

// The export: a header and one CSV line per run, in the order given.
inline constexpr const char* kRunsExportHeader =
    "run,begin,end,duration (s),ion,energy (MeV/u),S,R,T,X,Y,Z,position,substrate energy (MeV/u),"
    "effective LET (MeV cm2/mg),effective range (um),fluence (1/cm2),events,step,comment";
std::string formatRunSummary(const RunSummary& run);
std::string formatRunsExport(const std::vector<RunSummary>& runs);

// Beam-on time and fluence of all runs, per ion and per effective LET.
struct RunTotal {
    std::string key;      // the ion or the effective LET text; empty for all runs
    int runs = 0;
    double seconds = 0;   // s, runs with a known duration
    int unknown = 0;      // runs without a duration (open, console ended, or none up to kMaxRunSeconds)
    double fluence = 0;   // 1/cm2, runs with a fluence
    int noFluence = 0;    // runs without one (none given, or not a number >= 0)
};
struct RunTotals {
    RunTotal all;
    std::vector<RunTotal> perIon;
    std::vector<RunTotal> perEffectiveLet;
};
RunTotals totalRuns(const std::vector<RunSummary>& runs);

// The banner while a run is open: "BEAM ON DEVICE   run 12   0:01:05".
std::string beamOnBannerText(std::int64_t run, std::int64_t elapsedSeconds);
// The banner without a run: which shutter keeps the beam off the device.
std::string beamOffBannerText(bool s1Closed, bool s2Closed);

