#pragma once

#include <memory>
#include <string>

#include "platform/Ui.h"

struct Console;

// Carries composed command texts to the motion controller. No caller waits
// for an acknowledgement or checks a result; the channel keeps the last
// answer's data for Ask and tells the operator whether a controller is there.
class ControllerChannel {
public:
    virtual ~ControllerChannel() = default;

    // Hands one command text (one or more commands, each ended by ';') over.
    // Returns within a bounded time whatever the controller does.
    virtual void send(const std::string& text) = 0;

    // Data of the controller's last answer; empty when it sent none.
    const std::string& reply() const { return reply_; }
    ControllerLink link() const { return link_; }
    // True when a journal entry of the last command could not be written.
    bool journalFailed() const { return journalFailed_; }

protected:
    std::string reply_;
    bool journalFailed_ = false;
    ControllerLink link_ = ControllerLink::Journal;
};

// The settings file that chooses the channel: absent = journal only;
// "journal", or "tcp HOST PORT".
inline constexpr const char* kControllerSettingsFile = "Controller.dat";
// Every composed command, with a time stamp.
inline constexpr const char* kControllerJournalFile = "ControllerJournal.txt";

struct ControllerSettings {
    bool tcp = false;
    std::string host;
    int port = 0;
    std::string error;  // why the file could not be used; empty when it could
};

ControllerSettings parseControllerSettings(std::istream& in);

// Builds the channel the settings file asks for. A file that cannot be used
// is reported in one message and the journal channel is used instead.
std::unique_ptr<ControllerChannel> openControllerChannel(Console& console);

// Composes a command: copies it into the CommandBuffer (at most 127
// characters) and hands the buffer's text to the channel.
void sendCommand(Console& console, const std::string& text);

// Data of the controller's last answer.
std::string commandReply(const Console& console);
