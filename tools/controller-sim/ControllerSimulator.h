#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A stand-in motion controller on a loopback TCP port, for tests and
// demonstrations. It takes command texts ended by a carriage return, answers
// every command with its data (if any) and a prompt (':' accepted, '?'
// rejected), and keeps the output bits and jog velocities it was given.
//
// Commands: BHn / BLn (set / clear output bit n, 0..31), TB (tell the bits as
// a decimal number), A<axis> (select axis X Y Z T U V R S), AF, JG<velocity>,
// JG? (tell the selected axis's velocity), AA, AN<list>, SA (reset bits and
// velocities). For tests: "#SLOW ms" delays every later answer, "#DROP"
// closes the connection, "#NOISE" answers bytes without any prompt.
class ControllerSimulator {
public:
    // Binds 127.0.0.1:port (0 = any free port); false when it cannot.
    bool listen(int port);
    int port() const { return port_; }
    // Serves clients until stop() is called (from another thread or a signal).
    void run();
    void stop() { stopping_ = true; }
    ~ControllerSimulator();

    // The answer to one command (without the carriage return), for the tests.
    std::string answer(const std::string& command);
    uint32_t bits() const { return bits_; }

private:
    struct Client {
        int socket;
        std::string input;
        std::string output;
        std::chrono::steady_clock::time_point due;
        bool closeAfterOutput = false;
    };
    void serveText(Client& client, const std::string& text);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    uint32_t bits_ = 0;
    char axis_ = 'X';
    std::map<char, long> jog_;
    std::chrono::milliseconds delay_{0};
    std::vector<Client> clients_;
};
