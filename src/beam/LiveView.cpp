#include "beam/LiveView.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "beam/BeamRuns.h"
#include "beam/CrossSection.h"
#include "beam/LiveStatus.h"
#include "util/TextFiles.h"

namespace {

const char* const kPlotTitle = "Cross section against effective LET";

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

LiveViewAnswer text(int status, std::string body) {
    return {status, "text/plain; charset=utf-8", "", std::move(body) + "\n"};
}

// What a file's content is known by without reading it: its name, size and time.
std::string fileKey(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(status)) return path + " -\n";
    const auto size = std::filesystem::file_size(path, ec);
    const auto time = std::filesystem::last_write_time(path, ec).time_since_epoch().count();
    return path + " " + std::to_string(ec ? 0 : size) + " " + std::to_string(time) + "\n";
}

}  // namespace

std::optional<LiveViewAddress> parseLiveViewAddress(std::string_view content, std::string& why) {
    std::string_view line = content.substr(0, content.find('\n'));
    line = trimmed(line);
    const std::size_t colon = line.rfind(':');
    std::string quoted(1, '\'');
    quoted.append(line);
    quoted += '\'';
    if (line.empty()) {
        why = "the first line is empty, not address:port";
        return std::nullopt;
    }
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == line.size()) {
        why = quoted + " is not address:port";
        return std::nullopt;
    }
    LiveViewAddress address;
    address.host = std::string(line.substr(0, colon));
    if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']') {
        address.host = address.host.substr(1, address.host.size() - 2);
    }
    const std::string_view port = line.substr(colon + 1);
    for (char c : port) {
        if (c < '0' || c > '9' || port.size() > 5) {
            why = quoted + ": the port is not a whole number from 1 to 65535";
            return std::nullopt;
        }
        address.port = address.port * 10 + (c - '0');
    }
    if (address.port < 1 || address.port > 65535) {
        why = quoted + ": the port is not a whole number from 1 to 65535";
        return std::nullopt;
    }
    return address;
}

LiveViewAnswer LiveViewSite::answer(std::string_view method, std::string_view path) {
    const std::string_view route = path.substr(0, path.find('?'));
    const bool known = route == "/" || route == "/live.json" || route == "/cross-section.svg";
    if (method != "GET" && method != "HEAD") {
        LiveViewAnswer refused = text(405, "Only GET and HEAD: the live view is read-only.");
        refused.allow = "GET, HEAD";
        return refused;
    }
    if (!known) return text(404, "Not found: the live view serves /, /live.json and /cross-section.svg.");
    if (route == "/live.json") return liveJson();
    if (route == "/cross-section.svg") return crossSection();
    return {200, "text/html; charset=utf-8", "", liveViewPage()};
}

LiveViewAnswer LiveViewSite::liveJson() const {
    std::string content, why;
    if (!readRegularFile(inFolder(folder_, kLiveStatusFile), kLiveStatusMaxBytes, content, why)) {
        return text(503, std::string(kLiveStatusFile) + " cannot be read (" + why + ").");
    }
    return {200, "application/json", "", std::move(content)};
}

LiveViewAnswer LiveViewSite::crossSection() {
    const std::vector<std::string> files = beamRunsFiles(folder_);
    std::string key;
    for (const std::string& path : files) key += fileKey(path);
    const std::string eventsPath = inFolder(folder_, kRunEventsFile);
    key += fileKey(eventsPath);
    if (plot_.empty() || key != plotKey_) {
        std::vector<RunSummary> runs;
        for (const std::string& path : files) {
            BeamRunsLog log;
            std::string why;
            if (!readBeamRuns(path, log, why)) continue;  // the window names it; the plot goes without it
            const std::vector<RunSummary> merged = mergeRuns(log);
            runs.insert(runs.end(), merged.begin(), merged.end());
        }
        const CrossSectionData data = crossSections(runs, readRunEvents(eventsPath));
        plot_ = crossSectionSvg(kPlotTitle, data, fitWeibull(data.perLet));
        plotKey_ = key;
    }
    return {200, "image/svg+xml", "", plot_};
}
