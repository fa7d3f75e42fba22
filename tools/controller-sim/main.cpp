// tarvex-controller-sim: a stand-in motion controller on a loopback port.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "ControllerSimulator.h"

namespace {
ControllerSimulator* running = nullptr;
void onSignal(int) {
    if (running != nullptr) running->stop();
}
}  // namespace

int main(int argc, char** argv) {
    int port = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: tarvex-controller-sim --port PORT\n"
                "A stand-in motion controller listening on 127.0.0.1:PORT for the console's TCP channel.\n"
                "Commands end with ';', texts with a carriage return; answers end with ':' (accepted)\n"
                "or '?' (rejected). Known: BHn BLn TB A<axis> AF JG<v> JG? AA AN<list> SA;\n"
                "for tests: \"#SLOW ms\", \"#DROP\", \"#NOISE\".\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || value < 0 || value > 65535) {
                std::fprintf(stderr, "tarvex-controller-sim: bad --port value '%s'\n", argv[i]);
                return 2;
            }
            port = static_cast<int>(value);
        } else {
            std::fprintf(stderr, "tarvex-controller-sim: unknown argument '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (port < 0) {
        std::fprintf(stderr, "tarvex-controller-sim: --port PORT is required\n");
        return 2;
    }
    ControllerSimulator simulator;
    if (!simulator.listen(port)) {
        std::fprintf(stderr, "tarvex-controller-sim: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    running = &simulator;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("tarvex-controller-sim listening on 127.0.0.1:%d\n", simulator.port());
    std::fflush(stdout);
    simulator.run();
    return 0;
}
