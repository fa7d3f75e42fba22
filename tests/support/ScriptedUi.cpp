#include "support/ScriptedUi.h"

void ScriptedUi::answer(Button button, std::function<void()> beforeAnswer) {
    answers_.push_back({button, std::move(beforeAnswer)});
}

void ScriptedUi::tick(int timerId, int times) {
    for (int i = 0; i < times; ++i) {
        if (runningTimers.count(timerId) == 0) return;  // a stopped timer delivers nothing
        if (events != nullptr) events->onTimer(timerId);
    }
}

bool ScriptedUi::isEnabled(ControlId id) const {
    auto it = enabled.find(id);
    return it == enabled.end() || it->second;
}

bool ScriptedUi::isVisible(ControlId id) const {
    auto it = visible.find(id);
    return it == visible.end() || it->second;
}

const RecordedBox& ScriptedUi::lastBox() const {
    if (boxes.empty()) throw std::logic_error("no message box was shown");
    return boxes.back();
}

Button ScriptedUi::messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                              const std::string& caption) {
    Button result = defaultButton;
    if (!answers_.empty()) {
        QueuedAnswer next = std::move(answers_.front());
        answers_.pop_front();
        if (next.beforeAnswer) next.beforeAnswer();
        result = next.button;
    }
    boxes.push_back({text, caption, icon, buttons, defaultButton, result});
    return result;
}

void ScriptedUi::transferToControls(const DialogFields& fields) {
    shownFields = fields;
    ++transfersToControls;
}

void ScriptedUi::transferFromControls(DialogFields& fields) {
    if (operatorFields) {
        fields = *operatorFields;
    } else if (shownFields) {
        fields = *shownFields;
    }
}

bool ScriptedUi::startTimer(int timerId, int milliseconds) {
    if (!timersAvailable) return false;
    runningTimers[timerId] = milliseconds;
    return true;
}

bool ScriptedUi::startProcess(const std::string& program, const std::vector<std::string>& arguments) {
    startedProcesses.emplace_back(program, arguments);
    return processStarts;
}

bool ScriptedUi::openDocument(const std::string& path) {
    openedDocuments.push_back(path);
    return documentsOpen;
}

void ScriptedUi::sleepSeconds(int /*seconds*/) {
    ++sleeps;
    if (onSleep) onSleep(sleeps);
}
