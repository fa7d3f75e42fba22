#pragma once

#include <cstdint>
#include <istream>
#include <string>

struct Console;
struct ConsoleCore;
struct ConsoleState;

// "TarvexBeamGeometry.dat": the internal positions (counts) of S, R and T for
// which the beam files were last committed, one line "S   R   T". Before a
// commit at a new geometry it is marked "pending", and it names the new
// geometry only once the beam files are committed: a kill at any point,
// before or after the status file was written, shows at the next start as a
// difference from the status file (or, in hardware mode, from the first
// read-back) or as a pending record. The beam files themselves keep exactly
// the fields the parent program reads.
inline constexpr const char* kBeamGeometryFile = "TarvexBeamGeometry.dat";

struct CommittedGeometry {
    int32_t s = 0;  // counts
    int32_t r = 0;  // counts
    int32_t t = 0;  // counts

    bool operator==(const CommittedGeometry&) const = default;
};

std::string formatBeamGeometry(const CommittedGeometry& geometry);
// False when one of the three numbers is missing or malformed.
bool parseBeamGeometry(std::istream& in, CommittedGeometry& geometry);
CommittedGeometry currentBeamGeometry(const ConsoleState& state);

// Marks the record pending when the present S, R and T differ from it (the
// beam files are about to be committed for them); records them once the beam
// files are committed. A file that cannot be written ends the program as a
// state file does.
void markBeamGeometryPending(ConsoleCore& console);
void recordBeamGeometry(ConsoleCore& console);

// How the recorded geometry differs from the present S, R and T (or that it
// cannot be read, or was left pending), as the end of the operator log's
// entry; `source` names where the present ones come from ("the status file
// holds"). Empty when it does not differ, or without the file (a folder from
// before it existed).
std::string beamGeometryChange(const ConsoleState& state, const std::string& source);
