#pragma once

#include <array>
#include <cstddef>
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
        enum Kind { Position, Moving, Limit, Inputs, Outputs, Skip } kind = Skip;
        int axis = -1;  // Position, Moving and Limit
    };

    std::string stopAxis;   // {axis}
    std::string stopAll;
    std::string moveTo;     // {axis} {counts}
    std::string beginMove;  // {axis}
    std::string query;
    std::vector<Field> reply;
    // The controller's deceleration of a stop, counts/s^2 for every axis;
    // 0 when the file does not declare it.
    int64_t deceleration = 0;
    // How long a command waits for the controller's answer.
    int answerTimeMs = kDefaultAnswerTimeMs;
    // One line per malformed or unknown setting: "KEY: why".
    std::vector<std::string> errors;
    // The keys read so far, each once: a key given again is refused.
    std::vector<std::string> keysGiven;

    static constexpr int kDefaultAnswerTimeMs = 50;
    static constexpr int kLongestAnswerTimeMs = 2000;
    // What a stop is taken to decelerate at when the file does not say.
    static constexpr int64_t kAssumedDeceleration = 200000;

    bool canStop() const { return !stopAll.empty() || !stopAxis.empty(); }
    // What every real move needs: a way to stop it and to watch it.
    bool canWatch() const { return !stopAll.empty() && !stopAxis.empty() && !query.empty() && !reply.empty(); }
    // What a move to a target needs besides.
    bool canMoveTo() const { return canWatch() && !moveTo.empty() && !beginMove.empty(); }

    // The filled-in texts; empty when the setting is not declared.
    std::string stopAxisText(int axis) const;
    std::string stopAllText() const;
    std::string moveText(int axis, int32_t counts) const;
    // The declared deceleration, else kAssumedDeceleration.
    int64_t stoppingDeceleration() const { return deceleration > 0 ? deceleration : kAssumedDeceleration; }
};

// The eight positions and moving flags of one answer to the query, and the
// controller's limit switches and bits where the reply names them.
struct ReadBack {
    std::array<int32_t, kAxisCount> position{};
    std::array<bool, kAxisCount> moving{};
    std::array<int8_t, kAxisCount> limit{};   // -1 low switch, 1 high, 0 none
    bool limitsKnown = false;                  // the reply declares at least one L field
    int64_t inputs = -1;
    int64_t outputs = -1;
};

// The longest settings line of "Controller.dat" that is read; a longer one
// is refused, not cut.
inline constexpr std::size_t kMaxSettingsLine = 4096;

// Reads one settings line (without its line end) into `commands`; blank lines
// and lines starting with '#' are ignored. A key given a second time, or on a
// line over kMaxSettingsLine bytes, is an error and counts as not given.
void parseMotionSetting(const std::string& line, MotionCommands& commands);

// The longest answer to the query that is read at all.
inline constexpr std::size_t kMaxReadBackLength = 1024;

// Reads an answer by the reply list: exactly as many integers as the list
// names, separated by commas and/or blanks, in at most kMaxReadBackLength
// characters. False when it is malformed (a number too few or too many, a
// token that is not an integer, a limit switch other than -1, 0 or 1, a line
// too long); `out` is then left as it was.
bool parseReadBack(const std::string& answer, const std::vector<MotionCommands::Field>& reply, ReadBack& out);
