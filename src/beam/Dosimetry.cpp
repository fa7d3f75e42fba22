#include "beam/Dosimetry.h"

#include <algorithm>
#include <cmath>

#include "util/Csv.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

constexpr int kRefused = -1;  // `kind` of a file whose header is not one of the two

void say(DosimetryFollow& follow, DosimetryUpdate& update, const std::string& text) {
    if (follow.said.insert(text).second) update.problems.push_back(text);
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
    const std::size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : text.substr(start);
}

// One line of the file; `name` is the file's name for the problems.
void takeLine(DosimetryFollow& follow, DosimetryUpdate& update, const std::string& name, const std::string& raw,
              double countFrom) {
    const std::string at = name + ", line " + std::to_string(follow.line) + ": ";
    const std::string line = trimmed(raw);
    if (line.empty()) return;
    if (std::any_of(line.begin(), line.end(), [](char c) { return isBinaryByte(static_cast<unsigned char>(c)); })) {
        say(follow, update, at + "not text - ignored.");
        return;
    }
    if (follow.kind == 0) {
        if (line == kDosimetryFluenceHeader || line == kDosimetryFluxHeader) {
            follow.kind = line == kDosimetryFluenceHeader ? 1 : 2;
            return;
        }
        follow.kind = kRefused;
        say(follow, update,
            at + "not the header \"" + kDosimetryFluenceHeader + "\" or \"" + kDosimetryFluxHeader +
                "\" - the file is not followed until it is replaced.");
        return;
    }
    const std::size_t comma = line.find(',');
    double time = 0;
    double value = 0;
    if (comma == std::string::npos || !parseReal(trimmed(line.substr(0, comma)), time) ||
        !parseReal(trimmed(line.substr(comma + 1)), value) || !std::isfinite(time) || !std::isfinite(value) ||
        value < 0) {
        say(follow, update, at + "'" + line.substr(0, 60) + "' is not a time and a number >= 0 - ignored.");
        return;
    }
    if (follow.haveLast && time <= follow.lastTime) {
        say(follow, update, at + "the time goes backwards - the reading is ignored.");
        return;
    }
    if (follow.haveLast && follow.kind == 1 && value < follow.lastValue) {
        say(follow, update, at + "the fluence goes backwards - the reading is ignored.");
        return;
    }
    if (follow.haveLast && std::isfinite(countFrom) && time > countFrom) {
        // The part of the interval since the last reading that lies after countFrom.
        const double span = time - follow.lastTime;
        const double counted = time - std::max(follow.lastTime, countFrom);
        update.added += follow.kind == 1 ? (value - follow.lastValue) * counted / span : value * counted;
    }
    follow.haveLast = true;
    follow.lastTime = time;
    follow.lastValue = value;
}

}  // namespace

DosimetryUpdate followDosimetry(DosimetryFollow& follow, const std::string& path, double countFrom,
                                std::chrono::steady_clock::time_point now) {
    DosimetryUpdate update;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    FileIdentity identity;
    std::string content;
    bool missing = false;
    std::string why;
    if (!readRegularFileFrom(path, follow.offset, kDosimetryReadBytes, content, identity, missing, why)) {
        if (!missing) {
            say(follow, update, name + " cannot be followed (" + why + ").");
        } else if (follow.opened) {
            say(follow, update, name + " has gone: the fluence stands at its last reading.");
        }
        return update;
    }
    if (follow.opened &&
        (identity.device != follow.device || identity.inode != follow.inode || identity.size < follow.offset)) {
        // Another file, or the same one cut back: its readings start afresh.
        follow = DosimetryFollow{};
        say(follow, update, name + " was replaced: the fluence goes on from the new file's readings.");
        if (!readRegularFileFrom(path, 0, kDosimetryReadBytes, content, identity, missing, why)) return update;
    }
    if (!follow.opened) follow.lastGrowth = now;
    follow.opened = true;
    follow.device = identity.device;
    follow.inode = identity.inode;
    // Whole lines only: a line still being written comes with the next call.
    const std::size_t end = content.rfind('\n');
    if (end == std::string::npos && content.size() == kDosimetryReadBytes) {
        say(follow, update, name + ", line " + std::to_string(follow.line + 1) + ": longer than 1 MiB - ignored.");
        follow.offset += content.size();
    } else if (end != std::string::npos) {
        follow.lastGrowth = now;
        follow.stalledSaid = false;
        for (std::size_t start = 0; start <= end;) {
            const std::size_t stop = content.find('\n', start);
            ++follow.line;
            if (follow.kind != kRefused) takeLine(follow, update, name, content.substr(start, stop - start), countFrom);
            start = stop + 1;
        }
        follow.offset += end + 1;
    }
    update.found = follow.kind != kRefused;
    if (std::isfinite(countFrom) && !follow.stalledSaid && now - follow.lastGrowth >= kDosimetryStall) {
        follow.stalledSaid = true;
        update.problems.push_back(name + " has had no new reading for " + std::to_string(kDosimetryStall.count()) +
                                  " s: the run's fluence stands at its last reading.");
    }
    return update;
}
