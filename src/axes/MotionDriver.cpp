#include "axes/MotionDriver.h"

#include <chrono>
#include <thread>

#include "axes/AxisFiles.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/LogFile.h"
#include "util/NumberFormat.h"

namespace {

std::size_t at(int axis) {
    return static_cast<std::size_t>(axis);
}

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The first read-back of the program: the controller's positions win.
void reportPositionChange(Console& console, const ReadBack& readBack) {
    AxisTable& axes = console.state.axes;
    std::string changes;
    for (int i = 0; i < kAxisCount; ++i) {
        if (axes[i].internalPosition == readBack.position[at(i)]) continue;
        changes += cformat("%s %c %.3f -> %.3f %s", changes.empty() ? "" : ",", axes[i].letter, axisValue(axes[i]),
                           axisValueAt(axes[i], readBack.position[at(i)]), axes[i].unit.c_str());
    }
    if (!changes.empty()) {
        writeLogEntry(console, std::string("The controller's positions replace those of ") + kStatusFileName + ":" +
                                   changes + ".");
    }
}

}  // namespace

void applyReadBack(Console& console, const ReadBack& readBack) {
    ConsoleState& state = console.state;
    MotionWatch& watch = state.motion;
    const bool first = !watch.model.link.known;
    if (first && !watch.connectedOnce) reportPositionChange(console, readBack);
    watch.connectedOnce = true;
    bool changed = false;
    for (int i = 0; i < kAxisCount; ++i) {
        changed = changed || state.axes[i].internalPosition != readBack.position[at(i)];
        state.axes[i].internalPosition = readBack.position[at(i)];
    }
    MotionEvent event;
    event.kind = MotionEvent::ReadBack;
    event.readBack = &readBack;
    event.serial = watch.model.queriesSent;
    event.now = secondsNow();
    const ShutterBits& bits = state.shutterBits;
    if (readBack.inputs >= 0 && bits.real()) {
        event.shutterInput = {shutterInputOpen(readBack.inputs, bits.s1In) ? 1 : 0,
                              shutterInputOpen(readBack.inputs, bits.s2In) ? 1 : 0};
    }
    // The limit watch's stops go out within the tick.
    carryOutOutcome(console, motionStep(watch.model, event, motionContext(console)));
    state.motionInProgress = anyAxisBusy(watch.model);
    if (changed || first) refreshAfterMotion(console);
    if (first && changed) watch.effects.push_back(MotionEffect{MotionEffect::CameToRest, -1, 0});
}

void startReadBack(Console& console) {
    MotionWatch& watch = console.state.motion;
    if (console.state.simulation() || !watch.commands.canWatch() ||
        console.channel->currentLink() == ControllerLink::Journal) {
        return;
    }
    console.channel->setReconnectStop(watch.commands.stopAllText());
    if (!console.ui.startTimer(kReadBackTimer, kReadBackPeriod)) {
        console.ui.messageBox("Timer 5 not available!", Icon::Warning, Buttons::Ok, Button::Ok);
    }
    onReadBackTimer(console);
}

void onReadBackTimer(Console& console) {
    MotionWatch& watch = console.state.motion;
    if (watch.inTick || console.fields.directControl == 1) return;
    watch.inTick = true;
    ControllerChannel& channel = *console.channel;
    std::string answer;
    bool answered = false;
    if (channel.takeQueryAnswer(answer)) {
        watch.queryOpen = false;
        ReadBack readBack;
        if (parseReadBack(answer, watch.commands.reply, readBack)) {
            answered = true;
            applyReadBack(console, readBack);
        }
    }
    if (!answered && (watch.queryOpen || watch.model.link.known)) {
        MotionEvent silent;
        silent.kind = MotionEvent::NoAnswer;
        if (motionStep(watch.model, silent, motionContext(console)).loseLink) channel.abandon();
    }
    followLink(console);
    if (channel.currentLink() != ControllerLink::Connected) watch.queryOpen = false;
    if (!watch.queryOpen && channel.sendQuery(watch.commands.query)) {
        watch.queryOpen = true;
        ++watch.model.queriesSent;
    }
    followLink(console);
    watch.inTick = false;
}

void stopAxis(Console& console, int axis) {
    MotionEvent event;
    event.kind = MotionEvent::StopAxis;
    event.axis = axis;
    motionRequest(console, event);
}

bool waitForRest(Console& console, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (anyAxisBusy(console.state.motion.model)) {
        if (console.state.simulation() || console.channel->currentLink() != ControllerLink::Connected ||
            std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        onReadBackTimer(console);
    }
    return true;
}
