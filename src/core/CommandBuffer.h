#pragma once

#include <string>

// The text buffer shared by composed controller commands and the file name
// about to be opened: at most 127 characters (UTF-8: a character may take up
// to four bytes; controller commands are plain ASCII). Each use overwrites
// the previous content.
class CommandBuffer {
public:
    static constexpr std::size_t kMaxLength = 127;  // characters

    // Copies `text` in, cut to 127 characters.
    void set(const std::string& text);
    std::string text() const { return text_; }

private:
    friend int normalizeFileNameInto(const std::string&, CommandBuffer&);
    std::string text_;
};

// The one gate for file names built at run time: cuts the name to 127
// characters and removes trailing blanks (never the first character). The
// result is left in `buffer`; returns the byte index of the last character
// kept (0 for an empty name).
int normalizeFileNameInto(const std::string& scratchName, CommandBuffer& buffer);
