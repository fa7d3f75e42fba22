#pragma once

struct Console;

// Reads the dialog's entries back (the operator's input and the active-axis
// radio) into the console.
void takeDialogEntries(Console& console);
// Shows the dialog's fields, with the active axis as the console holds it.
void showDialogFields(Console& console);

// Carries out the pendingStep of the active axis: limit test (simulation
// only), camera on, "Current", the step itself (simulation only), the beam
// recomputation after moves of T, R and S, and the status file.
void moveActiveAxis(Console& console);

void onNudge(Console& console, int direction);   // +1 or -1
void onDrive(Console& console, int direction);   // +1 or -1
void onHalt(Console& console);
void onHome(Console& console);
void onSetValue(Console& console);
void onIncrement(Console& console);

// Moves the active axis to a wanted value as Set Value does.
void moveActiveAxisTo(Console& console, double value);
