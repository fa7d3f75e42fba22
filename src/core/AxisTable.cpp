#include "core/AxisTable.h"

#include <cmath>
#include <limits>

#include "core/CommandBuffer.h"
#include "core/Cyclotrons.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

const std::array<AxisControls, kAxisCount> kAxisControls = {{
    {ControlId::ValueX, ControlId::UnitX, ControlId::LockedX, ControlId::ActiveX, "X (side-to-side):", std::nullopt},
    {ControlId::ValueY, ControlId::UnitY, ControlId::LockedY, ControlId::ActiveY, "Y (up-down):", std::nullopt},
    {ControlId::ValueZ, ControlId::UnitZ, ControlId::LockedZ, ControlId::ActiveZ, "Z (toward-away):", std::nullopt},
    {ControlId::ValueT, ControlId::UnitT, ControlId::LockedT, ControlId::ActiveT, "T (turntable)", std::nullopt},
    {ControlId::ValueU, ControlId::UnitU, ControlId::LockedU, ControlId::ActiveU, "U (horizontal slits):", ControlId::LabelU},
    {ControlId::ValueV, ControlId::UnitV, ControlId::LockedV, ControlId::ActiveV, "V (vertical slits):", ControlId::LabelV},
    {ControlId::ValueR, ControlId::UnitR, ControlId::LockedR, ControlId::ActiveR, "R (degrader rotation):", ControlId::LabelR},
    {ControlId::ValueS, ControlId::UnitS, ControlId::LockedS, ControlId::ActiveS, "S (degrader selection)", ControlId::LabelS},
}};

AxisTable::AxisTable() {
    for (int i = 0; i < kAxisCount; ++i) axes[static_cast<std::size_t>(i)].letter = kAxisLetters[i];
}

double axisValue(const Axis& axis) {
    return axisValueAt(axis, axis.internalPosition);
}

double axisValueAt(const Axis& axis, int32_t counts) {
    if (axis.scale == 0) return 0;
    return counts / axis.scale + axis.offset;
}

int32_t internalPositionFor(const Axis& axis, double value) {
    double counts = std::trunc((value - axis.offset) * axis.scale);
    // A value beyond the counter's range saturates instead of overflowing.
    if (!(counts >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (counts > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(counts);
}

int32_t plusDirectionStep(const Axis& axis, int32_t counts) {
    return axis.scale > 0 ? counts : -counts;
}

std::string setupTableName(int dutLocation, int cyclotronCode) {
    const char* prefix = nullptr;
    if (dutLocation == 1) prefix = "Vac";
    if (dutLocation == 0) prefix = "Air";
    if (prefix == nullptr) return "";
    return std::string(prefix) + cyclotronName(cyclotronCode) + ".dat";
}

bool parseSetupTable(std::istream& in, AxisTable& table) {
    TokenReader reader(in);
    CommandBuffer scratch;
    for (Axis& axis : table.axes) {
        std::string word;
        if (!reader.readWord(word)) return false;
        normalizeFileNameInto(word, scratch);
        axis.unit = scratch.text();
    }
    for (Axis& axis : table.axes) {
        if (!(reader.readInt(axis.softLimitLow) && reader.readInt(axis.softLimitHigh) &&
              reader.readInt(axis.nudgeStep) && reader.readReal(axis.offset) && reader.readReal(axis.scale))) {
            return false;
        }
    }
    for (Axis& axis : table.axes) {
        if (!(reader.readInt(axis.jogVelocity) && reader.readInt(axis.reserved))) return false;
    }
    return true;
}

bool parseStatusFile(std::istream& in, StoredStatus& status) {
    TokenReader reader(in);
    if (!reader.readLine(status.positionName)) return false;
    if (!reader.readInt(status.dutLocation)) return false;
    for (int32_t& position : status.internalPosition) {
        if (!reader.readInt(position)) return false;
    }
    for (int32_t& flag : status.locked) {
        if (!reader.readInt(flag)) return false;
        flag = flag != 0 ? 1 : 0;
    }
    return true;
}

std::string printablePositionName(const std::string& name) {
    return replaceControlCharacters(name, '?');
}

std::string formatStatusFile(const std::string& positionName, int dutLocation, const AxisTable& table) {
    std::string text = printablePositionName(positionName) + "\n" + cformat("%d", dutLocation) + "\n";
    for (int i = 0; i < kAxisCount; ++i) {
        text += cformat(i == 0 ? "%d" : "   %d", table[i].internalPosition);
    }
    text += "\n";
    for (int i = 0; i < kAxisCount; ++i) {
        text += cformat(i == 0 ? "%d" : "   %d", table[i].locked);
    }
    text += "\n";
    return text;
}
