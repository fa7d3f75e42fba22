#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "core/ControllerChannel.h"

// A controller channel that records every command text handed to it (stops
// and Ask's texts included), answers with a scripted reply and tells
// `sendResult` for whether the text went out; read-back
// queries are counted and answered from a queue while the link is
// "Connected".
class RecordingChannel : public ControllerChannel {
public:
    bool send(const std::string& text) override {
        (*sent).push_back(text);
        reply_ = nextReply;
        return sendResult;
    }
    void sendStop(const std::string& text, std::chrono::milliseconds wait) override {
        (*sent).push_back(text);
        stopWaits.push_back(wait);
    }
    bool sendQuery(const std::string& text) override {
        if (link_ != ControllerLink::Connected) return false;
        queries.push_back(text);
        return true;
    }
    bool takeQueryAnswer(std::string& answer) override {
        if (queryAnswers.empty()) return false;
        answer = queryAnswers.front();
        queryAnswers.pop_front();
        return true;
    }
    void abandon() override { link_ = ControllerLink::Lost; }
    void setLink(ControllerLink link) { link_ = link; }

    std::string nextReply;
    bool sendResult = true;
    // Shared with the test so it stays readable after the console replaced it.
    std::vector<std::string>* sent = &own_;
    std::vector<std::chrono::milliseconds> stopWaits;
    std::vector<std::string> queries;
    std::deque<std::string> queryAnswers;

private:
    std::vector<std::string> own_;
};
