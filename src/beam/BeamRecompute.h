#pragma once

#include <string>

#include "beam/BeamDisplay.h"

struct Console;
struct ConsoleCore;
struct BeamResult;

// Works out energy, LET and range at the device for the present degrader and
// tilt, writes the range table and commits the beam files. False when the
// recomputation ended early and committed nothing (no per-ion table for the
// degrader, a tilt whose cosine is 0, a refused beam or layer record). Three
// steps: the inputs are read, the beam is computed into one BeamResult, and
// that record is shown and written; `result`, when given, gets the record.
bool recomputeBeam(ConsoleCore& console, BeamResult* result = nullptr);

// The beam stopped before the substrate: results zeroed, range table emptied.
void resetBeamResults(ConsoleCore& console);

// All Halt's recomputation: skipped when the last recomputation ran through
// without a message and neither an axis nor any file it reads or writes has
// changed since (it would compute and write the same); true then.
bool recomputeBeamIfChanged(ConsoleCore& console);

// When the recorded geometry differs from the present S, R and T (or cannot
// be read, or was left pending), the beam is recomputed and the operator log
// says so: "Beam recomputed <occasion>: the stored beam …, <source> S …".
// At start-up against the status file, in both modes, and in hardware mode
// again at the first read-back. Without the file (a folder from before it
// existed) nothing happens. True when it recomputed.
bool recomputeIfBeamGeometryChanged(Console& console, const std::string& occasion, const std::string& source);
