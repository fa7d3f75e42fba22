#pragma once

#include <array>

#include "core/ControlIds.h"

struct Console;

// The controls that operate the active axis; enabled or disabled together.
extern const std::array<ControlId, 11> kAxisOperationControls;

// Disables every operation control and all eight Locked boxes.
void disableAllAxisControls(Console& console);

// Active-axis radio with group index `index` (0..7, axis order).
void onSelectAxis(Console& console, int index);
// Locked box of axis `index`: locking halts it and disables the operation
// controls; unlocking enables them.
void onLockToggle(Console& console, int index);
void onFinestStep(Console& console);

// A character typed into the keyboard box: "+" / "-" nudge, "8" / "6" drive
// plus, "4" / "2" drive minus, space halts everything.
void onKeyboardKey(Console& console, char key);
