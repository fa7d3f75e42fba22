#pragma once

#include <chrono>

#include "core/Motion.h"

struct Console;

// Starts the read-back (timer 5) when the station can watch real motion.
void startReadBack(Console& console);
// Timer 5: takes the last answer into the motion model (positions, moving
// marks, rest, limit switches, shutter inputs), notices a silent controller
// and asks again. It opens no box and runs no recomputation: what follows a
// move runs after the tick, so the read-back goes on while any box is open.
void onReadBackTimer(Console& console);

// After a stop: reads back until every axis is at rest or `bound` has
// passed (false), so that the positions kept are those the axes stand at.
bool waitForRest(Console& console, std::chrono::milliseconds bound);
inline constexpr std::chrono::milliseconds kEndingRestWait{300};
inline constexpr std::chrono::milliseconds kSaveRestWait{2000};

// One well-formed answer to the query: positions into the axis table, the
// rest (moving marks, rest, limit switches, shutter inputs) into the model.
void applyReadBack(Console& console, const ReadBack& readBack);

// Stops one axis (simulated motion included; -1: none, as Halt with no axis
// active); never refused.
void stopAxis(Console& console, int axis);
