#pragma once

#include <functional>
#include <string>

#include "core/ConsoleState.h"
#include "core/ControllerChannel.h"
#include "core/DialogFields.h"
#include "core/MessageSink.h"
#include "core/Ui.h"
#include "util/FileLock.h"

// What the readers of the working folder and the beam recomputation work on:
// the process-wide state, the dialog's fields and where their messages go.
struct ConsoleCore {
    explicit ConsoleCore(MessageSink& sink) : messages(sink) {}

    MessageSink& messages;
    ConsoleState state;
    DialogFields fields;
    // Runs once when the program is about to end after a failure, with the
    // message shown; set after start-up (the beam-run logbook ends its run).
    std::function<void(const std::string& why)> beforeFailureExit;
};

// The operator port as a message sink: each message in a box (caption
// "Tarvex", OK), each changed field shown at once.
class UiMessages : public MessageSink {
public:
    explicit UiMessages(Ui& port) : ui_(port) {}
    void report(const std::string& text, Icon icon) override;
    [[noreturn]] void stop(int code, bool endDialog) override;
    void fieldChanged(ControlId id, const std::string& text) override;
    void fieldsChanged(const DialogFields& fields) override;
    void keepResponsive() override { ui_.serviceStops(); }

private:
    Ui& ui_;
};

// What every operation works on: the operator port, the process-wide state and
// the dialog's fields.
struct Console : private UiMessages, ConsoleCore {
    explicit Console(Ui& port);

    // Before the program ends after a failure every axis stops and real
    // shutters close, once per end (with the motion requests, Motion.cpp).
    void ending() override;

    Ui& ui;
    std::unique_ptr<ControllerChannel> channel;  // never null
    // The run marker, locked while this console holds the working folder.
    FileLock folderLock;
};

// Shows the controller indicator when the link changed since it was last shown.
void showLinkChange(Console& console);

