#include "axes/TcpChannel.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/Console.h"
#include "core/ControllerCommands.h"
#include "util/TextFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// After a connection could not be made or an answer did not come in time, a
// command tries again only after this (a stop tries at once), so that no event
// waits twice; a query tries at most this often, and waits this long.
constexpr auto kRetryAfterFailure = 100ms;
constexpr auto kQueryConnectEvery = 500ms;
constexpr auto kQueryConnectWait = 50ms;

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

TcpChannel::TcpChannel(std::string host, int port, std::chrono::milliseconds deadline, HostResolver resolve,
                       std::chrono::milliseconds askDeadline)
    : host_(std::move(host)),
      port_(port),
      deadline_(deadline),
      askDeadline_(askDeadline),
      addresses_(host_, port_, std::move(resolve)) {
    link_ = ControllerLink::Absent;
}

TcpChannel::~TcpChannel() {
    if (socket_ >= 0) ::close(socket_);
}

std::size_t ControllerAnswer::feed(const char* bytes, std::size_t length) {
    std::size_t i = 0;
    for (; i < length && owed_ > 0; ++i) {
        char c = bytes[i];
        if (c == ':' || c == '?') {
            --owed_;
            if (c == '?') ++rejected_;
        } else if (data_.size() < kMaxData) {
            data_.push_back(c);
        } else {
            overflowed_ = true;
        }
    }
    return i;
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
    pending_.clear();
    queryReady_ = false;
    link_ = link;
}

bool TcpChannel::connectBefore(Clock::time_point deadline) {
    const addrinfo* found = addresses_.addressesBefore(deadline);
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
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
            break;
        }
        ::close(fd);
    }
    if (socket_ < 0) return false;
    pending_.clear();
    queryReady_ = false;
    // After a loss (or a stop that could not go out) the stop goes first.
    std::string stop = everConnected_ && !reconnectStop_.empty() ? reconnectStop_ : owedStop_;
    everConnected_ = true;
    owedStop_.clear();
    if (!stop.empty()) {
        journal(stop);
        journal("  sent first on the new connection");
        write(stop, false, deadline);
    }
    return socket_ >= 0;
}

void TcpChannel::finish(const Exchange& exchange) {
    answeredId_ = exchange.id;
    link_ = ControllerLink::Connected;
    if (exchange.query) {
        queryAnswer_ = exchange.answer.overflowed() ? "" : exchange.answer.reply();
        queryReady_ = true;
        return;
    }
    commandReply_ = exchange.answer.reply();
    int rejected = exchange.answer.rejected();
    if (rejected > 0) journal("  rejected by the controller (" + std::to_string(rejected) + " command(s))");
    if (!commandReply_.empty()) journal("  answer: " + replaceControlCharacters(commandReply_, '.'));
    if (exchange.answer.overflowed()) {
        journal("  the answer was cut at " + std::to_string(ControllerAnswer::kMaxData) + " bytes");
    }
}

bool TcpChannel::write(const std::string& text, bool query, Clock::time_point deadline, bool stop) {
    bool mayTry = stop || Clock::now() >= nextConnect_;
    if (socket_ < 0 && (!mayTry || !connectBefore(deadline))) {
        if (mayTry) nextConnect_ = Clock::now() + kRetryAfterFailure;
        link_ = everConnected_ ? ControllerLink::Lost : ControllerLink::Absent;
        if (!query) journal("  not sent: no connection to the controller at " + host_ + ":" + std::to_string(port_));
        return false;
    }
    std::string out = text + "\r";
    std::size_t sent = 0;
    while (sent < out.size()) {
        if (!waitFor(socket_, POLLOUT, deadline)) {
            drop(ControllerLink::Lost);
            journal("  not sent: the controller does not take commands");
            return false;
        }
        ssize_t n = ::send(socket_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            drop(ControllerLink::Lost);
            journal("  not sent: the connection to the controller broke");
            return false;
        }
        if (n > 0) sent += static_cast<std::size_t>(n);
    }
    pending_.push_back(Exchange{nextId_++, ControllerAnswer(commandCount(text)), query});
    if (pending_.back().answer.complete()) {
        finish(pending_.back());
        pending_.pop_back();
    }
    return true;
}

TcpChannel::Wait TcpChannel::readAnswers(Clock::time_point deadline, uint64_t awaited) {
    char buffer[4096];
    for (;;) {
        ssize_t n = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            std::size_t at = 0;
            while (at < static_cast<std::size_t>(n) && !pending_.empty()) {
                Exchange& front = pending_.front();
                at += front.answer.feed(buffer + at, static_cast<std::size_t>(n) - at);
                if (front.answer.complete()) {
                    finish(front);
                    pending_.pop_front();
                }
            }
            continue;  // bytes beyond every owed prompt are noise: dropped
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return Wait::Broken;
        if (awaited == 0 || answeredId_ >= awaited) return Wait::Answered;
        if (!waitFor(socket_, POLLIN, deadline)) return Wait::TimedOut;
    }
}

bool TcpChannel::sendAndWait(const std::string& text, Clock::time_point deadline, bool stop) {
    journalFailed_ = false;
    journal(text);
    reply_.clear();
    if (!write(text, false, deadline, stop)) return false;
    uint64_t id = nextId_ - 1;
    Wait result = answeredId_ >= id ? Wait::Answered : readAnswers(deadline, id);
    if (result == Wait::Answered) {
        reply_ = commandReply_;
        return true;
    }
    drop(ControllerLink::Lost);
    if (result == Wait::TimedOut) nextConnect_ = Clock::now() + kRetryAfterFailure;
    journal(result == Wait::Broken ? "  the controller closed the connection" : "  no answer from the controller in time");
    return true;
}

bool TcpChannel::send(const std::string& text) {
    return sendAndWait(text, Clock::now() + deadline_);
}

void TcpChannel::ask(const std::string& text) {
    sendAndWait(text, Clock::now() + askDeadline_);
}

void TcpChannel::sendStop(const std::string& text, std::chrono::milliseconds wait) {
    std::string reply = reply_;  // a stop leaves Ask's reply alone
    sendAndWait(text, Clock::now() + wait, true);
    if (link_ != ControllerLink::Connected) owedStop_ = text;
    reply_ = reply;
}

bool TcpChannel::sendQuery(const std::string& text) {
    Clock::time_point now = Clock::now();
    if (socket_ < 0) {
        if (now < nextQueryConnect_) return false;
        nextQueryConnect_ = now + kQueryConnectEvery;
    }
    return write(text, true, now + kQueryConnectWait);
}

bool TcpChannel::takeQueryAnswer(std::string& answer) {
    if (socket_ >= 0 && readAnswers(Clock::now(), 0) == Wait::Broken) {
        drop(ControllerLink::Lost);
        journal("  the controller closed the connection");
    }
    if (!queryReady_) return false;
    queryReady_ = false;
    answer = queryAnswer_;
    return true;
}

void TcpChannel::abandon() {
    if (socket_ >= 0) journal("  no answer from the controller in time");
    drop(ControllerLink::Lost);
    nextConnect_ = Clock::now() + kRetryAfterFailure;
}

std::unique_ptr<ControllerChannel> openControllerChannel(Console& console) {
    std::ifstream in;
    if (!openInput(in, kControllerSettingsFile)) return std::make_unique<JournalChannel>();
    ControllerSettings settings = parseControllerSettings(in);
    console.state.motion.commands = settings.motion;
    if (!settings.motion.errors.empty()) {
        console.ui.messageBox(std::string(kControllerSettingsFile) + ": malformed motion setting(s):" +
                                  refusedSettingsList(console, settings.motion.errors) +
                                  "\nThe moves these settings serve are refused.",
                              Icon::Warning, Buttons::Ok, Button::Ok);
    }
    std::unique_ptr<ControllerChannel> channel;
    if (!settings.error.empty()) {
        console.ui.messageBox(std::string(kControllerSettingsFile) + ": " + settings.error +
                                  ".\nNo controller is attached: commands are only written to " +
                                  kControllerJournalFile + ".",
                              Icon::Warning, Buttons::Ok, Button::Ok);
        channel = std::make_unique<JournalChannel>();
    } else if (!settings.tcp) {
        channel = std::make_unique<JournalChannel>();
    } else {
        channel = std::make_unique<TcpChannel>(settings.host, settings.port,
                                               std::chrono::milliseconds(settings.motion.answerTimeMs));
    }
    if (!settings.error.empty() || !settings.motion.errors.empty()) channel->markSettingsRefused();
    return channel;
}
