#pragma once

#include <functional>

#include "core/Console.h"
#include "core/Ui.h"

// The main dialog's logic: the start-up sequence at initialisation and one
// handler per control. The toolkit binding delivers events here; the handlers
// live in the folders of their subsystems.
class CTarvexDlg : public DialogEvents {
public:
    explicit CTarvexDlg(Ui& ui);

    bool onInitDialog() override;
    void onCommand(ControlId id) override;
    void onListSelectionChanged(ControlId id) override;
    void onKeyboardChar(char key) override;
    void onTimer(int timerId) override;
    void onSystemCommand(int command) override;
    void onOk() override;
    void onCancel() override;
    void onCloseRequest() override;
    void onTerminate() override;
    void onCampaign(const CampaignRequest& request) override;

    Console& console() { return console_; }

private:
    void handleCommand(ControlId id);
    void runEvent(const std::function<void()>& handler);

    Console console_;
    int depth_ = 0;  // events under way: a tick inside a box is one more
};
