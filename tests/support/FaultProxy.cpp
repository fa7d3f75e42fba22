#include "support/FaultProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNoise = "\x01\xff noise \x7f";

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A non-blocking connection to 127.0.0.1:port, or -1 when nothing listens there.
int connectUpstream(int port) {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return -1;
    sockaddr_in address = loopback(port);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    return socket;
}

// Sends what the socket takes now; false when the connection is gone.
bool sendSome(int socket, std::string& bytes) {
    if (bytes.empty()) return true;
    ssize_t n = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    bytes.erase(0, static_cast<std::size_t>(n));
    return true;
}

// Appends what the socket holds; false when it closed.
bool receive(int socket, std::string& into) {
    char buffer[4096];
    ssize_t n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
}

struct Link {
    int down;
    int up;
    long generation;  // the drop requests made before it was accepted
    std::string toUp;
    std::deque<std::pair<Clock::time_point, std::string>> toDown;
    Clock::time_point lastDue{};
};

}  // namespace

FaultProxy::FaultProxy(int upstreamPort) : upstreamPort_(upstreamPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return;
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

FaultProxy::~FaultProxy() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
}

void FaultProxy::passThrough() {
    std::lock_guard lock(mutex_);
    delayMs_ = 0;
    muted_ = false;
    noisy_ = false;
}

void FaultProxy::slow(int milliseconds) {
    std::lock_guard lock(mutex_);
    delayMs_ = std::max(0, milliseconds);
}

void FaultProxy::mute() {
    std::lock_guard lock(mutex_);
    muted_ = true;
}

void FaultProxy::noise() {
    std::lock_guard lock(mutex_);
    noisy_ = true;
}

void FaultProxy::overLong() {
    std::lock_guard lock(mutex_);
    overLongPending_ = true;
}

void FaultProxy::drop() {
    std::lock_guard lock(mutex_);
    ++dropRequests_;
}

void FaultProxy::setUpstream(int port) {
    std::lock_guard lock(mutex_);
    upstreamPort_ = port;
    ++dropRequests_;
}

void FaultProxy::run() {
    std::vector<Link> links;
    auto closeLink = [](Link& link) {
        ::close(link.down);
        ::close(link.up);
    };
    while (!stopping_) {
        long drops = 0;
        int upstream = 0;
        {
            std::lock_guard lock(mutex_);
            drops = dropRequests_;
            upstream = upstreamPort_;
        }
        std::erase_if(links, [&](Link& link) {
            if (link.generation >= drops) return false;
            closeLink(link);
            return true;
        });

        Clock::time_point now = Clock::now();
        int timeoutMs = 5;
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (const Link& link : links) {
            bool answerDue = !link.toDown.empty() && link.toDown.front().first <= now;
            fds.push_back({link.down, static_cast<short>(POLLIN | (answerDue ? POLLOUT : 0)), 0});
            fds.push_back({link.up, static_cast<short>(POLLIN | (link.toUp.empty() ? 0 : POLLOUT)), 0});
            if (!link.toDown.empty() && !answerDue) {
                auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(link.toDown.front().first - now);
                timeoutMs = std::clamp(static_cast<int>(wait.count()), 1, timeoutMs);
            }
        }
        ::poll(fds.data(), fds.size(), timeoutMs);

        if ((fds[0].revents & POLLIN) != 0) {
            int down = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (down >= 0) {
                ++accepted_;
                int up = connectUpstream(upstream);
                if (up < 0) {
                    ::close(down);  // no controller behind: the connection dies at once
                } else {
                    links.push_back({down, up, drops, {}, {}, {}});
                }
            }
        }
        now = Clock::now();
        for (std::size_t i = 0; i < links.size(); ++i) {
            Link& link = links[i];
            bool open = receive(link.down, link.toUp) && sendSome(link.up, link.toUp);
            std::string answer;
            open = open && receive(link.up, answer);
            if (open && !answer.empty()) {
                std::lock_guard lock(mutex_);
                if (!muted_) {
                    std::string bytes;
                    if (overLongPending_) {
                        for (int n = 0; n < 3072; ++n) bytes += "1,";
                        overLongPending_ = false;
                    }
                    if (noisy_) bytes += kNoise;
                    link.lastDue = std::max(link.lastDue, now + std::chrono::milliseconds(delayMs_));
                    link.toDown.emplace_back(link.lastDue, bytes + answer);
                }
            }
            while (open && !link.toDown.empty() && link.toDown.front().first <= now) {
                std::string& bytes = link.toDown.front().second;
                open = sendSome(link.down, bytes);
                if (!bytes.empty()) break;
                link.toDown.pop_front();
            }
            if (!open) {
                closeLink(link);
                links.erase(links.begin() + static_cast<std::ptrdiff_t>(i));
                --i;
            }
        }
    }
    for (Link& link : links) closeLink(link);
}
