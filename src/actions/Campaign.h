#pragma once

#include <string>

#include "core/Ui.h"

struct Console;

// The campaign: a test plan stepped through from its window, the step each
// run serves recorded with the run, and the fluence the active step reached
// (its runs in the logbooks, and the open run by the dosimetry file) against
// its goal.

// "CloseS2AtFluenceGoal.dat": present in the working folder, S2 closes when
// the active step reaches its fluence goal.
inline constexpr const char* kCloseS2AtGoalFile = "CloseS2AtFluenceGoal.dat";

// The test plan "Campaign..." opens when none is open yet.
inline constexpr const char* kTestPlanFile = "TestPlan.csv";

// The window menu's "Campaign...": the window shown with the plan (the
// working folder's "TestPlan.csv" when no plan is open and it is there).
void showCampaignWindow(Console& console);
// A button of the campaign window: open a plan, go to a step, skip it, mark it done.
void onCampaignRequest(Console& console, const CampaignRequest& request);

// The step runs are recorded under; empty: none.
std::string activeStepName(const Console& console);
// A run began: the dosimetry file's readings so far are the baseline, and
// the campaign timer follows the file while the run is open.
void campaignRunBegun(Console& console);
// The run ends: the last readings are taken and the timer stops. The run's
// fluence by the dosimetry file ("%.6g" in 1/cm²), empty when no file was
// followed or a note gave the run's fluence already.
std::string campaignRunEnded(Console& console);
// The campaign timer's tick: the dosimetry file's new readings.
void onCampaignTimer(Console& console);
// After every event: the active step's progress when a logbook changed, the
// goal said once it is reached (banner, sound, operator log, S2 closed where
// the station asks for it), the window brought up to date.
void followCampaign(Console& console);
// The banner's campaign part: "step 2 · fluence 3.20e+06 of 1.00e+07 ions/cm² (32 %)";
// empty without an active step.
std::string campaignBannerText(const Console& console);
