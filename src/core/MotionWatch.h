#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/MotionCommands.h"
#include "core/MotionModel.h"
#include "core/Ui.h"

// What became of the closing of real shutters at the program's end.
enum class EndClose { None, Confirmed, NotConfirmed };

// What the console knows of its axes, shutters and controller link: the
// station's motion commands, the motion model and the effects it asked for
// that have not run yet.
struct MotionWatch {
    MotionCommands commands;
    MotionModel model;
    std::vector<MotionEffect> effects;  // run after the event, by the after-motion workflow
    bool runningEffects = false;
    bool connectedOnce = false;  // the first read-back of the program arrived
    std::array<int32_t, kAxisCount> beamPosition{};  // T, R and S when the beam was computed last
    bool beamPositionKnown = false;
    bool queryOpen = false;
    bool stoppedForEnd = false;  // the stop of the program's end went out
    EndClose endClose = EndClose::None;
    bool inTick = false;
    ControllerLink shownLink = ControllerLink::Journal;
    std::array<AxisMotionShown, kAxisCount> shownAxes{};  // what each axis row shows
};

// Timer 5 asks for the read-back at this period while a controller is attached.
inline constexpr int kReadBackPeriod = 100;
// How long a stop may wait to go out: in operation, and when the program ends.
inline constexpr std::chrono::milliseconds kStopWait{50};
inline constexpr std::chrono::milliseconds kEndingStopWait{200};
