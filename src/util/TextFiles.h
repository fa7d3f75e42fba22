#pragma once

#include <fstream>
#include <string>

// Replaces the file at `path` with `content`: written to a temporary file in
// the same folder, flushed, then renamed over the old file, so that a crash
// leaves either the old or the new content, never a truncated file.
// Returns false when the temporary file cannot be created or written, or the
// rename fails; the old file is then untouched.
bool replaceFileContent(const std::string& path, const std::string& content);

// Appends `text` to the file at `path`, creating it when absent. False when the
// file cannot be opened for appending.
bool appendToFile(const std::string& path, const std::string& text);

// True when the file can be opened for reading.
bool fileIsReadable(const std::string& path);

// Opens `path` for binary reading; false for an empty name, a folder or a file
// that cannot be opened.
bool openInput(std::ifstream& in, const std::string& path);

// Renames `from` to `to` only when `to` does not exist; an existing file is
// never replaced. False when the rename did not happen.
bool renameNoReplace(const std::string& from, const std::string& to);

// Creates an empty file at `path`; false when it exists already or cannot be
// created.
bool createNewEmptyFile(const std::string& path);

// The full path of `path` (a name in the working folder, the current folder,
// or a relative or absolute path), for messages and for the desktop's opener.
// An empty path gives the working folder itself.
std::string fullPath(const std::string& path);
