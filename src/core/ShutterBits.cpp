#include "core/ShutterBits.h"

#include <array>

#include "util/TokenReader.h"

namespace {

std::string trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Why a bit cannot be a shutter's; empty when it can.
std::string bitProblem(const std::string& text, int32_t& bit) {
    if (!parseInt(text, bit) || bit < 0 || bit > 31) return "not a bit number from 0 to 31";
    if ((bit >= 4 && bit <= 7) || bit == 12 || bit == 13) {
        return "bit " + std::to_string(bit) + " is one of the console's own outputs (4 to 7, 12 and 13)";
    }
    return "";
}

}  // namespace

ShutterBits parseShutterBits(std::istream& in) {
    ShutterBits bits;
    struct Key {
        const char* name;
        int ShutterBits::*bit;
    };
    const std::array<Key, 4> keys = {Key{"shutter-S1-out", &ShutterBits::s1Out}, Key{"shutter-S1-in", &ShutterBits::s1In},
                                     Key{"shutter-S2-out", &ShutterBits::s2Out}, Key{"shutter-S2-in", &ShutterBits::s2In}};
    TokenReader reader(in);
    std::string line;
    reader.readLine(line);  // the channel
    bool named = false;
    std::array<bool, 4> mentioned{};
    while (reader.readLine(line)) {
        std::string text = trimmed(line);
        if (text.rfind("shutter-", 0) != 0) continue;
        std::size_t blank = text.find_first_of(" \t");
        std::string key = text.substr(0, blank);
        std::string value = blank == std::string::npos ? "" : trimmed(text.substr(blank));
        named = true;
        const Key* found = nullptr;
        for (const Key& k : keys) {
            if (key == k.name) found = &k;
        }
        if (found == nullptr) {
            bits.errors.push_back(key.substr(0, 40) + ": unknown setting");
            continue;
        }
        mentioned[static_cast<std::size_t>(found - keys.data())] = true;
        if (line.size() > kMaxSettingsLine) {
            bits.errors.push_back(key + ": the line is longer than 4096 bytes");
            continue;
        }
        int32_t bit = -1;
        std::string problem = bitProblem(value, bit);
        if (!problem.empty()) {
            bits.errors.push_back(key + " " + value.substr(0, 40) + ": " + problem);
        } else if (bits.*(found->bit) >= 0) {
            bits.errors.push_back(key + ": given twice");
        } else {
            bits.*(found->bit) = bit;
        }
    }
    if (!named) return bits;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!mentioned[i]) bits.errors.push_back(std::string(keys[i].name) + ": missing");
    }
    if (bits.errors.empty() && bits.s1Out == bits.s2Out) {
        bits.errors.push_back("shutter-S2-out: the same output bit as shutter-S1-out");
    }
    if (bits.errors.empty() && bits.s1In == bits.s2In) {
        bits.errors.push_back("shutter-S2-in: the same input bit as shutter-S1-in");
    }
    return bits;
}

void checkShutterWiring(ShutterBits& bits, const MotionCommands& commands) {
    if (!bits.real()) return;
    for (const MotionCommands::Field& field : commands.reply) {
        if (field.kind == MotionCommands::Field::Inputs) return;
    }
    bits.errors.push_back("reply: no I field, so the shutters' input bits are never read back");
}
