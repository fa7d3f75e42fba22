#pragma once

#include <cstdint>
#include <istream>
#include <string>

struct Console;
struct ConsoleCore;
struct ConsoleState;

// "TarvexBeamGeometry.dat": the internal positions (counts) of S, R and T for
// which the beam files were last committed, one line "S   R   T". It is
// rewritten just before each commit of the beam files, so that a commit cut
// short, or a status file written before a crash, shows as a difference from
// the status file at the next start. The beam files themselves keep exactly
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

// Records the present S, R and T before the beam files are committed; a file
// that cannot be written ends the program as a state file does.
void recordBeamGeometry(ConsoleCore& console);

// How the recorded geometry differs from the status file's S, R and T (or
// that it cannot be read), as the end of the operator log's entry; empty when
// it does not differ, or without the file (a folder from before it existed).
std::string beamGeometryChange(const ConsoleState& state);
