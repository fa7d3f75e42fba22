#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "core/CampaignState.h"

// "Dosimetry.csv": what the facility's counting system writes in the working
// folder while the beam is on, one reading a line after a header line that
// says what the readings are:
//   time (s),fluence (1/cm2)   cumulative fluence since the counter's start
//   time (s),flux (1/cm2/s)    the flux at that time
// `time` is seconds since 1970-01-01 00:00 UTC (decimals allowed). The
// console follows the file while a run is open: the fluence delivered after
// the run began is the rise of the cumulative fluence, or the flux summed
// over the time between readings (each reading standing for the interval
// before it), a reading that spans the run's begin counted in part.
inline constexpr const char* kDosimetryFile = "Dosimetry.csv";
inline constexpr const char* kDosimetryFluenceHeader = "time (s),fluence (1/cm2)";
inline constexpr const char* kDosimetryFluxHeader = "time (s),flux (1/cm2/s)";
// No new reading for this long while a run is open is said once.
inline constexpr std::chrono::seconds kDosimetryStall{30};
// At most this much is read at one call; the rest comes with the next.
inline constexpr std::size_t kDosimetryReadBytes = std::size_t{1} << 20;  // bytes

struct DosimetryUpdate {
    double added = 0;  // 1/cm² delivered after `countFrom` by the readings taken now
    bool found = false;  // the file is there and followed
    // New problems, each said once: a line that is no reading, a reading
    // that goes backwards, a file replaced, gone, not a regular file, or
    // silent for kDosimetryStall.
    std::vector<std::string> problems;
};

// Takes the readings appended to the file at `path` since the last call.
// `countFrom`: s since 1970 after which fluence counts (NaN: none counts;
// the readings still set the baseline). `now`: for the stall.
DosimetryUpdate followDosimetry(DosimetryFollow& follow, const std::string& path, double countFrom,
                                std::chrono::steady_clock::time_point now);
