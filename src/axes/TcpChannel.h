#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

struct addrinfo;

#include "axes/ControllerChannel.h"

// The controller's answer to one command text, read as it arrives: data, and
// one prompt per command (':' accepted, '?' rejected).
class ControllerAnswer {
public:
    explicit ControllerAnswer(int commands) : owed_(commands) {}
    void feed(const char* bytes, std::size_t length);
    bool complete() const { return owed_ <= 0; }
    int rejected() const { return rejected_; }
    // The data so far without the blanks and line ends around it.
    std::string reply() const;

    static constexpr std::size_t kMaxData = 4096;

private:
    int owed_;
    int rejected_ = 0;
    std::string data_;
};

// Appends every command text, and what became of it, to the journal file.
class JournalChannel : public ControllerChannel {
public:
    void send(const std::string& text) override;

protected:
    // Appends one time-stamped line; a failed write sets journalFailed_.
    void journal(const std::string& line);
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
// and a prompt: ':' accepted, '?' rejected. Connecting, sending and waiting
// are bounded by one deadline per text; a broken connection is re-made at the
// next command. Every command is journalled too.
class TcpChannel : public JournalChannel {
public:
    TcpChannel(std::string host, int port, std::chrono::milliseconds deadline = std::chrono::milliseconds(900),
               HostResolver resolve = systemHostResolver);
    ~TcpChannel() override;
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    void send(const std::string& text) override;

    // How many prompts the controller owes for a command text.
    static int commandCount(const std::string& text);

private:
    bool connectBefore(std::chrono::steady_clock::time_point deadline);
    void drop(ControllerLink link);

    std::string host_;
    int port_;
    std::chrono::milliseconds deadline_;
    HostResolution addresses_;
    int socket_ = -1;
};
