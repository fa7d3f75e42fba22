#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The wall clock of run times: system time, shown in local time.
using WallClock = std::chrono::system_clock;

// The conditions of a run as the window showed them, as texts.
struct RunConditions {
    std::string ion;              // e.g. "197Au"
    std::string energy;           // MeV/u, as delivered (before the degrader)
    std::string s, r, t, x, y, z;  // axis values, "%.3f" in their units
    std::string position;         // DUT position name
    std::string substrateEnergy;  // MeV/u at the substrate
    std::string effectiveLet;     // MeV cm2/mg
    std::string effectiveRange;   // um

    bool operator==(const RunConditions&) const = default;
};

// One record of the beam-run logbook.
struct RunRecord {
    std::string kind;      // "begin", "end" or "note"
    std::int64_t run = 0;  // 1, 2, ...
    std::string time;      // ISO 8601 with the UTC offset
    std::string duration;  // s; end records only, empty when unknown
    RunConditions conditions;  // empty in note records
    std::string fluence;   // 1/cm2; note and end records, may be empty
    std::string events;    // events counted in the run; note records, may be empty
    std::string step;      // the campaign step active as the run began; begin records, may be empty
    std::string comment;

    bool operator==(const RunRecord&) const = default;
};

// What the console keeps of the logbook between events.
struct BeamRunState {
    std::string path;             // the logbook written to; empty until start-up chose it
    std::int64_t lastRun = 0;     // highest run number begun
    std::int64_t openRun = 0;     // 0 = no run open
    WallClock::time_point begin;  // of the open run, for its time of day
    std::chrono::steady_clock::time_point beginSteady;  // of the open run, for its duration
    std::string beginText;        // its ISO 8601 text
    RunConditions beginConditions;  // of the open run, as it began
    std::string beginBeam;          // its beam, as numbers
    RunConditions conditions;       // of the open run, as seen last
    bool s1Closed = false;        // shutter states as last logged
    bool s2Closed = true;
    std::string liveShown;        // live status last written, without its time
    bool writeFailureShown = false;
    // Records an append could not write (a full disk), in order: they go
    // first with the next record.
    std::vector<RunRecord> unwritten;
    std::function<WallClock::time_point()> clock = [] { return WallClock::now(); };
    // Durations come from a clock that never steps: setting the time of day
    // during a run does not change its duration.
    std::function<std::chrono::steady_clock::time_point()> steadyClock = [] {
        return std::chrono::steady_clock::now();
    };
};
