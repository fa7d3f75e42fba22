#pragma once

#include <string>
#include <vector>

#include "platform/Ui.h"

// The Ui port on a terminal, for running the console's own operations from
// the command line: every message box is printed to standard error as
// "<icon word>: <text>" and answered with its default button; controls,
// timers and the dialog are absent; exitProcess ends the process with the
// console's exit code.
class ConsoleUi : public Ui {
public:
    Button messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                      const std::string& caption = kCaption) override;
    void setEnabled(ControlId, bool) override {}
    void setVisible(ControlId, bool) override {}
    void setFocus(ControlId) override {}
    void setText(ControlId, const std::string&) override {}
    void setChecked(ControlId, bool) override {}
    void setListItems(ControlId, const std::vector<std::string>&) override {}
    void transferToControls(const DialogFields&) override {}
    void transferFromControls(DialogFields&) override {}
    bool startTimer(int, int) override { return true; }
    void stopTimer(int) override {}
    bool startProcess(const std::string&, const std::vector<std::string>&) override { return false; }
    void openDocument(const std::string&, std::function<void()> onFailure) override {
        if (onFailure) onFailure();
    }
    void beep() override {}
    void sleepSeconds(int) override {}
    std::string userName() override { return ""; }
    std::string computerName() override { return ""; }
    void showControllerLink(ControllerLink) override {}
    void showAxisMoving(int, bool) override {}
    void showAbout() override {}
    void closeDialog(int) override {}
    [[noreturn]] void exitProcess(int code) override;

    int messageCount = 0;  // boxes shown so far
};

// The word printed for an icon: "Error", "Warning", "Information", "Question"
// or "Message".
const char* iconWord(Icon icon);
