#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "beam/BeamComputation.h"
#include "beam/BeamFileNames.h"
#include "core/BeamState.h"

// The first line of a stream without its line end; empty when there is none.
std::string readFirstLine(std::istream& in);

// "CurrentBeamNZAMeV": beamTag, ionZ, ionA, beamEnergyMeV. False when one of
// the four was missing or malformed (the rest keep their values).
bool parseBeamIon(std::istream& in, BeamState& beam);

// The highest energy per nucleon the stopping-power coefficients cover.
inline constexpr double kMaxBeamEnergyPerNucleonMeV = 1000;  // MeV/u

// Why the beam of "CurrentBeamNZAMeV.tmp" cannot be computed (`complete`:
// all four numbers were read), as a sentence naming the file and its numbers;
// empty when it can.
std::string beamIonRefusal(const BeamState& beam, bool complete);
// "CurrentBeamDELReB": beamTag, degraderEffectiveUm, deviceEnergyMeV,
// nominalLet, nominalRangeUm, degraderExitEnergyMeV, braggEnergyMeV.
void parseBeamResults(std::istream& in, BeamState& beam);
// The results line, fields separated by three blanks, reals in the default
// notation, ended by a line break.
std::string formatBeamResults(const BeamState& beam);

// The first summary line as shown in "Target substrate:": cut before the
// blank in front of "FIX", then of "ROT" (from position 2 on).
std::string substrateDescription(const std::string& firstLine);
// The count shown in "Layers:": the number of line breaks in the summary.
int summaryLineCount(std::istream& in);

// "MinimumRange.dat": the station's shortest useful effective range, µm, one
// number. Absent: no minimum.
inline constexpr const char* kMinimumRangeFile = "MinimumRange.dat";
// The minimum in µm, NaN without one. A file that holds no number of 0 or
// more, or that exists but cannot be read as a regular file, is ignored, and
// `reportNoNumber` gets the one line that says so.
double readMinimumRange(const std::function<void(const std::string& text)>& reportNoNumber);

// The first line of "CurrentLayerFileName.dat", the name of the device's
// layer file; nothing when the file cannot be opened.
std::optional<std::string> readLayerFileNameLine();

// The layer records of the file at `path`; false when it cannot be opened.
// A refused record ends the list and sets `refusal` (the operator's text,
// naming the record and the file).
bool readLayerFile(const std::string& path, std::vector<LayerRecord>& records, std::string& refusal);

// The device's layers in beam order from "CurrentLayersReversed.dat". A file
// that cannot be opened (`missing`) or a refused record (`refusal`, the
// operator's text) leaves the list incomplete.
DeviceLayers readDeviceLayers(bool& missing, std::string& refusal);
