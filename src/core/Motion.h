#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/MotionModel.h"
#include "core/MotionWatch.h"

struct Console;

// The console's side of the motion model. Requests of the handlers and the
// read-back go in; the model's commands go out to the controller (the
// simulated one in simulation mode, which moves and stops within the
// command); its effects wait in the motion watch until the after-motion
// workflow runs them, after the event.

// The model's view of the station now.
MotionContext motionContext(const Console& console);

// Why `event` would be refused now (empty: it would be accepted); changes nothing.
std::string motionRefusal(const Console& console, const MotionEvent& event);
// Runs `event` through the model and carries out its outcome; returns the
// refusal or the "could not be sent" text (empty: accepted and sent). The
// caller warns.
std::string motionRequest(Console& console, const MotionEvent& event,
                          std::chrono::milliseconds stopWait = kStopWait);

// The second half of motionRequest, for an event the caller ran through the
// model itself (the read-back): effects queued, commands sent, a command
// that did not go out fed back to the model.
std::string carryOutOutcome(Console& console, const MotionOutcome& outcome,
                            std::chrono::milliseconds stopWait = kStopWait);

MotionEvent moveEvent(int axis, int32_t target, bool homeBackOff = false);
MotionEvent jogEvent(int axis, int32_t velocity);
MotionEvent shutterEvent(int shutter, bool open);

// Not known to stand still: moving by the read-back, commanded and not yet
// read back at rest, or driven by the simulation.
bool axisMoving(const Console& console, int axis);

// What the row of `axis` shows of its motion now.
AxisMotionShown axisMotionShown(const Console& console, int axis);
// Shows every row whose motion changed since it was shown last.
void showAxesMotion(Console& console);
// The active axis's nudge step in its units ("0.100 mm"); empty when no axis is active.
std::string nudgeStepText(const Console& console);

// Feeds a change of the channel's link to the model and shows it.
void followLink(Console& console);

// Stops every axis (simulated motion included); the stop goes out at once
// and may wait `wait` to go out.
void stopAllAxes(Console& console, std::chrono::milliseconds wait);

// The end of the program: every axis stops and real shutters close, each
// waiting at most `wait` to go out. True when every command went out to a
// controller that accepted it (nothing to do counts as done).
bool stopAndCloseForEnd(Console& console, std::chrono::milliseconds wait);
// The closing of real shutters alone, as the exit sequence does it.
bool closeShuttersForEnd(Console& console, std::chrono::milliseconds wait);
