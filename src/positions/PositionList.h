#pragma once

#include <string>
#include <vector>

struct Console;

// The position files of the present location in the position folder: the
// visible ones (".po1" / ".po2") or the hidden ones (".po3" / ".po4"), sorted.
std::vector<std::string> listPositionFiles(const Console& console, bool hidden);

void onShowUnhidden(Console& console);
void onShowHidden(Console& console);
void onPositionSelected(Console& console);
void onRestore(Console& console);
void onHide(Console& console);
void onUnhide(Console& console);

// Save button: the present positions and locks under the name in box 1070.
void onSave(Console& console);
