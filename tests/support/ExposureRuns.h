#pragma once

#include <vector>

#include "beam/BeamRuns.h"

// The logbook of the cross-section tests: runs 1 and 3 of 84Kr at effective
// LET 10.0 and T 0 with 1e7 /cm² each, run 2 at LET 20.0 and T 60 with
// 2e7 /cm² (1e7 effective); with `openFourth` a run 4 at LET 30.0 still open.
inline std::vector<RunRecord> exposureRuns(bool openFourth) {
    const char* lets[] = {"10.0", "20.0", "10.0", "30.0"};
    const char* tilts[] = {"0.000", "60.000", "0.000", "0.000"};
    const char* fluences[] = {"1e7", "2e7", "1e7", ""};
    std::vector<RunRecord> records;
    for (int run = 1; run <= (openFourth ? 4 : 3); ++run) {
        RunRecord begin;
        begin.kind = "begin";
        begin.run = run;
        begin.time = "2026-12-09T10:00:00+00:00";
        begin.conditions.ion = "84Kr";
        begin.conditions.effectiveLet = lets[run - 1];
        begin.conditions.t = tilts[run - 1];
        begin.conditions.effectiveRange = "40.0";
        records.push_back(begin);
        if (run == 4) break;
        RunRecord end = begin;
        end.kind = "end";
        end.duration = "60.0";
        end.fluence = fluences[run - 1];
        records.push_back(end);
    }
    return records;
}
