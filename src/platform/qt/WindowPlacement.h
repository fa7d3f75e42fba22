#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

// Where the console's windows open: inside the available geometry of a
// screen, at the size and place the operator left them last time. Sizes and
// places are kept in the settings of organisation "Tarvex", application
// "tarvex", one group per window ("main", "braggCurve", "beamRuns"), as
// "position" (the frame's top left corner) and "size" (the window's inside).

// The geometry a window of `size` (its inside; `frame` is what the window
// decorations add around it) takes on `screens` (available geometries):
// - `remembered` valid and overlapping a screen: on the screen it overlaps
//   most, its size clamped to that screen and moved inside it;
// - otherwise: `home` (the screen of the console's main window) with the
//   size clamped and the window centred.
// The result is the frame's top left corner and the inside size.
struct WindowSpot {
    QPoint position;
    QSize size;
};
WindowSpot fitWindow(const QRect& remembered, QSize size, const QMargins& frame, const std::vector<QRect>& screens,
                     const QRect& home);

// Sizes and places `window` from its settings group `key`, or at `preferred`
// centred when none is remembered or the remembered place is off every
// screen. Call before the window is first shown.
void placeWindow(QWidget* window, const char* key, QSize preferred);
// Writes the window's size and place to its settings group `key`.
void rememberWindow(const QWidget* window, const char* key);

// The one call a window needs: placeWindow when it is first shown,
// rememberWindow whenever the program hides it (closed, or destroyed while
// shown). `key` must outlive the window (a literal).
void keepWindowPlaced(QWidget* window, const char* key, QSize preferred);
