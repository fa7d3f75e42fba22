#include "beam/BeamFiles.h"

#include "util/NumberFormat.h"
#include "util/TokenReader.h"

std::string readFirstLine(std::istream& in) {
    TokenReader reader(in);
    std::string line;
    reader.readLine(line);
    return line;
}

void parseBeamIon(std::istream& in, BeamState& beam) {
    TokenReader reader(in);
    int32_t tag = beam.beamTag, z = beam.ionZ;
    if (reader.readInt(tag)) beam.beamTag = tag;
    if (reader.readInt(z)) beam.ionZ = z;
    reader.readReal(beam.ionA);
    reader.readReal(beam.beamEnergyMeV);
}

void parseBeamResults(std::istream& in, BeamState& beam) {
    TokenReader reader(in);
    int32_t tag = beam.beamTag;
    if (reader.readInt(tag)) beam.beamTag = tag;
    reader.readReal(beam.degraderEffectiveUm);
    reader.readReal(beam.deviceEnergyMeV);
    reader.readReal(beam.nominalLet);
    reader.readReal(beam.nominalRangeUm);
    reader.readReal(beam.degraderExitEnergyMeV);
    reader.readReal(beam.braggEnergyMeV);
}

std::string formatBeamResults(const BeamState& beam) {
    return cformat("%d   %g   %g   %g   %g   %g   %g\n", beam.beamTag, beam.degraderEffectiveUm, beam.deviceEnergyMeV,
                   beam.nominalLet, beam.nominalRangeUm, beam.degraderExitEnergyMeV, beam.braggEnergyMeV);
}

std::string substrateDescription(const std::string& firstLine) {
    std::string text = firstLine;
    for (const char* mark : {"FIX", "ROT"}) {
        std::size_t p = text.find(mark);
        if (p != std::string::npos && p > 1) text.resize(p - 1);
    }
    return text;
}

int summaryLineCount(std::istream& in) {
    int count = 0;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            if (buffer[i] == '\n' && count < 1000000000) ++count;
        }
    }
    return count;
}
