#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "energyloss/TraceFile.h"
#include "support/WorkFolder.h"
#include "util/NumberFormat.h"

namespace {

std::string traceNumber(double value) {
    char buffer[32];
    return std::string(buffer, formatTraceNumber(value, buffer, sizeof buffer));
}

// The trace's fast number text must be the default notation of the number
// module, character for character.
TEST(TraceFile, NumbersAreWrittenInTheDefaultNotation) {
    const double edge[] = {0, -0.0, 1, 10, 15, 0.0001, 1e-5, 123456, 1234567, 999999.5, 9.999995, 0.1 + 0.2,
                           -35.96628, 1e300, -1e-300, std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max()};
    for (double v : edge) EXPECT_EQ(traceNumber(v), formatGeneral(v)) << v;
    std::mt19937_64 random(7);
    for (int i = 0; i < 100000; ++i) {
        uint64_t bits = random();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        ASSERT_EQ(traceNumber(v), formatGeneral(v)) << bits;
        const double scaled = std::ldexp(static_cast<double>(random() % 100000007) / 1e5, static_cast<int>(random() % 60) - 30);
        ASSERT_EQ(traceNumber(scaled), formatGeneral(scaled)) << scaled;
    }
}

TEST(TraceFile, LinesAreAppendedAndFlushedAtOnce) {
    WorkFolder folder;
    folder.write("trace.txt", "before\n");
    TraceFile trace("trace.txt");
    trace.writeNumbers(0.0368443, 14.985, 80.2239);
    // Flushed: visible before the file is closed.
    EXPECT_EQ(folder.read("trace.txt"), "before\n0.0368443\t14.985\t80.2239\n");
    trace.write("text line\n");
    EXPECT_EQ(folder.read("trace.txt"), "before\n0.0368443\t14.985\t80.2239\ntext line\n");
}

}  // namespace
