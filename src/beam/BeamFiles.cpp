#include "beam/BeamFiles.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "beam/LayerRecord.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

std::string readFirstLine(std::istream& in) {
    TokenReader reader(in);
    std::string line;
    reader.readLine(line);
    return line;
}

bool parseBeamIon(std::istream& in, BeamState& beam) {
    TokenReader reader(in);
    int32_t tag = beam.beamTag, z = beam.ionZ;
    if (reader.readInt(tag)) beam.beamTag = tag;
    if (reader.readInt(z)) beam.ionZ = z;
    reader.readReal(beam.ionA);
    return reader.readReal(beam.beamEnergyMeV);
}

std::string beamIonRefusal(const BeamState& beam, bool complete) {
    const std::string file = kBeamIonTmp;
    if (!complete) return file + " does not hold the four numbers of a beam (tag, Z, A, energy in MeV).";
    const std::string numbers = cformat(" (Z = %d, A = %g, E = %g MeV)", beam.ionZ, beam.ionA, beam.beamEnergyMeV);
    if (beam.ionZ < 1 || beam.ionZ > 92 || !std::isfinite(beam.ionA) || !(beam.ionA > 0) ||
        !std::isfinite(beam.beamEnergyMeV)) {
        return file + " holds an ion that cannot be computed" + numbers + ".";
    }
    // One range-table row per 0.01 MeV/u: beyond the coefficients' reach the
    // table would grow without end.
    if (std::fabs(beam.beamEnergyMeV / beam.ionA) > kMaxBeamEnergyPerNucleonMeV) {
        return file + " holds a beam energy above " + formatGeneral(kMaxBeamEnergyPerNucleonMeV) +
               " MeV/u, which the stopping-power data do not cover" + numbers + ".";
    }
    return "";
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

double readMinimumRange(const std::function<void(const std::string& text)>& reportNoNumber) {
    std::ifstream in;
    if (!openInput(in, kMinimumRangeFile)) {
        // Absent: no minimum. Present but not readable (a folder, a FIFO, no
        // permission): a safety setting would be lost without a word.
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(kMinimumRangeFile, ec))) {
            reportNoNumber(std::string(kMinimumRangeFile) +
                           " cannot be read (it must be a readable regular file); no minimum range is applied.");
        }
        return std::nan("");
    }
    TokenReader reader(in);
    double value = -1;
    if (!reader.readReal(value) || !std::isfinite(value) || value < 0) {
        reportNoNumber(std::string(kMinimumRangeFile) +
                       " holds no number of micrometres; no minimum range is applied.");
        return std::nan("");
    }
    return value;
}

std::optional<std::string> readLayerFileNameLine() {
    std::ifstream in;
    if (!openInput(in, kLayerFileNameFile)) return std::nullopt;
    return readFirstLine(in);
}

bool readLayerFile(const std::string& path, std::vector<LayerRecord>& records, std::string& refusal) {
    records.clear();
    refusal.clear();
    std::ifstream in;
    if (!openInput(in, path)) return false;
    TokenReader reader(in);
    LayerRecord record;
    std::string why;
    for (int number = 1;; ++number) {
        LayerReadResult read = readLayerRecord(reader, record, why);
        if (read == LayerReadResult::End) break;
        if (read == LayerReadResult::Refused) {
            refusal = cformat("Layer record %d of %s cannot be used: ", number, path.c_str()) + why + ".";
            break;
        }
        records.push_back(record);
    }
    return true;
}

DeviceLayers readDeviceLayers(bool& missing, std::string& refusal) {
    DeviceLayers layers;
    missing = !readLayerFile(kLayersReversedFile, layers.records, refusal);
    layers.complete = !missing && refusal.empty();
    return layers;
}
