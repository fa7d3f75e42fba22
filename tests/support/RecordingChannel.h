#pragma once

#include <string>
#include <vector>

#include "axes/ControllerChannel.h"

// A controller channel that records every command text handed to it and
// answers with a scripted reply.
class RecordingChannel : public ControllerChannel {
public:
    void send(const std::string& text) override {
        (*sent).push_back(text);
        reply_ = nextReply;
    }
    std::string nextReply;
    // Shared with the test so it stays readable after the console replaced it.
    std::vector<std::string>* sent = &own_;

private:
    std::vector<std::string> own_;
};
