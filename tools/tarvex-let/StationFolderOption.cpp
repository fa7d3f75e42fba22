#include "StationFolderOption.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "axes/AxisFiles.h"
#include "beam/BeamFiles.h"
#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "core/Cyclotrons.h"
#include "core/FileNames.h"
#include "core/Settings.h"

void StationFolderOption::declare(CLI::App& command) {
    command.add_option("DIR", folder_, "the station working folder (default: the current folder)");
}

void StationFolderOption::enter() const {
    if (folder_.empty()) return;
    std::error_code ec;
    std::filesystem::current_path(folder_, ec);
    if (ec) throw UsageError{"folder '" + folder_ + "': " + ec.message()};
}

std::string callersPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

std::unique_ptr<StationFolder> readStation() {
    auto station = std::make_unique<StationFolder>();
    const std::string problem = readStationFolder(*station);
    if (!problem.empty()) throw ComputationError{problem};
    return station;
}

double stationMinimumRange() {
    return readMinimumRange([](const std::string& text) { std::cerr << "tarvex-let: " << text << "\n"; });
}

bool recomputeCurrentFolder(ConsoleCore& console, bool trace, BeamResult& computed) {
    ConsoleState& state = console.state;
    if (!trace) state.traceFileName.clear();
    readCyclotronInUse(console);
    state.foilCount = foilCountOf(state.cyclotronCode);
    readDemoStatus(console);
    state.usersFolder = usersFolderFor(state.demoStatus);
    state.options = readOptions(console);
    readTargetLocation(console);
    loadSetupTable(console);
    loadStatusFile(console);
    return recomputeBeam(console, &computed);
}
