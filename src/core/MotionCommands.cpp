#include "core/MotionCommands.h"

#include <algorithm>
#include <charconv>

#include "core/CommandBuffer.h"

namespace {

constexpr const char* kAxisPlaceholder = "{axis}";
constexpr const char* kCountsPlaceholder = "{counts}";
// The longest text {counts} can become.
constexpr std::size_t kLongestCounts = 11;

std::string trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& by) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + by.size())) {
        text.replace(at, placeholder.size(), by);
    }
    return text;
}

// Why a command text cannot be used; empty when it can.
std::string commandProblem(const std::string& text, bool needsAxis, bool needsCounts) {
    if (text.empty()) return "no command text";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) return "control character in the text";
    }
    if (text.back() != ';') return "the text does not end with ';'";
    if (needsAxis && !contains(text, kAxisPlaceholder)) return "no {axis} placeholder";
    if (needsCounts && !contains(text, kCountsPlaceholder)) return "no {counts} placeholder";
    std::string rest = replaced(replaced(text, kAxisPlaceholder, needsAxis ? "X" : "{"),
                                kCountsPlaceholder, needsCounts ? std::string(kLongestCounts, '0') : "{");
    if (!needsAxis && contains(text, kAxisPlaceholder)) return "{axis} is not known here";
    if (!needsCounts && contains(text, kCountsPlaceholder)) return "{counts} is not known here";
    if (contains(rest, "{")) return "unknown placeholder";
    if (rest.size() > CommandBuffer::kMaxLength) return "longer than 127 characters once filled in";
    return "";
}

std::string replyProblem(const std::string& text, std::vector<MotionCommands::Field>& fields) {
    std::array<bool, kAxisCount> position{};
    std::array<bool, kAxisCount> moving{};
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        std::size_t end = text.find_first_of(" \t", start);
        std::string token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        at = end == std::string::npos ? text.size() : end;
        MotionCommands::Field field;
        const char* letter = token.size() == 2 ? std::char_traits<char>::find(kAxisLetters, kAxisCount, token[1]) : nullptr;
        if (token == "I") {
            field.kind = MotionCommands::Field::Inputs;
        } else if (token == "B") {
            field.kind = MotionCommands::Field::Outputs;
        } else if (token == "-") {
            field.kind = MotionCommands::Field::Skip;
        } else if (letter != nullptr && (token[0] == 'P' || token[0] == 'M')) {
            field.axis = static_cast<int>(letter - kAxisLetters);
            field.kind = token[0] == 'P' ? MotionCommands::Field::Position : MotionCommands::Field::Moving;
            (token[0] == 'P' ? position : moving)[static_cast<std::size_t>(field.axis)] = true;
        } else if (letter != nullptr && token[0] == 'L') {
            field.axis = static_cast<int>(letter - kAxisLetters);
            field.kind = MotionCommands::Field::Limit;
        } else {
            return "unknown token \"" + token + "\"";
        }
        fields.push_back(field);
        if (fields.size() > 64) return "more than 64 numbers";
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (!position[static_cast<std::size_t>(i)]) return std::string("no P") + kAxisLetters[i];
        if (!moving[static_cast<std::size_t>(i)]) return std::string("no M") + kAxisLetters[i];
    }
    return "";
}

// A whole number from `lowest` to `highest`, digits only.
bool parseBounded(const std::string& text, int64_t lowest, int64_t highest, int64_t& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    auto [next, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && next == text.data() + text.size() && value >= lowest && value <= highest;
}

bool isSeparator(char c) {
    return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

void parseMotionSetting(const std::string& line, MotionCommands& commands) {
    std::string text = trimmed(line);
    const bool tooLong = line.size() > kMaxSettingsLine;
    if (text.empty() || (text[0] == '#' && !tooLong)) return;
    std::size_t blank = text.find_first_of(" \t");
    std::string key = text.substr(0, blank);
    if (key.rfind("shutter-", 0) == 0) return;  // read by the shutter read-back
    std::string value = blank == std::string::npos ? "" : trimmed(text.substr(blank));
    std::string problem;
    std::string* target = nullptr;
    bool known = true;
    if (key == "stop-axis") {
        target = &commands.stopAxis;
        problem = commandProblem(value, true, false);
    } else if (key == "stop-all") {
        target = &commands.stopAll;
        problem = commandProblem(value, false, false);
    } else if (key == "move-to") {
        target = &commands.moveTo;
        problem = commandProblem(value, true, true);
    } else if (key == "begin-move") {
        target = &commands.beginMove;
        problem = commandProblem(value, contains(value, kAxisPlaceholder), false);
    } else if (key == "query") {
        target = &commands.query;
        problem = commandProblem(value, false, false);
    } else if (key == "reply") {
        std::vector<MotionCommands::Field> fields;
        problem = value.empty() ? "no reply list" : replyProblem(value, fields);
        commands.reply = problem.empty() ? fields : std::vector<MotionCommands::Field>{};
    } else if (key == "deceleration") {
        int64_t counts = 0;
        if (parseBounded(value, 1, INT64_MAX, counts)) {
            commands.deceleration = counts;
        } else {
            commands.deceleration = 0;
            problem = "not a positive whole number of counts/s^2";
        }
    } else if (key == "answer-time") {
        int64_t ms = 0;
        if (parseBounded(value, 1, MotionCommands::kLongestAnswerTimeMs, ms)) {
            commands.answerTimeMs = static_cast<int>(ms);
        } else {
            commands.answerTimeMs = MotionCommands::kDefaultAnswerTimeMs;
            problem = "not a whole number of milliseconds from 1 to 2000";
        }
    } else {
        known = false;
        problem = "unknown setting";
    }
    if (tooLong) problem = "the line is longer than 4096 bytes";
    if (!known) {
        commands.errors.push_back(key.substr(0, 40) + ": " + problem);
        return;
    }
    // A second line for a key: neither counts, and it is said once.
    const bool again = std::find(commands.keysGiven.begin(), commands.keysGiven.end(), key) != commands.keysGiven.end();
    if (!again) commands.keysGiven.push_back(key);
    const std::string twice = key + ": given twice";
    const bool saidTwice = std::find(commands.errors.begin(), commands.errors.end(), twice) != commands.errors.end();
    if (again || !problem.empty()) {
        if (target != nullptr) target->clear();
        if (key == "reply") commands.reply.clear();
        if (key == "deceleration") commands.deceleration = 0;
        if (key == "answer-time") commands.answerTimeMs = MotionCommands::kDefaultAnswerTimeMs;
    } else if (target != nullptr) {
        *target = value;
    }
    if (!problem.empty()) commands.errors.push_back(key + ": " + problem);
    if (again && !saidTwice) commands.errors.push_back(twice);
}

std::string MotionCommands::stopAxisText(int axis) const {
    if (stopAxis.empty() || axis < 0 || axis >= kAxisCount) return "";
    return replaced(stopAxis, kAxisPlaceholder, std::string(1, kAxisLetters[axis]));
}

std::string MotionCommands::stopAllText() const {
    return stopAll;
}

std::string MotionCommands::moveText(int axis, int32_t counts) const {
    if (moveTo.empty() || beginMove.empty() || axis < 0 || axis >= kAxisCount) return "";
    std::string letter(1, kAxisLetters[axis]);
    std::string text = replaced(replaced(moveTo, kAxisPlaceholder, letter), kCountsPlaceholder, std::to_string(counts)) +
                       replaced(beginMove, kAxisPlaceholder, letter);
    return text.size() > CommandBuffer::kMaxLength ? "" : text;
}

bool parseReadBack(const std::string& answer, const std::vector<MotionCommands::Field>& reply, ReadBack& out) {
    if (reply.empty() || answer.size() > kMaxReadBackLength) return false;
    ReadBack read = out;
    read.limitsKnown = false;
    const char* p = answer.data();
    const char* end = p + answer.size();
    for (const MotionCommands::Field& field : reply) {
        while (p < end && isSeparator(*p)) ++p;
        if (p == end) return false;
        const char* digits = *p == '+' ? p + 1 : p;
        int64_t number = 0;
        auto [next, error] = std::from_chars(digits, end, number);
        if (error != std::errc() || (next < end && !isSeparator(*next))) return false;
        p = next;
        std::size_t axis = static_cast<std::size_t>(field.axis);
        switch (field.kind) {
            case MotionCommands::Field::Position:
                if (number < INT32_MIN || number > INT32_MAX) return false;
                read.position[axis] = static_cast<int32_t>(number);
                break;
            case MotionCommands::Field::Moving: read.moving[axis] = number != 0; break;
            case MotionCommands::Field::Limit:
                if (number < -1 || number > 1) return false;
                read.limit[axis] = static_cast<int8_t>(number);
                read.limitsKnown = true;
                break;
            case MotionCommands::Field::Inputs: read.inputs = number; break;
            case MotionCommands::Field::Outputs: read.outputs = number; break;
            case MotionCommands::Field::Skip: break;
        }
    }
    while (p < end && isSeparator(*p)) ++p;
    if (p != end) return false;
    out = read;
    return true;
}
