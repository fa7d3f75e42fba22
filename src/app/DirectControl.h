#pragma once

#include <array>

struct Console;

// The preset commands of the direct command box, in their order.
extern const std::array<const char*, 17> kDirectCommandPresets;

// The "Enable direct control of the hardware" box: on, the command box, Tell
// and Ask appear and the timers stop; off, the exit sequence runs and the
// program ends with exit code 1 whatever happened in it.
void onDirectControl(Console& console);
void onTell(Console& console);
void onAsk(Console& console);
void onReset(Console& console);

// Help button and F1: the help page "Tarvex.htm" of the working folder in
// the console's document window.
void onHelp(Console& console);
