#include "axes/TcpChannel.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitFor(int socket, short events, Clock::time_point deadline) {
    pollfd fd{socket, events, 0};
    for (;;) {
        int ready = ::poll(&fd, 1, millisecondsLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Keeps a reply readable in the journal: control characters become '.'.
std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) c = '.';
    }
    return out;
}

}  // namespace

int systemHostResolver(const std::string& host, const std::string& port, addrinfo** found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    return ::getaddrinfo(host.c_str(), port.c_str(), &hints, found);
}

// Shared by the channel and the thread that looks the name up; whichever ends
// last frees it.
struct HostResolution::Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    addrinfo* addresses = nullptr;

    ~Lookup() {
        if (addresses != nullptr) ::freeaddrinfo(addresses);
    }
};

HostResolution::HostResolution(const std::string& host, int port, HostResolver resolve)
    : lookup_(std::make_shared<Lookup>()) {
    std::thread([lookup = lookup_, host, service = std::to_string(port), resolve = std::move(resolve)] {
        addrinfo* found = nullptr;
        if (resolve(host, service, &found) != 0) found = nullptr;
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->addresses = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
}

const addrinfo* HostResolution::addressesBefore(Clock::time_point deadline) const {
    std::unique_lock<std::mutex> lock(lookup_->mutex);
    lookup_->done.wait_until(lock, deadline, [this] { return lookup_->finished; });
    return lookup_->finished ? lookup_->addresses : nullptr;
}

TcpChannel::TcpChannel(std::string host, int port, std::chrono::milliseconds deadline, HostResolver resolve)
    : host_(std::move(host)), port_(port), deadline_(deadline), addresses_(host_, port_, std::move(resolve)) {
    link_ = ControllerLink::Absent;
}

TcpChannel::~TcpChannel() {
    if (socket_ >= 0) ::close(socket_);
}

void ControllerAnswer::feed(const char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length && owed_ > 0; ++i) {
        char c = bytes[i];
        if (c == ':' || c == '?') {
            --owed_;
            if (c == '?') ++rejected_;
        } else if (data_.size() < kMaxData) {
            data_.push_back(c);
        }
    }
}

std::string ControllerAnswer::reply() const {
    std::size_t first = data_.find_first_not_of(" \r\n");
    std::size_t last = data_.find_last_not_of(" \r\n");
    return first == std::string::npos ? "" : data_.substr(first, last - first + 1);
}

int TcpChannel::commandCount(const std::string& text) {
    int count = 0;
    bool pending = false;
    for (char c : text) {
        if (c == ';') {
            ++count;
            pending = false;
        } else if (c != ' ' && c != '\r' && c != '\n') {
            pending = true;
        }
    }
    return count + (pending ? 1 : 0);
}

void TcpChannel::drop(ControllerLink link) {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    link_ = link;
}

bool TcpChannel::connectBefore(Clock::time_point deadline) {
    const addrinfo* found = addresses_.addressesBefore(deadline);
    for (const addrinfo* address = found; address != nullptr && socket_ < 0; address = address->ai_next) {
        int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol);
        if (fd < 0) continue;
        bool connected = ::connect(fd, address->ai_addr, address->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline)) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (connected) {
            socket_ = fd;
        } else {
            ::close(fd);
        }
    }
    return socket_ >= 0;
}

void TcpChannel::send(const std::string& text) {
    journalFailed_ = false;
    journal(text);
    reply_.clear();
    Clock::time_point deadline = Clock::now() + deadline_;

    if (socket_ < 0 && !connectBefore(deadline)) {
        ControllerLink now = link_ == ControllerLink::Absent ? ControllerLink::Absent : ControllerLink::Lost;
        drop(now);
        journal("  not sent: no connection to the controller at " + host_ + ":" + std::to_string(port_));
        return;
    }

    // Anything left over from an earlier, late answer is stale.
    char scratch[512];
    while (::recv(socket_, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }

    std::string out = text + "\r";
    std::size_t sent = 0;
    while (sent < out.size()) {
        if (!waitFor(socket_, POLLOUT, deadline)) {
            drop(ControllerLink::Lost);
            journal("  not sent: the controller does not take commands");
            return;
        }
        ssize_t n = ::send(socket_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            drop(ControllerLink::Lost);
            journal("  not sent: the connection to the controller broke");
            return;
        }
        if (n > 0) sent += static_cast<std::size_t>(n);
    }

    ControllerAnswer answer(commandCount(text));
    while (!answer.complete()) {
        if (!waitFor(socket_, POLLIN, deadline)) {
            drop(ControllerLink::Lost);
            journal("  no answer from the controller in time");
            reply_ = answer.reply();
            return;
        }
        ssize_t n = ::recv(socket_, scratch, sizeof scratch, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            drop(ControllerLink::Lost);
            journal("  the controller closed the connection");
            reply_ = answer.reply();
            return;
        }
        if (n > 0) answer.feed(scratch, static_cast<std::size_t>(n));
    }
    reply_ = answer.reply();
    int rejected = answer.rejected();
    link_ = ControllerLink::Connected;
    if (rejected > 0) journal("  rejected by the controller (" + std::to_string(rejected) + " command(s))");
    if (!reply_.empty()) journal("  answer: " + printable(reply_));
}
