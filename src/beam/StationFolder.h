#pragma once

#include <string>
#include <vector>

#include "beam/BeamComputation.h"
#include "core/ConsoleState.h"

// A station working folder read as the console's start-up and Go read it, for
// the command line and the benchmarks: settings, setup table and status file
// (S, R and T), the beam, the device's layers in both orders and the
// coefficient files. Nothing is shown and nothing is written.
struct StationFolder {
    ConsoleState state;              // settings, axes, beam (see readStationFolder), stopping data
    DeviceLayers layers;             // "CurrentLayersReversed.dat", beam order
    std::string layersProblem;       // why `layers` is incomplete
    std::vector<LayerRecord> goLayers;  // the device's layer file, substrate first
    std::string goLayersProblem;     // why the device's layer file cannot be used

    BeamIon ion() const { return {state.beam.ionZ, state.beam.ionA, state.beam.beamEnergyMeV}; }
    // The degrader and tilt as the axes stand.
    BeamGeometry geometry() const;
};

// Reads the current folder. The beam is the parent program's latest choice
// (".tmp") in simulation mode, where the console recomputes before Go, and the
// committed one (".dat") otherwise. Returns the
// console's message for the first file that cannot be read, or "".
std::string readStationFolder(StationFolder& station);
