#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "core/MotionCommands.h"

// Real shutters, a station setting in "Controller.dat": the output bit that
// opens each shutter (set: open, cleared: closed) and the input bit that reads
// it back (set: open).
//   shutter-S1-out N    shutter-S1-in N    shutter-S2-out N    shutter-S2-in N
struct ShutterBits {
    int s1Out = -1;
    int s1In = -1;
    int s2Out = -1;
    int s2In = -1;
    // One line per refused or missing setting: "shutter-S1-out 5: why".
    std::vector<std::string> errors;

    // All four named and none refused: the shutter buttons drive real shutters.
    bool real() const { return errors.empty() && s1Out >= 0 && s1In >= 0 && s2Out >= 0 && s2In >= 0; }
};

// Reads the shutter settings from the lines after the channel line; other
// settings are not this reader's. None named: no error, no real shutters.
ShutterBits parseShutterBits(std::istream& in);

// Adds an error when the shutters are declared but the controller's answer
// to the query (`reply`) carries no input bits to read them back from.
void checkShutterWiring(ShutterBits& bits, const MotionCommands& commands);

// The open state of a shutter from the controller's input bits.
inline bool shutterInputOpen(int64_t inputs, int bit) {
    return bit >= 0 && bit < 32 && inputs >= 0 && ((inputs >> bit) & 1) != 0;
}
