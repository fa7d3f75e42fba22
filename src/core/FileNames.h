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

// Why a save dialog must not write `path`: it names one of the console's own
// records in the working folder or below it (the users folder): a beam-run
// logbook ("BeamRuns.csv", "BeamRuns-2.csv", …), a state, settings or beam
// file (".dat", ".tmp", ".run", ".json"), a position file, a log, journal,
// report or table, the layer files or the coefficient files. Empty when it
// may be written. The working folder is the current one.
std::string exportTargetRefusal(const std::string& path);
