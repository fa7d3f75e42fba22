#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/AxisTable.h"
#include "core/MotionCommands.h"

// The motion and shutter model: one explicit state for each axis, each
// shutter and the controller link, and one transition function `motionStep`
// from (state, event) to (new state, commands to send, effects to run after
// the event). Simulated and real motion both run through it; the simulated
// controller is one whose moves and stops are done when the command is.
// Every rule of the console's motion lives in motionStep, one branch a rule.

enum class AxisPhase {
    AtRest,
    MovingToTarget,
    Jogging,
    HomingBackOff,   // Home's first step; at rest it asks for the second
    Stopping,        // a stop went out; rest not yet read back
    StoppedByLimit,  // at rest on a hard limit switch
};

enum class ShutterPhase {
    Closed,
    Opening,      // commanded open, the input does not show it yet
    Open,
    Closing,      // commanded closed, the input does not show it yet
    Disagreeing,  // the input has not followed the command for longer than the bound
    Unknown,      // the controller is lost or has not been read yet
};

enum class LinkPhase { Journal, Absent, Connecting, Connected, Lost };

struct AxisMotion {
    AxisPhase phase = AxisPhase::AtRest;
    int32_t target = 0;        // MovingToTarget, HomingBackOff
    int32_t jogVelocity = 0;   // Jogging: signed, controller units (counts per second)
    uint64_t commandedAt = 0;  // read-back queries sent before the command
    bool readMoving = false;   // the last read-back showed the axis moving
    int limitSwitch = 0;       // -1 low, 1 high, 0 none, as read back last
    int32_t position = 0;      // counts, as read back last
    double readAt = -1;        // seconds (steady clock) of that read-back, -1 = none
    double velocity = 0;       // counts per second between the last two read-backs
    bool limitStopSent = false;
};

struct ShutterMotion {
    ShutterPhase phase = ShutterPhase::Closed;
    bool commandKnown = false;   // a command was given, or the first read-back told what the controller holds
    bool commandedOpen = false;  // the last command sent (or, in simulation, carried out)
    int input = -1;              // the input bit as read back last: 1 open, 0 closed, -1 not read
    int disagreeing = 0;         // read-backs in a row whose input disagrees with the command
    bool warned = false;
};

struct LinkMotion {
    LinkPhase phase = LinkPhase::Journal;
    bool known = false;           // a read-back arrived on this connection
    int unanswered = 0;           // ticks in a row without a well-formed answer
    bool lostWarned = false;
};

inline constexpr int kShutterS1 = 0;
inline constexpr int kShutterS2 = 1;

struct MotionModel {
    std::array<AxisMotion, kAxisCount> axes;
    std::array<ShutterMotion, 2> shutters;
    LinkMotion link;
    uint64_t queriesSent = 0;
};

struct MotionEvent {
    enum Kind {
        MoveTo,        // axis to `counts`
        HomeBackOff,   // axis to `counts`, Home's first step
        Jog,           // axis at `counts` per second (signed)
        StopAxis,      // axis
        StopAll,
        ReadBack,      // `readBack`, answer to query `serial`, read at `now`
        NoAnswer,      // a read-back tick without a well-formed answer
        LinkChanged,   // the channel's link is now `link`
        NotSent,       // the command for `axis` (or, with axis -1, for shutter `shutter`) did not go out
        OpenShutter,   // `shutter`
        CloseShutter,  // `shutter`
    };
    Kind kind = StopAll;
    int axis = -1;
    int shutter = -1;
    int32_t counts = 0;
    const ::ReadBack* readBack = nullptr;
    uint64_t serial = 0;
    double now = 0;  // seconds, steady clock
    std::array<int, 2> shutterInput{-1, -1};  // ReadBack: each shutter's input, 1 open, 0 closed, -1 not read
    LinkPhase link = LinkPhase::Journal;
};

// What the model is told of the station besides the event.
struct MotionContext {
    const AxisTable& axes;  // limits, locks, positions
    // The simulated controller: moves and stops are done within the command,
    // nothing is read back, the shutters follow their command at once.
    bool simulated = true;
    // Real motion: the station declared its commands (to watch; to move to a target).
    bool canWatch = false;
    bool canMoveTo = false;
    bool realShutters = false;    // the shutter buttons drive real shutters
    bool shutterInputs = false;   // the read-back carries the input bits
    double deceleration = 200000;  // counts per second squared
    double readBackPeriod = 0.1;   // seconds between read-back queries
};

struct MotionCommand {
    enum Kind { Move, Jog, StopAxis, StopAll, ShutterOpen, ShutterClose };
    Kind kind = StopAll;
    int axis = -1;  // or the shutter
    int32_t counts = 0;
};

struct MotionEffect {
    enum Kind {
        CameToRest,        // axis: a move or stop ended; positions are the read-back's
        HomeSecondStep,    // axis: Home's back-off step is at rest
        LimitSwitch,       // axis stopped on its `value` (-1 low, 1 high) switch
        ShortOfTarget,     // axis came to rest away from its target
        LostWhileMoving,   // the controller was lost while an axis moved
        ShutterDisagrees,  // shutter: its input has not followed the command
        ShuttersChanged,   // `value`: a shutter's state changed and needs showing
        Halted,            // the simulated controller stopped at once: Halt of `axis` (`value` 1; -1 when
                           // no axis is active) or every axis (All Halt, `value` 0)
    };
    Kind kind = CameToRest;
    int axis = -1;
    int value = 0;
};

struct MotionOutcome {
    std::string refusal;  // the warning of a refused request; empty when accepted
    std::vector<MotionCommand> commands;
    std::vector<MotionEffect> effects;
    bool loseLink = false;  // NoAnswer: the controller counts as lost now
};

// Read-backs in a row after which a shutter whose input does not follow its
// command is shown as disagreeing (at the 100 ms read-back: one second).
inline constexpr int kShutterDisagreeReadBacks = 10;
// Ticks without a well-formed answer after which the controller is lost.
inline constexpr int kLostAfterTicks = 5;

// The refusal texts.
inline constexpr const char* kNoMotionText = "No controller with motion commands is attached - request ignored.";
inline constexpr const char* kLimitText = "Attempted movement beyond software limit - request ignored.";
std::string movingText(int axis);         // "Axis X is moving - request ignored."
std::string lockedText(int axis);         // "Axis X is locked - request ignored."
std::string limitSwitchText(int axis, int side);  // "Axis X is at its high limit switch - request ignored."
// " (limits 0.000 to 10.000 foil)": the axis's soft limits in its own units.
std::string limitsText(const Axis& axis);

// The one transition function.
MotionOutcome motionStep(MotionModel& model, const MotionEvent& event, const MotionContext& context);

// A target that reaches or passes a soft limit in the direction of the step.
bool beyondLimit(const Axis& axis, int64_t target, int64_t step);
// Where a jog at `velocity` counts/s, seen at `position` `age` seconds ago,
// comes to rest at the earliest if it is stopped at the next read-back.
double jogRestPosition(double position, double velocity, double age, const MotionContext& context);

// An axis that is not known to stand still.
bool axisBusy(const MotionModel& model, int axis);
bool anyAxisBusy(const MotionModel& model);
// A shutter that counts as open for the containment question: commanded
// open, read back open, or not known.
bool shutterMayBeOpen(const MotionModel& model, int shutter);
// A shutter the read-back (real shutters) or the simulation shows open.
bool shutterConfirmedOpen(const MotionModel& model, int shutter, bool realShutters);
