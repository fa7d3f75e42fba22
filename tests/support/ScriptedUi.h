#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Ui.h"

// Thrown by ScriptedUi::exitProcess so a test can check the exit code.
struct ProcessExit {
    int code;
};

// A message box as the operator would have seen it.
struct RecordedBox {
    std::string text;
    std::string caption;
    Icon icon;
    Buttons buttons;
    Button defaultButton;
    Button answer;
};

// An answer queued for the next message box; `beforeAnswer` runs while the box
// is "open" (for example ticking a timer).
struct QueuedAnswer {
    Button button;
    std::function<void()> beforeAnswer;
};

// The scripted test double of the Ui port: answers are queued per message box
// (a box with no queued answer gets its default button), every box and control
// change is recorded, timers are ticked by hand and exitProcess throws
// ProcessExit.
inline void PrintTo(const AxisMotionShown& shown, std::ostream* out) {
    *out << (shown.moving ? "moving" : "at rest") << ", target \"" << shown.target << "\"";
}

inline void PrintTo(const BeamFieldsShown& shown, std::ostream* out) {
    *out << "stale \"" << shown.staleReason << "\", warning \"" << shown.warning << "\"";
}

class ScriptedUi : public Ui {
public:
    // Where ticks and other events go; usually the CTarvexDlg under test.
    DialogEvents* events = nullptr;

    // --- scripting ---
    void answer(Button button, std::function<void()> beforeAnswer = {});
    // Ticks a running timer n times (delivers DialogEvents::onTimer).
    void tick(int timerId, int times = 1);
    // Answers a box that has no queued answer (default: its default button).
    std::function<Button(Buttons, Button)> chooseAnswer;
    // Runs before each sleepSeconds returns (argument: how many sleeps so far).
    std::function<void(int)> onSleep;
    // What startProcess reports, and whether openDocument's opener fails
    // (its failure is reported at once).
    bool processStarts = true;
    bool documentsOpen = true;
    bool timersAvailable = true;
    std::string user = "operator";
    std::string computer = "beamline";
    // What the controls show: set by transferToControls and by setText /
    // setChecked, read by transferFromControls. A test types into a box or
    // picks a radio by changing it.
    DialogFields controls;

    // --- records ---
    std::vector<RecordedBox> boxes;
    std::map<ControlId, bool> enabled;
    std::map<ControlId, bool> visible;
    std::map<ControlId, std::string> texts;
    std::map<ControlId, bool> checked;
    std::map<ControlId, std::vector<std::string>> listItems;
    std::vector<ControlId> focusHistory;
    std::map<int, int> runningTimers;  // id -> period in ms
    std::vector<std::pair<std::string, std::vector<std::string>>> startedProcesses;
    std::vector<std::string> openedDocuments;  // handed to the desktop's opener
    std::vector<std::string> shownDocuments;   // shown in the document window
    int beeps = 0;
    int sleeps = 0;
    int aboutBoxes = 0;
    int braggCurveWindows = 0;  // showBraggCurve calls
    std::vector<std::string> beamRunsWindows;  // showBeamRuns paths
    std::vector<std::string> liveViews;        // startLiveView as "host port"
    std::string liveViewRefusal;               // what startLiveView answers
    std::vector<BeamBanner> banners;           // every showBeamBanner
    std::vector<CampaignShown> campaigns;      // every showCampaign
    int campaignOpens = 0;                     // of them with the window opened
    std::vector<ControllerLink> controllerLinks;
    std::vector<OperatingMode> modes;          // every showOperatingMode
    std::map<int, AxisMotionShown> axisMotion;  // last shown per axis
    std::vector<std::string> nudgeSteps;        // every showNudgeStep
    std::vector<BeamFieldsShown> beamFields;    // every showBeamFields
    std::optional<int> closedWith;
    std::optional<DialogFields> shownFields;  // last transferToControls
    int transfersToControls = 0;

    bool isEnabled(ControlId id) const;  // controls start enabled unless recorded
    bool isVisible(ControlId id) const;
    const RecordedBox& lastBox() const;

    // --- Ui ---
    Button messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                      const std::string& caption = kCaption) override;
    void setEnabled(ControlId id, bool on) override { enabled[id] = on; }
    void setVisible(ControlId id, bool on) override { visible[id] = on; }
    void setFocus(ControlId id) override { focusHistory.push_back(id); }
    void setText(ControlId id, const std::string& text) override;
    void setChecked(ControlId id, bool on) override;
    void setListItems(ControlId id, const std::vector<std::string>& items) override { listItems[id] = items; }
    void transferToControls(const DialogFields& fields) override;
    void transferFromControls(DialogFields& fields) override;
    bool startTimer(int timerId, int milliseconds) override;
    void stopTimer(int timerId) override { runningTimers.erase(timerId); }
    bool startProcess(const std::string& program, const std::vector<std::string>& arguments) override;
    void openDocument(const std::string& path, std::function<void()> onFailure) override;
    void showDocument(const std::string& path) override { shownDocuments.push_back(path); }
    void beep() override { ++beeps; }
    void sleepSeconds(int seconds) override;
    std::string userName() override { return user; }
    std::string computerName() override { return computer; }
    void showControllerLink(ControllerLink link) override { controllerLinks.push_back(link); }
    void showOperatingMode(OperatingMode mode) override { modes.push_back(mode); }
    void showAxisMotion(int axis, const AxisMotionShown& shown) override { axisMotion[axis] = shown; }
    void showNudgeStep(const std::string& text) override { nudgeSteps.push_back(text); }
    void showBeamFields(const BeamFieldsShown& shown) override { beamFields.push_back(shown); }
    void showAbout() override { ++aboutBoxes; }
    void showBraggCurve() override { ++braggCurveWindows; }
    void showBeamRuns(const std::string& path) override { beamRunsWindows.push_back(path); }
    std::string startLiveView(const std::string& host, int port) override {
        liveViews.push_back(host + " " + std::to_string(port));
        return liveViewRefusal;
    }
    void showBeamBanner(const BeamBanner& banner) override { banners.push_back(banner); }
    void showCampaign(const CampaignShown& shown, bool open) override {
        campaigns.push_back(shown);
        campaignOpens += open ? 1 : 0;
    }
    void closeDialog(int result) override { closedWith = result; }
    [[noreturn]] void exitProcess(int code) override { throw ProcessExit{code}; }

private:
    std::deque<QueuedAnswer> answers_;
};
