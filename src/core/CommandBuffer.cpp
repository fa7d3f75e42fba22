#include "core/CommandBuffer.h"

namespace {

// `text` cut after its first `characters` UTF-8 characters (a byte that is
// not valid UTF-8 counts as one).
std::string firstCharacters(const std::string& text, std::size_t characters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (count++ == characters) return text.substr(0, i);
    }
    return text;
}

}  // namespace

void CommandBuffer::set(const std::string& text) {
    text_ = firstCharacters(text.substr(0, text.find('\0')), kMaxLength);
}

int normalizeFileNameInto(const std::string& scratchName, CommandBuffer& buffer) {
    std::string name = firstCharacters(scratchName.substr(0, scratchName.find('\0')), CommandBuffer::kMaxLength);
    while (name.size() > 1 && name.back() == ' ') name.pop_back();
    buffer.text_ = name;
    if (name.empty()) return 0;
    std::size_t last = name.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(name[last]) & 0xC0) == 0x80) --last;
    return static_cast<int>(last);
}
