#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A stand-in motion controller on a loopback TCP port, for tests and
// demonstrations. It takes command texts ended by a carriage return, splits
// each text at ';' and answers every command with its data (if any) and a
// prompt (':' accepted, '?' rejected).
//
// It models eight axes X Y Z T U V R S: position in counts, velocity in
// counts/s, acceleration and deceleration in counts/s^2, and hard limit
// switches that stop any motion running into them. Motion is integrated in
// steady-clock time whenever the model is looked at (every command, every
// snapshot, and at least every 10 ms of the serving loop while anything moves).
//
// Commands (A<axis> selects the axis for the rest of the same text):
//   BHn BLn  set / clear output bit n (0..31); input bit n follows ~100 ms later
//   TB       tell the output bits as a decimal number
//   A<axis>  select the axis; AF AA AN<list> are accepted and do nothing
//   JG<v>    jog the selected axis at v counts/s (starts at once)
//   JG?      tell the selected axis's commanded jog velocity (0 once stopped)
//   PA<n>    set the selected axis's absolute target (counts); BG begins the move
//   ST       stop the selected axis, or every axis when no A<axis> came before
//            it in the same text (decelerates to rest)
//   TS       tell the 8 positions, the 8 moving flags (0/1), the input bits
//            and the 8 limit switches (-1 low, 1 high, 0 none)
//   LS?      tell the selected axis's limit switch: -1 low, 1 high, 0 none
//   SP<v> AC<v> DC<v>  speed of PA/BG moves, acceleration, deceleration of the axis
//   SA       clear the output bits and stop every axis
// Fault and setting switches (one connection's or the whole simulator's):
//   "#SLOW ms" delays every later answer by ms after its text came (answers
//   keep their order), "#DROP" closes the connection,
//   "#NOISE" answers bytes without any prompt, "#MUTE" never answers again on
//   this connection (commands are still read and executed), "#LIMIT X lo hi"
//   sets the hard limits of an axis.
class ControllerSimulator {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr const char* axisLetters = "XYZTUVRS";
    static constexpr double defaultSpeed = 20000;          // counts/s, PA/BG moves
    static constexpr double defaultAcceleration = 200000;  // counts/s^2
    static constexpr double defaultDeceleration = 200000;  // counts/s^2
    static constexpr long defaultLimit = 1000000000;       // counts, both directions

    struct AxisState {
        long position = 0;     // counts, rounded
        double velocity = 0;   // counts/s, signed
        bool moving = false;
        int limit = 0;         // -1 stopped at the low switch, 1 at the high one
    };
    struct Received {
        int connection;        // 1 for the first client accepted, and so on; 0 for answer()
        std::string text;      // the text as received, without the carriage return
    };
    struct Snapshot {
        std::array<AxisState, 8> axes;
        uint32_t bits = 0;       // output bits
        uint32_t inputs = 0;     // input bits
        std::vector<Received> log;  // every text received, oldest first
    };

    // Binds 127.0.0.1:port (0 = any free port); false when it cannot.
    bool listen(int port);
    int port() const { return port_; }
    // Serves clients until stop() is called (from another thread or a signal).
    void run();
    void stop() { stopping_ = true; }
    ~ControllerSimulator();

    // The answer to one command text (commands separated by ';', without the
    // carriage return), for the tests; the fault switches need a connection.
    std::string answer(const std::string& command);
    uint32_t bits() const;
    // The axes advanced to now, the bits and the log; safe from any thread.
    Snapshot snapshot();
    // The state as one line of JSON (the --state-file content), advanced to now.
    std::string stateJson();

    // Settings, before run() or from the serving thread.
    void setProfile(double speed, double acceleration, double deceleration);  // every axis
    bool setLimit(char axis, long low, long high);
    void setLogFile(std::FILE* file) { logFile_ = file; }  // every text and limit stop, one a line
    void setStateFile(std::string path) { stateFile_ = std::move(path); }
    // Replaces the clock (tests drive time by hand).
    void setClock(std::function<Clock::time_point()> clock);

    // The Controller.dat that connects to a simulator on 127.0.0.1:port
    // whose axes decelerate at `deceleration` counts/s^2.
    static std::string settingsText(int port, long deceleration = static_cast<long>(defaultDeceleration));
    // Writes `text` to `path` through a temporary file renamed over it.
    static bool writeFile(const std::string& path, const std::string& text);

private:
    enum class Mode { Rest, Jog, Move, Stop };
    struct Axis {
        double position = 0;
        double velocity = 0;
        Mode mode = Mode::Rest;
        long jog = 0;  // commanded jog velocity
        long target = 0;
        double speed = defaultSpeed;
        double acceleration = defaultAcceleration;
        double deceleration = defaultDeceleration;
        long low = -defaultLimit;
        long high = defaultLimit;
        int limit = 0;
    };
    struct Client {
        int socket;
        int number;
        std::string input;
        // Answers not yet sent, oldest first, each with the time it is due.
        std::deque<std::pair<Clock::time_point, std::string>> output;
        bool closeAfterOutput = false;
        bool muted = false;
    };
    void serveText(Client& client, const std::string& text);
    std::string answerLocked(const std::string& command, char& selected, bool& axisSelected);
    void advanceLocked();
    void stepAxis(int index, double seconds);
    bool axesMovingLocked() const;
    bool setLimitLocked(char axis, long low, long high);
    static int limitSwitch(const Axis& axis);
    static void stopLocked(Axis& axis);
    std::string serveLocked(const std::string& text, Client* client);
    std::string stateJsonLocked() const;
    void logLine(const std::string& line);
    void writeState();

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::function<Clock::time_point()> clock_ = [] { return Clock::now(); };
    Clock::time_point modelTime_ = Clock::now();
    Clock::time_point started_ = modelTime_;
    uint32_t bits_ = 0;
    uint32_t inputs_ = 0;
    std::deque<std::pair<Clock::time_point, uint32_t>> pendingInputs_;
    std::array<Axis, 8> axes_{};
    char axis_ = 'X';
    std::deque<Received> log_;
    std::FILE* logFile_ = nullptr;
    std::string stateFile_;
    std::chrono::milliseconds delay_{0};
    std::vector<Client> clients_;
    int connections_ = 0;
};
