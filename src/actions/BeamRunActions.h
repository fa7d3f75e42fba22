#pragma once

#include <string>

struct Console;

// The beam-run logbook as the console keeps it: a run is open while both
// shutters are open (and the controller is not lost); every shutter change and
// every run begun or ended goes to the operator log, the banner follows, and
// "TarvexLive.json" is rewritten whenever what it shows changed.

// Start-up, once the shutters are known: chooses the logbook (saying once when
// its numbering cannot continue), closes a run left open by an earlier
// console, and hooks the end of the open run into every failure exit.
void openBeamRunLog(Console& console);

// After every event: logs shutter changes, begins and ends runs (a run also
// ends when S, R or T come to rest at a new position or the beam changes,
// and a new one begins), shows the banner and rewrites the live status.
void followBeamRun(Console& console);

// Ends the open run (if any) with `comment`, as the program ends: Exit,
// Escape or a failure. Shows the banner and rewrites the live status.
void endBeamRun(Console& console, const std::string& comment);
