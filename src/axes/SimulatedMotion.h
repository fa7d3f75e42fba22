#pragma once

#include <chrono>

struct Console;

// Timer 4: one step of every driven axis, in axis order; an axis stops before
// the step that would reach or pass its limit.
void onMotionTimer(Console& console);

// Stops every axis; a simulated stop is done at once, and the displays and
// the beam follow after the event (callers that need them sooner run the
// after-motion workflow themselves);
// outside simulation mode sends the stop of every axis, waiting at most
// `stopWait` for it to go out.
void allHalt(Console& console, std::chrono::milliseconds stopWait = std::chrono::milliseconds(50));

