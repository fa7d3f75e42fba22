#include "actions/BeamRunActions.h"

#include <cmath>
#include <filesystem>

#include "actions/Campaign.h"
#include "axes/MotionDriver.h"
#include "beam/BeamRuns.h"
#include "beam/Degrader.h"
#include "beam/LiveStatus.h"
#include "core/Console.h"
#include "core/LogFile.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

std::string axisText(const ConsoleState& state, int index) {
    return cformat("%.3f", axisValue(state.axes[index]));
}

RunConditions currentConditions(const Console& console) {
    const ConsoleState& state = console.state;
    const BeamState& beam = state.beam;
    RunConditions c;
    c.ion = beamIonText(beam);
    c.energy = beam.ionA == 0 ? "" : formatGeneral(beam.beamEnergyMeV / beam.ionA);
    c.s = axisText(state, kAxisS);
    c.r = axisText(state, kAxisR);
    c.t = axisText(state, kAxisT);
    c.x = axisText(state, kAxisX);
    c.y = axisText(state, kAxisY);
    c.z = axisText(state, kAxisZ);
    c.position = state.positionName;
    c.substrateEnergy = console.fields.energyPerNucleon;
    c.effectiveLet = console.fields.effectiveLet;
    c.effectiveRange = console.fields.effectiveRange;
    return c;
}

bool beamOnDevice(const Console& console) {
    const ConsoleState& state = console.state;
    return !state.s1Closed && !state.s2Closed && console.channel->currentLink() != ControllerLink::Lost;
}

// The beam a run is made with, in numbers as the beam files keep them (six
// significant digits), so that a recomputation giving the same beam does not
// count as a change whatever the field formats.
std::string beamKey(const BeamState& beam) {
    return beamIonText(beam) + " " + formatGeneral(beam.beamEnergyMeV) + " " + formatGeneral(beam.deviceEnergyMeV) +
           " " +
           formatGeneral(beam.nominalLet) + " " + formatGeneral(beam.nominalRangeUm);
}

// What ends a run whose S, R or T came to rest elsewhere or whose beam
// changed: "T moved", "S, R moved", "beam changed"; empty when nothing did.
std::string changeOf(const BeamRunState& runs, const RunConditions& now, const std::string& nowBeam) {
    const RunConditions& was = runs.beginConditions;
    std::string moved;
    auto add = [&](const std::string& a, const std::string& b, const char* name) {
        if (a != b) moved += (moved.empty() ? "" : ", ") + std::string(name);
    };
    add(was.s, now.s, "S");
    add(was.r, now.r, "R");
    add(was.t, now.t, "T");
    if (!moved.empty()) return moved + " moved";
    return nowBeam != runs.beginBeam ? "beam changed" : "";
}

// Appends the record, after any that could not be written before; what fails
// stays queued for the next record, and the first failure is shown.
void logRunRecord(Console& console, const RunRecord& record) {
    BeamRunState& runs = console.state.runs;
    runs.unwritten.push_back(record);
    std::string why;
    if (appendRunRecords(runs.path, runs.unwritten, &why)) {
        runs.unwritten.clear();
        runs.writeFailureShown = false;
        return;
    }
    if (runs.writeFailureShown) return;
    runs.writeFailureShown = true;
    console.ui.messageBox("Error writing " + runs.path + " - the beam-run logbook cannot be written (" + why +
                              "). Runs go on; their records are kept and written with the next record that can "
                              "be written.",
                          Icon::Warning, Buttons::Ok, Button::Ok);
}

void writeLog(Console& console, const std::string& text, bool ending) {
    if (ending) {
        tryWriteLogEntry(console, text);
    } else {
        writeLogEntry(console, text);
    }
}

void beginRun(Console& console) {
    BeamRunState& runs = console.state.runs;
    runs.openRun = ++runs.lastRun;
    runs.begin = runs.clock();
    runs.beginSteady = runs.steadyClock();
    runs.beginText = isoTime(runs.begin);
    runs.beginConditions = runs.conditions = currentConditions(console);
    runs.beginBeam = beamKey(console.state.beam);
    RunRecord record;
    record.kind = "begin";
    record.run = runs.openRun;
    record.time = runs.beginText;
    record.conditions = runs.conditions;
    record.step = activeStepName(console);
    logRunRecord(console, record);
    campaignRunBegun(console);
    writeLog(console,
             cformat("Beam run %lld begun: %s, effective LET %s MeV\u00b7cm\u00b2/mg.", static_cast<long long>(runs.openRun),
                     runs.conditions.ion.c_str(), runs.conditions.effectiveLet.c_str()),
             false);
}

void finishRun(Console& console, const std::string& comment, bool ending) {
    BeamRunState& runs = console.state.runs;
    if (runs.openRun == 0) return;
    RunRecord record;
    record.kind = "end";
    record.run = runs.openRun;
    record.time = isoTime(runs.clock());
    record.duration = formatDuration(runs.steadyClock() - runs.beginSteady);
    record.conditions = runs.conditions;
    record.fluence = campaignRunEnded(console);
    record.comment = comment;
    runs.openRun = 0;
    logRunRecord(console, record);
    writeLog(console,
             cformat("Beam run %lld ended after %s s (%s).", static_cast<long long>(record.run),
                     record.duration.c_str(), comment.c_str()),
             ending);
}

void logShutter(Console& console, const char* name, bool& logged, bool closed) {
    if (logged == closed) return;
    logged = closed;
    writeLogEntry(console, std::string("Shutter ") + name + (closed ? " closed." : " opened."));
}

std::string closedShutters(const ConsoleState& state) {
    if (state.s1Closed && state.s2Closed) return "S1 and S2 closed";
    return state.s1Closed ? "S1 closed" : "S2 closed";
}

LiveStatus liveStatusOf(const Console& console) {
    const ConsoleState& state = console.state;
    const BeamState& beam = state.beam;
    LiveStatus s;
    s.beam.ion = beamIonText(beam);
    s.beam.name = beam.beamName;
    if (beam.ionA != 0) {
        s.beam.energy = beam.beamEnergyMeV / beam.ionA;
        s.beam.substrateEnergy = beam.deviceEnergyMeV / beam.ionA;
    }
    const EffectiveValues effective =
        effectiveValues(beam.nominalLet, beam.nominalRangeUm, axisValue(state.axes[kAxisT]));
    s.beam.nominalLet = beam.nominalLet;
    if (!std::isinf(effective.let)) s.beam.effectiveLet = effective.let;
    s.beam.nominalRange = beam.nominalRangeUm;
    s.beam.effectiveRange = effective.rangeUm;
    for (int i = 0; i < kAxisCount; ++i) {
        const Axis& axis = state.axes[i];
        s.axes[static_cast<std::size_t>(i)] =
            LiveAxis{kAxisLetters[i], axisValue(axis), axis.unit, axisMoving(console, i)};
    }
    s.s1Open = !state.s1Closed;
    s.s2Open = !state.s2Closed;
    for (const ShutterMotion& shutter : state.motion.model.shutters) {
        s.shuttersKnown = s.shuttersKnown && (!state.shutterBits.real() || shutter.phase != ShutterPhase::Unknown);
    }
    s.camera = state.cameraOn;
    s.light = state.lightOn;
    s.laser = state.laserOn;
    s.run = state.runs.openRun;
    if (s.run != 0) s.runBegin = state.runs.beginText;
    const CampaignState& campaign = state.campaign;
    if (campaign.active >= 0) {
        const TestPlanStep& step = campaign.steps[static_cast<std::size_t>(campaign.active)];
        s.step.name = step.name;
        s.step.fluence = campaign.loggedFluence + (s.run != 0 ? campaign.runFluence : 0);
        s.step.goal = step.fluenceGoal;
    }
    return s;
}

void showBannerAndLiveStatus(Console& console) {
    ConsoleState& state = console.state;
    BeamRunState& runs = state.runs;
    BeamBanner banner;
    if (runs.openRun != 0) {
        banner.run = runs.openRun;
        banner.runBegin = runs.beginSteady;
        banner.text = beamOnBannerText(runs.openRun, std::chrono::duration_cast<std::chrono::seconds>(
                                                         runs.steadyClock() - runs.beginSteady).count());
        banner.campaign = campaignBannerText(console);
    } else {
        banner.text = beamOffBannerText(state.s1Closed, state.s2Closed);
    }
    console.ui.showBeamBanner(banner);

    LiveStatus live = liveStatusOf(console);
    std::string shown = formatLiveStatus(live);
    if (shown == runs.liveShown) return;
    live.time = isoTime(runs.clock());
    // The file may lag a change only if it cannot be written: that is
    // reported once, and the next change tries again.
    std::string why;
    const bool written = replaceFileContent(kLiveStatusFile, formatLiveStatus(live), &why);
    if (written) runs.liveShown = shown;
    reportWriteResult(console, kLiveStatusFile, written, why);
}

}  // namespace

void openBeamRunLog(Console& console) {
    ConsoleState& state = console.state;
    BeamRunState& runs = state.runs;
    BeamRunsChoice choice = chooseBeamRuns("");
    runs.path = choice.path;
    runs.lastRun = choice.log.lastRun;
    runs.s1Closed = state.s1Closed;
    runs.s2Closed = state.s2Closed;
    for (const std::string& skipped : choice.log.skipped) {
        writeLogEntry(console, std::filesystem::path(runs.path).filename().string() + ", " + skipped + ".");
    }
    if (!choice.refusedName.empty()) {
        console.ui.messageBox(choice.refusedName + " cannot be read as a beam-run logbook (" + choice.refusedWhy +
                                  "), so its run numbering cannot be continued. It is left as it is; runs are "
                                  "recorded in " +
                                  std::filesystem::path(runs.path).filename().string() + " from now on.",
                              Icon::Warning, Buttons::Ok, Button::Ok);
    }
    const std::string continuedName = std::filesystem::path(choice.continuedFrom).filename().string();
    if (!choice.continuedFrom.empty()) {
        writeLogEntry(console, continuedName + " has the beam-run layout without events and campaign steps: runs "
                                               "are recorded in " +
                                   std::filesystem::path(runs.path).filename().string() + " from now on, numbered on "
                                   "from run " + std::to_string(runs.lastRun) + ".");
    }
    if (choice.log.openRun != 0) {
        RunRecord end;
        end.kind = "end";
        end.run = choice.log.openRun;
        end.time = isoTime(runs.clock());
        for (const RunRecord& record : choice.log.records) {
            if (record.kind == "begin" && record.run == end.run) end.conditions = record.conditions;
        }
        end.comment = kConsoleEndedDuringRun;
        // The run ends in the file it began in, in that file's layout.
        std::string why;
        if (choice.continuedFrom.empty()) {
            logRunRecord(console, end);
        } else if (!appendRunRecords(choice.continuedFrom, {end}, &why, true)) {
            console.ui.messageBox("Error writing " + continuedName + " - the end of run " +
                                      std::to_string(end.run) + " cannot be recorded (" + why + ").",
                                  Icon::Warning, Buttons::Ok, Button::Ok);
        }
        writeLogEntry(console,
                      cformat("Beam run %lld ended (%s).", static_cast<long long>(end.run), kConsoleEndedDuringRun));
    }
    console.beforeFailureExit = [&console](const std::string& why) {
        std::string first = why.substr(0, why.find('\n'));
        endBeamRun(console, "program stopped: " + first);
    };
}

void followBeamRun(Console& console) {
    ConsoleState& state = console.state;
    BeamRunState& runs = state.runs;
    if (runs.path.empty()) return;  // before start-up chose the logbook
    logShutter(console, "S1", runs.s1Closed, state.s1Closed);
    logShutter(console, "S2", runs.s2Closed, state.s2Closed);
    const bool on = beamOnDevice(console);
    if (runs.openRun != 0 && !on) {
        bool lost = console.channel->currentLink() == ControllerLink::Lost;
        finishRun(console, lost ? "controller lost" : closedShutters(state), false);
    } else if (runs.openRun != 0) {
        const bool atRest =
            !axisMoving(console, kAxisS) && !axisMoving(console, kAxisR) && !axisMoving(console, kAxisT);
        RunConditions now = currentConditions(console);
        std::string change = atRest ? changeOf(runs, now, beamKey(state.beam)) : "";
        if (!change.empty()) {
            finishRun(console, change, false);
            beginRun(console);
        } else if (atRest) {
            runs.conditions = now;  // X, Y, Z or the position name as of the end
        }
    } else if (on) {
        beginRun(console);
    }
    showBannerAndLiveStatus(console);
}

void endBeamRun(Console& console, const std::string& comment) {
    BeamRunState& runs = console.state.runs;
    if (runs.path.empty()) return;
    // Real shutters were closed by the end: whether the controller took it.
    const EndClose close = console.state.motion.endClose;
    finishRun(console,
              comment + (close == EndClose::Confirmed      ? ", shutters closed"
                         : close == EndClose::NotConfirmed ? ", shutter close not confirmed"
                                                           : ""),
              true);
    showBannerAndLiveStatus(console);
    // The console is ending: no run begins after this.
    runs.path.clear();
    console.beforeFailureExit = nullptr;
}
