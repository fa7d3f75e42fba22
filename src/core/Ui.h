#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/ControlIds.h"
#include "core/DialogFields.h"

// The one port through which the console talks to the operator. The Qt
// binding implements it over the real dialog; the tests use a scripted double.

enum class Icon { None, Stop, Warning, Information, Question };
enum class Buttons { Ok, OkCancel, YesNo, RetryCancel, AbortRetryIgnore };
enum class Button { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

inline constexpr const char* kCaption = "Tarvex";

// How long the desktop's opener is watched after it was started: only a
// failure within this time is reported.
inline constexpr int kOpenerWatchMilliseconds = 2000;

// What the operator is shown about the motion controller.
enum class ControllerLink {
    Journal,    // no controller configured: commands go to the journal only
    Connected,  // the controller answered the last command
    Absent,     // no connection could be made yet
    Lost,       // the connection broke; it is re-made at the next command
    // Shown only, never a link state: "Controller.dat" held settings that
    // were refused.
    SettingsRefused,
};

// Whether the console moves its own model of the axes (DemoStatus.dat 1 or 3)
// or commands the hardware (0 or 2).
enum class OperatingMode { Simulation, Hardware };

// The beam banner of the main window: while a run is open "BEAM ON DEVICE"
// with the run number and the time since the run began (the port keeps the
// time current, second by second); otherwise `text`, which shutter is closed.
struct BeamBanner {
    std::int64_t run = 0;                          // the open run; 0 = none
    std::chrono::steady_clock::time_point runBegin;  // its begin, on the clock of run durations
    std::string text;                  // the text as of now
    std::string campaign{};            // the active step and its fluence; empty: no step active

    bool operator==(const BeamBanner&) const = default;
};

// What an axis row shows of the axis's motion beside its read-back.
struct AxisMotionShown {
    // Not known to stand still: read back moving, commanded and not yet read
    // back at rest, or driven by the simulation.
    bool moving = false;
    // Where the axis was sent, in its units ("15.000"), or the drive that
    // runs ("Drive(+)"); empty once the axis is at rest.
    std::string target;

    bool operator==(const AxisMotionShown&) const = default;
};

// Whether the beam fields show the present setting, and what the last
// computation of the beam warned of.
struct BeamFieldsShown {
    std::string staleReason;  // empty: the fields are current; else why they are not
    std::string warning;      // a lasting line about the computed setting; empty: none

    bool operator==(const BeamFieldsShown&) const = default;
};

// One step of the test plan as the campaign window lists it.
struct CampaignStepShown {
    std::string name;      // "2"
    std::string ion;       // "84Kr"
    std::string wanted;    // "LET 40.0 MeV·cm²/mg, range ≥ 30.0 µm"
    std::string setting;   // "S 3  R 8.11  T 45" or empty
    std::string goal;      // "1.00e+07 ions/cm², 100 events"
    std::string progress;  // "3.20e+06 ions/cm² (32 %), 12 events"
    std::string state;     // "to do", "active", "done", "skipped"
    bool active = false;   // the step runs are recorded under
    std::string comment{};  // the plan's

    bool operator==(const CampaignStepShown&) const = default;
};

struct CampaignShown {
    std::string plan;  // the plan's file name; empty: none open
    std::vector<CampaignStepShown> steps;
    std::vector<std::string> problems;  // lines of the plan passed over

    bool operator==(const CampaignShown&) const = default;
};

// What the campaign window asks of the console.
struct CampaignRequest {
    enum class Kind { OpenPlan, GoToStep, SkipStep, MarkDone };
    Kind kind = Kind::OpenPlan;
    int step = -1;     // index into the plan's steps
    std::string path;  // OpenPlan: the plan file
};

// Events the dialog delivers to the logic, one call per event; each runs to
// its end on the user-interface thread.
class DialogEvents {
public:
    virtual ~DialogEvents() = default;
    // Dialog initialisation; false ends the dialog (the process has usually
    // been ended already by then).
    virtual bool onInitDialog() = 0;
    virtual void onCommand(ControlId id) = 0;       // button, check box, radio, picture click
    virtual void onListSelectionChanged(ControlId id) = 0;
    virtual void onKeyboardChar(char key) = 0;      // a character typed into the keyboard box
    virtual void onTimer(int timerId) = 0;
    virtual void onSystemCommand(int command) = 0;  // system-menu items added by the console
    virtual void onOk() = 0;                        // Enter outside a focused push button
    virtual void onCancel() = 0;                    // Escape
    virtual void onCloseRequest() = 0;              // close box, Alt+F4, system-menu Close
    // The process was asked to end (SIGINT, SIGTERM, SIGHUP): stop the axes, then end.
    virtual void onTerminate() {}
    // A button of the campaign window.
    virtual void onCampaign(const CampaignRequest& request) { (void)request; }
};

class Ui {
public:
    virtual ~Ui() = default;

    // Modal message box; returns the button pressed. Timer ticks keep arriving
    // while it is open.
    virtual Button messageBox(const std::string& text, Icon icon, Buttons buttons,
                              Button defaultButton, const std::string& caption = kCaption) = 0;

    // Called now and then by a long computation on the window's thread: the
    // stops (Halt, All Halt, Space, Escape) and the timers go on meanwhile;
    // any other input waits for the computation to end.
    virtual void serviceStops() {}

    // Control state by id.
    virtual void setEnabled(ControlId id, bool enabled) = 0;
    virtual void setVisible(ControlId id, bool visible) = 0;
    virtual void setFocus(ControlId id) = 0;
    virtual void setText(ControlId id, const std::string& text) = 0;  // shown at once
    virtual void setChecked(ControlId id, bool checked) = 0;
    virtual void setListItems(ControlId id, const std::vector<std::string>& items) = 0;

    // The two directions of the dialog's data exchange.
    virtual void transferToControls(const DialogFields& fields) = 0;
    virtual void transferFromControls(DialogFields& fields) = 0;

    // Message-loop timers; ticks come back as DialogEvents::onTimer.
    virtual bool startTimer(int timerId, int milliseconds) = 0;
    virtual void stopTimer(int timerId) = 0;

    // Starts a program without waiting for it; false when it cannot be started.
    virtual bool startProcess(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Opens a document with the desktop's opener (xdg-open) and returns at
    // once. `onFailure` runs on the user-interface thread when the opener
    // cannot be started or exits with a failure within
    // kOpenerWatchMilliseconds; an opener still running then is left to run
    // and counts as success (on a desktop without a session the opener waits
    // for the viewer it started). It may run before openDocument returns.
    virtual void openDocument(const std::string& path, std::function<void()> onFailure) = 0;
    // Shows a document (the help page, a viewer's copy) in the console's own
    // document window, made on first use and brought to the front; from there
    // the operator may still hand it to the desktop's opener. Nothing can
    // fail here: a file that cannot be read is said so in the window. Ports
    // without windows ignore it.
    virtual void showDocument(const std::string& path) { (void)path; }

    virtual void beep() = 0;                      // the warning sound
    virtual void sleepSeconds(int seconds) = 0;   // blocks the user-interface thread
    virtual std::string userName() = 0;           // empty when unknown
    virtual std::string computerName() = 0;       // empty when unknown

    // The controller indicator beside the status line.
    virtual void showControllerLink(ControllerLink link) = 0;
    // The mode mark beside it, "SIMULATION" or "HARDWARE", shown once the
    // mode is known at start-up; ports without a window ignore it.
    virtual void showOperatingMode(OperatingMode mode) { (void)mode; }
    // The motion of axis `axis` (AxisIndex) on its row: the moving mark and
    // the target field.
    virtual void showAxisMotion(int axis, const AxisMotionShown& shown) = 0;
    // The active axis's nudge step beside the operation buttons ("0.100 mm");
    // empty when no axis is active.
    virtual void showNudgeStep(const std::string& text) { (void)text; }
    // Marks the beam fields as current or not and shows the lasting warning
    // line; ports without a window ignore it.
    virtual void showBeamFields(const BeamFieldsShown& shown) { (void)shown; }

    virtual void showAbout() = 0;                 // the modal About box
    // The non-modal Bragg-curve window (the range table as a picture), shown
    // or brought to the front; ports without windows ignore it.
    virtual void showBraggCurve() {}
    // The non-modal beam-run logbook window over the logbook at `path`,
    // shown or brought to the front; ports without windows ignore it.
    virtual void showBeamRuns(const std::string& path) { (void)path; }
    // Shows the beam banner; ports without a window ignore it.
    virtual void showBeamBanner(const BeamBanner& banner) { (void)banner; }
    // The campaign window's content; `open` shows the window or brings it to
    // the front, else only a window already shown follows.
    virtual void showCampaign(const CampaignShown& shown, bool open) { (void)shown, (void)open; }
    // The non-modal cross-section window over the logbooks of the working
    // folder, shown or brought to the front.
    virtual void showCrossSection() {}
    // Serves the read-only live view of the working folder at host:port until
    // the program ends. Empty when it serves, else why not ("the address is
    // in use"); ports without a server serve nothing and say nothing.
    virtual std::string startLiveView(const std::string& host, int port) {
        (void)host, (void)port;
        return {};
    }
    virtual void closeDialog(int result) = 0;
    [[noreturn]] virtual void exitProcess(int code) = 0;
};
