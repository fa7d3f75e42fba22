#include "actions/Campaign.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>

#include "actions/AfterMotion.h"
#include "actions/DegraderSearch.h"
#include "axes/Moves.h"
#include "axes/SimulatedMotion.h"
#include "beam/BeamRuns.h"
#include "beam/CrossSection.h"
#include "beam/Dosimetry.h"
#include "beam/TestPlan.h"
#include "core/Console.h"
#include "core/LogFile.h"
#include "switches/Switches.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

constexpr int kCampaignTickMs = 1000;  // ms

std::string fluenceText(double fluence) { return cformat("%.2e", fluence); }

// "3.20e+06 of 1.00e+07 ions/cm² (32 %)", "3.20e+06 ions/cm²" without a goal.
std::string progressText(double fluence, double goal) {
    if (!std::isfinite(goal)) return fluenceText(fluence) + " ions/cm\u00b2";
    return fluenceText(fluence) + " of " + fluenceText(goal) + " ions/cm\u00b2 (" +
           cformat("%.0f", std::floor(100 * fluence / goal)) + " %)";
}

const char* stateText(StepState state) {
    switch (state) {
        case StepState::ToDo: return "to do";
        case StepState::Active: return "active";
        case StepState::Done: return "done";
        case StepState::Skipped: return "skipped";
    }
    return "";
}

// The fluence and events of each step's runs in every logbook of the working
// folder, by step name, in one reading of the logbooks.
struct StepTotals {
    double fluence = 0;
    std::int64_t events = 0;
    bool openRunLogged = false;  // the open run (in `current`) has a fluence of its own
};
std::map<std::string, StepTotals> loggedTotals(const std::string& current = {}, std::int64_t openRun = 0) {
    std::map<std::string, StepTotals> byStep;
    // The acquisition's counts stand before the notes' (its problems are said
    // where the cross sections are made).
    const RunEvents counted = readRunEvents(kRunEventsFile);
    for (const std::string& path : beamRunsFiles("")) {
        BeamRunsLog log;
        std::string why;
        if (!readBeamRuns(path, log, why)) continue;  // named at start-up and in the runs window
        for (const RunSummary& run : mergeRuns(log)) {
            if (run.step.empty()) continue;
            StepTotals& totals = byStep[run.step];
            double fluence = 0;
            if (parseReal(run.fluence, fluence) && std::isfinite(fluence) && fluence >= 0) totals.fluence += fluence;
            if (path == current && run.run == openRun && !run.fluence.empty()) totals.openRunLogged = true;
            std::int64_t events = 0;
            if (const auto found = counted.events.find(run.run); found != counted.events.end()) {
                totals.events += found->second;
            } else if (parseInt64(run.events, events) && events >= 0) {
                totals.events += events;
            }
        }
    }
    return byStep;
}

std::string logbookSignature(const Console& console) {
    std::error_code ec;
    const std::string& path = console.state.runs.path;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return {};
    const auto time = std::filesystem::last_write_time(path, ec);
    return path + " " + std::to_string(size) + " " + std::to_string(time.time_since_epoch().count());
}

// The logbooks' fluence, and the open run's by the dosimetry file unless a
// note gave it already.
double reachedFluence(const CampaignState& campaign, bool runOpen) {
    return campaign.loggedFluence + (runOpen && !campaign.openRunLogged ? campaign.runFluence : 0);
}

CampaignShown campaignShown(const Console& console, const std::vector<std::string>& problems) {
    const CampaignState& campaign = console.state.campaign;
    CampaignShown shown;
    shown.plan = std::filesystem::path(campaign.planPath).filename().string();
    shown.problems = problems;
    for (std::size_t i = 0; i < campaign.steps.size(); ++i) {
        const TestPlanStep& step = campaign.steps[i];
        CampaignStepShown row;
        row.name = step.name;
        row.ion = step.ion;
        row.wanted = std::isfinite(step.wantedLet) ? "LET " + cformat("%g", step.wantedLet) + " MeV\u00b7cm\u00b2/mg"
                                                   : cformat("%g", step.wantedEnergy) + " MeV/u";
        if (std::isfinite(step.minimumRangeUm)) {
            row.wanted += ", range \u2265 " + cformat("%g", step.minimumRangeUm) + " \u00b5m";
        }
        if (step.hasSetting) row.setting = cformat("S %g  R %g  T %g", step.s, step.r, step.t);
        if (std::isfinite(step.fluenceGoal)) row.goal = fluenceText(step.fluenceGoal) + " ions/cm\u00b2";
        if (step.eventGoal >= 0) {
            row.goal += (row.goal.empty() ? "" : ", ") + std::to_string(step.eventGoal) + " events";
        }
        row.active = static_cast<int>(i) == campaign.active;
        if (row.active) {
            const double reached = reachedFluence(campaign, console.state.runs.openRun != 0);
            row.progress = fluenceText(reached) + " ions/cm\u00b2";
            if (std::isfinite(step.fluenceGoal)) {
                row.progress += cformat(" (%.0f %%)", std::floor(100 * reached / step.fluenceGoal));
            }
            row.progress += ", " + std::to_string(campaign.loggedEvents) + " events";
        }
        row.state = stateText(campaign.states[i]);
        row.comment = step.comment;
        shown.steps.push_back(std::move(row));
    }
    return shown;
}

void show(Console& console, bool open, const std::vector<std::string>& problems = {}) {
    CampaignState& campaign = console.state.campaign;
    CampaignShown shown = campaignShown(console, problems.empty() ? campaign.shown.problems : problems);
    if (!open && shown == campaign.shown) return;
    campaign.shown = shown;
    console.ui.showCampaign(shown, open);
}

// The active step's totals from the logbooks, read again when the logbook changed.
void sumActiveStep(Console& console, bool force) {
    CampaignState& campaign = console.state.campaign;
    const std::string signature = logbookSignature(console);
    if (!force && signature == campaign.logbookSignature) return;
    campaign.logbookSignature = signature;
    if (campaign.active < 0) return;
    const BeamRunState& runs = console.state.runs;
    const StepTotals totals =
        loggedTotals(runs.path, runs.openRun)[campaign.steps[static_cast<std::size_t>(campaign.active)].name];
    campaign.loggedFluence = totals.fluence;
    campaign.loggedEvents = totals.events;
    campaign.openRunLogged = totals.openRunLogged;
}

void openPlan(Console& console, const std::string& path) {
    CampaignState& campaign = console.state.campaign;
    TestPlan plan = readTestPlan(path);
    // Another plan: its own steps and states; the open run's dosimetry goes on.
    CampaignState opened;
    opened.dosimetry = std::move(campaign.dosimetry);
    opened.dosimetryFollowed = campaign.dosimetryFollowed;
    opened.runFluence = campaign.runFluence;
    campaign = std::move(opened);
    campaign.planPath = path;
    campaign.steps = std::move(plan.steps);
    // A step whose runs in the logbooks reached its fluence goal is done.
    std::map<std::string, StepTotals> logged = loggedTotals();
    for (const TestPlanStep& step : campaign.steps) {
        const bool reached = std::isfinite(step.fluenceGoal) && logged[step.name].fluence >= step.fluenceGoal;
        campaign.states.push_back(reached ? StepState::Done : StepState::ToDo);
    }
    const std::string name = std::filesystem::path(path).filename().string();
    writeLogEntry(console, "Test plan " + name + " opened: " + std::to_string(campaign.steps.size()) + " steps" +
                               (plan.problems.empty() ? "." : ", " + std::to_string(plan.problems.size()) +
                                                                  " lines passed over."));
    for (const std::string& problem : plan.problems) writeLogEntry(console, problem);
    if (plan.problems.empty() && campaign.steps.empty()) plan.problems.push_back(name + " holds no step.");
    show(console, true, plan.problems);
}

void activate(Console& console, int index) {
    CampaignState& campaign = console.state.campaign;
    if (campaign.active >= 0 && campaign.states[static_cast<std::size_t>(campaign.active)] == StepState::Active) {
        campaign.states[static_cast<std::size_t>(campaign.active)] = StepState::ToDo;
    }
    campaign.active = index;
    StepState& state = campaign.states[static_cast<std::size_t>(index)];
    if (state != StepState::Done) state = StepState::Active;
    sumActiveStep(console, true);
    const TestPlanStep& step = campaign.steps[static_cast<std::size_t>(index)];
    // A goal reached before is not said again.
    campaign.goalSaid = std::isfinite(step.fluenceGoal) && campaign.loggedFluence >= step.fluenceGoal;
    writeLogEntry(console, "Campaign step " + step.name + " active.");
}

void goToStep(Console& console, int index) {
    CampaignState& campaign = console.state.campaign;
    const TestPlanStep& step = campaign.steps[static_cast<std::size_t>(index)];
    const std::string ion = beamIonText(console.state.beam);
    if (!step.ion.empty() && step.ion != ion) {
        console.ui.messageBox("Step " + step.name + " is planned with " + step.ion + ", but the beam is " + ion +
                                  ". Select " + step.ion + " in the beam program first - nothing is moved.",
                              Icon::Warning, Buttons::Ok, Button::Ok);
        return;
    }
    // As Go: the entries are taken and every axis stops before the question.
    takeDialogEntries(console);
    allHalt(console);
    runMotionEffects(console);
    if (!degraderAxesFree(console, step.hasSetting)) return;
    const bool let = std::isfinite(step.wantedLet);
    const double minimumRange = std::isfinite(step.minimumRangeUm) ? step.minimumRangeUm : minimumRangeOf(console);
    if (askAndGo(console, let ? GoalKind::Let : GoalKind::MeVPerNucleon, let ? step.wantedLet : step.wantedEnergy,
                 minimumRange, &step)) {
        activate(console, index);
    }
}

double secondsSinceEpoch(WallClock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

// The dosimetry file's new readings; what it cannot follow goes to the operator log once.
void takeReadings(Console& console, double countFrom) {
    CampaignState& campaign = console.state.campaign;
    const DosimetryUpdate update =
        followDosimetry(campaign.dosimetry, kDosimetryFile, countFrom, console.state.runs.steadyClock());
    campaign.runFluence += update.added;
    campaign.dosimetryFollowed = campaign.dosimetryFollowed || update.found;
    for (const std::string& problem : update.problems) writeLogEntry(console, problem);
}

}  // namespace

void showCampaignWindow(Console& console) {
    if (console.state.campaign.planPath.empty() && fileIsReadable(kTestPlanFile)) {
        openPlan(console, kTestPlanFile);
        return;
    }
    show(console, true);
}

void onCampaignRequest(Console& console, const CampaignRequest& request) {
    CampaignState& campaign = console.state.campaign;
    if (request.kind == CampaignRequest::Kind::OpenPlan) {
        openPlan(console, request.path);
        return;
    }
    if (request.step < 0 || request.step >= static_cast<int>(campaign.steps.size())) return;
    StepState& state = campaign.states[static_cast<std::size_t>(request.step)];
    switch (request.kind) {
        case CampaignRequest::Kind::GoToStep: goToStep(console, request.step); break;
        case CampaignRequest::Kind::SkipStep: state = StepState::Skipped; break;
        case CampaignRequest::Kind::MarkDone: state = StepState::Done; break;
        case CampaignRequest::Kind::OpenPlan: break;
    }
    // A step skipped or done serves no more runs.
    if (request.kind != CampaignRequest::Kind::GoToStep && campaign.active == request.step) campaign.active = -1;
    show(console, false);
}

std::string activeStepName(const Console& console) {
    const CampaignState& campaign = console.state.campaign;
    return campaign.active < 0 ? std::string() : campaign.steps[static_cast<std::size_t>(campaign.active)].name;
}

void campaignRunBegun(Console& console) {
    CampaignState& campaign = console.state.campaign;
    campaign.runFluence = 0;
    campaign.dosimetryFollowed = false;
    campaign.dosimetry.stalledSaid = false;
    campaign.dosimetry.lastGrowth = console.state.runs.steadyClock();
    takeReadings(console, std::nan(""));  // the readings before the run: its baseline
    campaign.runFluence = 0;
    console.ui.startTimer(kCampaignTimer, kCampaignTickMs);
}

std::string campaignRunEnded(Console& console) {
    CampaignState& campaign = console.state.campaign;
    const BeamRunState& runs = console.state.runs;
    console.ui.stopTimer(kCampaignTimer);
    takeReadings(console, secondsSinceEpoch(runs.begin));
    if (!campaign.dosimetryFollowed) return {};
    // A fluence the operator noted during the run stands: the end record,
    // written after the note, would replace it.
    BeamRunsLog log;
    std::string why;
    if (readBeamRuns(runs.path, log, why)) {
        for (const RunRecord& record : log.records) {
            if (record.kind == "note" && record.run == runs.openRun && !record.fluence.empty()) return {};
        }
    }
    return cformat("%.6g", campaign.runFluence);
}

void onCampaignTimer(Console& console) {
    if (console.state.runs.openRun == 0) return;
    takeReadings(console, secondsSinceEpoch(console.state.runs.begin));
}

void followCampaign(Console& console) {
    CampaignState& campaign = console.state.campaign;
    if (campaign.planPath.empty()) return;
    sumActiveStep(console, false);
    if (campaign.active >= 0 && !campaign.goalSaid) {
        const TestPlanStep& step = campaign.steps[static_cast<std::size_t>(campaign.active)];
        const double reached = reachedFluence(campaign, console.state.runs.openRun != 0);
        if (std::isfinite(step.fluenceGoal) && reached >= step.fluenceGoal) {
            campaign.goalSaid = true;
            campaign.states[static_cast<std::size_t>(campaign.active)] = StepState::Done;
            console.ui.beep();
            writeLogEntry(console, "Campaign step " + step.name + ": fluence goal " + fluenceText(step.fluenceGoal) +
                                       " ions/cm\u00b2 reached (" + fluenceText(reached) + ").");
            if (fileIsReadable(kCloseS2AtGoalFile) && !console.state.s2Closed) onCloseS2(console);
        }
    }
    show(console, false);
}

std::string campaignBannerText(const Console& console) {
    const CampaignState& campaign = console.state.campaign;
    if (campaign.active < 0) return {};
    const TestPlanStep& step = campaign.steps[static_cast<std::size_t>(campaign.active)];
    const double reached = reachedFluence(campaign, console.state.runs.openRun != 0);
    if (campaign.goalSaid) {
        return "step " + step.name + " \u00b7 fluence goal reached: " + progressText(reached, step.fluenceGoal);
    }
    return "step " + step.name + " \u00b7 fluence " + progressText(reached, step.fluenceGoal);
}
