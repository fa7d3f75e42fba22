#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "axes/MotionCommands.h"
#include "platform/Ui.h"

struct Console;

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
    std::array<int, kAxisCount> homeStage{};         // 1: Home's back-off step is under way
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

// The refusal texts of real motion.
inline constexpr const char* kNoMotionText = "No controller with motion commands is attached - request ignored.";
std::string movingText(int axis);  // "Axis X is moving - request ignored."
inline constexpr const char* kLimitText = "Attempted movement beyond software limit - request ignored.";
// " (limits 0.000 to 10.000 foil)": the axis's soft limits in its own units.
std::string limitsText(const Axis& axis);

// Refuses a target that reaches or passes a limit in the direction of the step.
bool beyondLimit(const Axis& axis, int64_t target, int64_t step);

// Outside simulation mode: why a move cannot be commanded now, empty when it
// can (`toTarget`: a move to a target rather than a jog).
std::string motionRefusal(const Console& console, bool toTarget);
// Moving by the read-back, or commanded and not yet read back at rest.
bool axisMoving(const Console& console, int axis);

// Starts the read-back (timer 5) when the station can watch real motion.
void startReadBack(Console& console);
void onReadBackTimer(Console& console);
// Takes one read-back into the console: positions, moving marks, rest.
void applyReadBack(Console& console, const ReadBack& readBack, uint64_t querySerial);

// Commands a move of `axis` to `target` counts, or a jog (`jogText`).
void commandMove(Console& console, int axis, int32_t target);
void commandJog(Console& console, int axis, const std::string& jogText, int32_t velocity);

// Stops: one axis, or every axis (simulated motion included). Outside
// simulation mode the stop goes to the controller at once.
void stopAxis(Console& console, int axis);
void stopAllAxes(Console& console, std::chrono::milliseconds wait);
