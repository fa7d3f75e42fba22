#pragma once

#include "app/ConsoleState.h"
#include "app/DialogFields.h"
#include "platform/Ui.h"

// What every operation works on: the operator port, the process-wide state and
// the dialog's fields.
struct Console {
    explicit Console(Ui& port) : ui(port) {}

    Ui& ui;
    ConsoleState state;
    DialogFields fields;
};
