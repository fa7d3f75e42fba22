#include "core/Console.h"

#include <cstdlib>


void UiMessages::report(const std::string& text, Icon icon) { ui_.messageBox(text, icon, Buttons::Ok, Button::Ok); }

void UiMessages::stop(int code, bool endDialog) {
    if (endDialog) ui_.closeDialog(2);
    ui_.exitProcess(code);
    std::abort();  // exitProcess does not return
}

void UiMessages::fieldChanged(ControlId id, const std::string& text) { ui_.setText(id, text); }

void UiMessages::fieldsChanged(const DialogFields& fields) { ui_.transferToControls(fields); }

Console::Console(Ui& port)
    : UiMessages(port), ConsoleCore(static_cast<UiMessages&>(*this)), ui(port),
      channel(std::make_unique<JournalChannel>()) {}

void showLinkChange(Console& console) {
    ControllerLink now = console.channel->shownLink();
    if (now == console.state.motion.shownLink) return;
    console.state.motion.shownLink = now;
    console.ui.showControllerLink(now);
}

