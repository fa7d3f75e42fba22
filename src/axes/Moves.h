#pragma once

#include <optional>
#include <string>

struct Console;

// Reads the dialog's entries back (the operator's input and the active-axis
// radio) into the console.
void takeDialogEntries(Console& console);
// Shows the dialog's fields, with the active axis as the console holds it.
void showDialogFields(Console& console);

// Carries out the pendingStep of the active axis through the motion model:
// refused with its message (no axis, locked, moving, a soft limit, no
// controller), else camera on, "Current" and the move. What follows the
// move (the recomputation after T, R and S, the status file) runs after the
// event.
void moveActiveAxis(Console& console);
// Home's second step, once its back-off step is at rest: to internal position 0.
void homeSecondStep(Console& console, int axis);

// An entry of a number box: blank is 0 (the C library's rule for an empty
// text); anything else must be one number, else nullopt.
std::optional<double> numberEntry(const std::string& text);
// "\"abc\" is not a number - request ignored."
std::string notANumberText(const std::string& text);

void onNudge(Console& console, int direction);   // +1 or -1
void onDrive(Console& console, int direction);   // +1 or -1
void onHalt(Console& console);
void onHome(Console& console);
void onSetValue(Console& console);
void onIncrement(Console& console);

// Moves the active axis to a wanted value as Set Value does.
void moveActiveAxisTo(Console& console, double value);
