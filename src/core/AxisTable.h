#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>

#include "core/ControlIds.h"

// Axis order of every file record and loop: X Y Z T U V R S (R before S).
// The index is 0-based and equals the radio group index of the active-axis
// radios; the dialog shows the S row above the R row.
enum AxisIndex : int { kAxisX, kAxisY, kAxisZ, kAxisT, kAxisU, kAxisV, kAxisR, kAxisS, kAxisCount };

inline constexpr const char* kAxisLetters = "XYZTUVRS";

struct Axis {
    char letter = ' ';
    std::string unit;                 // unit word of the unit box
    int32_t softLimitLow = 0;         // counts
    int32_t softLimitHigh = 0;        // counts
    int32_t nudgeStep = 0;            // counts per nudge and per tick of a simulated drive
    double offset = 0;                // user units: value at internal position 0
    double scale = 0;                 // counts per user unit; its sign gives the "+" direction
    int32_t jogVelocity = 0;          // controller units, put into the drive command
    int32_t reserved = 0;             // read and kept
    int32_t internalPosition = 0;     // counts
    double value = 0;                 // user units, computed
    int locked = 0;                   // 0/1
    int32_t pendingStep = 0;          // counts: requested step, or velocity per tick while driving
    bool driving = false;             // simulated drive: timer 4 moves the axis by pendingStep
    int32_t namedPosition = 0;        // counts: position belonging to namedPositionName
};

struct AxisTable {
    AxisTable();
    std::array<Axis, kAxisCount> axes;

    Axis& operator[](int index) { return axes.at(static_cast<std::size_t>(index)); }
    const Axis& operator[](int index) const { return axes.at(static_cast<std::size_t>(index)); }
};

// The controls of one axis row.
struct AxisControls {
    ControlId value;
    ControlId unit;
    ControlId locked;
    ControlId radio;
    const char* rowLabel;  // layout text of the row label
    std::optional<ControlId> label;  // the row label's own id, for the rows start-up renames
};

// Indexed by AxisIndex.
extern const std::array<AxisControls, kAxisCount> kAxisControls;

// value = internalPosition / scale + offset, and 0 when scale is 0.
double axisValue(const Axis& axis);
// The value the axis shows when it stands at `counts`.
double axisValueAt(const Axis& axis, int32_t counts);
// Internal position of a wanted value: trunc((v - offset) * scale).
int32_t internalPositionFor(const Axis& axis, double value);
// A step of n counts in the "+" direction: +n when scale > 0, -n otherwise.
int32_t plusDirectionStep(const Axis& axis, int32_t counts);

// Setup table name for a location and cyclotron: "AirArdo.dat", "AirBelm.dat",
// "VacArdo.dat", "VacBelm.dat"; empty for a location other than 0 or 1.
std::string setupTableName(int dutLocation, int cyclotronCode);

// Reads the setup table tokens (units, limits and calibration, velocities) into
// the table; a missing or malformed token leaves it and every later field as it
// was. Units go through `normalizeUnit` (at most 127 characters). False when
// a token was missing or malformed.
bool parseSetupTable(std::istream& in, AxisTable& table);

// The status file "TarvexStatus.dat": position name line, location, eight
// internal positions, eight lock flags.
inline constexpr const char* kStatusFileName = "TarvexStatus.dat";

struct StoredStatus {
    std::string positionName;   // first line as read (not yet normalised)
    int32_t dutLocation = 0;
    std::array<int32_t, kAxisCount> internalPosition{};
    std::array<int32_t, kAxisCount> locked{};
};

// Reads into `status`, leaving what is missing or malformed as it was; false
// when a number was missing or malformed.
bool parseStatusFile(std::istream& in, StoredStatus& status);
// The position name as written to the status file: a control character
// (which would break the file's lines) becomes '?'.
std::string printablePositionName(const std::string& name);
std::string formatStatusFile(const std::string& positionName, int dutLocation, const AxisTable& table);
