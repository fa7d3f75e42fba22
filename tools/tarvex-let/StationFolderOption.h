#pragma once

// The station working folder DIR of recompute, go, plan and runs, and what
// go and plan read there.

#include <memory>
#include <string>

#include "LetCommand.h"
#include "beam/StationFolder.h"
#include "energyloss/LayerStopping.h"

class StationFolderOption {
public:
    // Declares the optional argument DIR (default: the current folder).
    void declare(CLI::App& command);

    // DIR as given, "" without it.
    const std::string& folder() const { return folder_; }

    // DIR made the current folder; UsageError when that cannot be done.
    void enter() const;

private:
    std::string folder_;
};

struct ConsoleCore;
struct BeamResult;

// The console's recomputation of the beam on the current folder, after the
// start-up steps that give it its settings and axes; `trace`: the engine's
// trace "atempt.txt" is written. False when it ended early and committed
// nothing.
bool recomputeCurrentFolder(ConsoleCore& console, bool trace, BeamResult& computed);

// A file named on the command line as the caller's folder sees it: taken
// before enter() makes DIR the current folder.
std::string callersPath(const std::string& path);

// The station folder's settings as go and plan read them; a problem is a
// ComputationError.
std::unique_ptr<StationFolder> readStation();

// The station's minimum effective range (µm), NaN when it has none; a file
// without a number is reported once.
double stationMinimumRange();
