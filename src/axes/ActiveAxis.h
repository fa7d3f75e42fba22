#pragma once

#include <array>

#include "app/ControlIds.h"

struct Console;

// The controls that operate the active axis; enabled or disabled together.
extern const std::array<ControlId, 11> kAxisOperationControls;

// Disables every operation control and all eight Locked boxes.
void disableAllAxisControls(Console& console);
