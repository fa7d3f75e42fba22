#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>

#include "core/AxisTable.h"

struct Console;

// A saved set of axis positions and locks: two lines, eight tab-terminated
// numbers each, in axis order X Y Z T U V R S.
struct PositionFile {
    std::array<int32_t, kAxisCount> internalPosition{};
    std::array<int32_t, kAxisCount> locked{};  // 0/1
};

std::string formatPositionFile(const PositionFile& file);
// Reads into `file`, leaving what is missing or malformed as it was; a lock
// other than 0 counts as 1. False when a number was missing or malformed.
bool parsePositionFile(std::istream& in, PositionFile& file);

// Extension character by location and visibility: '1' vacuum chamber, '2'
// in-air; hidden: '3' and '4'.
char positionExtensionDigit(const Console& console, bool hidden);

// True when a name typed by the operator may become a file name in the
// position folder: no folder separators, no "..", no control characters.
bool isAcceptablePositionName(const std::string& name);
// True when a file name of the position folder (name and extension) is one
// that Save could have made: an acceptable name and, with the folder, at most
// 127 characters.
bool isListablePositionFile(const Console& console, const std::string& fileName);

enum class PositionRead { Read, CannotOpen, Incomplete };

// Reads usersFolder + entry into `file` (starting from the present positions,
// no locks). A file that does not hold eight positions and eight locks, or
// whose name Save would refuse, is not used.
PositionRead readPositionFile(Console& console, const std::string& entry, PositionFile& file);

// The warning for a position file that cannot be used (not for CannotOpen).
std::string unusablePositionFileText(const std::string& entry);

