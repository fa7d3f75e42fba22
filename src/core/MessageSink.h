#pragma once

#include <string>

#include "core/ControlIds.h"
#include "core/DialogFields.h"
#include "core/Ui.h"
#include "energyloss/CalculationErrors.h"

// Where the console's file readers, the operator log and the beam
// recomputation send what they have to say. The console shows every message
// in a box with an OK button and its fields in the dialog; `tarvex-let
// recompute` prints the messages and has no fields to show.
class MessageSink {
public:
    virtual ~MessageSink() = default;

    // One message, in the order the operation reaches it.
    virtual void report(const std::string& text, Icon icon) = 0;

    // The operation will end the program: called before its last message.
    // Where axes can be moving they are stopped here.
    virtual void ending() {}
    // A long computation is under way: the operator's stops must not wait for it.
    virtual void keepResponsive() {}

    // The operation cannot go on: the program ends with `code`; `endDialog`:
    // a dialog on screen is closed as if cancelled first.
    [[noreturn]] virtual void stop(int code, bool endDialog) = 0;

    // A field that is shown at once where there is a dialog: one field, or
    // every field.
    virtual void fieldChanged(ControlId /*id*/, const std::string& /*text*/) {}
    virtual void fieldsChanged(const DialogFields& /*fields*/) {}
};

// A non-zero result code of the energy-loss engine as the operator's message,
// with the error icon; nothing for 0 and for codes the engine never returns.
inline void reportCalculationError(MessageSink& messages, int code, const std::string& context) {
    const std::string text = calculationErrorText(code, context);
    if (!text.empty()) messages.report(text, Icon::Stop);
}
