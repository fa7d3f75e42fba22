#pragma once

#include <QIcon>
#include <QPixmap>

// The dialog's pictures, drawn at run time.

// The All Halt picture (control 1128): the words "All Halt" in white on red.
QPixmap allHaltPicture();

// Two coordinate arrows with a red cross at their origin.
QPixmap coordinateArrowsPicture();

// The application icon: window, taskbar and About box.
QIcon applicationIcon();
