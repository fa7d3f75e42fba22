#pragma once

struct Console;

// What follows a move, run after the event that caused it (a handler, a
// read-back tick), never inside the read-back: the recomputation once T, R
// and S are at rest at a new setting, the status file at rest, Home's second
// step, the shutter buttons, and the warnings of limit switches, moves that
// ended short, a lost controller and shutters that do not follow. Runs the
// effects the motion model queued, the ones queued meanwhile included; a call
// while it runs (a tick inside one of its boxes) returns at once, so the
// read-back goes on while a box is open.
void runMotionEffects(Console& console);
