#pragma once

#include <string>

#include "app/CommandBuffer.h"

struct ConsoleState;

// The folder of the log, position and layer files for a demoStatus.
std::string usersFolderFor(int demoStatus);

// The one gate for file names built at run time: cuts the name to 127
// characters and removes trailing blanks (never the first character). The
// result is left in `buffer`; returns the index of the last character kept
// (0 for an empty name).
int normalizeFileNameInto(const std::string& scratchName, CommandBuffer& buffer);

// Normalises into the console's CommandBuffer and lastNameIndex and returns
// the name to open.
std::string normalizeFileName(ConsoleState& state, const std::string& scratchName);
