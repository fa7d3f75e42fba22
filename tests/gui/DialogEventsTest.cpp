// What the main dialog delivers to the console's logic, and the Ui port as the
// logic uses it: clicks, keys, the close box, timers, modal boxes and the
// exchange of the dialog fields.

#include <QAccessible>
#include <QAction>
#include <QButtonGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "DialogFixture.h"
#include "core/AxisTable.h"
#include "platform/qt/CAboutDlg.h"
#include "platform/qt/CampaignWindow.h"
#include "platform/qt/DialogFieldTable.h"
#include "platform/qt/DocumentWindow.h"
#include "platform/qt/EndSignals.h"
#include "platform/qt/QtTarvexDialog.h"

namespace {

// Runs `act` on the first visible modal window of type W once it shows;
// gives up the whole run rather than hang when none appears.
template <typename W>
void whenShown(std::function<void(W*)> act, int afterMs = 0)
{
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, deadline, poll] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<W*>(w); box != nullptr && box->isVisible()) {
                act(box);
                *poll = nullptr;
                return;
            }
        if (deadline->hasExpired())
            qFatal("no modal window appeared");
        QTimer::singleShot(20, *poll);
    };
    QTimer::singleShot(afterMs, *poll);
}

QAbstractButton* boxButton(QMessageBox* box, QMessageBox::StandardButton which)
{
    return box->button(which);
}

DialogFields sampleFields()
{
    DialogFields f;
    f.logFile = "users/log2024.txt";
    f.beam = "197Au 15 MeV/u";
    f.targetSubstrate = "Si";
    f.degrader = "3 / 12.5";
    f.nominalLet = "84.1";
    f.nominalRange = "147";
    f.effectiveLet = "86.3";
    f.effectiveRange = "120";
    f.dutLocation = "Vacuum chamber";
    f.positionName = "Corner A";
    f.axisValue = {"1.000", "2.000", "3.000", "4.000", "5.000", "6.000", "7.000 (R)", "8 (S)"};
    f.axisUnit = {"mm", "mm", "mm", "deg", "mm", "mm", "deg", "foil"};
    f.locked = {1, 0, 1, 0, 0, 1, 0, 1};
    f.activeAxis = 7;  // S
    f.energyPerNucleon = "15.0";
    f.energyMeV = "2955";
    f.layers = "5";
    f.positionListSelection = "Corner A";
    f.newPositionName = "Corner B";
    f.newAxisValue = "12.5";
    f.status = "Ready";
    f.directControl = 1;
    f.goal = "40";
    f.unitChoice = 2;  // MeV/u
    f.bragg = 1;
    f.directCommand = "TP;";
    f.userLine = "User: op (beamline)";
    f.finestStep = 1;
    return f;
}

}  // namespace

class DialogEventsTest : public QObject {
    Q_OBJECT

private:
    RecordedDialog window;
    std::unique_ptr<QtTarvexDialog>& dialog = window.dialog;
    RecordingEvents& events = window.events;

    template <typename W = QWidget>
    W* c(int id) const
    {
        return window.c<W>(id);
    }

private slots:
    void init() { QVERIFY(window.open()); }

    void cleanup() { window.close(); }

    void clickReachesItsHandler_data()
    {
        QTest::addColumn<int>("id");
        for (int id : {1032, 1033, 1034, 1035, 1036, 1045, 1046, 1049, 1050, 1051, 1052, 1053, 1054, 1055, 1056,
                       1057, 1058, 1061, 1062, 1065, 1066, 1069, 1074, 1102, 1109, 1111, 1116, 1123, 1124, 1125,
                       1132, 1133, 1134, 57670, 1016, 1019, 1022, 1023, 1024, 1027, 1030, 1031, 1059, 1060, 1064,
                       1128})
            QTest::addRow("%d", id) << id;
    }

    void clickReachesItsHandler()
    {
        QFETCH(int, id);
        QWidget* w = c(id);
        QVERIFY(w != nullptr);
        QTest::mouseClick(w, Qt::LeftButton);
        QCOMPARE(events.commands, std::vector<ControlId>{static_cast<ControlId>(id)});
    }

    // However a check box or radio changes, its handler runs once; a click on
    // the checked radio is answered too.
    void toggleReachesItsHandlerOnce_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("way");
        const std::pair<const char*, ControlId> toggles[] = {
            {"locked-X", ControlId::LockedX}, {"locked-R", ControlId::LockedR}, {"active-T", ControlId::ActiveT},
            {"active-S", ControlId::ActiveS}, {"finest", ControlId::FinestStep}, {"bragg", ControlId::Bragg},
            {"unit-MeV", ControlId::UnitMeV}};
        for (const auto& [name, id] : toggles)
            for (const char* way : {"click", "space", "toggleAction", "pressAction"})
                QTest::addRow("%s-%s", name, way) << static_cast<int>(id) << QString::fromLatin1(way);
        QTest::addRow("checked-radio-click") << static_cast<int>(ControlId::ActiveT) << QStringLiteral("again");
    }

    void toggleReachesItsHandlerOnce()
    {
        QFETCH(int, id);
        QFETCH(QString, way);
        auto* button = c<QAbstractButton>(id);
        QVERIFY(button != nullptr);
        const bool before = button->isChecked();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible != nullptr && accessible->actionInterface() != nullptr);
        if (way == QLatin1String("click")) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (way == QLatin1String("space")) {
            QTest::keyClick(button, Qt::Key_Space);
        } else if (way == QLatin1String("again")) {
            dialog->setChecked(static_cast<ControlId>(id), true);
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(button->isChecked());
        } else {
            accessible->actionInterface()->doAction(way == QLatin1String("toggleAction")
                                                        ? QAccessibleActionInterface::toggleAction()
                                                        : QAccessibleActionInterface::pressAction());
        }
        QTRY_COMPARE(events.commands, std::vector<ControlId>{static_cast<ControlId>(id)});
        if (way != QLatin1String("again"))
            QCOMPARE(button->isChecked(), !before);
        QTest::qWait(150);  // an accessible press clicks after a delay: no second report
        QCOMPARE(events.commands.size(), 1u);
    }

    // The logic asks for the keyboard box and then disables it (locking the
    // active axis): the focus stays off Exit, the next control of the tab chain.
    void disabledFocusNeverLandsOnAPushButton()
    {
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        auto focusIsHarmless = [this] {
            QWidget* focused = QApplication::focusWidget();
            return focused != nullptr && qobject_cast<QPushButton*>(focused) == nullptr;
        };
        dialog->setFocus(ControlId::Keyboard);
        QTRY_COMPARE(QApplication::focusWidget(), c(1080));
        dialog->setEnabled(ControlId::Keyboard, false);
        QVERIFY(focusIsHarmless());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(events.commands.empty());

        // Asked for while disabled, from a pressed push button.
        c(1102)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), c(1102));
        dialog->setFocus(ControlId::Keyboard);
        QVERIFY(focusIsHarmless());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(events.commands.empty());
    }

    // SIGTERM, SIGHUP and Ctrl+C reach the logic from the event loop.
    void endSignalReachesTheLogic_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addRow("SIGTERM") << SIGTERM;
        QTest::addRow("SIGHUP") << SIGHUP;
        QTest::addRow("SIGINT") << SIGINT;
    }

    void endSignalReachesTheLogic()
    {
        QFETCH(int, signal);
        QVERIFY(catchEndSignals());
        window.close();
        QVERIFY(window.open());  // a dialog made once the signals are caught
        QCOMPARE(events.terminates, 0);
        std::raise(signal);
        QTRY_COMPARE(events.terminates, 1);
        QVERIFY(events.commands.empty());
    }

    void checkBoxesAndRadiosChangeThemselves()
    {
        QTest::mouseClick(c(1019), Qt::LeftButton);
        QVERIFY(c<QCheckBox>(1019)->isChecked());
        QTest::mouseClick(c(1030), Qt::LeftButton);
        QTest::mouseClick(c(1031), Qt::LeftButton);
        QVERIFY(c<QRadioButton>(1031)->isChecked());
        QVERIFY(!c<QRadioButton>(1030)->isChecked());
        DialogFields f;
        dialog->transferFromControls(f);
        QCOMPARE(f.activeAxis, 6);  // R is group index 6
        QCOMPARE(f.locked[3], 1);
    }

    void disabledControlDeliversNothing()
    {
        dialog->setEnabled(ControlId::Halt, false);
        QTest::mouseClick(c(1034), Qt::LeftButton);
        QVERIFY(events.commands.empty());
        dialog->setEnabled(ControlId::Halt, true);
        QTest::mouseClick(c(1034), Qt::LeftButton);
        QCOMPARE(events.commands.size(), 1u);
    }

    void listIsSortedAndReportsSelection()
    {
        dialog->setListItems(ControlId::PositionList, {"beta", "Alpha", "gamma", "Delta"});
        auto* list = c<QListWidget>(1072);
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Alpha"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("beta"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("Delta"));
        QCOMPARE(list->item(3)->text(), QStringLiteral("gamma"));
        QVERIFY(events.listChanges.empty());  // filling is not a selection

        const QRect item = list->visualItemRect(list->item(2));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(events.listChanges, std::vector<ControlId>{ControlId::PositionList});
        DialogFields f;
        dialog->transferFromControls(f);
        QCOMPARE(f.positionListSelection, std::string("Delta"));
    }

    void ctrlClickKeepsTheSelection()
    {
        dialog->setListItems(ControlId::PositionList, {"run7.po1", "spot.po1"});
        auto* list = c<QListWidget>(1072);
        const QRect item = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(events.listChanges.size(), 1u);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, item.center());
        QCOMPARE(events.listChanges.size(), 1u);  // not a lost selection: nothing ends the console
        DialogFields f;
        dialog->transferFromControls(f);
        QCOMPARE(f.positionListSelection, std::string("spot.po1"));
    }

    void movingAxisRowIsMarked()
    {
        auto* value = c<QLineEdit>(1008);
        auto* target = dialog->findChild<QLineEdit*>(QStringLiteral("targetX"));
        QVERIFY(target != nullptr);
        dialog->showAxisMotion(kAxisX, AxisMotionShown{true, "15.000"});
        QVERIFY(value->property("moving").toBool());
        QVERIFY(!value->styleSheet().isEmpty());
        QCOMPARE(target->text(), QStringLiteral("15.000"));
        QVERIFY(!c<QLineEdit>(1009)->property("moving").toBool());
        dialog->showAxisMotion(kAxisX, AxisMotionShown{});
        QVERIFY(value->styleSheet().isEmpty());
        QCOMPARE(target->text(), QString());

        dialog->showNudgeStep("0.100 mm");
        auto* step = dialog->findChild<QLabel*>(QStringLiteral("nudgeStep"));
        QCOMPARE(step->text(), QStringLiteral("Nudge step 0.100 mm"));
    }

    // Stale beam fields are greyed with the reason as their tool tip; the
    // warning line stands until it is taken back.
    void staleBeamFieldsAndTheWarningLine()
    {
        dialog->showBeamFields(BeamFieldsShown{"S is moving: old values.", "Warning: past the peak."});
        for (int id : {1003, 1078, 1079, 1002, 1004, 1005, 1006, 1007}) {
            QVERIFY2(c(id)->property("stale").toBool(), qPrintable(QString::number(id)));
            QCOMPARE(c(id)->toolTip(), QStringLiteral("S is moving: old values."));
        }
        QVERIFY(!c(1000)->property("stale").toBool());
        QVERIFY(dialog->beamWarning()->isVisible());
        QCOMPARE(dialog->beamWarning()->text(), QStringLiteral("Warning: past the peak."));
        dialog->showBeamFields(BeamFieldsShown{});
        QVERIFY(!c(1006)->property("stale").toBool());
        QCOMPARE(c(1006)->toolTip(), QString());
        QVERIFY(!dialog->beamWarning()->isVisible());
    }

    // The campaign window shows what the console gives it and passes its
    // buttons on with the step selected; the banner carries the step.
    void campaignWindowPassesItsButtonsOn()
    {
        CampaignShown shown;
        shown.plan = "Plan.csv";
        shown.problems = {"Plan.csv, line 4: ion '12Zz' is not one of the station's - the step is left out"};
        shown.steps = {CampaignStepShown{"1", "84Kr", "LET 40 MeV\u00b7cm\u00b2/mg", "", "1.00e+07 ions/cm\u00b2", "",
                                         "done", false},
                       CampaignStepShown{"2", "84Kr", "LET 60 MeV\u00b7cm\u00b2/mg", "S 2  R 24  T 45",
                                         "1.00e+07 ions/cm\u00b2", "3.20e+06 of 1.00e+07 ions/cm\u00b2 (32 %), 4 events",
                                         "active", true}};
        dialog->showCampaign(shown, false);
        QVERIFY2(dialog->campaignWindow() == nullptr, "only an open asks for the window");
        dialog->showCampaign(shown, true);
        CampaignWindow* campaign = dialog->campaignWindow();
        QVERIFY(campaign != nullptr && campaign->isVisible());
        QCOMPARE(campaign->planText(), QStringLiteral("Test plan Plan.csv: 2 steps"));
        QCOMPARE(campaign->table()->item(1, 6)->text(),
                 QStringLiteral("3.20e+06 of 1.00e+07 ions/cm\u00b2 (32 %), 4 events"));
        QVERIFY(campaign->table()->item(1, 0)->font().bold());
        QCOMPARE(campaign->selectedStep(), 1);
        campaign->findChild<QPushButton*>(QStringLiteral("goToStep"))->click();
        campaign->table()->selectRow(0);
        campaign->findChild<QPushButton*>(QStringLiteral("skipStep"))->click();
        QCOMPARE(events.campaignRequests.size(), std::size_t{2});
        QCOMPARE(events.campaignRequests[0].kind, CampaignRequest::Kind::GoToStep);
        QCOMPARE(events.campaignRequests[0].step, 1);
        QCOMPARE(events.campaignRequests[1].kind, CampaignRequest::Kind::SkipStep);
        QCOMPARE(events.campaignRequests[1].step, 0);

        dialog->showBeamBanner(BeamBanner{3, std::chrono::steady_clock::now(), "", "step 2 \u00b7 fluence 3.20e+06"});
        QVERIFY(dialog->beamBanner()->text().endsWith(QStringLiteral("   step 2 \u00b7 fluence 3.20e+06")));
    }

    void escapeIsTheCancelAction()
    {
        c(1088)->setFocus();
        QTest::keyClick(c(1088), Qt::Key_Escape);
        QCOMPARE(events.cancels, 1);
        QVERIFY(dialog->isVisible());  // the logic decides whether to close
    }

    void closeRequestIsRefused()
    {
        QVERIFY(!dialog->close());
        QCOMPARE(events.closeRequests, 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(events.cancels, 0);
    }

    void enterIsTheOkActionOutsideAPushButton()
    {
        c(1088)->setFocus();
        QTest::keyClick(c(1088), Qt::Key_Return);
        QCOMPARE(events.oks, 1);
        c(1019)->setFocus();
        QTest::keyClick(c(1019), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(events.oks, 2);
        QVERIFY(events.commands.empty());
        QVERIFY(dialog->isVisible());

        // On a focused push button Enter presses that button.
        c(1061)->setFocus();
        QTest::keyClick(c(1061), Qt::Key_Return);
        QCOMPARE(events.commands, std::vector<ControlId>{ControlId::Save});
        QCOMPARE(events.oks, 2);
    }

    void closeDialogEndsTheModalRun()
    {
        QTimer::singleShot(50, this, [this] { dialog->closeDialog(7); });
        QCOMPARE(dialog->exec(), 7);
        QVERIFY(dialog->isClosed());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(events.closeRequests, 0);
    }

    void keyboardBoxLetsOnlyDriveKeysThrough()
    {
        auto* box = c<QLineEdit>(1080);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("8"));
        QCOMPARE(events.keys, std::vector<char>{'8'});
        QCOMPARE(box->text(), QString());

        QTest::keyClicks(box, QStringLiteral("a"));
        QCOMPARE(events.keys, std::vector<char>{'8'});
        QCOMPARE(box->text(), QString());

        QTest::keyClicks(box, QStringLiteral("+x- 6/24q"));
        QCOMPARE(events.keys, (std::vector<char>{'8', '+', '-', ' ', '6', '2', '4'}));
        QCOMPARE(box->text(), QString());

        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(events.keys.size(), 7u);
        QVERIFY(events.commands.empty());
    }

    // During a long computation Halt, All Halt and Space in the keyboard box
    // go through; other input is dropped.
    void stopsGoOnDuringALongComputation()
    {
        auto click = [](QWidget* w) {
            const QPointF at(w->width() / 2.0, w->height() / 2.0);
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                const auto buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                QCoreApplication::postEvent(
                    w, new QMouseEvent(type, at, w->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier));
            }
        };
        auto* keyboard = c<QLineEdit>(1080);
        keyboard->setFocus();
        for (int id : {1069, 1034, 1128}) click(c(id));  // Go, Halt, All Halt
        QCoreApplication::postEvent(keyboard, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
        QCoreApplication::postEvent(keyboard, new QKeyEvent(QEvent::KeyPress, Qt::Key_8, Qt::NoModifier, "8"));
        dialog->serviceStops();
        QCoreApplication::processEvents();
        QCOMPARE(events.commands, (std::vector<ControlId>{ControlId::Halt, ControlId::AllHalt}));
        QCOMPARE(events.keys, std::vector<char>{' '});
        QCOMPARE(keyboard->text(), QString());
    }

    void keyboardBoxKeepsEscapeForTheDialog()
    {
        c(1080)->setFocus();
        QTest::keyClick(c(1080), Qt::Key_Escape);
        QCOMPARE(events.cancels, 1);
        QVERIFY(events.keys.empty());
    }

    void timersTickUntilStopped()
    {
        QVERIFY(dialog->startTimer(kMotionTimer, 10));
        QTRY_VERIFY(events.ticks.size() >= 3);
        QCOMPARE(events.ticks.front(), kMotionTimer);
        dialog->stopTimer(kMotionTimer);
        const std::size_t stopped = events.ticks.size();
        QTest::qWait(80);
        QCOMPARE(events.ticks.size(), stopped);
    }

    void modalBoxLetsTimerTicksThrough()
    {
        QVERIFY(dialog->startTimer(kMotionTimer, 20));
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QAbstractButton* defaultButton = nullptr;
        std::size_t ticksWhileOpen = 0;
        whenShown<QMessageBox>(
            [&](QMessageBox* box) {
                caption = box->windowTitle();
                text = box->text();
                icon = box->icon();
                buttons = box->standardButtons();
                defaultButton = box->defaultButton() == box->button(QMessageBox::Cancel) ? box->defaultButton() : nullptr;
                ticksWhileOpen = events.ticks.size();
                boxButton(box, QMessageBox::Retry)->click();
            },
            300);
        const Button answer = dialog->messageBox("The parent program (Orvane) did not end properly.", Icon::Warning,
                                                 Buttons::RetryCancel, Button::Cancel);
        dialog->stopTimer(kMotionTimer);
        QCOMPARE(answer, Button::Retry);
        QVERIFY2(ticksWhileOpen >= 5, qPrintable(QString::number(ticksWhileOpen)));
        QCOMPARE(caption, QStringLiteral("Tarvex"));
        QCOMPARE(text, QStringLiteral("The parent program (Orvane) did not end properly."));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons, QMessageBox::Retry | QMessageBox::Cancel);
        QVERIFY(defaultButton != nullptr);
    }

    void messageBoxButtonsIconsAndEscape()
    {
        // Escape answers Cancel where there is one ...
        whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(dialog->messageBox("Close shutter?", Icon::Question, Buttons::OkCancel, Button::Ok), Button::Cancel);

        // ... and does nothing in an Abort/Retry/Ignore box.
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        whenShown<QMessageBox>([&icon](QMessageBox* box) {
            icon = box->icon();
            QTest::keyClick(box, Qt::Key_Escape);
            QVERIFY(box->isVisible());
            box->button(QMessageBox::Ignore)->click();
        });
        QCOMPARE(dialog->messageBox("Previous instance", Icon::Stop, Buttons::AbortRetryIgnore, Button::Retry),
                 Button::Ignore);
        QCOMPARE(icon, QMessageBox::Critical);

        // Enter presses the default button; the caption can be another one.
        QString caption;
        whenShown<QMessageBox>([&caption](QMessageBox* box) {
            caption = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(dialog->messageBox("Continue?", Icon::None, Buttons::YesNo, Button::No, "Summary"), Button::No);
        QCOMPARE(caption, QStringLiteral("Summary"));
    }

    void aboutBoxIsModal()
    {
        QString caption;
        bool hasVersion = false;
        bool hasIcon = false;
        whenShown<CAboutDlg>([&](CAboutDlg* about) {
            caption = about->windowTitle();
            for (QLabel* label : about->findChildren<QLabel*>()) {
                hasVersion = hasVersion || label->text() == QStringLiteral("Tarvex Version 2024");
                hasIcon = hasIcon || !label->pixmap().isNull();
            }
            about->findChild<QPushButton*>(QStringLiteral("c1"))->click();
        });
        dialog->showAbout();
        QCOMPARE(caption, QStringLiteral("About Tarvex"));
        QVERIFY(hasVersion);
        QVERIFY(hasIcon);
    }

    void windowMenuCarriesTheAboutItem()
    {
        QMenu* menu = dialog->systemMenu();
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->actions().size(), 5);
        QCOMPARE(menu->actions().at(3)->text(), QStringLiteral("&Campaign..."));
        QCOMPARE(menu->actions().at(4)->text(), QStringLiteral("&Cross section..."));
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("&About Tarvex..."));
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("&Bragg curve..."));
        QCOMPARE(menu->actions().at(2)->text(), QStringLiteral("&Beam runs..."));
        menu->actions().first()->trigger();
        QCOMPARE(events.systemCommands, std::vector<int>{kAboutCommand});
        menu->actions().at(1)->trigger();
        QCOMPARE(events.systemCommands, (std::vector<int>{kAboutCommand, kBraggCurveCommand}));
        menu->actions().at(2)->trigger();
        QCOMPARE(events.systemCommands, (std::vector<int>{kAboutCommand, kBraggCurveCommand, kBeamRunsCommand}));

        dialog->addSystemMenuItem(QString(), 96);
        QCOMPARE(menu->actions().size(), 5);
        dialog->addSystemMenuItem(QStringLiteral("&Other..."), 96);
        QCOMPARE(menu->actions().size(), 6);
        menu->actions().last()->trigger();
        QCOMPARE(events.systemCommands,
                 (std::vector<int>{kAboutCommand, kBraggCurveCommand, kBeamRunsCommand, 96}));

        auto* button = dialog->findChild<QToolButton*>(QStringLiteral("systemMenuButton"));
        QVERIFY(button != nullptr && button->isVisible());
        QCOMPARE(button->menu(), menu);
    }

    void transferRoundTripsEveryField()
    {
        const DialogFields sent = sampleFields();
        dialog->setListItems(ControlId::PositionList, {"Corner B", "Corner A", "Centre"});
        dialog->transferToControls(sent);

        // What the operator sees: S and R values in their own rows.
        QCOMPARE(c<QLineEdit>(1014)->text(), QStringLiteral("8 (S)"));
        QCOMPARE(c<QLineEdit>(1015)->text(), QStringLiteral("7.000 (R)"));
        QCOMPARE(c<QLineEdit>(1043)->text(), QStringLiteral("foil"));
        QVERIFY(c<QRadioButton>(1030)->isChecked());
        QVERIFY(c<QCheckBox>(1022)->isChecked());
        QVERIFY(!c<QCheckBox>(1023)->isChecked());
        QVERIFY(c<QRadioButton>(1064)->isChecked());
        QCOMPARE(c<QLabel>(1135)->text(), QStringLiteral("User: op (beamline)"));
        QCOMPARE(c<QComboBox>(1121)->currentText(), QStringLiteral("TP;"));
        QCOMPARE(c<QListWidget>(1072)->selectedItems().size(), 1);
        QVERIFY(events.commands.empty());
        QVERIFY(events.listChanges.empty());

        DialogFields back;
        dialog->transferFromControls(back);
        QCOMPARE(back.logFile, sent.logFile);
        QCOMPARE(back.axisValue, sent.axisValue);
        QCOMPARE(back.axisUnit, sent.axisUnit);
        QCOMPARE(back.locked, sent.locked);
        QCOMPARE(back.activeAxis, sent.activeAxis);
        QCOMPARE(back.unitChoice, sent.unitChoice);
        QCOMPARE(back.positionListSelection, sent.positionListSelection);
        QVERIFY(back == sent);

        // And back to the start state: nothing selected, nothing checked.
        DialogFields empty;
        dialog->transferToControls(empty);
        QVERIFY(!c<QRadioButton>(1030)->isChecked());
        QVERIFY(!c<QRadioButton>(1064)->isChecked());
        QVERIFY(c<QListWidget>(1072)->selectedItems().isEmpty());
        DialogFields again = sampleFields();
        dialog->transferFromControls(again);
        QVERIFY(again == empty);
    }

    // The one table both directions of the exchange walk: each control and
    // each field in it once ...
    void fieldTableNamesEachControlAndFieldOnce()
    {
        DialogFields f;
        const std::vector<FieldBinding> table = dialogFieldTable(f);
        std::set<int> ids;
        std::set<const void*> fields;
        for (const FieldBinding& row : table) {
            ids.insert(static_cast<int>(row.id));
            fields.insert(std::visit([](auto* field) { return static_cast<const void*>(field); }, row.field));
        }
        QCOMPARE(ids.size(), table.size());
        QCOMPARE(fields.size(), table.size());
    }

    // ... and each row's field shown by the control of its id, and read back
    // into the same field with every other field as it was.
    void fieldTableRowRoundTrips_data()
    {
        QTest::addColumn<int>("row");
        DialogFields f;
        const std::vector<FieldBinding> table = dialogFieldTable(f);
        for (std::size_t i = 0; i < table.size(); ++i)
            QTest::addRow("%d", static_cast<int>(table[i].id)) << static_cast<int>(i);
    }

    void fieldTableRowRoundTrips()
    {
        QFETCH(int, row);
        DialogFields sent;
        const FieldBinding binding = dialogFieldTable(sent).at(static_cast<std::size_t>(row));
        const std::string value = "value of " + std::to_string(static_cast<int>(binding.id));
        dialog->setListItems(ControlId::PositionList, {"Alpha", value});
        if (std::string* const* text = std::get_if<std::string*>(&binding.field))
            **text = value;
        else
            *std::get<int*>(binding.field) = 1;  // checked, or the group's second radio
        dialog->transferToControls(sent);

        QWidget* w = c(static_cast<int>(binding.id));
        QVERIFY(w != nullptr);
        const QString shownValue = QString::fromStdString(value);
        switch (binding.kind) {
        case FieldWidget::Text: QCOMPARE(qobject_cast<QLineEdit*>(w)->text(), shownValue); break;
        case FieldWidget::Check: QVERIFY(qobject_cast<QAbstractButton*>(w)->isChecked()); break;
        case FieldWidget::RadioGroup: QCOMPARE(qobject_cast<QAbstractButton*>(w)->group()->checkedId(), 1); break;
        case FieldWidget::ListSelection:
            QCOMPARE(qobject_cast<QListWidget*>(w)->selectedItems().size(), 1);
            QCOMPARE(qobject_cast<QListWidget*>(w)->selectedItems().first()->text(), shownValue);
            break;
        case FieldWidget::ComboText: QCOMPARE(qobject_cast<QComboBox*>(w)->currentText(), shownValue); break;
        case FieldWidget::LabelText: QCOMPARE(qobject_cast<QLabel*>(w)->text(), shownValue); break;
        }
        DialogFields back;
        dialog->transferFromControls(back);
        QVERIFY(back == sent);
    }

    void controlStateByIdIsShownAtOnce()
    {
        dialog->setText(ControlId::Status, "Camera switched on");
        QCOMPARE(c<QLineEdit>(1087)->text(), QStringLiteral("Camera switched on"));
        dialog->setText(ControlId::CheckParallax, "xHair On");
        QCOMPARE(c<QPushButton>(1065)->text(), QStringLiteral("xHair On"));

        dialog->setChecked(ControlId::ActiveT, true);
        QVERIFY(c<QRadioButton>(1027)->isChecked());
        dialog->setChecked(ControlId::ActiveT, false);
        QVERIFY(!c<QRadioButton>(1027)->isChecked());
        dialog->setChecked(ControlId::FinestStep, true);
        QVERIFY(c<QCheckBox>(1111)->isChecked());
        QVERIFY(events.commands.empty());

        dialog->setVisible(ControlId::DirectCommand, true);
        dialog->setEnabled(ControlId::DirectCommand, true);
        QVERIFY(c(1121)->isVisible() && c(1121)->isEnabled());
        dialog->setEnabled(ControlId::Keyboard, false);
        QVERIFY(!c(1080)->isEnabled());
        dialog->setVisible(ControlId::Exit, false);
        QVERIFY(!c(1102)->isVisible());

        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        dialog->setFocus(ControlId::NewAxisValue);
        QTRY_COMPARE(QApplication::focusWidget(), c(1088));
    }

    void platformServices()
    {
        qputenv("USER", "tester");
        QCOMPARE(dialog->userName(), std::string("tester"));
        QCOMPARE(dialog->computerName(), QSysInfo::machineHostName().toStdString());
        QVERIFY(dialog->startProcess("/bin/true", {}));
        QVERIFY(!dialog->startProcess("/nonexistent/Orvane.exe", {"x"}));
        QElapsedTimer clock;
        clock.start();
        dialog->sleepSeconds(1);
        QVERIFY(clock.elapsed() >= 950);
    }

    // F1 is the Help button's command, in the dialog and in the document
    // window, and nothing while the button cannot be pressed.
    void f1IsHelp()
    {
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QCOMPARE(events.commands, std::vector<ControlId>{ControlId::Help});
        dialog->showDocument("/nonexistent/Tarvex.htm");
        DocumentWindow* documents = dialog->documentWindow();
        QApplication::setActiveWindow(documents);
        QVERIFY(QTest::qWaitForWindowActive(documents));
        QTest::keyClick(documents, Qt::Key_F1);
        QCOMPARE(events.commands, (std::vector<ControlId>{ControlId::Help, ControlId::Help}));
        dialog->setEnabled(ControlId::Help, false);
        QTest::keyClick(documents, Qt::Key_F1);
        QCOMPARE(events.commands.size(), 2u);
    }

    // What the document window shows of a file, and the line about the rest.
    void documentWindowShowsWhatItCanRead_data()
    {
        QTest::addColumn<QByteArray>("content");  // null: no such file
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("problem");
        const QString none;
        const char* preview = "X :    1.000 mm \t(to be locked)\nY :    3.000 mm\n";
        QTest::newRow("text") << QByteArray(preview) << "Copy of Preview(txt).txt" << preview << none;
        QTest::newRow("page") << QByteArray("<html><body><h1>Moving</h1><p>Halt &amp; <b>stop</b></p></body></html>")
                              << "Tarvex.htm" << "Moving\nHalt & stop" << none;
        QTest::newRow("latin-1") << QByteArray("S : 15 \xb5m\n") << "Copy of a(dat).txt" << QStringLiteral("S : 15 \u00b5m\n") << none;
        QTest::newRow("missing") << QByteArray() << "Copy of b(dat).txt" << none
                                 << "The file could not be read: No such file or directory.";
        QTest::newRow("binary") << QByteArray("PK\x03\x04\0\0\x14\0", 8) << "Copy of c(dat).txt" << none
                                << "The file could not be read: it is not a text file.";
        QTest::newRow("empty") << QByteArray("") << "Copy of d(dat).txt" << none << "The file is empty.";
        // 16-byte lines, one more than fit in 4 MiB.
        const QByteArray line("0123456789abcde\n");
        QTest::newRow("huge") << line.repeated(4 * 65536 + 1) << "Copy of e(dat).txt"
                              << QString::fromLatin1(line.repeated(4 * 65536))
                              << "The file is longer than 4 MiB and was cut: only its first 4 MiB are shown.";
    }

    void documentWindowShowsWhatItCanRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFETCH(QString, problem);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
        }
        dialog->showDocument(path.toStdString());
        DocumentWindow* documents = dialog->documentWindow();
        QVERIFY(documents != nullptr && documents->isVisible());
        QCOMPARE(documents->windowTitle(), name + " - Tarvex");
        QCOMPARE(documents->browser()->toPlainText(), shown);
        QCOMPARE(documents->problem(), problem);
        QCOMPARE(documents->findChild<QLabel*>("documentProblem")->isVisible(), !problem.isEmpty());
    }

    // The desktop's opener is a stand-in xdg-open on the PATH: only a failure
    // within two seconds is reported, and the window keeps running meanwhile.
    void desktopOpenerIsWatchedWithoutBlocking()
    {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QString arguments = bin.filePath(QStringLiteral("arguments"));
        const QString opener = bin.filePath(QStringLiteral("xdg-open"));
        const QString finished = bin.filePath(QStringLiteral("finished"));
        auto standIn = [&](const QByteArray& body) {
            QFile script(opener);
            QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
            script.write("#!/bin/sh\nprintf '%s|' \"$@\" > '" + arguments.toUtf8() + "'\n" + body + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + path);
        int failures = 0;
        auto open = [&](const std::string& document) { dialog->openDocument(document, [&failures] { ++failures; }); };
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(100);

        standIn("exit 3");
        open("/station/Copy of Preview(txt).txt");
        QTRY_COMPARE_WITH_TIMEOUT(failures, 1, kOpenerWatchMilliseconds);
        QFile passed(arguments);
        QVERIFY(passed.open(QIODevice::ReadOnly));
        QCOMPARE(passed.readAll(), QByteArray("/station/Copy of Preview(txt).txt|"));

        standIn("exit 0");
        open("/station/Tarvex.htm");
        // Still running after the watch: no message, even when it fails later.
        standIn("sleep 3; : > '" + finished.toUtf8() + "'; exit 3");
        open("/station/Tarvex.htm");
        QVERIFY2(!QFile::exists(finished), "the window waited for the opener to end");
        ticks = 0;
        QTest::qWait(kOpenerWatchMilliseconds + 1500);
        QCOMPARE(failures, 1);
        QVERIFY(ticks >= 20);  // the event loop ran all along

        // No opener installed at all.
        qputenv("PATH", bin.path().toUtf8() + "/none");
        open("/station/Tarvex.htm");
        QTRY_COMPARE_WITH_TIMEOUT(failures, 2, kOpenerWatchMilliseconds);
        qputenv("PATH", path);
    }
};

QTEST_MAIN(DialogEventsTest)
#include "DialogEventsTest.moc"
