#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The trace file of the traversal ("atempt.txt"): opened for appending by each
// traversal and closed when it returns. Every line is flushed as it is
// written. A file that cannot be opened makes every write a no-op.
class TraceFile {
public:
    TraceFile() = default;
    explicit TraceFile(const std::string& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // Writes `line` as it is (the caller supplies the line end) and flushes.
    void write(const std::string& line);
    // Writes "a\tb\tc\n" with each number in the default notation (six
    // significant digits, "%g") and flushes; no allocation.
    void writeNumbers(double a, double b, double c);

private:
    std::FILE* file_ = nullptr;
};

// Writes `value` as "%g" in the C locale would (six significant digits) into
// buffer (at least 30 characters); returns the length written.
std::size_t formatTraceNumber(double value, char* buffer, std::size_t size);

inline constexpr const char* kTraceFileName = "atempt.txt";
