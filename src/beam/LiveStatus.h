#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// "TarvexLive.json": what the console shows, for the test team's data
// acquisition. Rewritten (temporary file and rename) after every change.
inline constexpr const char* kLiveStatusFile = "TarvexLive.json";

struct LiveAxis {
    char letter = ' ';
    double value = 0;   // in `unit`
    std::string unit;
    bool moving = false;
};

struct LiveStatus {
    std::string time;  // ISO 8601 with the UTC offset, when written
    struct Beam {
        std::string ion;                       // e.g. "197Au"
        std::string name;                      // "Beam:" text
        std::optional<double> energy;          // MeV/u as delivered; none when the ion mass is 0
        std::optional<double> substrateEnergy; // MeV/u at the substrate
        double nominalLet = 0;                 // MeV cm2/mg
        std::optional<double> effectiveLet;    // MeV cm2/mg; none at a tilt of 90 degrees
        double nominalRange = 0;               // um
        double effectiveRange = 0;             // um
    } beam;
    std::array<LiveAxis, 8> axes;  // X Y Z T U V R S
    bool s1Open = false;
    bool s2Open = false;
    bool shuttersKnown = true;  // false while real shutters are not known (the controller is lost)
    bool camera = false;
    bool light = false;
    bool laser = false;
    std::int64_t run = 0;      // open run; 0 = none
    std::string runBegin;      // its begin time
    struct Step {
        std::string name;    // the active campaign step; empty = none
        double fluence = 0;  // 1/cm² reached: its runs logged and the open run
        double goal = 0;     // 1/cm²; NaN: none
    } step;
};

// The JSON text, keys in a fixed order, ended by a line break.
std::string formatLiveStatus(const LiveStatus& status);

// A text as a JSON string literal: always valid UTF-8 (a byte that is not part
// of a UTF-8 character becomes U+FFFD), control characters escaped.
std::string jsonString(const std::string& text);
