// tarvex-controller-sim: a stand-in motion controller on a loopback port.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ControllerSimulator.h"

#ifndef TARVEX_VERSION
#define TARVEX_VERSION "unknown"
#endif

namespace {

ControllerSimulator* running = nullptr;
void onSignal(int) {
    if (running != nullptr) running->stop();
}

const char* const usage =
    "Usage:\n"
    "  tarvex-controller-sim --port PORT [OPTIONS]\n"
    "      a stand-in motion controller listening on 127.0.0.1:PORT (0 = any free port) for the\n"
    "      console's TCP channel.\n"
    "  tarvex-controller-sim --port PORT --write-settings PATH\n"
    "      writes a Controller.dat for this simulator on PORT and exits.\n"
    "\n"
    "Protocol:\n"
    "Texts end with a carriage return, commands with ';'; answers end with ':' (accepted) or '?'\n"
    "(rejected).\n"
    "\n"
    "Eight axes X Y Z T U V R S, positions in counts, all starting at 0 and at rest.\n"
    "Commands: BHn BLn TB A<axis> AF AA AN<list> JG<v> JG? PA<counts> BG ST TS LS? SP<v> AC<v>\n"
    "DC<v> SA. A<axis> selects the axis for the rest of the text; ST stops that axis, or every\n"
    "axis when no A<axis> came before it in the text. TS answers the 8 positions, the 8 moving\n"
    "flags, the input bits and the 8 limit switches, comma separated. Input bit n follows output\n"
    "bit n 100 ms later.\n"
    "LS? tells the selected axis's limit switch (-1 low, 1 high, 0 none).\n"
    "Switches: \"#SLOW ms\" sends each later answer ms after its text, \"#DROP\" closes the\n"
    "connection, \"#NOISE\" answers without a prompt, \"#MUTE\" never answers again on the\n"
    "connection (commands still run), \"#LIMIT X LO HI\" sets an axis's hard limits.\n"
    "\n"
    "Options:\n"
    "  --speed V              speed of PA/BG moves, counts/s (default 20000)\n"
    "  --acceleration A       counts/s^2 (default 200000)\n"
    "  --deceleration D       counts/s^2 (default 200000)\n"
    "  --limit AXIS:LO:HI     hard limit switches of an axis in counts (default -1000000000 and\n"
    "                         1000000000; absolute values up to 2000000000); repeatable\n"
    "  --log FILE             append every text received, connections and limit stops to FILE\n"
    "                         (default: standard error)\n"
    "  --state-file PATH      rewrite PATH every 50 ms as JSON: positions, velocities, moving\n"
    "                         flags of the eight axes and the output bits\n"
    "  --write-settings PATH  write a Controller.dat for this simulator on PORT (with its\n"
    "                         --deceleration) and exit\n"
    "  --version              the version\n"
    "  --help                 this text\n";

bool parseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "tarvex-controller-sim: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long port = -1;
    long speed = static_cast<long>(ControllerSimulator::defaultSpeed);
    long acceleration = static_cast<long>(ControllerSimulator::defaultAcceleration);
    long deceleration = static_cast<long>(ControllerSimulator::defaultDeceleration);
    std::string settingsPath, statePath, logPath;
    ControllerSimulator simulator;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("tarvex-controller-sim %s\n", TARVEX_VERSION);
            return 0;
        }
        if (i + 1 >= argc) return fail("unknown argument or missing value '" + option + "' (see --help)");
        const char* value = argv[++i];
        if (option == "--port") {
            if (!parseNumber(value, 0, 65535, port)) return fail(std::string("bad --port value '") + value + "'");
        } else if (option == "--speed" || option == "--acceleration" || option == "--deceleration") {
            long& target = option == "--speed" ? speed : option == "--acceleration" ? acceleration : deceleration;
            if (!parseNumber(value, 1, 2000000000, target)) return fail("bad " + option + " value '" + value + "'");
        } else if (option == "--limit") {
            long low = 0, high = 0;
            std::string text = value;
            std::size_t first = text.find(':'), second = text.find(':', first + 1);
            if (text.size() < 2 || first != 1 || second == std::string::npos ||
                !parseNumber(text.substr(2, second - 2).c_str(), -2000000000, 2000000000, low) ||
                !parseNumber(text.substr(second + 1).c_str(), -2000000000, 2000000000, high) ||
                !simulator.setLimit(text[0], low, high)) {
                return fail(std::string("bad --limit value '") + value + "' (AXIS:LO:HI, LO below HI)");
            }
        } else if (option == "--write-settings") {
            settingsPath = value;
        } else if (option == "--state-file") {
            statePath = value;
        } else if (option == "--log") {
            logPath = value;
        } else {
            return fail("unknown argument '" + option + "' (see --help)");
        }
    }
    if (port < 0) return fail("--port PORT is required");
    if (!settingsPath.empty()) {
        if (port == 0) return fail("--write-settings needs the port the simulator listens on (not 0)");
        std::string settings = ControllerSimulator::settingsText(static_cast<int>(port), deceleration);
        if (!ControllerSimulator::writeFile(settingsPath, settings)) {
            std::fprintf(stderr, "tarvex-controller-sim: cannot write %s\n", settingsPath.c_str());
            return 1;
        }
        return 0;
    }
    std::FILE* log = stderr;
    if (!logPath.empty() && (log = std::fopen(logPath.c_str(), "a")) == nullptr) {
        std::fprintf(stderr, "tarvex-controller-sim: cannot open log %s\n", logPath.c_str());
        return 1;
    }
    simulator.setProfile(static_cast<double>(speed), static_cast<double>(acceleration), static_cast<double>(deceleration));
    simulator.setLogFile(log);
    simulator.setStateFile(statePath);
    if (!simulator.listen(static_cast<int>(port))) {
        std::fprintf(stderr, "tarvex-controller-sim: cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    running = &simulator;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("tarvex-controller-sim listening on 127.0.0.1:%d\n", simulator.port());
    std::fflush(stdout);
    simulator.run();
    if (log != stderr) std::fclose(log);
    return 0;
}
