#include "beam/TestPlan.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "util/Csv.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

enum Column : std::size_t { kStep, kIon, kLet, kEnergy, kMinimumRange, kFluenceGoal, kEventGoal, kS, kR, kT, kComment };
constexpr std::size_t kColumns = kComment + 1;

// A value of the file as a message names it: quoted, at most 40 bytes.
std::string shown(const std::string& text) {
    return "'" + (text.size() > 40 ? text.substr(0, 40) + "\u2026" : text) + "'";
}

// What one line's fields give: false with `leftOut` when the step cannot be
// taken; `ignored` names the values passed over in a step that is taken.
bool stepOf(const std::vector<std::string>& f, const std::vector<std::string>& knownIons, TestPlanStep& step,
            std::vector<std::string>& ignored, std::string& leftOut) {
    step.name = f[kStep];
    if (step.name.empty()) {
        leftOut = "no step name";
        return false;
    }
    step.ion = f[kIon];
    if (!step.ion.empty() && !knownIons.empty() &&
        std::find(knownIons.begin(), knownIons.end(), step.ion) == knownIons.end()) {
        leftOut = "ion " + shown(step.ion) + " is not one of the station's";
        return false;
    }

    const bool hasLet = !f[kLet].empty();
    if (hasLet == !f[kEnergy].empty()) {
        leftOut = hasLet ? "both an effective LET and an energy" : "neither an effective LET nor an energy";
        return false;
    }
    const std::string& text = hasLet ? f[kLet] : f[kEnergy];
    double value = 0;
    if (!parseReal(text, value) || !(value > 0)) {
        leftOut = (hasLet ? "effective LET " : "energy ") + shown(text) + " is not a number above 0";
        return false;
    }
    (hasLet ? step.wantedLet : step.wantedEnergy) = value;

    if (!f[kMinimumRange].empty()) {
        if (!parseReal(f[kMinimumRange], value) || value < 0) {
            leftOut = "minimum range " + shown(f[kMinimumRange]) + " is not a number of \u00b5m, 0 or more";
            return false;
        }
        step.minimumRangeUm = value;
    }

    if (!f[kFluenceGoal].empty()) {
        if (parseReal(f[kFluenceGoal], value) && value > 0) {
            step.fluenceGoal = value;
        } else {
            ignored.push_back("fluence goal " + shown(f[kFluenceGoal]) +
                              " is not a number above 0 - the step has no fluence goal");
        }
    }
    if (!f[kEventGoal].empty()) {
        std::int64_t events = 0;
        if (parseInt64(f[kEventGoal], events) && events >= 0) {
            step.eventGoal = events;
        } else {
            ignored.push_back("event goal " + shown(f[kEventGoal]) +
                              " is not a whole number, 0 or more - the step has no event goal");
        }
    }

    const std::size_t given = static_cast<std::size_t>(
        std::count_if(f.begin() + kS, f.begin() + kT + 1, [](const std::string& v) { return !v.empty(); }));
    if (given == 3) {
        double s = 0, r = 0, t = 0;
        if (parseReal(f[kS], s) && parseReal(f[kR], r) && parseReal(f[kT], t)) {
            step.hasSetting = true;
            step.s = s;
            step.r = r;
            step.t = t;
        } else {
            ignored.push_back("S, R and T (" + shown(f[kS]) + ", " + shown(f[kR]) + ", " + shown(f[kT]) +
                              ") are not all numbers - the step has no setting");
        }
    } else if (given != 0) {
        ignored.push_back("S, R and T are not all given - the step has no setting");
    }
    step.comment = f[kComment];
    return true;
}

std::string optional(double value) { return std::isnan(value) ? "" : formatShortest(value); }

}  // namespace

TestPlan parseTestPlan(std::string_view content, const std::string& fileName,
                       const std::vector<std::string>& knownIons) {
    TestPlan plan;
    auto problem = [&](int line, const std::string& what) {
        plan.problems.push_back(fileName + ", line " + std::to_string(line) + ": " + what);
    };
    if (content.size() > kTestPlanMaxBytes) {
        plan.problems.push_back(fileName + ": it is larger than 1 MiB - the plan is not read");
        return plan;
    }
    int line = 1;
    for (unsigned char c : content) {
        if (isBinaryByte(c)) {
            problem(line, "binary content (byte " + cformat("0x%02X", c) + ") - the plan is not read");
            return plan;
        }
        if (c == '\n') ++line;
    }
    // A spreadsheet's byte-order mark and a last line without its line end
    // are taken as they are meant.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    std::string text(content);
    if (!text.empty() && text.back() != '\n') text += '\n';

    CsvReader reader(text);
    std::vector<std::string> fields;
    std::string why;
    if (!reader.next(fields, why) || csvLine(fields) != std::string(kTestPlanHeader) + "\n") {
        problem(1, "not the header of a test plan - the plan is not read");
        return plan;
    }
    std::map<std::string, int> named;  // step name -> its line
    while (!reader.atEnd()) {
        if (!reader.next(fields, why)) {
            problem(reader.recordLine(), why + " - the rest of the file is not read");
            break;
        }
        const int at = reader.recordLine();
        if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
        if (fields.size() != kColumns) {
            problem(at, std::to_string(fields.size()) + " fields, not " + std::to_string(kColumns) +
                            " - the step is left out");
            continue;
        }
        TestPlanStep step;
        std::vector<std::string> ignored;
        std::string leftOut;
        if (!stepOf(fields, knownIons, step, ignored, leftOut)) {
            problem(at, leftOut + " - the step is left out");
            continue;
        }
        const auto first = named.find(step.name);
        if (first != named.end()) {
            problem(at, "step " + shown(step.name) + " is named on line " + std::to_string(first->second) +
                            " already - the step is left out");
            continue;
        }
        if (!ignored.empty()) {
            std::string all;
            for (const std::string& one : ignored) all += (all.empty() ? "" : "; ") + one;
            problem(at, all);
        }
        named[step.name] = at;
        step.line = at;
        plan.steps.push_back(std::move(step));
    }
    return plan;
}

TestPlan readTestPlan(const std::string& path, const std::vector<std::string>& knownIons) {
    const std::string name = std::filesystem::path(path).filename().string();
    std::string content, why;
    if (!readRegularFile(path, kTestPlanMaxBytes, content, why)) {
        TestPlan plan;
        plan.problems.push_back(name + ": " + why + " - the plan is not read");
        return plan;
    }
    return parseTestPlan(content, name, knownIons);
}

std::string formatTestPlan(const std::vector<TestPlanStep>& steps) {
    std::string text = std::string(kTestPlanHeader) + "\n";
    for (const TestPlanStep& step : steps) {
        std::vector<std::string> fields = {step.name,
                                           step.ion,
                                           optional(step.wantedLet),
                                           optional(step.wantedEnergy),
                                           optional(step.minimumRangeUm),
                                           optional(step.fluenceGoal),
                                           step.eventGoal < 0 ? "" : std::to_string(step.eventGoal),
                                           step.hasSetting ? formatShortest(step.s) : "",
                                           step.hasSetting ? formatShortest(step.r) : "",
                                           step.hasSetting ? formatShortest(step.t) : "",
                                           step.comment};
        // What the reader would refuse as binary is never written.
        for (std::string& field : fields) {
            for (char& c : field) {
                if (isBinaryByte(static_cast<unsigned char>(c))) c = ' ';
            }
        }
        text += csvLine(fields);
    }
    return text;
}
