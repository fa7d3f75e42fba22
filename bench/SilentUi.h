#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Ui.h"

namespace {

// A Ui that shows nothing and answers every box with its default button,
// every question with No.
class SilentUi : public Ui {
public:
    Button messageBox(const std::string&, Icon, Buttons buttons, Button defaultButton, const std::string&) override {
        ++boxes;
        if (buttons == Buttons::YesNo) ++questions;
        return buttons == Buttons::YesNo ? Button::No : defaultButton;
    }
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
    void openDocument(const std::string&, std::function<void()>) override {}
    void beep() override {}
    void sleepSeconds(int) override {}
    std::string userName() override { return ""; }
    std::string computerName() override { return ""; }
    void showControllerLink(ControllerLink) override {}
    void showAxisMoving(int, bool) override {}
    void showAbout() override {}
    void closeDialog(int) override {}
    [[noreturn]] void exitProcess(int code) override { throw std::runtime_error("exit " + std::to_string(code)); }
    int boxes = 0;
    int questions = 0;
};

}  // namespace
