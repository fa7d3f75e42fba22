#pragma once

#include <array>
#include <string>

// The 128-byte text buffer shared by composed controller commands and the
// file name about to be opened: at most 127 characters plus the terminator.
// Each use overwrites the previous content.
class CommandBuffer {
public:
    static constexpr std::size_t kSize = 128;
    static constexpr std::size_t kMaxLength = kSize - 1;

    // Copies `text` in, cut to 127 characters.
    void set(const std::string& text);
    std::string text() const { return std::string(bytes_.data()); }

private:
    friend int normalizeFileNameInto(const std::string&, CommandBuffer&);
    std::array<char, kSize> bytes_{};
};

// The one gate for file names built at run time: cuts the name to 127
// characters and removes trailing blanks (never the first character). The
// result is left in `buffer`; returns the index of the last character kept
// (0 for an empty name).
int normalizeFileNameInto(const std::string& scratchName, CommandBuffer& buffer);
