#pragma once

struct Console;

// Check Parallax: on Belm the cross-hair laser goes on; on Ardo the slit
// apertures U and V widen by a factor that depends on the DUT distance Z and
// the turntable angle T. Undo Parallax reverses it.
void onCheckParallax(Console& console);
void onUndoParallax(Console& console);
