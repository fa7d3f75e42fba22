#pragma once

#include <functional>
#include <thread>

#include "ControllerSimulator.h"

// The stand-in controller served from a thread on a loopback port (0: any
// free port), after `setUp` has adjusted it; stopping it closes every
// connection as a dead controller would.
class SimulatorThread {
public:
    explicit SimulatorThread(const std::function<void(ControllerSimulator&)>& setUp = {}, int port = 0) {
        if (setUp) setUp(simulator);
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
