#include "LayerRecordReader.h"

#include "energyloss/StandardTargets.h"
#include "util/TokenReader.h"

bool parseFirstLayer(std::istream& in, FirstLayer& layer, std::string& error) {
    TokenReader reader(in);
    std::string name;
    if (!reader.readLine(name) || name.size() <= 2) {
        error = "the file holds no layer record";
        return false;
    }
    if (name.size() > 127) name.resize(127);
    while (!name.empty() && name.back() == ' ') name.pop_back();

    LayerMaterial m;
    int32_t count = 0;
    int32_t tilt = 0;
    if (!reader.readReal(m.density) || !reader.readInt(count) || !reader.readInt(tilt)) {
        error = "malformed density, element count or tilt flag";
        return false;
    }
    if (count < 1 || count > LayerMaterial::kMaxElements) {
        error = "element count " + std::to_string(count) + " is outside 1 to 8";
        return false;
    }
    m.elementCount = count;
    for (int i = 0; i < count; ++i) {
        int32_t z = 0;
        if (!reader.readInt(z) || !reader.readReal(m.atomicMass[i]) || !reader.readReal(m.elementReserved[i]) ||
            !reader.readReal(m.massFraction[i])) {
            error = "malformed element " + std::to_string(i + 1);
            return false;
        }
        if (z < 1 || z > 92) {
            error = "element " + std::to_string(i + 1) + " has atomic number " + std::to_string(z) +
                    " outside 1 to 92";
            return false;
        }
        m.atomicNumber[i] = z;
    }
    double thickness = 0;
    int32_t unit = 0;
    if (!reader.readReal(thickness) || !reader.readReal(m.layerReserved) || !reader.readInt(unit)) {
        error = "malformed thickness, reserved value or thickness unit";
        return false;
    }
    switch (unit) {
        case 0: m.arealDensity = thickness * m.density / 10; break;
        case 1: m.arealDensity = thickness * 1000 * m.density / 10; break;
        case 2: m.arealDensity = thickness * 10000 * m.density / 10; break;
        case 3: m.arealDensity = thickness * 25.4 * m.density / 10; break;
        default: m.arealDensity = thickness; break;
    }
    layer.name = name;
    layer.material = m;
    layer.icompound = icompoundOfLayerName(name);
    return true;
}
