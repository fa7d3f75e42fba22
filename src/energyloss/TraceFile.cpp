#include "energyloss/TraceFile.h"

#include <charconv>

#include "util/TextFiles.h"

TraceFile::TraceFile(const std::string& path) : file_(openOutputFile(path, true)) {}

TraceFile::~TraceFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void TraceFile::write(const std::string& line) {
    if (file_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

std::size_t formatTraceNumber(double value, char* buffer, std::size_t size) {
    // std::to_chars in the general format with precision 6 writes exactly what
    // "%g" writes in the C locale (formatGeneral), without a locale switch or
    // an allocation; the per-step trace line is on the hot path of every
    // traversal. TraceFileTest checks the equality.
    const auto result = std::to_chars(buffer, buffer + size, value, std::chars_format::general, 6);
    if (result.ec != std::errc()) return 0;
    return static_cast<std::size_t>(result.ptr - buffer);
}

void TraceFile::writeNumbers(double a, double b, double c) {
    if (file_ == nullptr) return;
    char line[96];
    std::size_t length = 0;
    const double values[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        length += formatTraceNumber(values[i], line + length, 30);
        line[length++] = i < 2 ? '\t' : '\n';
    }
    std::fwrite(line, 1, length, file_);
    std::fflush(file_);
}
