#include "beam/BeamRuns.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>

#include "util/Csv.h"
#include "energyloss/StandardTargets.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

bool parseNonNegative(const std::string& text) {
    double value = 0;
    return parseReal(text, value) && value >= 0;
}

// A duration of at most kMaxRunSeconds, in s.
bool parseDuration(const std::string& text, double& seconds) {
    double value = 0;
    if (!parseReal(text, value) || value < 0 || value > kMaxRunSeconds) return false;
    seconds = value;
    return true;
}

bool checkRecord(const RunRecord& record, BeamRunsLog& log, std::string& why) {
    if (record.kind == "begin") {
        if (log.openRun != 0) {
            why = "run " + std::to_string(record.run) + " begins while run " + std::to_string(log.openRun) +
                  " is open";
            return false;
        }
        if (record.run <= log.lastRun) {
            why = "run " + std::to_string(record.run) + " does not count on from run " + std::to_string(log.lastRun);
            return false;
        }
        log.lastRun = record.run;
        log.openRun = record.run;
    } else if (record.kind == "end") {
        if (record.run != log.openRun) {
            why = "end of run " + std::to_string(record.run) + ", which is not open";
            return false;
        }
        double seconds = 0;
        if (!record.duration.empty() && !parseDuration(record.duration, seconds)) {
            why = "duration '" + record.duration + "' is not a number of seconds";
            return false;
        }
        log.openRun = 0;
    } else if (record.kind == "note") {
        if (record.run < 1 || record.run > log.lastRun) {
            why = "note for run " + std::to_string(record.run) + ", which has not begun";
            return false;
        }
    } else {
        why = "unknown record kind '" + record.kind.substr(0, 40) + "'";
        return false;
    }
    if (!validFluence(record.fluence)) {
        why = "fluence '" + record.fluence.substr(0, 40) + "' is not a number";
        return false;
    }
    if (!validEvents(record.events)) {
        why = "events '" + record.events.substr(0, 40) + "' are not a whole number";
        return false;
    }
    return true;
}

// `f` holds kBeamRunsFieldCount fields, or kBeamRunsFieldCountWithoutEvents
// (no events, no step).
RunRecord recordOf(std::vector<std::string>& f) {
    const bool withEvents = f.size() == kBeamRunsFieldCount;
    RunRecord r;
    r.kind = std::move(f[0]);
    r.time = std::move(f[2]);
    r.duration = std::move(f[3]);
    RunConditions& c = r.conditions;
    c.ion = std::move(f[4]);
    c.energy = std::move(f[5]);
    c.s = std::move(f[6]);
    c.r = std::move(f[7]);
    c.t = std::move(f[8]);
    c.x = std::move(f[9]);
    c.y = std::move(f[10]);
    c.z = std::move(f[11]);
    c.position = std::move(f[12]);
    c.substrateEnergy = std::move(f[13]);
    c.effectiveLet = std::move(f[14]);
    c.effectiveRange = std::move(f[15]);
    r.fluence = std::move(f[16]);
    if (withEvents) {
        r.events = std::move(f[17]);
        r.step = std::move(f[18]);
    }
    r.comment = std::move(f.back());
    return r;
}

std::vector<std::string> conditionFields(const RunConditions& c) {
    return {c.ion, c.energy, c.s, c.r, c.t, c.x, c.y, c.z, c.position, c.substrateEnergy, c.effectiveLet,
            c.effectiveRange};
}

}  // namespace

std::string formatRunRecord(const RunRecord& record, bool withoutEvents) {
    std::vector<std::string> fields = {record.kind, std::to_string(record.run), record.time, record.duration};
    for (std::string& field : conditionFields(record.conditions)) fields.push_back(std::move(field));
    fields.push_back(record.fluence);
    if (!withoutEvents) {
        fields.push_back(record.events);
        fields.push_back(record.step);
    }
    fields.push_back(record.comment);
    for (std::string& field : fields) {
        for (char& c : field) {
            if (isBinaryByte(static_cast<unsigned char>(c))) c = ' ';
        }
    }
    return csvLine(fields);
}

bool parseBeamRuns(std::string_view content, BeamRunsLog& log, std::string& why) {
    log = BeamRunsLog{};
    if (content.size() > kBeamRunsMaxBytes) {
        why = "it is larger than 64 MiB";
        return false;
    }
    int line = 1;
    for (unsigned char c : content) {
        if (isBinaryByte(c)) {
            why = "line " + std::to_string(line) + ": binary content (byte " + cformat("0x%02X", c) + ")";
            return false;
        }
        if (c == '\n') ++line;
    }
    if (content.empty()) return true;
    CsvReader reader(content, kBeamRunsFieldCount);
    std::vector<std::string> fields;
    const bool read = reader.next(fields, why);
    const std::string header = read ? csvLine(fields) : std::string();
    log.withoutEvents = header == std::string(kBeamRunsHeaderWithoutEvents) + "\n";
    if (!read || (header != std::string(kBeamRunsHeader) + "\n" && !log.withoutEvents)) {
        why = "line 1: not the header of a beam-run logbook";
        log = BeamRunsLog{};
        return false;
    }
    const std::size_t fieldCount = log.withoutEvents ? kBeamRunsFieldCountWithoutEvents : kBeamRunsFieldCount;
    reader.setMaxFields(fieldCount);
    while (!reader.atEnd()) {
        bool ok = reader.next(fields, why);
        const std::string at = "line " + std::to_string(reader.recordLine()) + ": ";
        if (!ok && reader.cut()) {
            log.skipped.push_back(at + "a record cut short at the end of the file is skipped");
            break;
        }
        if (ok && fields.size() < fieldCount) {
            log.skipped.push_back(at + "a record cut short (" + std::to_string(fields.size()) + " of " +
                                  std::to_string(fieldCount) + " fields) is skipped");
            continue;
        }
        std::int64_t run = 0;
        // The highest number is refused too: no run could count on from it.
        if (ok && (!parseInt64(fields[1], run) || run < 1 || run == std::numeric_limits<std::int64_t>::max())) {
            why = "run number '" + fields[1].substr(0, 40) + "' is not a number from 1 to 9223372036854775806";
            ok = false;
        }
        if (ok) {
            RunRecord record = recordOf(fields);
            record.run = run;
            ok = checkRecord(record, log, why);
            if (ok) log.records.push_back(std::move(record));
        }
        if (!ok) {
            why = at + why;
            log = BeamRunsLog{};
            return false;
        }
    }
    return true;
}

bool readBeamRuns(const std::string& path, BeamRunsLog& log, std::string& why) {
    std::string content;
    if (!readRegularFile(path, kBeamRunsMaxBytes, content, why)) {
        log = BeamRunsLog{};
        return false;
    }
    return parseBeamRuns(content, log, why);
}

std::string beamIonText(const BeamState& beam) {
    const char* symbol = elementSymbol(beam.ionZ);
    long mass = std::lround(beam.ionA);
    if (symbol == nullptr) return cformat("Z%d", beam.ionZ);
    return mass > 0 ? cformat("%ld%s", mass, symbol) : std::string(symbol);
}

std::string beamRunsFileName(int number) {
    return number <= 1 ? "BeamRuns.csv" : "BeamRuns-" + std::to_string(number) + ".csv";
}

namespace {

// The number of a logbook's file name ("BeamRuns.csv" 1, "BeamRuns-7.csv" 7),
// 0 for any other name: only a name that beamRunsFileName gives back counts
// ("BeamRuns-07.csv" and "BeamRuns-+7.csv" do not).
int beamRunsNumber(const std::string& name) {
    if (name == beamRunsFileName(1)) return 1;
    const std::string prefix = "BeamRuns-", suffix = ".csv";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return 0;
    }
    int32_t number = 0;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (!parseInt(digits, number) || number < 2 || beamRunsFileName(number) != name) {
        return 0;
    }
    return number;
}

// The logbooks of `folder` by number.
std::map<int, std::string> beamRunsByNumber(const std::string& folder) {
    std::map<int, std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const int number = beamRunsNumber(name)) files[number] = inFolder(folder, name);
    }
    return files;
}

}  // namespace

std::vector<std::string> beamRunsFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (auto& [number, path] : beamRunsByNumber(folder)) files.push_back(std::move(path));
    return files;
}

BeamRunsChoice chooseBeamRuns(const std::string& folder) {
    BeamRunsChoice choice;
    const std::map<int, std::string> files = beamRunsByNumber(folder);
    if (files.empty()) {
        choice.path = inFolder(folder, beamRunsFileName(1));
        return choice;
    }
    const auto& [number, last] = *files.rbegin();
    std::string why;
    if (readBeamRuns(last, choice.log, why)) {
        if (!choice.log.withoutEvents) {
            choice.path = last;
            return choice;
        }
        choice.continuedFrom = last;
        choice.path = inFolder(folder, beamRunsFileName(number + 1));
        return choice;
    }
    choice.refusedName = std::filesystem::path(last).filename().string();
    choice.refusedWhy = why;
    choice.path = inFolder(folder, beamRunsFileName(number + 1));
    choice.log = BeamRunsLog{};
    return choice;
}

bool appendRunRecords(const std::string& path, const std::vector<RunRecord>& records, std::string* why,
                      bool withoutEvents) {
    std::string text;
    for (const RunRecord& record : records) text += formatRunRecord(record, withoutEvents);
    std::error_code ec;
    auto status = std::filesystem::symlink_status(path, ec);
    bool fresh = !std::filesystem::exists(status) ||
                 (std::filesystem::is_regular_file(status) && std::filesystem::file_size(path, ec) == 0 && !ec);
    if (fresh) text = std::string(withoutEvents ? kBeamRunsHeaderWithoutEvents : kBeamRunsHeader) + "\n" + text;
    return appendText(path, text, why) == AppendResult::Written;
}

bool appendRunRecord(const std::string& path, const RunRecord& record, std::string* why) {
    return appendRunRecords(path, {record}, why);
}

std::string isoTime(WallClock::time_point time) {
    std::time_t seconds = WallClock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    long offset = local.tm_gmtoff / 60;  // minutes east of UTC
    char sign = offset < 0 ? '-' : '+';
    offset = offset < 0 ? -offset : offset;
    return std::string(text, length) + cformat("%c%02ld:%02ld", sign, offset / 60, offset % 60);
}

std::string formatDuration(std::chrono::steady_clock::duration duration) {
    double seconds = std::chrono::duration<double>(duration).count();
    return cformat("%.1f", seconds < 0 ? 0.0 : seconds);
}

bool validFluence(const std::string& text) {
    return text.empty() || parseNonNegative(text);
}

bool validEvents(const std::string& text) {
    std::int64_t events = 0;
    return text.empty() || (parseInt64(text, events) && events >= 0 && std::to_string(events) == text);
}

std::vector<RunSummary> mergeRuns(const BeamRunsLog& log) {
    std::vector<RunSummary> runs;
    std::map<std::int64_t, std::size_t> index;  // run -> position in `runs`
    auto addComment = [](RunSummary& run, const std::string& comment) {
        if (comment.empty()) return;
        run.comment += (run.comment.empty() ? "" : "; ") + comment;
    };
    for (const RunRecord& record : log.records) {
        if (record.kind == "begin") {
            index[record.run] = runs.size();
            RunSummary run;
            run.run = record.run;
            run.begin = record.time;
            run.conditions = record.conditions;
            run.step = record.step;
            run.open = true;
            addComment(run, record.comment);
            runs.push_back(std::move(run));
            continue;
        }
        auto found = index.find(record.run);
        if (found == index.end()) continue;
        RunSummary& run = runs[found->second];
        if (record.kind == "end") {
            run.end = record.time;
            run.duration = record.duration;
            run.open = false;
        }
        if (!record.fluence.empty()) run.fluence = record.fluence;
        if (!record.events.empty()) run.events = record.events;
        addComment(run, record.comment);
    }
    std::reverse(runs.begin(), runs.end());
    return runs;
}

std::string formatRunSummary(const RunSummary& run) {
    std::vector<std::string> fields = {std::to_string(run.run), run.begin, run.end, run.duration};
    for (std::string& field : conditionFields(run.conditions)) fields.push_back(std::move(field));
    fields.push_back(run.fluence);
    fields.push_back(run.events);
    fields.push_back(run.step);
    fields.push_back(run.comment);
    return csvLine(fields);
}

std::string formatRunsExport(const std::vector<RunSummary>& runs) {
    std::string text = std::string(kRunsExportHeader) + "\n";
    for (const RunSummary& run : runs) text += formatRunSummary(run);
    return text;
}

RunTotals totalRuns(const std::vector<RunSummary>& runs) {
    auto add = [](std::vector<RunTotal>& totals, const std::string& key, const RunSummary& run) {
        auto found = std::find_if(totals.begin(), totals.end(), [&](const RunTotal& t) { return t.key == key; });
        if (found == totals.end()) found = totals.insert(totals.end(), RunTotal{key});
        ++found->runs;
        double seconds = 0;
        if (!run.duration.empty() && parseDuration(run.duration, seconds)) {
            found->seconds += seconds;
        } else {
            ++found->unknown;
        }
        double fluence = 0;
        if (parseReal(run.fluence, fluence) && fluence >= 0) {
            found->fluence += fluence;
        } else {
            ++found->noFluence;
        }
    };
    RunTotals totals;
    std::vector<RunTotal> all;
    for (const RunSummary& run : runs) {
        add(all, "", run);
        add(totals.perIon, run.conditions.ion, run);
        add(totals.perEffectiveLet, run.conditions.effectiveLet, run);
    }
    if (!all.empty()) totals.all = all.front();
    std::sort(totals.perIon.begin(), totals.perIon.end(),
              [](const RunTotal& a, const RunTotal& b) { return a.key < b.key; });
    // Numbers in numerical order, other texts ("Infinite!") after them.
    std::sort(totals.perEffectiveLet.begin(), totals.perEffectiveLet.end(), [](const RunTotal& a, const RunTotal& b) {
        double x = 0;
        double y = 0;
        bool xn = parseReal(a.key, x);
        bool yn = parseReal(b.key, y);
        if (xn != yn) return xn;
        return xn && x != y ? x < y : a.key < b.key;
    });
    return totals;
}

std::string beamOnBannerText(std::int64_t run, std::int64_t elapsedSeconds) {
    if (elapsedSeconds < 0) elapsedSeconds = 0;
    return cformat("BEAM ON DEVICE   run %lld   %lld:%02lld:%02lld", static_cast<long long>(run),
                   static_cast<long long>(elapsedSeconds / 3600), static_cast<long long>(elapsedSeconds / 60 % 60),
                   static_cast<long long>(elapsedSeconds % 60));
}

std::string beamOffBannerText(bool s1Closed, bool s2Closed) {
    if (s1Closed && s2Closed) return "No beam on device: shutters S1 and S2 closed";
    if (s1Closed) return "No beam on device: shutter S1 closed";
    if (s2Closed) return "No beam on device: shutter S2 closed";
    return "Shutters S1 and S2 open: no run recorded";
}
