#pragma once

#include <chrono>
#include <string>

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
    static void journal(const std::string& line);
};

// A controller at HOST:PORT. Each command text goes out ended by a carriage
// return; the controller answers every command in it with its data, if any,
// and a prompt: ':' accepted, '?' rejected. Connecting, sending and waiting
// are bounded by one deadline per text; a broken connection is re-made at the
// next command. Every command is journalled too.
class TcpChannel : public JournalChannel {
public:
    TcpChannel(std::string host, int port, std::chrono::milliseconds deadline = std::chrono::milliseconds(900));
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
    int socket_ = -1;
};
