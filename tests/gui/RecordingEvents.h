#pragma once

#include <vector>

#include "core/Ui.h"

// Records every event the dialog delivers, in order.
class RecordingEvents : public DialogEvents {
public:
    bool onInitDialog() override { ++inits; return true; }
    void onCommand(ControlId id) override { commands.push_back(id); }
    void onListSelectionChanged(ControlId id) override { listChanges.push_back(id); }
    void onKeyboardChar(char key) override { keys.push_back(key); }
    void onTimer(int timerId) override { ticks.push_back(timerId); }
    void onSystemCommand(int command) override { systemCommands.push_back(command); }
    void onOk() override { ++oks; }
    void onCancel() override { ++cancels; }
    void onCloseRequest() override { ++closeRequests; }
    void onTerminate() override { ++terminates; }
    void onCampaign(const CampaignRequest& request) override { campaignRequests.push_back(request); }

    int inits = 0;
    std::vector<ControlId> commands;
    std::vector<ControlId> listChanges;
    std::vector<char> keys;
    std::vector<int> ticks;
    std::vector<int> systemCommands;
    int oks = 0;
    int cancels = 0;
    int closeRequests = 0;
    int terminates = 0;
    std::vector<CampaignRequest> campaignRequests;
};
