#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/Ui.h"
#include "platform/qt/StopsDuringWork.h"

class QAbstractButton;
class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QSocketNotifier;
class QTimer;
class QToolButton;
class BeamRunsWindow;
class CampaignWindow;
class CrossSectionWindow;
class LiveViewServer;

// Screen row of each axis of the motion grid: the S row stands above the R row.
inline constexpr std::array<int, 8> kAxisDisplayRow = {0, 1, 2, 3, 4, 5, 7, 6};
class BraggCurveWindow;
class DocumentWindow;
class CManual;

// The main dialog and the Qt binding of the Ui port. Every control with an id
// is kept in one id -> widget table and carries the object name "c<id>"
// (for example "c1087"). Operator actions become DialogEvents calls. The
// controls are made and placed in QtTarvexDialogLayout.cpp; the field exchange
// walks the one table of DialogFieldTable.h in both directions.
class QtTarvexDialog : public QDialog, public Ui {
    Q_OBJECT
public:
    explicit QtTarvexDialog(QWidget* parent = nullptr);
    ~QtTarvexDialog() override;

    // Where the dialog delivers its events; nothing is delivered while unset.
    void setEvents(DialogEvents* events) { events_ = events; }

    // The widget of a control id, or nullptr for an unknown id.
    QWidget* control(ControlId id) const;
    QWidget* control(int id) const { return controls_.value(id, nullptr); }
    // Every control id of the dialog, in the order of the tab chain.
    QList<int> controlIds() const { return controlOrder_; }

    // An item of the window menu (the menu button and the background's context
    // menu): choosing it delivers onSystemCommand(command). Empty text adds
    // nothing. "&About Tarvex..." (command 16) and "&Bragg curve..." (command
    // 32) are there from the start.
    void addSystemMenuItem(const QString& text, int command);
    QMenu* systemMenu() const { return systemMenu_; }
    // The Bragg-curve window once showBraggCurve has made it, else nullptr.
    BraggCurveWindow* braggCurveWindow() const { return braggWindow_; }
    // The beam-run logbook window once showBeamRuns has made it, else nullptr.
    BeamRunsWindow* beamRunsWindow() const { return beamRunsWindow_; }
    // The campaign window once showCampaign has opened it, else nullptr.
    CampaignWindow* campaignWindow() const { return campaignWindow_; }
    // The cross-section window once showCrossSection has made it, else nullptr.
    CrossSectionWindow* crossSectionWindow() const { return crossSectionWindow_; }
    // The live view's server once startLiveView has started it, else nullptr.
    LiveViewServer* liveViewServer() const { return liveViewServer_; }
    // The document window once showDocument has made it, else nullptr.
    DocumentWindow* documentWindow() const { return documentWindow_; }
    // The beam banner above the controls, and the warning line under it.
    QLabel* beamBanner() const { return beamBanner_; }
    QLabel* beamWarning() const { return beamWarning_; }

    // True once closeDialog has ended the dialog (also before it ever ran).
    bool isClosed() const { return closed_; }

    // --- Ui ---
    using QDialog::setEnabled;
    using QDialog::setFocus;
    using QDialog::setVisible;

    Button messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                      const std::string& caption = kCaption) override;
    void setEnabled(ControlId id, bool enabled) override;
    void setVisible(ControlId id, bool visible) override;
    void setFocus(ControlId id) override;
    void setText(ControlId id, const std::string& text) override;
    void setChecked(ControlId id, bool checked) override;
    void setListItems(ControlId id, const std::vector<std::string>& items) override;
    void transferToControls(const DialogFields& fields) override;
    void transferFromControls(DialogFields& fields) override;
    bool startTimer(int timerId, int milliseconds) override;
    void stopTimer(int timerId) override;
    bool startProcess(const std::string& program, const std::vector<std::string>& arguments) override;
    void openDocument(const std::string& path, std::function<void()> onFailure) override;
    void showDocument(const std::string& path) override;
    void beep() override;
    void sleepSeconds(int seconds) override;
    std::string userName() override;
    std::string computerName() override;
    void showControllerLink(ControllerLink link) override;
    void showOperatingMode(OperatingMode mode) override;
    void showAxisMotion(int axis, const AxisMotionShown& shown) override;
    void showNudgeStep(const std::string& text) override;
    void showBeamFields(const BeamFieldsShown& shown) override;
    void showAbout() override;
    void showBraggCurve() override;
    void showBeamRuns(const std::string& path) override;
    void showCampaign(const CampaignShown& shown, bool open) override;
    void showCrossSection() override;
    std::string startLiveView(const std::string& host, int port) override;
    void showBeamBanner(const BeamBanner& banner) override;
    void closeDialog(int result) override;
    void serviceStops() override;
    [[noreturn]] void exitProcess(int code) override;

public slots:
    void reject() override;  // Escape: the cancel action

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void buildTabOrder();
    QWidget* register_(QWidget* widget, int id);
    template <typename W>
    W* widget(ControlId id) const;
    void connectClick(QAbstractButton* button, ControlId id);
    // A check box or radio button (a ToggleButton) whose handler `id` runs
    // when the operator changes its state, however it is changed, and on a
    // click on the checked radio; never when the logic sets the state.
    void connectToggle(QAbstractButton* button, ControlId id);
    void toggleCommand(QAbstractButton* button, ControlId id);
    // Moves the focus off `leaving` (a control about to be disabled or
    // hidden, or one that cannot take the focus) onto something a stray Space
    // or Enter cannot fire: the toggle whose handler is running, else the
    // dialog itself.
    void parkFocus(QWidget* leaving);
    // True when `w` or one of its children has the dialog's focus.
    bool holdsFocus(const QWidget* w) const;
    // A push button with its text as accessible name, never the default, whose click is the command `id`.
    QPushButton* addButton(const char* text, ControlId id, QWidget* parent);
    void command(ControlId id);
    // F1, in the dialog and in the document window: the Help button's command
    // while the button can be pressed.
    void help();
    void updateRowNames(int row);
    QWidget* buildCurrentSettings();
    QWidget* buildMotionControl();
    QLayout* buildAxisRows(QWidget* group);
    QLayout* buildEntryRows(QWidget* group);
    QWidget* buildFileManagement();
    QWidget* buildToggleSwitches();
    QWidget* buildSideColumn();
    QWidget* buildBottomLine();

    DialogEvents* events_ = nullptr;
    bool closed_ = false;
    // Above zero while the logic sets check and radio states (setChecked,
    // transferToControls): those changes are not the operator's.
    int settingControls_ = 0;
    // The toggle whose handler is running, if any.
    QPointer<QAbstractButton> operatedToggle_;
    QHash<int, QWidget*> controls_;
    QList<int> controlOrder_;
    QHash<int, QTimer*> timers_;
    // The stops that a long computation lets through (see StopsDuringWork.h).
    std::unique_ptr<StopsDuringWork> stopsDuringWork_;
    // Delivers onTerminate when an ending signal arrives (see EndSignals.h).
    std::unique_ptr<QSocketNotifier> endSignals_;
    QMenu* systemMenu_ = nullptr;
    QToolButton* systemMenuButton_ = nullptr;
    QLabel* controllerIndicator_ = nullptr;
    QLabel* modeIndicator_ = nullptr;
    BraggCurveWindow* braggWindow_ = nullptr;  // a child window, made on first use
    BeamRunsWindow* beamRunsWindow_ = nullptr; // a child window, made on first use
    CampaignWindow* campaignWindow_ = nullptr; // a child window, made on first use
    CrossSectionWindow* crossSectionWindow_ = nullptr; // a child window, made on first use
    LiveViewServer* liveViewServer_ = nullptr;         // a child object, while it serves
    DocumentWindow* documentWindow_ = nullptr; // a child window, made on first use
    QLabel* beamBanner_ = nullptr;
    QTimer* beamBannerTimer_ = nullptr;        // keeps the elapsed time current
    BeamBanner banner_;
    void refreshBeamBanner();
    // Row labels and target fields of the motion grid in axis order X Y Z T U V R S.
    std::array<QLabel*, 8> rowLabels_{};
    std::array<QLineEdit*, 8> targets_{};
    QLabel* nudgeStep_ = nullptr;
    QLabel* beamWarning_ = nullptr;  // the lasting line about the computed setting
    // The position-file entry the operator selected last (kept when a
    // Ctrl+click clears the selection).
    QString lastSelectedEntry_;
};
