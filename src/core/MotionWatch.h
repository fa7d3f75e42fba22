#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "core/MotionCommands.h"
#include "core/Ui.h"

// What the console knows of the real axes: the station's motion commands and
// the controller's read-back. Outside simulation mode the read-back is the
// only source of positions and of "done".
struct MotionWatch {
    MotionCommands commands;
    bool known = false;  // a read-back arrived since the connection was made
    bool connectedOnce = false;
    std::array<bool, kAxisCount> moving{};     // read back
    std::array<bool, kAxisCount> commanded{};  // a move or jog went out; rest not yet read back
    std::array<bool, kAxisCount> toTarget{};   // of these, a move to a target
    std::array<uint64_t, kAxisCount> commandedAt{};  // queries sent before that command
    std::array<int32_t, kAxisCount> velocity{};      // counts per read-back
    std::array<bool, kAxisCount> limitStopSent{};
    std::array<int32_t, kAxisCount> jogVelocity{};   // of the jog now commanded
    std::array<int, kAxisCount> homeStage{};         // 1 while Home's back-off step is under way
    std::array<int32_t, kAxisCount> beamPosition{};  // T, R and S when the beam was computed last
    bool beamPositionKnown = false;
    bool queryOpen = false;
    uint64_t queriesSent = 0;
    int64_t inputs = -1;  // the controller's input bits as read back last; -1 = not read
    int unansweredTicks = 0;
    bool lostWarned = false;
    bool stoppedForEnd = false;  // the stop of a failure exit went out
    bool inTick = false;
    ControllerLink shownLink = ControllerLink::Journal;
};

// Timer 5 asks for the read-back at this period while a controller is attached;
// a query unanswered (or answered with nonsense) for this many ticks loses the link.
inline constexpr int kReadBackPeriod = 100;
inline constexpr int kUnansweredTicks = 5;
// How long a stop may wait to go out: in operation, and when the program ends.
inline constexpr std::chrono::milliseconds kStopWait{50};
inline constexpr std::chrono::milliseconds kEndingStopWait{200};
