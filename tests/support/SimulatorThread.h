#pragma once

#include <thread>

#include "ControllerSimulator.h"

// The stand-in controller served from a thread on a loopback port (0: any
// free port); stopping it closes every connection as a dead controller would.
class SimulatorThread {
public:
    explicit SimulatorThread(int port = 0) {
        listening = simulator.listen(port);
        if (listening) thread = std::thread([this] { simulator.run(); });
    }
    ~SimulatorThread() { stopNow(); }
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;
    void stopNow() {
        simulator.stop();
        if (thread.joinable()) thread.join();
    }
    ControllerSimulator simulator;
    bool listening = false;
    std::thread thread;
};
