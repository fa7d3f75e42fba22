#pragma once

#include <ctime>
#include <string>

// The one module that turns numbers into text. Every output uses the decimal
// point whatever the process locale.

// printf-style formatting in the classic "C" locale.
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%.<decimals>f"
std::string formatFixed(double value, int decimals);

// Default stream notation: six significant digits, "%g".
std::string formatGeneral(double value);

// The shortest text that reads back as the same double ("40", "149.9",
// "1e+07"), for files that are read again.
std::string formatShortest(double value);

// The three-way format of the beam fields: "%.1f", "%.2f" below 10, "%.3f"
// below 1.
std::string formatBeamValue(double value);

// "%y/%m/%d   %H:%M:%S   " for a local time.
std::string logTimeStamp(const std::tm& localTime);
