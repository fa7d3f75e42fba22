#include "platform/qt/QtTarvexDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include <pwd.h>
#include <unistd.h>

#include "core/AxisTable.h"
#include "beam/BeamRuns.h"
#include "platform/qt/BeamRunsWindow.h"
#include "platform/qt/CampaignWindow.h"
#include "platform/qt/CrossSectionWindow.h"
#include "platform/qt/LiveViewServer.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/BraggCurveWindow.h"
#include "platform/qt/CAboutDlg.h"
#include "platform/qt/DialogFieldTable.h"
#include "platform/qt/DocumentWindow.h"
#include "platform/qt/EndSignals.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/ToggleButton.h"

namespace {

constexpr int id(ControlId c) { return static_cast<int>(c); }

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

QString withoutMnemonic(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

bool isActiveAxisRadio(ControlId controlId)
{
    return std::any_of(kAxisControls.begin(), kAxisControls.end(),
                       [controlId](const AxisControls& row) { return row.radio == controlId; });
}

}  // namespace

QtTarvexDialog::QtTarvexDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Tarvex  2024"));
    setWindowIcon(applicationIcon());
    // A caption bar with a close box and minimise button; no help button.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    systemMenu_ = new QMenu(this);
    systemMenu_->setObjectName(QStringLiteral("systemMenu"));
    addSystemMenuItem(QStringLiteral("&About Tarvex..."), kAboutCommand);
    addSystemMenuItem(QStringLiteral("&Bragg curve..."), kBraggCurveCommand);
    addSystemMenuItem(QStringLiteral("&Beam runs..."), kBeamRunsCommand);
    addSystemMenuItem(QStringLiteral("&Campaign..."), kCampaignCommand);
    addSystemMenuItem(QStringLiteral("&Cross section..."), kCrossSectionCommand);

    buildControls();
    buildTabOrder();

    stopsDuringWork_ = std::make_unique<StopsDuringWork>(
        std::vector<QPointer<QWidget>>{control(ControlId::Halt), control(ControlId::AllHalt)},
        control(ControlId::Keyboard));
    endSignals_ = watchEndSignals(this, [this](int) {
        if (events_ != nullptr)
            events_->onTerminate();
    });

    // Alt+Space opens the window menu, as on the platform the console came from.
    auto* menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        systemMenu_->popup(systemMenuButton_->mapToGlobal(QPoint(0, systemMenuButton_->height())));
    });

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &QtTarvexDialog::help);

    // Hidden and disabled in the layout: the direct-control controls, the
    // Tell and Ask buttons and the dialog's own OK and Cancel.
    for (const ControlId hidden : {ControlId::DirectControl, ControlId::Reset, ControlId::Tell, ControlId::Ask,
                                   ControlId::DirectCommand, ControlId::Ok, ControlId::Cancel}) {
        control(hidden)->setVisible(false);
        control(hidden)->setEnabled(false);
    }
}

QtTarvexDialog::~QtTarvexDialog() = default;

QWidget* QtTarvexDialog::control(ControlId controlId) const { return control(id(controlId)); }

template <typename W>
W* QtTarvexDialog::widget(ControlId controlId) const
{
    return qobject_cast<W*>(control(controlId));
}

QWidget* QtTarvexDialog::register_(QWidget* w, int controlId)
{
    Q_ASSERT(!controls_.contains(controlId));
    w->setObjectName(QStringLiteral("c%1").arg(controlId));
    controls_.insert(controlId, w);
    return w;
}

void QtTarvexDialog::command(ControlId controlId)
{
    if (events_ == nullptr)
        return;
    switch (controlId) {
    case ControlId::Ok: events_->onOk(); break;
    case ControlId::Cancel: events_->onCancel(); break;
    default: events_->onCommand(controlId); break;
    }
}

void QtTarvexDialog::help()
{
    if (QWidget* button = control(ControlId::Help); button != nullptr && button->isEnabled())
        command(ControlId::Help);
}

void QtTarvexDialog::connectClick(QAbstractButton* button, ControlId controlId)
{
    connect(button, &QAbstractButton::clicked, this, [this, controlId] { command(controlId); });
}

// The accessible names of a row's cells follow its label, which start-up may rename.
void QtTarvexDialog::updateRowNames(int axis)
{
    const auto a = static_cast<std::size_t>(axis);
    if (rowLabels_[a] == nullptr)
        return;
    const QString row = rowLabels_[a]->text();
    const AxisControls& controls = kAxisControls[a];
    const std::pair<ControlId, const char*> cells[] = {
        {controls.value, " Current value"}, {controls.unit, " Unit"}, {controls.locked, " Locked"},
        {controls.radio, " Active"}};
    for (const auto& [controlId, cell] : cells)
        if (QWidget* w = control(controlId))
            w->setAccessibleName(row + QString::fromUtf8(cell));
    if (targets_[a] != nullptr)
        targets_[a]->setAccessibleName(row + QStringLiteral(" Target value"));
}

void QtTarvexDialog::addSystemMenuItem(const QString& text, int commandNumber)
{
    if (text.isEmpty())
        return;
    QAction* action = systemMenu_->addAction(text);
    action->setData(commandNumber);
    connect(action, &QAction::triggered, this, [this, commandNumber] {
        if (events_ != nullptr)
            events_->onSystemCommand(commandNumber);
    });
}

// ---------------------------------------------------------------- events

void QtTarvexDialog::reject()
{
    if (events_ != nullptr)
        events_->onCancel();
}

void QtTarvexDialog::keyPressEvent(QKeyEvent* event)
{
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            reject();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            event->accept();
            // Enter on a focused push button presses it; anywhere else it is
            // the dialog's OK action.
            auto* button = qobject_cast<QPushButton*>(focusWidget());
            if (button != nullptr && button->isVisible() && button->isEnabled())
                button->click();
            else if (events_ != nullptr)
                events_->onOk();
            return;
        }
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void QtTarvexDialog::closeEvent(QCloseEvent* event)
{
    // The close box and Alt+F4 never close the console; the logic answers
    // with the warning sound.
    event->ignore();
    if (events_ != nullptr)
        events_->onCloseRequest();
}

void QtTarvexDialog::contextMenuEvent(QContextMenuEvent* event)
{
    systemMenu_->popup(event->globalPos());
    event->accept();
}

// ---------------------------------------------------------------- Ui

void QtTarvexDialog::serviceStops()
{
    stopsDuringWork_->service();
}

Button QtTarvexDialog::messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                                  const std::string& caption)
{
    return runMessageBox(isVisible() ? this : nullptr, text, icon, buttons, defaultButton, caption);
}

void QtTarvexDialog::setText(ControlId controlId, const std::string& text)
{
    QWidget* w = control(controlId);
    if (w == nullptr)
        return;
    const QString value = qs(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        showInEdit(edit, value);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(value);
        for (std::size_t a = 0; a < rowLabels_.size(); ++a)
            if (rowLabels_[a] == label)
                updateRowNames(static_cast<int>(a));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(value);
        if (!button->accessibleName().isEmpty() && !isActiveAxisRadio(controlId))
            button->setAccessibleName(withoutMnemonic(value));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(value);
    }
    // Shown at once, even in the middle of a long operation.
    if (w->isVisible())
        w->repaint();
}

void QtTarvexDialog::setChecked(ControlId controlId, bool checked)
{
    auto* button = widget<QAbstractButton>(controlId);
    if (button == nullptr)
        return;
    const SettingControls setting(settingControls_);
    QButtonGroup* group = button->group();
    if (!checked && group != nullptr && group->exclusive()) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else {
        button->setChecked(checked);
    }
    if (button->isVisible())
        button->repaint();
}

void QtTarvexDialog::setListItems(ControlId controlId, const std::vector<std::string>& items)
{
    if (auto* combo = widget<QComboBox>(controlId)) {
        // The command box keeps its presets in their given order and its text.
        const QSignalBlocker blocker(combo);
        const QString text = combo->currentText();
        combo->clear();
        for (const std::string& item : items)
            combo->addItem(qs(item));
        combo->setEditText(text);
        return;
    }
    auto* list = widget<QListWidget>(controlId);
    if (list == nullptr)
        return;
    // Sorted as the list box always sorts: without regard to case.
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        texts.append(qs(item));
    std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(texts);
}

void QtTarvexDialog::transferToControls(const DialogFields& fields)
{
    DialogFields shown = fields;  // the table points into the fields it is made for
    const SettingControls setting(settingControls_);
    for (const FieldBinding& row : dialogFieldTable(shown))
        showField(control(row.id), row);
}

void QtTarvexDialog::transferFromControls(DialogFields& fields)
{
    for (const FieldBinding& row : dialogFieldTable(fields))
        readField(control(row.id), row);
}

bool QtTarvexDialog::startTimer(int timerId, int milliseconds)
{
    QTimer* timer = timers_.value(timerId, nullptr);
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("timer%1").arg(timerId));
        connect(timer, &QTimer::timeout, this, [this, timerId] {
            if (events_ != nullptr)
                events_->onTimer(timerId);
        });
        timers_.insert(timerId, timer);
    }
    timer->start(std::max(0, milliseconds));
    return timer->isActive();
}

void QtTarvexDialog::stopTimer(int timerId)
{
    if (QTimer* timer = timers_.value(timerId, nullptr))
        timer->stop();
}

bool QtTarvexDialog::startProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    QStringList args;
    for (const std::string& argument : arguments)
        args.append(qs(argument));
    return QProcess::startDetached(qs(program), args);
}

void QtTarvexDialog::openDocument(const std::string& path, std::function<void()> onFailure)
{
    // The opener runs beside the dialog; its end is watched from the event
    // loop, so a slow or hanging opener never blocks the window.
    auto* opener = new QProcess(this);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({qs(path)});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    auto watching = std::make_shared<bool>(true);
    auto fail = [watching, onFailure = std::move(onFailure)] {
        if (!*watching)
            return;
        *watching = false;
        if (onFailure)
            onFailure();
    };
    connect(opener, &QProcess::errorOccurred, this, [opener, fail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        opener->deleteLater();
        fail();
    });
    connect(opener, &QProcess::finished, this, [opener, fail](int code, QProcess::ExitStatus status) {
        opener->deleteLater();
        if (code != 0 || status != QProcess::NormalExit)
            fail();
    });
    QTimer::singleShot(kOpenerWatchMilliseconds, opener, [watching] { *watching = false; });
    opener->start();
}

void QtTarvexDialog::showDocument(const std::string& path)
{
    if (documentWindow_ == nullptr) {
        documentWindow_ = new DocumentWindow(*this, this);
        connect(documentWindow_, &DocumentWindow::helpRequested, this, &QtTarvexDialog::help);
    }
    documentWindow_->showFile(QDir::current().absoluteFilePath(qs(path)));
    documentWindow_->show();
    documentWindow_->raise();
    documentWindow_->activateWindow();
}

void QtTarvexDialog::beep() { QApplication::beep(); }

void QtTarvexDialog::sleepSeconds(int seconds)
{
    if (seconds > 0)
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

std::string QtTarvexDialog::userName()
{
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        return ss(user);
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    return {};
}

std::string QtTarvexDialog::computerName() { return ss(QSysInfo::machineHostName()); }

void QtTarvexDialog::showAbout()
{
    CAboutDlg about(isVisible() ? this : nullptr);
    about.exec();
}

void QtTarvexDialog::showBraggCurve()
{
    // The range table of the working folder, which is the current folder.
    if (braggWindow_ == nullptr) {
        braggWindow_ = new BraggCurveWindow(QDir::current().absoluteFilePath(QStringLiteral("RangeTable.txt")), this);
        // Exported pictures name the beam and the settings the dialog shows.
        braggWindow_->setExportLabelSource([this] {
            auto text = [this](ControlId c) {
                auto* edit = widget<QLineEdit>(c);
                return edit != nullptr ? ss(edit->text().trimmed()) : std::string();
            };
            auto shown = [&text](int axis) {
                const AxisControls& row = kAxisControls[static_cast<std::size_t>(axis)];
                return text(row.value) + " " + text(row.unit);
            };
            BraggExportLabel label;
            label.beam = text(ControlId::Beam);
            label.s = shown(kAxisS);
            label.r = shown(kAxisR);
            label.t = shown(kAxisT);
            return label;
        });
    }
    braggWindow_->show();
    braggWindow_->raise();
    braggWindow_->activateWindow();
}

void QtTarvexDialog::showBeamRuns(const std::string& path)
{
    const QString absolute = QDir::current().absoluteFilePath(QString::fromStdString(path));
    if (beamRunsWindow_ == nullptr)
        beamRunsWindow_ = new BeamRunsWindow(absolute, this);
    beamRunsWindow_->setLogbookPath(absolute);
    beamRunsWindow_->show();
    beamRunsWindow_->raise();
    beamRunsWindow_->activateWindow();
}

void QtTarvexDialog::showCampaign(const CampaignShown& shown, bool open)
{
    if (campaignWindow_ == nullptr) {
        if (!open)
            return;
        campaignWindow_ = new CampaignWindow(
            [this](const CampaignRequest& request) {
                if (events_ != nullptr)
                    events_->onCampaign(request);
            },
            this);
    }
    campaignWindow_->setShown(shown);
    if (!open)
        return;
    campaignWindow_->show();
    campaignWindow_->raise();
    campaignWindow_->activateWindow();
}

void QtTarvexDialog::showCrossSection()
{
    if (crossSectionWindow_ == nullptr)
        crossSectionWindow_ = new CrossSectionWindow(QDir::currentPath(), this);
    crossSectionWindow_->show();
    crossSectionWindow_->raise();
    crossSectionWindow_->activateWindow();
}

std::string QtTarvexDialog::startLiveView(const std::string& host, int port)
{
    if (liveViewServer_ != nullptr)
        return "the live view is served already";
    auto* server = new LiveViewServer(QDir::currentPath(), this);
    const QString why = server->start(QString::fromStdString(host), static_cast<quint16>(port));
    if (!why.isEmpty()) {
        delete server;
        return why.toStdString();
    }
    liveViewServer_ = server;
    return {};
}

void QtTarvexDialog::closeDialog(int result)
{
    closed_ = true;
    done(result);
}

void QtTarvexDialog::exitProcess(int code)
{
    std::fflush(nullptr);
    std::exit(code);
}
