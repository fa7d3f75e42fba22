#pragma once

#include <cstdio>
#include <fstream>
#include <string>

// Every file of the working folder is read and written through these helpers.
// The folder is shared with other programs and people, so its files are
// treated as hostile: a reader opens only regular files, and opens them
// without blocking, so that a FIFO or a device in place of a file is refused
// at once instead of hanging the console; a writer never follows a symbolic
// link in the last component of the path (a linked folder on the way is
// followed), so a link planted in the folder cannot redirect a write
// elsewhere.

// Replaces the file at `path` with `content`: written to a temporary file in
// the same folder, flushed, then renamed over the old file, so that a crash
// leaves either the old or the new content, never a truncated file. A link at
// `path` is replaced, not followed.
// Returns false when the temporary file cannot be created or written, or the
// rename fails; the old file is then untouched, and `why`, when given, says
// the cause.
bool replaceFileContent(const std::string& path, const std::string& content, std::string* why = nullptr);

// What became of a text appended to a file.
enum class AppendResult {
    Written,
    OpenFailed,   // not a regular file, a link, or it cannot be created
    WriteFailed,  // opened, but not all of the text reached the file (a full disk)
};

// Appends `text` to the file at `path`, creating it when absent. The append is
// whole or absent: when not all of it can be written (a full disk, a quota, an
// I/O error) the file is cut back to its length before, and `why`, when
// given, says the cause ("No space left on device", "it is a symbolic link").
// A file whose last line has no line end gets one first, so `text` starts a
// line of its own.
AppendResult appendText(const std::string& path, const std::string& text, std::string* why = nullptr);
// appendText, true only when the text was written.
bool appendToFile(const std::string& path, const std::string& text);

// Reads the whole regular file at `path` (never through a symbolic link, never
// a pipe or a device) when it holds at most `maxBytes` bytes. False with the
// reason in `why` otherwise; `content` is then empty.
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, std::string& why);

// What readRegularFileFrom found: the file's identity and size, to tell a
// file that grew from one that was replaced.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    unsigned long long size = 0;
};
// Reads at most `maxBytes` bytes from `offset` on of the regular file at
// `path` (never through a link, never a pipe or a device), for a file another
// program appends to. False with the reason in `why` (`missing` set when there
// is no file); `identity` is the file's when it could be opened.
bool readRegularFileFrom(const std::string& path, unsigned long long offset, std::size_t maxBytes,
                         std::string& content, FileIdentity& identity, bool& missing, std::string& why);

// True when `path` is a regular file that can be opened for reading.
bool fileIsReadable(const std::string& path);

// `text` with every byte that is not part of a valid UTF-8 sequence replaced
// by `replacement`; `valid`, when given, tells whether there was none.
std::string validUtf8(const std::string& text, const std::string& replacement, bool* valid = nullptr);

// The number of characters of a UTF-8 text: its bytes less the continuation
// bytes (a byte that is not valid UTF-8 counts as one character).
std::size_t characterCount(const std::string& text);

// Opens `path` for binary reading; false for an empty name, a folder, a FIFO,
// a device or any other file that is not a regular one (none of them blocks),
// or a file that cannot be opened.
bool openInput(std::ifstream& in, const std::string& path);

// Opens the regular file `path` for binary writing, created when absent,
// appended to or truncated; false when the last component is a symbolic link
// or anything but a regular file, or it cannot be opened.
bool openOutput(std::ofstream& out, const std::string& path, bool append = false);
// The same as a C stream; nullptr on failure.
std::FILE* openOutputFile(const std::string& path, bool append = false);

// Renames `from` to `to` only when `to` does not exist; an existing file is
// never replaced. False when the rename did not happen.
bool renameNoReplace(const std::string& from, const std::string& to);

// Creates an empty file at `path`; false when it exists already or cannot be
// created.
bool createNewEmptyFile(const std::string& path);

// `name` in `folder`: "" is the current folder, and a folder that ends in "/"
// gets no second one.
std::string inFolder(const std::string& folder, const std::string& name);

// The full path of `path` (a name in the working folder, the current folder,
// or a relative or absolute path), for messages and for the desktop's opener.
// An empty path gives the working folder itself.
std::string fullPath(const std::string& path);

enum class SaveResult { Saved, Exists, Failed };

// Creates the new file `path` with `content` without ever showing a partly
// written file under that name: the content goes to a temporary file in the
// same folder, which then takes the name with a rename that never replaces an
// existing file (or a hard link, where the rename is not offered). A kill
// leaves either no file of that name or the whole new one. Where the file
// system offers neither, the file is created exclusively and written in
// place. An existing file (or link) of that name is never touched.
SaveResult saveNewFile(const std::string& path, const std::string& content);

// `text` with every control character (below 32, and 127) replaced by
// `replacement`, so that it cannot break the lines of a file or a journal.
std::string replaceControlCharacters(std::string text, char replacement);
