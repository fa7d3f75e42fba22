#pragma once

#include <string>

struct Console;

// Preview button: the selected position file in operator units, one line per
// dialog row, written to "Preview.txt" and shown through showTextCopy.
void onPreview(Console& console);

// "Copy of " + name with its last "." of a three-letter extension turned into
// "(…)" + ".txt": "Preview.txt" gives "Copy of Preview(txt).txt".
std::string textCopyName(const std::string& fileName);

// Copies `fileName` line by line to its copy in the working folder and shows
// the copy in the console's document window; the source itself is never
// opened for editing.
void showTextCopy(Console& console, const std::string& fileName);
