#pragma once

#include <string>

#include "core/CommandBuffer.h"

struct ConsoleState;

// This process's run marker: created at start-up, removed at every end.
inline constexpr const char* kOwnRunMarker = "Tarvex.run";

// The folder of the log, position and layer files for a demoStatus.
std::string usersFolderFor(int demoStatus);

// Normalises into the console's CommandBuffer and lastNameIndex and returns
// the name to open.
std::string normalizeFileName(ConsoleState& state, const std::string& scratchName);
