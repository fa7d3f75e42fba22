#pragma once

#include <istream>
#include <string>

#include "beam/BeamState.h"

// The first line of a stream without its line end; empty when there is none.
std::string readFirstLine(std::istream& in);

// "CurrentBeamNZAMeV": beamTag, ionZ, ionA, beamEnergyMeV.
void parseBeamIon(std::istream& in, BeamState& beam);
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
