#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/MotionCommands.h"
#include "core/Ui.h"

// Carries composed command texts to the motion controller. No caller waits
// for an acknowledgement; a caller may ask whether a text went out. The
// channel keeps the last answer's data for Ask and tells the operator whether
// a controller is there.
class ControllerChannel {
public:
    virtual ~ControllerChannel() = default;

    // Hands one command text (one or more commands, each ended by ';') over.
    // Returns within a bounded time whatever the controller does: true when
    // the text went out (to the controller, or into the journal where no
    // controller is attached), false when it could not be sent.
    virtual bool send(const std::string& text) = 0;
    // As send, for the operator's Ask: may wait longer for the answer.
    virtual void ask(const std::string& text) { send(text); }
    // A stop: goes out at once, never behind an unanswered query, and waits
    // at most `wait` for the connection and the controller's prompt. A stop
    // that cannot go out is sent when the connection is made again.
    virtual void sendStop(const std::string& text, std::chrono::milliseconds wait) {
        (void)wait;
        send(text);
    }

    // The read-back query: sent without waiting for its answer, which is
    // collected by takeQueryAnswer on a later call. False when it could not
    // go out (no connection).
    virtual bool sendQuery(const std::string& text) {
        (void)text;
        return false;
    }
    // The complete answer to the last query, once; never touches reply().
    virtual bool takeQueryAnswer(std::string& answer) {
        (void)answer;
        return false;
    }
    // The controller did not answer in time: the link counts as lost.
    virtual void abandon() {}
    // Tries to make a broken or missing connection again, briefly; a made
    // connection carries the stop of setReconnectStop first.
    virtual void reconnect() {}
    // The text sent before anything else on a connection made again after
    // it was lost.
    void setReconnectStop(std::string text) { reconnectStop_ = std::move(text); }

    // Data of the controller's last answer; empty when it sent none.
    const std::string& reply() const { return reply_; }
    ControllerLink currentLink() const { return link_; }
    // "Controller.dat" held settings that were refused.
    void markSettingsRefused() { settingsRefused_ = true; }
    // What the operator is shown: SettingsRefused while settings were
    // refused (the moves they serve are refused, whether or not a controller
    // answers), unless the connection was lost.
    ControllerLink shownLink() const {
        return settingsRefused_ && link_ != ControllerLink::Lost ? ControllerLink::SettingsRefused : link_;
    }
    // True when a journal entry of the last command could not be written.
    bool journalFailed() const { return journalFailed_; }
    // Why it could not be written ("No space left on device").
    const std::string& journalFailure() const { return journalFailure_; }

protected:
    std::string reply_;
    bool journalFailed_ = false;
    std::string journalFailure_;
    ControllerLink link_ = ControllerLink::Journal;
    bool settingsRefused_ = false;
    std::string reconnectStop_;
};

// Appends every command text, and what became of it, to the journal file.
class JournalChannel : public ControllerChannel {
public:
    // True when the journal entry was written.
    bool send(const std::string& text) override;

protected:
    // Appends one time-stamped line; a failed write sets journalFailed_.
    void journal(const std::string& line);
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
    MotionCommands motion;  // the settings after the channel line
};

ControllerSettings parseControllerSettings(std::istream& in);
