#pragma once

#include <QSize>

class QWidget;

// Where the console's windows open: inside the available geometry of a
// screen, at the size and place the operator left them last time. Sizes and
// places are kept in the settings of organisation "Tarvex", application
// "tarvex", one group per window ("main", "braggCurve", "beamRuns",
// "crossSection", "document"), as "position" (the frame's top left corner) and
// "size" (the window's inside).

// Sizes and places `window` from its settings group `key`, `preferred` when
// no size is remembered. A remembered place on a screen stays on that screen
// (the one it overlaps most), the size clamped to it and the window moved
// inside it; without a remembered place, or with one that is now off every
// screen, the window is centred on the screen of the console's main window
// (`window`'s parent's window, or `window` itself), its size clamped to it.
// Call before the window is first shown.
void placeWindow(QWidget* window, const char* key, QSize preferred);
// Writes the window's size and place to its settings group `key`.
void rememberWindow(const QWidget* window, const char* key);

// The one call a window needs: placeWindow when it is first shown,
// rememberWindow whenever the program hides it (closed, or destroyed while
// shown). `key` must outlive the window (a literal).
void keepWindowPlaced(QWidget* window, const char* key, QSize preferred);
