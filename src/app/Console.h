#pragma once

#include <functional>
#include <string>

#include "app/ConsoleState.h"
#include "app/DialogFields.h"
#include "axes/ControllerChannel.h"
#include "platform/Ui.h"

// What every operation works on: the operator port, the process-wide state and
// the dialog's fields.
struct Console {
    explicit Console(Ui& port);

    Ui& ui;
    ConsoleState state;
    DialogFields fields;
    std::unique_ptr<ControllerChannel> channel;  // never null
    // Runs once when the program is about to end after a failure, with the
    // message shown; set after start-up (the beam-run logbook ends its run).
    std::function<void(const std::string& why)> beforeFailureExit;
};
