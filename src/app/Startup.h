#pragma once

struct Console;

inline constexpr const char* kParentRunMarker = "Orvane.run";
inline constexpr const char* kSequenceLogFile = "TarvexLog.dat";
inline constexpr const char* kDialogCaption = "Tarvex  2024";

// The start-up sequence run at dialog initialisation, in its fixed order.
// Returns true when the dialog may be shown; every failure ends the process.
bool runStartup(Console& console);

// The two halves of the start-up labels: the location half before the fields
// are shown, the cyclotron half after.
void applyLocationLabels(Console& console);
void applyCyclotronLabels(Console& console);
