#include "core/CommandBuffer.h"

#include <cstring>

void CommandBuffer::set(const std::string& text) {
    std::size_t length = text.size() < kMaxLength ? text.size() : kMaxLength;
    std::memcpy(bytes_.data(), text.data(), length);
    bytes_[length] = '\0';
}

int normalizeFileNameInto(const std::string& scratchName, CommandBuffer& buffer) {
    auto& bytes = buffer.bytes_;
    bytes[0] = '\0';
    bytes[1] = '\0';
    long n = static_cast<long>(scratchName.size()) - 1;
    if (n > 126) n = 126;
    if (n < 0) return 0;
    std::memcpy(bytes.data(), scratchName.data(), static_cast<std::size_t>(n) + 1);
    bytes[static_cast<std::size_t>(n) + 1] = '\0';
    while (bytes[static_cast<std::size_t>(n)] == ' ' && n > 0) {
        bytes[static_cast<std::size_t>(n)] = '\0';
        --n;
    }
    return static_cast<int>(n);
}
