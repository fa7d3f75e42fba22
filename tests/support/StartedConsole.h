#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/TarvexDlg.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"

// A console started on the station folder `site` describes, its controller
// commands recorded in `sent`, no message box left over from the start. A
// test changes `site` before startConsole().
class StartedConsole : public ::testing::Test {
protected:
    void startConsole() {
        site.install(folder);
        ui.events = &dialog;
        ASSERT_TRUE(dialog.onInitDialog());
        auto channel = std::make_unique<RecordingChannel>();
        channel->sent = &sent;
        recording = channel.get();
        console().channel = std::move(channel);
        ui.boxes.clear();
    }
    Console& console() { return dialog.console(); }
    void click(ControlId id) { dialog.onCommand(id); }

    WorkFolder folder;
    Site site;
    ScriptedUi ui;
    CTarvexDlg dialog{ui};
    std::vector<std::string> sent;
    RecordingChannel* recording = nullptr;
};
