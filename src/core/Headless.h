#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/MessageSink.h"
#include "core/Ui.h"

// The console without a dialog, for `tarvex-let` and the benchmarks: nothing
// is shown, every message is counted and, given a stream, printed there as
// one "<icon word>: <text>" line ("Error", "Warning", "Information",
// "Question"); where the console would end, the program ends with the
// console's exit code.
class HeadlessMessages : public MessageSink {
public:
    explicit HeadlessMessages(std::FILE* stream = nullptr) : stream_(stream) {}

    void report(const std::string& text, Icon icon) override;
    [[noreturn]] void stop(int code, bool endDialog) override;

    // The messages reported so far.
    int count() const { return count_; }

private:
    std::FILE* stream_;
    int count_ = 0;
};

// The operator port without a dialog: every box goes to `messages` and is
// answered with its default button; controls, timers, windows and sounds do
// nothing; no program starts; the process ends as HeadlessMessages ends it.
class HeadlessUi : public Ui {
public:
    explicit HeadlessUi(HeadlessMessages& messages) : messages_(messages) {}

    Button messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                      const std::string& caption) override;
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
    void showDocument(const std::string&) override {}
    void beep() override {}
    void sleepSeconds(int) override {}
    std::string userName() override { return ""; }
    std::string computerName() override { return ""; }
    void showControllerLink(ControllerLink) override {}
    void showAxisMotion(int, const AxisMotionShown&) override {}
    void showAbout() override {}
    void closeDialog(int) override {}
    [[noreturn]] void exitProcess(int code) override;

private:
    HeadlessMessages& messages_;
};
