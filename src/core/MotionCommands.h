#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/AxisTable.h"

// The station's own texts for real motion, declared in "Controller.dat" after
// the channel line: one `KEY TEXT` setting a line. The console never invents
// them; a missing or malformed one refuses the moves it would serve.
struct MotionCommands {
    // One number of the query's answer.
    struct Field {
        enum Kind { Position, Moving, Inputs, Outputs, Skip } kind = Skip;
        int axis = -1;  // Position and Moving
    };

    std::string stopAxis;   // {axis}
    std::string stopAll;
    std::string moveTo;     // {axis} {counts}
    std::string beginMove;  // {axis}
    std::string query;
    std::vector<Field> reply;
    // One line per malformed or unknown setting: "KEY: why".
    std::vector<std::string> errors;
    int64_t deceleration = 0;  // counts/s², 0 = not declared

    // The deceleration a stop is reckoned with: the declared one, else the simulator's default.
    int64_t stoppingDeceleration() const { return deceleration > 0 ? deceleration : 200000; }

    bool canStop() const { return !stopAll.empty() || !stopAxis.empty(); }
    // What every real move needs: a way to stop it and to watch it.
    bool canWatch() const { return !stopAll.empty() && !stopAxis.empty() && !query.empty() && !reply.empty(); }
    // What a move to a target needs besides.
    bool canMoveTo() const { return canWatch() && !moveTo.empty() && !beginMove.empty(); }

    // The filled-in texts; empty when the setting is not declared.
    std::string stopAxisText(int axis) const;
    std::string stopAllText() const;
    std::string moveText(int axis, int32_t counts) const;
};

// The eight positions and moving flags of one answer to the query, and the
// controller's bits where the reply names them.
struct ReadBack {
    std::array<int32_t, kAxisCount> position{};
    std::array<bool, kAxisCount> moving{};
    int64_t inputs = -1;
    int64_t outputs = -1;
    std::array<int8_t, kAxisCount> limit{};  // -1 low switch, 1 high, 0 none
    bool limitsKnown = false;                 // the reply declares at least one L field
};

// Reads one settings line (without its line end) into `commands`; blank lines
// and lines starting with '#' are ignored.
void parseMotionSetting(const std::string& line, MotionCommands& commands);

// Reads an answer by the reply list; false when it is malformed (fewer numbers
// than the list, or a token that is not an integer).
bool parseReadBack(const std::string& answer, const std::vector<MotionCommands::Field>& reply, ReadBack& out);
