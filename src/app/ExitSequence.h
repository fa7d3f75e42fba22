#pragma once

struct Console;

// Exit button: parks the beam line, records the positions, warns about the
// slits and the Bragg peak, removes the run marker and hands over to the
// parent program. Returns with the console still running when the operator
// cancels or the calculation mode file is missing.
void exitSequence(Console& console);

// Starts the parent program without waiting for it: from the working folder
// when it is there, else from the search path.
void startParentProgram(Console& console);
