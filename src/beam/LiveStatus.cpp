#include "beam/LiveStatus.h"

#include <cmath>

#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    std::string text = cformat("%.6g", value);
    return text == "-0" ? "0" : text;
}

std::string jsonNumber(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : "null";
}

std::string axisNumber(double value) {
    if (!std::isfinite(value)) return "null";
    std::string text = cformat("%.3f", value);
    return text == "-0.000" ? "0.000" : text;
}

const char* onOff(bool on) {
    return on ? "\"on\"" : "\"off\"";
}

const char* openClosed(bool open) {
    return open ? "\"open\"" : "\"closed\"";
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : validUtf8(text, "\xEF\xBF\xBD")) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    out += cformat("\\u%04x", u);
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string formatLiveStatus(const LiveStatus& s) {
    const LiveStatus::Beam& b = s.beam;
    std::string j = "{\n";
    j += "  \"time\": " + jsonString(s.time) + ",\n";
    j += "  \"beam\": {\"ion\": " + jsonString(b.ion) + ", \"name\": " + jsonString(b.name) +
         ", \"energy\": " + jsonNumber(b.energy) + ", \"substrate_energy\": " + jsonNumber(b.substrateEnergy) +
         ", \"nominal_let\": " + jsonNumber(b.nominalLet) + ", \"effective_let\": " + jsonNumber(b.effectiveLet) +
         ", \"nominal_range\": " + jsonNumber(b.nominalRange) +
         ", \"effective_range\": " + jsonNumber(b.effectiveRange) + "},\n";
    j += "  \"axes\": {\n";
    for (std::size_t i = 0; i < s.axes.size(); ++i) {
        const LiveAxis& a = s.axes[i];
        j += "    " + jsonString(std::string(1, a.letter)) + ": {\"value\": " +
             axisNumber(a.value) +
             ", \"unit\": " + jsonString(a.unit) + ", \"moving\": " + (a.moving ? "true" : "false") + "}" +
             (i + 1 < s.axes.size() ? ",\n" : "\n");
    }
    j += "  },\n";
    j += std::string("  \"shutters\": {\"S1\": ") + (s.shuttersKnown ? openClosed(s.s1Open) : "\"unknown\"") +
         ", \"S2\": " + (s.shuttersKnown ? openClosed(s.s2Open) : "\"unknown\"") +
         "},\n";
    j += std::string("  \"switches\": {\"camera\": ") + onOff(s.camera) + ", \"light\": " + onOff(s.light) +
         ", \"laser\": " + onOff(s.laser) + "},\n";
    j += "  \"run\": " +
         (s.run > 0 ? "{\"number\": " + std::to_string(s.run) + ", \"begin\": " + jsonString(s.runBegin) + "}"
                    : std::string("null")) +
         ",\n";
    j += "  \"step\": " +
         (s.step.name.empty() ? std::string("null")
                              : "{\"name\": " + jsonString(s.step.name) + ", \"fluence\": " +
                                    jsonNumber(s.step.fluence) + ", \"goal\": " + jsonNumber(s.step.goal) + "}") +
         "\n}\n";
    return j;
}
