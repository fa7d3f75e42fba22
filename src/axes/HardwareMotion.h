#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "core/MotionWatch.h"
#include "core/Ui.h"

struct Console;

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

// Stops one axis (simulated motion included). Outside
// simulation mode the stop goes to the controller at once.
void stopAxis(Console& console, int axis);
