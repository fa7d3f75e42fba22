#pragma once

#include <chrono>
#include <string>

#include "axes/ControllerChannel.h"

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
