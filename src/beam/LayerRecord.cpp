#include "beam/LayerRecord.h"

#include <cmath>

#include "core/CommandBuffer.h"
#include "core/FileNames.h"
#include "util/TextFiles.h"

namespace {

// Larger areal densities stop any ion many times over; beyond this a value is
// a typing error rather than a device.
constexpr double kMaxArealDensityMgCm2 = 1e9;

LayerReadResult refuse(std::string& why, const std::string& text) {
    why = text;
    return LayerReadResult::Refused;
}

}  // namespace

LayerReadResult readLayerRecord(TokenReader& reader, LayerRecord& record, std::string& why) {
    std::string line;
    if (!reader.readLine(line) || line.size() <= 2) return LayerReadResult::End;
    if (characterCount(line) > CommandBuffer::kMaxLength) return refuse(why, "its name is longer than 127 characters");
    CommandBuffer scratch;
    normalizeFileNameInto(line, scratch);
    record = LayerRecord{};
    record.name = scratch.text();

    // A missing or malformed number ("nan" among them) would otherwise end
    // the record list silently, with the layers behind it never crossed.
    const std::string malformed = "a number is missing or malformed in its ";
    if (!(reader.readReal(record.density) && reader.readInt(record.elementCount) && reader.readInt(record.tiltFlag))) {
        if (record.elementCount < 1 || record.elementCount > LayerMaterial::kMaxElements) {
            return refuse(why, "it has " + std::to_string(record.elementCount) + " elements (1 to 8 are possible)");
        }
        return refuse(why, malformed + "density, element count and tilt line");
    }
    if (record.elementCount < 1 || record.elementCount > LayerMaterial::kMaxElements) {
        return refuse(why, "it has " + std::to_string(record.elementCount) + " elements (1 to 8 are possible)");
    }
    for (int i = 0; i < record.elementCount; ++i) {
        const std::string element = "element " + std::to_string(i + 1);
        bool complete = reader.readInt(record.atomicNumber[i]) && reader.readReal(record.atomicMass[i]) &&
                        reader.readReal(record.elementReserved[i]) && reader.readReal(record.massFraction[i]);
        if (record.atomicNumber[i] < 1 || record.atomicNumber[i] > 92) {
            return refuse(why, element + " has the atomic number " + std::to_string(record.atomicNumber[i]) +
                                   " (1 to 92 are possible)");
        }
        if (!complete) return refuse(why, malformed + element);
        if (!(record.atomicMass[i] > 0)) return refuse(why, element + " has an atomic mass that is not above 0 u");
        if (!(record.massFraction[i] > 0)) return refuse(why, element + " has a mass fraction that is not above 0");
    }
    if (!(reader.readReal(record.thickness) && reader.readReal(record.layerReserved) &&
          reader.readInt(record.thicknessUnit))) {
        return refuse(why, malformed + "thickness line");
    }
    if (!(record.density > 0)) return refuse(why, "its density is not above 0 g/cm3");
    // A negative thickness would give the beam energy.
    if (record.thickness < 0) return refuse(why, "its thickness is negative");
    double areal = arealDensityOf(record);
    if (!std::isfinite(areal) || std::fabs(areal) > kMaxArealDensityMgCm2) {
        return refuse(why, "its thickness is out of range");
    }
    std::string rest;
    reader.readLine(rest);  // the remainder of the thickness line
    return LayerReadResult::Record;
}
