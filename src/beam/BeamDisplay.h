#pragma once

#include <string>

struct Console;
struct ConsoleCore;
struct BeamResult;

// Start-up: "Al degrader (mil):" from the S and R of the status file, with
// foils 1 to 10 whatever the cyclotron.
void showStartupDegrader(ConsoleCore& console);

// Start-up: the committed beam files, the effective LET and range, the
// substrate description and the layer count.
void showStoredBeam(ConsoleCore& console);

// "Effective LET" = nominal LET / |cos T|, "Effective range" = nominal range
// × |cos T|.
void refreshEffectiveLetDisplay(ConsoleCore& console);

// Why the beam fields do not show the present setting; empty when they do.
// `moving` names the axes among T, R and S not known to stand still,
// `changed` those that stand elsewhere than the beam was computed for
// (letters in that order, "TS").
std::string beamStaleReason(const std::string& moving, const std::string& changed);

// "Warning: the beam reaches the substrate past its Bragg peak, and the
// effective range is under the minimum range of 30 µm." and its halves;
// empty when neither applies.
std::string peakAndRangeWarning(bool pastPeak, bool tooShort, double minimumRangeUm);

// The lasting line about a computed setting: the beam stopped, past its
// Bragg peak, under the minimum range (NaN: none); empty when none applies.
std::string settingWarningText(const BeamResult& result, double minimumRangeUm);

// The computed beam is for the present T, R and S.
void noteBeamComputedHere(ConsoleCore& console);

// Shows whether the beam fields are current, and the warning line, when
// either changed since shown last.
void showBeamFieldsState(Console& console);
