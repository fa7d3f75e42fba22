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
    Button result = chooseAnswer ? chooseAnswer(buttons, defaultButton) : defaultButton;
    if (!answers_.empty()) {
        QueuedAnswer next = std::move(answers_.front());
        answers_.pop_front();
        if (next.beforeAnswer) next.beforeAnswer();
        result = next.button;
    }
    boxes.push_back({text, caption, icon, buttons, defaultButton, result});
    return result;
}

namespace {

// The text field a control shows, or null for a control without one.
std::string* textField(DialogFields& f, ControlId id) {
    switch (id) {
        case ControlId::LogFile: return &f.logFile;
        case ControlId::Beam: return &f.beam;
        case ControlId::TargetSubstrate: return &f.targetSubstrate;
        case ControlId::Degrader: return &f.degrader;
        case ControlId::NominalLet: return &f.nominalLet;
        case ControlId::NominalRange: return &f.nominalRange;
        case ControlId::EffectiveLet: return &f.effectiveLet;
        case ControlId::EffectiveRange: return &f.effectiveRange;
        case ControlId::DutLocation: return &f.dutLocation;
        case ControlId::DutPosition: return &f.positionName;
        case ControlId::EnergyPerNucleon: return &f.energyPerNucleon;
        case ControlId::EnergyMeV: return &f.energyMeV;
        case ControlId::Layers: return &f.layers;
        case ControlId::NewPositionName: return &f.newPositionName;
        case ControlId::NewAxisValue: return &f.newAxisValue;
        case ControlId::Status: return &f.status;
        case ControlId::SetGoal: return &f.goal;
        case ControlId::DirectCommand: return &f.directCommand;
        case ControlId::UserLine: return &f.userLine;
        default: break;
    }
    int value = static_cast<int>(id);
    if (value >= 1008 && value <= 1013) return &f.axisValue[static_cast<std::size_t>(value - 1008)];
    if (id == ControlId::ValueR) return &f.axisValue[6];
    if (id == ControlId::ValueS) return &f.axisValue[7];
    if (value >= 1037 && value <= 1042) return &f.axisUnit[static_cast<std::size_t>(value - 1037)];
    if (id == ControlId::UnitR) return &f.axisUnit[6];
    if (id == ControlId::UnitS) return &f.axisUnit[7];
    return nullptr;
}

int* checkField(DialogFields& f, ControlId id) {
    int value = static_cast<int>(id);
    if (value >= 1016 && value <= 1021) return &f.locked[static_cast<std::size_t>(value - 1016)];
    if (id == ControlId::LockedR) return &f.locked[6];
    if (id == ControlId::LockedS) return &f.locked[7];
    if (id == ControlId::Bragg) return &f.bragg;
    if (id == ControlId::FinestStep) return &f.finestStep;
    if (id == ControlId::DirectControl) return &f.directControl;
    return nullptr;
}

}  // namespace

void ScriptedUi::setText(ControlId id, const std::string& text) {
    texts[id] = text;
    if (std::string* field = textField(controls, id)) *field = text;
}

void ScriptedUi::setChecked(ControlId id, bool on) {
    checked[id] = on;
    if (int* field = checkField(controls, id)) *field = on ? 1 : 0;
}

void ScriptedUi::transferToControls(const DialogFields& fields) {
    shownFields = fields;
    controls = fields;
    ++transfersToControls;
}

void ScriptedUi::transferFromControls(DialogFields& fields) {
    fields = controls;
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

void ScriptedUi::openDocument(const std::string& path, std::function<void()> onFailure) {
    openedDocuments.push_back(path);
    if (!documentsOpen && onFailure) onFailure();
}

void ScriptedUi::sleepSeconds(int /*seconds*/) {
    ++sleeps;
    if (onSleep) onSleep(sleeps);
}
