#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/Ui.h"  // CampaignShown

// One step of a campaign's test plan: an ion and a wanted effective LET (or
// an energy at the substrate), the minimum range the device needs, the
// fluence and event goals, and, where the plan chose it, the setting
// (S, R, T) that gives it.
struct TestPlanStep {
    std::string name;                      // "1", "2a": the step field, unique in a plan
    std::string ion;                       // "84Kr"; empty: the beam as it is
    double wantedLet = std::nan("");       // effective LET, MeV·cm²/mg; NaN: none
    double wantedEnergy = std::nan("");    // MeV/u at the substrate; NaN: none (one of the two is given)
    double minimumRangeUm = std::nan("");  // NaN: none
    double fluenceGoal = std::nan("");     // 1/cm²; NaN: none
    std::int64_t eventGoal = -1;           // -1: none
    bool hasSetting = false;               // S, R and T all given
    double s = 0, r = 0, t = 0;
    std::string comment;
    int line = 0;  // where it stands in the file (0: not read from a file)
};

enum class StepState { ToDo, Active, Done, Skipped };

// What the console keeps of the dosimetry file it follows: where it read up
// to, what the file holds, and the last reading it took.
struct DosimetryFollow {
    bool opened = false;         // the file was found and its identity noted
    std::uint64_t device = 0;    // its identity: a new one means the file was replaced
    std::uint64_t inode = 0;
    std::uint64_t offset = 0;    // bytes read
    int line = 0;                // lines read
    int kind = 0;                // 0 not yet known, 1 cumulative fluence, 2 flux
    bool haveLast = false;       // a reading was taken
    double lastTime = 0;         // s since 1970-01-01 UTC
    double lastValue = 0;        // 1/cm² (cumulative) or 1/(cm²·s) (flux)
    std::chrono::steady_clock::time_point lastGrowth;  // when a reading last came
    bool stalledSaid = false;
    std::set<std::string> said;  // problems already said, each once
};

// The campaign as the console steps through it.
struct CampaignState {
    std::string planPath;              // the test plan opened; empty: none
    std::vector<TestPlanStep> steps;
    std::vector<StepState> states;     // one a step
    int active = -1;                   // the step runs are recorded under; -1: none
    double loggedFluence = 0;          // 1/cm², of the active step's runs in the logbooks
    std::int64_t loggedEvents = 0;
    bool openRunLogged = false;        // a note gave the open run's fluence: it replaces the dosimetry's
    std::string logbookSignature;      // size and time of the logbook when last summed
    DosimetryFollow dosimetry;
    bool dosimetryFollowed = false;    // the open run's fluence comes from the dosimetry file
    double runFluence = 0;             // 1/cm², of the open run by the dosimetry file
    bool goalSaid = false;             // the active step's fluence goal was reached and said
    CampaignShown shown;               // what the window was last given
};
