#pragma once

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
};
