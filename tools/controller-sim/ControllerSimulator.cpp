#include "ControllerSimulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// A log line of client `number`: "#3 closed". Appended piece by piece: GCC 12
// mistakes a text put in front of a number's string for an overlapping copy.
std::string clientLine(int number, const std::string& text) {
    std::string line = "#";
    line += std::to_string(number);
    line += ' ';
    line += text;
    return line;
}

constexpr std::size_t logCapacity = 10000;        // texts kept in memory
constexpr std::size_t longestText = 4096;         // bytes without a carriage return
constexpr long widestLimit = 2000000000;          // counts
constexpr auto inputDelay = std::chrono::milliseconds(100);

bool parseLong(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

// A signed integer with an optional '+'.
bool parseSigned(const std::string& text, long& value) {
    bool plus = !text.empty() && text[0] == '+';
    std::string digits = plus ? text.substr(1) : text;
    return !(plus && !digits.empty() && digits[0] == '-') && parseLong(digits, value);
}

int axisIndex(char letter) {
    const char* at = letter != '\0' ? std::strchr(ControllerSimulator::axisLetters, letter) : nullptr;
    return at == nullptr ? -1 : static_cast<int>(at - ControllerSimulator::axisLetters);
}

// `value` moved towards `goal` by at most `step`.
double approach(double value, double goal, double step) {
    return value < goal ? std::min(goal, value + step) : std::max(goal, value - step);
}

bool validLimits(long low, long high) { return low < high && low >= -widestLimit && high <= widestLimit; }

std::string trimmed(std::string text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n')) text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
    return text;
}

}  // namespace

ControllerSimulator::~ControllerSimulator() {
    for (Client& client : clients_) ::close(client.socket);
    if (listener_ >= 0) ::close(listener_);
}

bool ControllerSimulator::listen(int port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return false;
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0) {
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

std::string ControllerSimulator::settingsText(int port, long deceleration) {
    return "tcp 127.0.0.1 " + std::to_string(port) +
           "\n"
           "stop-axis A{axis};ST;\n"
           "stop-all ST;\n"
           "move-to A{axis};PA{counts};\n"
           "begin-move A{axis};BG;\n"
           "query TS;\n"
           "reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I LX LY LZ LT LU LV LR LS\n"
           "deceleration " +
           std::to_string(deceleration) + "\n";
}

void ControllerSimulator::setClock(std::function<Clock::time_point()> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
    modelTime_ = started_ = clock_();
}

void ControllerSimulator::setProfile(double speed, double acceleration, double deceleration) {
    std::lock_guard lock(mutex_);
    for (Axis& axis : axes_) {
        axis.speed = speed;
        axis.acceleration = acceleration;
        axis.deceleration = deceleration;
    }
}

bool ControllerSimulator::setLimit(char axis, long low, long high) {
    std::lock_guard lock(mutex_);
    return setLimitLocked(axis, low, high);
}

bool ControllerSimulator::setLimitLocked(char axis, long low, long high) {
    int index = axisIndex(axis);
    if (index < 0 || !validLimits(low, high)) return false;
    axes_[static_cast<std::size_t>(index)].low = low;
    axes_[static_cast<std::size_t>(index)].high = high;
    return true;
}

int ControllerSimulator::limitSwitch(const Axis& axis) {
    return axis.position >= static_cast<double>(axis.high) ? 1 : axis.position <= static_cast<double>(axis.low) ? -1 : 0;
}

void ControllerSimulator::stopLocked(Axis& axis) {
    axis.jog = 0;
    if (axis.mode != Mode::Rest) axis.mode = axis.velocity != 0 ? Mode::Stop : Mode::Rest;
}

uint32_t ControllerSimulator::bits() const {
    std::lock_guard lock(mutex_);
    return bits_;
}

void ControllerSimulator::logLine(const std::string& line) {
    if (logFile_ == nullptr) return;
    double seconds = std::chrono::duration<double>(modelTime_ - started_).count();
    std::fprintf(logFile_, "%10.3f %s\n", seconds, line.c_str());
    std::fflush(logFile_);
}

void ControllerSimulator::stepAxis(int index, double seconds) {
    Axis& axis = axes_[static_cast<std::size_t>(index)];
    if (axis.mode == Mode::Rest) return;
    double goal = 0;
    if (axis.mode == Mode::Jog) goal = static_cast<double>(axis.jog);
    if (axis.mode == Mode::Move) {
        double distance = static_cast<double>(axis.target) - axis.position;
        if (std::fabs(distance) <= 0.5) {
            axis.position = static_cast<double>(axis.target);
            axis.velocity = 0;
            axis.mode = Mode::Rest;
            return;
        }
        goal = std::copysign(std::min(axis.speed, std::sqrt(2 * axis.deceleration * std::fabs(distance))), distance);
    }
    bool speedingUp = goal * axis.velocity >= 0 && std::fabs(goal) > std::fabs(axis.velocity);
    double before = axis.velocity;
    axis.velocity = approach(before, goal, (speedingUp ? axis.acceleration : axis.deceleration) * seconds);
    double passed = axis.position;
    axis.position += (before + axis.velocity) / 2 * seconds;
    if (axis.mode == Mode::Move && (static_cast<double>(axis.target) - passed) * (static_cast<double>(axis.target) - axis.position) <= 0) {
        axis.position = static_cast<double>(axis.target);
        axis.velocity = 0;
        axis.mode = Mode::Rest;
    } else if (axis.velocity == 0 && goal == 0) {
        axis.mode = Mode::Rest;
        axis.jog = 0;
    }
    double low = static_cast<double>(axis.low), high = static_cast<double>(axis.high);
    if ((axis.position >= high && axis.velocity > 0) || (axis.position <= low && axis.velocity < 0)) {
        bool atHigh = axis.velocity > 0;
        axis.position = atHigh ? high : low;
        axis.velocity = 0;
        axis.mode = Mode::Rest;
        axis.jog = 0;
        logLine(std::string(1, axisLetters[index]) + " stopped at the " + (atHigh ? "high" : "low") + " limit switch (" +
                std::to_string(atHigh ? axis.high : axis.low) + ")");
    }
}

bool ControllerSimulator::axesMovingLocked() const {
    return std::any_of(axes_.begin(), axes_.end(), [](const Axis& axis) { return axis.mode != Mode::Rest; });
}

void ControllerSimulator::advanceLocked() {
    Clock::time_point now = clock_();
    if (now <= modelTime_) return;
    double seconds = std::chrono::duration<double>(now - modelTime_).count();
    modelTime_ = now;
    // Steps of 1 ms (longer only for a gap of over 10 s) keep a move's end close to its target.
    double step = std::max(0.001, seconds / 10000);
    while (seconds > 0 && axesMovingLocked()) {
        double h = std::min(step, seconds);
        for (int i = 0; i < 8; ++i) stepAxis(i, h);
        seconds -= h;
    }
    while (!pendingInputs_.empty() && pendingInputs_.front().first <= now) {
        inputs_ = pendingInputs_.front().second;
        pendingInputs_.pop_front();
    }
}

std::string ControllerSimulator::answerLocked(const std::string& command, char& selected, bool& axisSelected) {
    Axis& axis = axes_[static_cast<std::size_t>(axisIndex(axis_))];
    auto argument = [&](std::size_t from, long& value) { return parseSigned(command.substr(from), value); };
    long value = 0;
    if (command.size() >= 3 && (command.rfind("BH", 0) == 0 || command.rfind("BL", 0) == 0)) {
        if (!parseLong(command.substr(2), value) || value < 0 || value > 31) return "?";
        uint32_t mask = 1u << value;
        bits_ = command[1] == 'H' ? (bits_ | mask) : (bits_ & ~mask);
        pendingInputs_.emplace_back(modelTime_ + inputDelay, bits_);
        return ":";
    }
    if (command == "TB") return std::to_string(bits_) + "\r\n:";
    if (command.size() == 2 && command[0] == 'A' && axisIndex(command[1]) >= 0) {
        axis_ = selected = command[1];
        axisSelected = true;
        return ":";
    }
    if (command == "AF" || command == "AA" || command.rfind("AN", 0) == 0) return ":";
    if (command == "JG?") return std::to_string(axis.jog) + "\r\n:";
    if (command == "LS?") return std::to_string(limitSwitch(axis)) + "\r\n:";
    if (command.rfind("JG", 0) == 0) {
        if (!argument(2, value)) return "?";
        axis.jog = value;
        axis.mode = value != 0 ? Mode::Jog : axis.velocity != 0 ? Mode::Stop : Mode::Rest;
        return ":";
    }
    if (command.rfind("PA", 0) == 0) {
        if (!argument(2, value) || value < -widestLimit || value > widestLimit) return "?";
        axis.target = value;
        return ":";
    }
    if (command == "BG") {
        axis.jog = 0;
        axis.mode = Mode::Move;
        return ":";
    }
    if (command == "ST") {
        for (std::size_t i = 0; i < axes_.size(); ++i) {
            if (!axisSelected || static_cast<int>(i) == axisIndex(selected)) stopLocked(axes_[i]);
        }
        return ":";
    }
    if (command == "TS") {
        std::string reply;
        for (const Axis& a : axes_) reply += std::to_string(std::llround(a.position)) + ",";
        for (const Axis& a : axes_) reply += std::string(a.mode != Mode::Rest ? "1" : "0") + ",";
        reply += std::to_string(inputs_);
        for (const Axis& a : axes_) {
            reply += ',';
            reply += std::to_string(limitSwitch(a));
        }
        return reply + "\r\n:";
    }
    for (const char* name : {"SP", "AC", "DC"}) {
        if (command.rfind(name, 0) != 0) continue;
        if (!parseLong(command.substr(2), value) || value <= 0) return "?";
        (name[0] == 'S' ? axis.speed : name[0] == 'A' ? axis.acceleration : axis.deceleration) = static_cast<double>(value);
        return ":";
    }
    if (command == "SA") {
        bits_ = 0;
        pendingInputs_.emplace_back(modelTime_ + inputDelay, bits_);
        for (Axis& a : axes_) stopLocked(a);
        return ":";
    }
    if (command.rfind("#LIMIT", 0) == 0) {
        char letter = 0;
        long low = 0, high = 0;
        char rest = 0;
        if (std::sscanf(command.c_str() + 6, " %c %ld %ld %c", &letter, &low, &high, &rest) != 3) return "?";
        return setLimitLocked(letter, low, high) ? ":" : "?";
    }
    if (command.rfind("#SLOW", 0) == 0) {
        delay_ = std::chrono::milliseconds(parseLong(trimmed(command.substr(5)), value) && value >= 0 ? value : 0);
        return ":";
    }
    return "?";
}

std::string ControllerSimulator::answer(const std::string& command) {
    std::lock_guard lock(mutex_);
    return serveLocked(command, nullptr);
}

ControllerSimulator::Snapshot ControllerSimulator::snapshot() {
    std::lock_guard lock(mutex_);
    advanceLocked();
    Snapshot state;
    for (std::size_t i = 0; i < axes_.size(); ++i) {
        const Axis& axis = axes_[i];
        state.axes[i].position = std::lround(axis.position);
        state.axes[i].velocity = axis.velocity;
        state.axes[i].moving = axis.mode != Mode::Rest;
        state.axes[i].limit = limitSwitch(axis);
    }
    state.bits = bits_;
    state.inputs = inputs_;
    state.log.assign(log_.begin(), log_.end());
    return state;
}

std::string ControllerSimulator::stateJsonLocked() const {
    std::string json = "{\"axes\": {";
    for (std::size_t i = 0; i < axes_.size(); ++i) {
        const Axis& axis = axes_[i];
        if (i > 0) json += ", ";
        json += std::string("\"") + axisLetters[i] + "\": {\"position\": " + std::to_string(std::lround(axis.position)) +
                ", \"velocity\": " + std::to_string(std::lround(axis.velocity)) +
                ", \"moving\": " + (axis.mode != Mode::Rest ? "true" : "false") + "}";
    }
    return json + "}, \"bits\": " + std::to_string(bits_) + "}\n";
}

std::string ControllerSimulator::stateJson() {
    std::lock_guard lock(mutex_);
    advanceLocked();
    return stateJsonLocked();
}

bool ControllerSimulator::writeFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

void ControllerSimulator::writeState() {
    if (!stateFile_.empty()) writeFile(stateFile_, stateJson());
}

std::string ControllerSimulator::serveLocked(const std::string& text, Client* client) {
    advanceLocked();
    int number = client != nullptr ? client->number : 0;
    log_.push_back({number, text});
    if (log_.size() > logCapacity) log_.pop_front();
    logLine(clientLine(number, text));
    std::string output;
    char selected = 0;
    bool axisSelected = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        std::string command = trimmed(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() + 1 : end + 1;
        if (command.empty()) continue;
        if (client != nullptr && command == "#DROP") {
            client->closeAfterOutput = true;
            break;
        }
        if (client != nullptr && command == "#MUTE") {
            client->muted = true;
        } else if (client != nullptr && command == "#NOISE") {
            output += "\x01\xff noise";
        } else {
            output += answerLocked(command, selected, axisSelected);
        }
    }
    return output;
}

void ControllerSimulator::serveText(Client& client, const std::string& text) {
    std::lock_guard lock(mutex_);
    // A delay set by this text holds for the later ones.
    Clock::time_point due = clock_() + delay_;
    std::string output = serveLocked(text, &client);
    if (!client.muted) client.output.emplace_back(due, std::move(output));
}

void ControllerSimulator::run() {
    Clock::time_point nextState{};
    while (!stopping_) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        bool waiting = false;
        for (const Client& client : clients_) {
            fds.push_back({client.socket, POLLIN, 0});
            waiting = waiting || !client.output.empty();
        }
        bool busy = waiting;
        {
            std::lock_guard lock(mutex_);
            busy = busy || axesMovingLocked() || !pendingInputs_.empty();
        }
        ::poll(fds.data(), fds.size(), busy ? 10 : 50);

        if ((fds[0].revents & POLLIN) != 0) {
            int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket >= 0) {
                clients_.push_back({socket, ++connections_, {}, {}, false, false});
                std::lock_guard lock(mutex_);
                logLine(clientLine(connections_, "connected"));
            }
        }
        Clock::time_point now;
        {
            std::lock_guard lock(mutex_);
            advanceLocked();
            now = modelTime_;
        }
        for (std::size_t i = 0; i < clients_.size(); ++i) {
            Client& client = clients_[i];
            bool closed = false;
            if (i + 1 < fds.size() && fds[i + 1].fd == client.socket && (fds[i + 1].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[1024];
                ssize_t n = ::recv(client.socket, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n <= 0) {
                    closed = true;
                } else {
                    client.input.append(buffer, static_cast<std::size_t>(n));
                    std::size_t cr;
                    while ((cr = client.input.find('\r')) != std::string::npos) {
                        std::string text = client.input.substr(0, cr);
                        client.input.erase(0, cr + 1);
                        serveText(client, text);
                    }
                    if (client.input.size() > longestText) {
                        client.input.clear();
                        if (!client.muted) client.output.emplace_back(now, "?");
                    }
                }
            }
            // An answer due now goes out in this round, not after the next wait.
            Clock::time_point current = now;
            if (!client.output.empty()) {
                std::lock_guard lock(mutex_);
                current = clock_();
            }
            while (!closed && !client.output.empty() && current >= client.output.front().first) {
                const std::string& bytes = client.output.front().second;
                ::send(client.socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
                client.output.pop_front();
            }
            if (client.closeAfterOutput && client.output.empty()) closed = true;
            if (closed) {
                ::close(client.socket);
                {
                    std::lock_guard lock(mutex_);
                    logLine(clientLine(client.number, "closed"));
                }
                clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
                --i;
            }
        }
        if (!stateFile_.empty() && now >= nextState) {
            writeState();
            nextState = now + std::chrono::milliseconds(50);
        }
    }
    writeState();
}
