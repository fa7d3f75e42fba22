#include "ControllerSimulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

bool parseLong(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
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

std::string ControllerSimulator::answer(const std::string& command) {
    if (command.size() >= 3 && (command.rfind("BH", 0) == 0 || command.rfind("BL", 0) == 0)) {
        long bit = 0;
        if (!parseLong(command.substr(2), bit) || bit < 0 || bit > 31) return "?";
        uint32_t mask = 1u << bit;
        bits_ = command[1] == 'H' ? (bits_ | mask) : (bits_ & ~mask);
        return ":";
    }
    if (command == "TB") return std::to_string(bits_) + "\r\n:";
    if (command.size() == 2 && command[0] == 'A' && std::strchr("XYZTUVRS", command[1]) != nullptr) {
        axis_ = command[1];
        return ":";
    }
    if (command == "AF" || command == "AA" || command.rfind("AN", 0) == 0) return ":";
    if (command == "JG?") return std::to_string(jog_[axis_]) + "\r\n:";
    if (command.rfind("JG", 0) == 0) {
        long velocity = 0;
        std::string digits = command.substr(2);
        if (!digits.empty() && digits[0] == '+') digits.erase(0, 1);
        if (!parseLong(digits, velocity)) return "?";
        jog_[axis_] = velocity;
        return ":";
    }
    if (command == "SA") {
        bits_ = 0;
        jog_.clear();
        return ":";
    }
    return "?";
}

void ControllerSimulator::serveText(Client& client, const std::string& text) {
    // A delay set by this text holds for the later ones.
    client.due = std::chrono::steady_clock::now() + delay_;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        std::string command = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() + 1 : end + 1;
        while (!command.empty() && (command.front() == ' ' || command.front() == '\n')) command.erase(0, 1);
        if (command.empty()) continue;
        if (command.rfind("#SLOW", 0) == 0) {
            long ms = 0;
            std::string value = command.substr(5);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            delay_ = std::chrono::milliseconds(parseLong(value, ms) && ms >= 0 ? ms : 0);
            client.output += ":";
        } else if (command == "#DROP") {
            client.closeAfterOutput = true;
            return;
        } else if (command == "#NOISE") {
            client.output += "\x01\xff noise";
        } else {
            client.output += answer(command);
        }
    }
}

void ControllerSimulator::run() {
    while (!stopping_) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (const Client& client : clients_) fds.push_back({client.socket, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 20);

        if ((fds[0].revents & POLLIN) != 0) {
            int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket >= 0) clients_.push_back({socket, {}, {}, {}, false});
        }
        auto now = std::chrono::steady_clock::now();
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
                }
            }
            if (!closed && !client.output.empty() && now >= client.due) {
                ::send(client.socket, client.output.data(), client.output.size(), MSG_NOSIGNAL);
                client.output.clear();
            }
            if (client.closeAfterOutput && client.output.empty()) closed = true;
            if (closed) {
                ::close(client.socket);
                clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
                --i;
            }
        }
    }
}
