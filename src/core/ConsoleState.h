#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/AxisTable.h"
#include "core/BeamRunState.h"
#include "core/BeamState.h"
#include "core/CampaignState.h"
#include "core/CommandBuffer.h"
#include "core/Cyclotrons.h"
#include "core/MotionWatch.h"
#include "core/Options.h"
#include "core/ShutterBits.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"

// The process-wide state of the console. Each subsystem owns its fields.
struct ConsoleState {
    // Settings files, read at start-up.
    int demoStatus = 3;          // 1 or 3: simulation mode; <= 1: user files under usersFolder
    int dutLocation = 0;         // 1 = vacuum chamber, anything else = in-air
    int cyclotronCode = kCyclotronArdo;
    int foilCount = foilCountOf(kCyclotronArdo);  // degrader foils of the cyclotron read at start-up
    std::string usersFolder;     // "./users/" when demoStatus <= 1, else empty
    Options options;             // "Options.dat" as read last

    // Logs and reports that could not be written last time (a full disk);
    // each is reported once until a write succeeds again.
    std::set<std::string> unwritableFiles;

    // File names and composed commands.
    CommandBuffer commandBuffer;
    int lastNameIndex = 0;

    // Axes.
    AxisTable axes;
    int activeAxis = -1;         // radio group index 0..7, -1 = none
    std::string positionName;    // text of the DUT position box
    std::string namedPositionName;
    bool finestStep = false;
    bool motionInProgress = false;  // simulated motion: from the first tick until all halted;
                                    // real motion: while the read-back shows an axis moving
    MotionWatch motion;             // real motion: commands and read-back

    // Position files.
    std::string selectedPositionFile;  // file name of the list entry selected last; empty = none
    // The list as shown and the file names behind it: a name that is not
    // valid UTF-8 is shown with its odd bytes as "?" and a marker.
    std::vector<std::pair<std::string, std::string>> listedPositionFiles;

    // Switches and shutters.
    bool cameraOn = false;
    bool laserOn = false;
    bool lightOn = false;
    bool s1Closed = false;
    bool s2Closed = true;
    ShutterBits shutterBits;     // real shutters when shutterBits.real(); their state is read back

    // Beam and energy loss.
    BeamState beam;
    BeamFieldsShown shownBeamFields;  // what the window shows of the beam fields
    StoppingData stopping;       // coefficient tables, reloaded before every recomputation
    StoppingTableCache stoppingTables;  // per-ion tables and mode flag read last
    // The engine's trace of the recomputation and of Go; empty: none.
    std::string traceFileName = kTraceFileName;

    // The engine's options for the console's traversals: the tables kept here
    // and, when `traced`, the trace file.
    StoppingOptions engineOptions(bool traced) {
        StoppingOptions engine;
        engine.tables = &stoppingTables;
        if (traced) engine.traceFileName = traceFileName;
        return engine;
    }

    // Process life: the start-up sequence is running (until the dialog is
    // shown); the own run marker is this process's from the moment it
    // created it.
    bool startingUp = false;
    bool ownRunMarkerCreated = false;

    // Beam runs: the logbook, the banner and the live status.
    BeamRunState runs;
    CampaignState campaign;

    bool simulation() const { return demoStatus == 1 || demoStatus == 3; }
    // The DUT sits in the vacuum chamber (shown "Vacuum chamber"), else in
    // the air ("In-air").
    bool inVacuumChamber() const { return dutLocation == 1; }
};
