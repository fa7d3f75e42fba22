#include "core/FileNames.h"

#include "core/ConsoleState.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

std::string usersFolderFor(int demoStatus) {
    return demoStatus <= 1 ? "./users/" : "";
}

std::string normalizeFileName(ConsoleState& state, const std::string& scratchName) {
    state.lastNameIndex = normalizeFileNameInto(scratchName, state.commandBuffer);
    return state.commandBuffer.text();
}

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Whether `path` lies in `folder` or below it, both made absolute.
bool within(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const std::filesystem::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

std::string exportTargetRefusal(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path chosen = fs::weakly_canonical(fs::absolute(path, ec), ec);
    const fs::path working = fs::weakly_canonical(fs::current_path(ec), ec);
    if (ec || !within(chosen.parent_path(), working)) return "";
    const std::string name = chosen.filename().string();
    const std::string lower = lowered(name);
    const std::string extension = lowered(chosen.extension().string());
    const std::string stem = lowered(chosen.stem().string());
    const bool numbered = stem.rfind("beamruns-", 0) == 0 && stem.size() > 9 &&
                          stem.find_first_not_of("0123456789", 9) == std::string::npos;
    if (extension == ".csv" && (stem == "beamruns" || numbered)) {
        return name + " is a beam-run logbook of this station";
    }
    static const std::array<const char*, 12> kOwnExtensions = {".dat", ".tmp", ".run", ".json", ".po1", ".po2",
                                                               ".po3", ".po4", ".inp", ".lay",  ".log", ".htm"};
    static const std::array<const char*, 7> kOwnNames = {"controllerjournal.txt", "rangetable.txt", "atempt.txt",
                                                         "preview.txt",           "scoef.95a",      "scoef.95b",
                                                         "scoefgas.95"};
    const bool own = std::find(kOwnExtensions.begin(), kOwnExtensions.end(), extension) != kOwnExtensions.end() ||
                     std::find(kOwnNames.begin(), kOwnNames.end(), lower) != kOwnNames.end() ||
                     lower.rfind("copy of ", 0) == 0;
    return own ? name + " is one of the console's own files in the working folder" : "";
}
