#pragma once

struct Console;
struct ConsoleCore;

// The setup table of the present location and cyclotron, read at start-up.
void loadSetupTable(ConsoleCore& console);

// Reads "TarvexStatus.dat" at start-up: position name, positions and locks;
// shows the values. A status file written at the other location resets every
// position and lock, warns and rewrites the file.
void loadStatusFile(ConsoleCore& console);

// Rewrites "TarvexStatus.dat" from the present positions and locks.
void writeStatusFile(ConsoleCore& console);

// Recomputes the eight axis values and shows them ("%.3f").
void refreshAxisValues(Console& console);

// "DUT position:" shows the named position while every axis stands at it, and
// "Current" otherwise.
void refreshPositionName(Console& console);

// The loaded, saved or restored position becomes the named one.
void nameCurrentPosition(Console& console);

// The displays every change of the axes ends with: position name, values.
void refreshAfterMotion(Console& console);
