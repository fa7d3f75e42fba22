#pragma once

#include <chrono>
#include <functional>
#include <string>

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

// What the console keeps of the logbook between events.
struct BeamRunState {
    std::string path;             // the logbook written to; empty until start-up chose it
    int lastRun = 0;              // highest run number begun
    int openRun = 0;              // 0 = no run open
    WallClock::time_point begin;  // of the open run
    std::string beginText;        // its ISO 8601 text
    RunConditions beginConditions;  // of the open run, as it began
    std::string beginBeam;          // its beam, as numbers
    RunConditions conditions;       // of the open run, as seen last
    bool s1Closed = false;        // shutter states as last logged
    bool s2Closed = true;
    std::string liveShown;        // live status last written, without its time
    bool writeFailureShown = false;
    std::function<WallClock::time_point()> clock = [] { return WallClock::now(); };
};
