#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

struct addrinfo;

#include "core/ControllerChannel.h"

// The controller's answer to one command text, read as it arrives: data, and
// one prompt per command (':' accepted, '?' rejected).
class ControllerAnswer {
public:
    explicit ControllerAnswer(int commands) : owed_(commands) {}
    // Takes bytes until the last prompt; returns how many it took.
    std::size_t feed(const char* bytes, std::size_t length);
    bool complete() const { return owed_ <= 0; }
    int rejected() const { return rejected_; }
    // The data so far without the blanks and line ends around it; at most
    // kMaxData bytes of it are kept.
    std::string reply() const;
    // More data came than is kept: the reply is only its beginning.
    bool overflowed() const { return overflowed_; }

    static constexpr std::size_t kMaxData = 4096;

private:
    int owed_;
    int rejected_ = 0;
    bool overflowed_ = false;
    std::string data_;
};

// Looks up a host name and TCP port as getaddrinfo does (0 or an EAI_ code).
using HostResolver = std::function<int(const std::string& host, const std::string& port, addrinfo** found)>;
int systemHostResolver(const std::string& host, const std::string& port, addrinfo** found);

// The addresses of the controller, looked up once, in the background: a name
// that does not resolve (or a slow name service) costs each command at most
// its own deadline, and never a second lookup.
class HostResolution {
public:
    HostResolution(const std::string& host, int port, HostResolver resolve);
    // The addresses once the lookup has succeeded; nullptr when it failed or
    // is not done by `deadline`.
    const addrinfo* addressesBefore(std::chrono::steady_clock::time_point deadline) const;

private:
    struct Lookup;
    std::shared_ptr<Lookup> lookup_;
};

// A controller at HOST:PORT. Each command text goes out ended by a carriage
// return; the controller answers every command in it with its data, if any,
// and a prompt: ':' accepted, '?' rejected. Texts are written at once, in
// order, and their answers are read in the same order, so a command never
// waits behind the answer to a query. A command waits for its own answer at
// most `deadline` (connecting included), Ask at most `askDeadline`; a query
// is not waited for. An answer to a query with more data than
// ControllerAnswer::kMaxData is handed over empty, as no answer. A broken
// connection is made again by the next query (at most every 500 ms), command
// (not within 100 ms of a failure) or stop. The host name is looked up once,
// in the background. Every command is journalled too; queries are not.
class TcpChannel : public JournalChannel {
public:
    TcpChannel(std::string host, int port, std::chrono::milliseconds deadline = std::chrono::milliseconds(50),
               HostResolver resolve = systemHostResolver,
               std::chrono::milliseconds askDeadline = std::chrono::milliseconds(900));
    ~TcpChannel() override;
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    bool send(const std::string& text) override;
    void ask(const std::string& text) override;
    void sendStop(const std::string& text, std::chrono::milliseconds wait) override;
    bool sendQuery(const std::string& text) override;
    bool takeQueryAnswer(std::string& answer) override;
    void abandon() override;

    // How many prompts the controller owes for a command text.
    static int commandCount(const std::string& text);

private:
    using Clock = std::chrono::steady_clock;
    struct Exchange {
        uint64_t id;
        ControllerAnswer answer;
        bool query;
    };
    enum class Wait { Answered, TimedOut, Broken };

    bool connectBefore(Clock::time_point deadline);
    // Writes one text and expects its answer; false when it did not go out.
    bool write(const std::string& text, bool query, Clock::time_point deadline, bool stop = false);
    // True when the text went out, answered in time or not.
    bool sendAndWait(const std::string& text, Clock::time_point deadline, bool stop = false);
    // Reads what has arrived, and waits until `deadline` for more while the
    // exchange `awaited` is unanswered (0: does not wait).
    Wait readAnswers(Clock::time_point deadline, uint64_t awaited);
    void finish(const Exchange& exchange);
    void drop(ControllerLink link);

    std::string host_;
    int port_;
    std::chrono::milliseconds deadline_;
    std::chrono::milliseconds askDeadline_;
    int socket_ = -1;
    bool everConnected_ = false;
    std::string owedStop_;
    HostResolution addresses_;
    Clock::time_point nextConnect_{};
    Clock::time_point nextQueryConnect_{};
    std::deque<Exchange> pending_;
    uint64_t nextId_ = 1;
    uint64_t answeredId_ = 0;
    std::string commandReply_;
    std::string queryAnswer_;
    bool queryReady_ = false;
};

struct Console;

// Builds the channel the settings file asks for and takes its motion
// commands into the console. A file that cannot be used is reported in one
// message and the journal channel is used instead; malformed motion settings
// are reported by name in one message.
std::unique_ptr<ControllerChannel> openControllerChannel(Console& console);
