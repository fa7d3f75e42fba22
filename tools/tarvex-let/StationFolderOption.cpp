#include "StationFolderOption.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <filesystem>
#include <iostream>

#include "beam/BeamFiles.h"

void StationFolderOption::declare(CLI::App& command) {
    command.add_option("DIR", folder_, "the station working folder (default: the current folder)");
}

void StationFolderOption::enter() const {
    if (folder_.empty()) return;
    std::error_code ec;
    std::filesystem::current_path(folder_, ec);
    if (ec) throw UsageError{"folder '" + folder_ + "': " + ec.message()};
}

std::unique_ptr<StationFolder> readStation() {
    auto station = std::make_unique<StationFolder>();
    const std::string problem = readStationFolder(*station);
    if (!problem.empty()) throw ComputationError{problem};
    return station;
}

double stationMinimumRange() {
    double um = 0;
    switch (readMinimumRange(um)) {
        case MinimumRangeRead::Value: return um;
        case MinimumRangeRead::NoNumber: std::cerr << "tarvex-let: " << minimumRangeNoNumberText() << "\n"; break;
        case MinimumRangeRead::Absent: break;
    }
    return std::nan("");
}

StoppingOptions withoutTrace() {
    StoppingOptions options;
    options.traceFileName = "";
    return options;
}
