#include "platform/qt/QtTarvexDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include <pwd.h>
#include <unistd.h>

#include "platform/qt/Bitmaps.h"
#include "beam/BeamRuns.h"
#include "platform/qt/BeamRunsWindow.h"
#include "platform/qt/BraggCurveWindow.h"
#include "platform/qt/CAboutDlg.h"
#include "platform/qt/CManual.h"

namespace {

constexpr int id(ControlId c) { return static_cast<int>(c); }

// The cells of the motion grid, in axis order X Y Z T U V R S.
constexpr std::array<ControlId, 8> kValueIds = {
    ControlId::ValueX, ControlId::ValueY, ControlId::ValueZ, ControlId::ValueT,
    ControlId::ValueU, ControlId::ValueV, ControlId::ValueR, ControlId::ValueS};
constexpr std::array<ControlId, 8> kUnitIds = {
    ControlId::UnitX, ControlId::UnitY, ControlId::UnitZ, ControlId::UnitT,
    ControlId::UnitU, ControlId::UnitV, ControlId::UnitR, ControlId::UnitS};
constexpr std::array<ControlId, 8> kLockedIds = {
    ControlId::LockedX, ControlId::LockedY, ControlId::LockedZ, ControlId::LockedT,
    ControlId::LockedU, ControlId::LockedV, ControlId::LockedR, ControlId::LockedS};
constexpr std::array<ControlId, 8> kActiveIds = {
    ControlId::ActiveX, ControlId::ActiveY, ControlId::ActiveZ, ControlId::ActiveT,
    ControlId::ActiveU, ControlId::ActiveV, ControlId::ActiveR, ControlId::ActiveS};
constexpr std::array<const char*, 8> kActiveTexts = {"&X", "&Y", "&Z", "&T", "&U", "&V", "&R", "&S"};
constexpr std::array<const char*, 8> kRowTexts = {
    "X (side-to-side):",     "Y (up-down):",       "Z (toward-away):",        "T (turntable)",
    "U (horizontal slits):", "V (vertical slits):", "R (degrader rotation):", "S (degrader selection)"};
constexpr std::array<int, 8> kRowLabelIds = {0, 0, 0, 0, id(ControlId::LabelU), id(ControlId::LabelV),
                                             id(ControlId::LabelR), id(ControlId::LabelS)};
// Screen row of each axis: the S row stands above the R row.
constexpr std::array<int, 8> kDisplayRow = {0, 1, 2, 3, 4, 5, 7, 6};

// The unit-choice radio group, in group order.
constexpr std::array<ControlId, 3> kUnitChoiceIds = {ControlId::UnitLet, ControlId::UnitMeV,
                                                     ControlId::UnitMeVPerNucleon};

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

QString withoutMnemonic(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// A message box that, like the platform's own boxes, cannot be escaped or
// closed from the frame when it offers neither Cancel nor a lone OK.
class TarvexMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool escapable = true;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!escapable && event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (!escapable) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

QMessageBox::StandardButton standardButton(Button button)
{
    switch (button) {
    case Button::Ok: return QMessageBox::Ok;
    case Button::Cancel: return QMessageBox::Cancel;
    case Button::Yes: return QMessageBox::Yes;
    case Button::No: return QMessageBox::No;
    case Button::Retry: return QMessageBox::Retry;
    case Button::Abort: return QMessageBox::Abort;
    case Button::Ignore: return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

std::vector<Button> buttonSet(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return {Button::Ok};
    case Buttons::OkCancel: return {Button::Ok, Button::Cancel};
    case Buttons::YesNo: return {Button::Yes, Button::No};
    case Buttons::RetryCancel: return {Button::Retry, Button::Cancel};
    case Buttons::AbortRetryIgnore: return {Button::Abort, Button::Retry, Button::Ignore};
    }
    return {Button::Ok};
}

QMessageBox::Icon messageIcon(Icon icon)
{
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Stop: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QLabel* smallNote(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* columnHead(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A value shown from its start; a read-only box also carries the whole text
// as its tool tip, for where the box is too narrow.
void showInEdit(QLineEdit* edit, const QString& value)
{
    edit->setText(value);
    edit->setCursorPosition(0);
    if (edit->isReadOnly())
        edit->setToolTip(value);
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

    buildControls();
    buildTabOrder();

    // Alt+Space opens the window menu, as on the platform the console came from.
    auto* menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        systemMenu_->popup(systemMenuButton_->mapToGlobal(QPoint(0, systemMenuButton_->height())));
    });

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

void QtTarvexDialog::connectClick(QAbstractButton* button, ControlId controlId)
{
    connect(button, &QAbstractButton::clicked, this, [this, controlId] { command(controlId); });
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

// ---------------------------------------------------------------- layout

void QtTarvexDialog::buildControls()
{
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(buildCurrentSettings());
    top->addWidget(buildMotionControl(), 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(buildFileManagement(), 1);
    bottom->addWidget(buildToggleSwitches());
    bottom->addWidget(buildSideColumn());

    // The beam banner: across the whole window, above everything else.
    beamBanner_ = new QLabel(this);
    beamBanner_->setObjectName(QStringLiteral("beamBanner"));
    beamBanner_->setAlignment(Qt::AlignCenter);
    beamBanner_->setMargin(3);
    QFont bannerFont = beamBanner_->font();
    bannerFont.setBold(true);
    bannerFont.setPointSizeF(bannerFont.pointSizeF() * 1.5);
    beamBanner_->setFont(bannerFont);
    beamBannerTimer_ = new QTimer(this);
    beamBannerTimer_->setInterval(1000);
    connect(beamBannerTimer_, &QTimer::timeout, this, &QtTarvexDialog::refreshBeamBanner);
    refreshBeamBanner();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(beamBanner_);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->addWidget(buildBottomLine());
}

QWidget* QtTarvexDialog::buildCurrentSettings()
{
    auto* group = new QGroupBox(QStringLiteral("Current settings"), this);
    group->setObjectName(QStringLiteral("groupCurrentSettings"));
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    struct Row {
        const char* label;
        ControlId box;
        bool right;
    };
    const Row rows[] = {
        {"Log file:", ControlId::LogFile, false},
        {"Beam:", ControlId::Beam, false},
        {"Al degrader (mil):", ControlId::Degrader, true},
        {"Layers:", ControlId::Layers, true},
        {"Beam energy (MeV/u):", ControlId::EnergyPerNucleon, true},
        {"Beam energy (MeV):", ControlId::EnergyMeV, true},
        {"Target substrate:", ControlId::TargetSubstrate, true},
        {"Nominal LET (MeVcm²/mg):", ControlId::NominalLet, true},
        {"Nominal range (µm):", ControlId::NominalRange, true},
        {"Effective LET (MeVcm²/mg):", ControlId::EffectiveLet, true},
        {"Effective range (µm):", ControlId::EffectiveRange, true},
        {"DUT location:", ControlId::DutLocation, true},
        {"DUT position:", ControlId::DutPosition, true},
    };
    int r = 0;
    for (const Row& row : rows) {
        const QString text = QString::fromUtf8(row.label);
        auto* label = new QLabel(text, group);
        auto* box = new QLineEdit(group);
        box->setReadOnly(true);
        box->setAlignment(row.right ? (Qt::AlignRight | Qt::AlignVCenter) : (Qt::AlignLeft | Qt::AlignVCenter));
        box->setMinimumWidth(96);
        box->setAccessibleName(text);
        label->setBuddy(box);
        register_(box, id(row.box));
        grid->addWidget(label, r, 0);
        if (row.box == ControlId::Layers) {
            auto* summary = new QPushButton(QStringLiteral("Summary"), group);
            summary->setAutoDefault(false);
            summary->setAccessibleName(QStringLiteral("Summary"));
            register_(summary, id(ControlId::Summary));
            connectClick(summary, ControlId::Summary);
            auto* pair = new QHBoxLayout;
            pair->setSpacing(4);
            box->setMinimumWidth(128);  // "count (device name)" fits
            pair->addWidget(box, 1);
            pair->addWidget(summary);
            grid->addLayout(pair, r, 1);
        } else {
            grid->addWidget(box, r, 1);
        }
        ++r;
    }
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* QtTarvexDialog::buildMotionControl()
{
    auto* group = new QGroupBox(QStringLiteral("Motion control"), this);
    group->setObjectName(QStringLiteral("groupMotionControl"));
    auto* outer = new QVBoxLayout(group);
    outer->setSpacing(6);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const char* heads[] = {"Coordinate identification", "Current value", "Unit", "Locked", "Active"};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(columnHead(QString::fromUtf8(heads[c]), group), 0, c, Qt::AlignBottom | Qt::AlignHCenter);

    activeAxisGroup_ = new QButtonGroup(this);
    activeAxisGroup_->setExclusive(true);
    for (int axis = 0; axis < 8; ++axis) {
        const int row = kDisplayRow[static_cast<std::size_t>(axis)] + 1;
        const auto a = static_cast<std::size_t>(axis);

        auto* label = new QLabel(QString::fromUtf8(kRowTexts[a]), group);
        rowLabels_[a] = label;
        if (kRowLabelIds[a] != 0)
            register_(label, kRowLabelIds[a]);
        grid->addWidget(label, row, 0);

        auto* value = new QLineEdit(group);
        value->setReadOnly(true);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(80);
        register_(value, id(kValueIds[a]));
        grid->addWidget(value, row, 1);

        auto* unit = new QLineEdit(group);
        unit->setReadOnly(true);
        unit->setMinimumWidth(44);
        unit->setMaximumWidth(72);
        register_(unit, id(kUnitIds[a]));
        grid->addWidget(unit, row, 2);

        auto* locked = new QCheckBox(group);
        register_(locked, id(kLockedIds[a]));
        connectClick(locked, kLockedIds[a]);
        grid->addWidget(locked, row, 3, Qt::AlignCenter);

        auto* radio = new QRadioButton(QString::fromUtf8(kActiveTexts[a]), group);
        register_(radio, id(kActiveIds[a]));
        activeAxisGroup_->addButton(radio, axis);
        connectClick(radio, kActiveIds[a]);
        grid->addWidget(radio, row, 4, Qt::AlignCenter);

        updateRowNames(axis);
    }

    // The operation column beside the eight rows; the rows spread to its height.
    auto* operations = new QVBoxLayout;
    operations->setSpacing(4);
    operations->addWidget(columnHead(QStringLiteral("Operation"), group), 0, Qt::AlignHCenter | Qt::AlignBottom);
    auto addOperation = [&](const char* text, ControlId controlId) {
        auto* button = new QPushButton(QString::fromUtf8(text), group);
        button->setAutoDefault(false);
        button->setAccessibleName(QString::fromUtf8(text));
        register_(button, id(controlId));
        connectClick(button, controlId);
        operations->addWidget(button);
        return button;
    };
    QPushButton* nudgePlus = addOperation("Nudge(+)", ControlId::NudgePlus);
    addOperation("Drive(+)", ControlId::DrivePlus);
    QPushButton* halt = addOperation("Halt", ControlId::Halt);
    addOperation("Drive(-)", ControlId::DriveMinus);
    addOperation("Nudge(-)", ControlId::NudgeMinus);
    auto* finest = new QCheckBox(QStringLiteral("Finest step"), group);
    finest->setLayoutDirection(Qt::RightToLeft);  // text on the left
    finest->setAccessibleName(QStringLiteral("Finest step"));
    register_(finest, id(ControlId::FinestStep));
    connectClick(finest, ControlId::FinestStep);
    operations->addWidget(finest, 0, Qt::AlignHCenter);
    addOperation("Home", ControlId::Home);
    halt->setFixedHeight(nudgePlus->sizeHint().height() * 5 / 2);
    QFont haltFont = halt->font();
    haltFont.setBold(true);
    halt->setFont(haltFont);
    grid->setColumnStretch(1, 1);
    for (int row = 1; row <= 8; ++row)
        grid->setRowStretch(row, 1);
    auto* axes = new QHBoxLayout;
    axes->setSpacing(10);
    axes->addLayout(grid, 1);
    axes->addLayout(operations);
    outer->addLayout(axes);

    // Value entry, the LET/energy goal and the All Halt picture.
    auto* lower = new QGridLayout;
    lower->setHorizontalSpacing(6);
    lower->setVerticalSpacing(4);
    auto button = [&](const char* text, ControlId controlId) {
        auto* b = new QPushButton(QString::fromUtf8(text), group);
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(text));
        register_(b, id(controlId));
        connectClick(b, controlId);
        return b;
    };

    auto* newValueLabel = new QLabel(QStringLiteral("New active axis value:"), group);
    auto* newValue = new QLineEdit(group);
    newValue->setAccessibleName(newValueLabel->text());
    newValueLabel->setBuddy(newValue);
    register_(newValue, id(ControlId::NewAxisValue));
    auto* valueButtons = new QHBoxLayout;
    valueButtons->setSpacing(4);
    valueButtons->addWidget(button("Set Value", ControlId::SetValue));
    valueButtons->addWidget(button("Increment", ControlId::Increment));
    valueButtons->addStretch(1);
    lower->addWidget(newValueLabel, 0, 0);
    lower->addWidget(newValue, 0, 1);
    lower->addLayout(valueButtons, 0, 2);

    auto* setLabel = new QLabel(QStringLiteral("Set"), group);
    auto* goal = new QLineEdit(group);
    goal->setAccessibleName(setLabel->text());
    setLabel->setBuddy(goal);
    register_(goal, id(ControlId::SetGoal));
    auto* goalButtons = new QHBoxLayout;
    goalButtons->setSpacing(8);
    auto* bragg = new QCheckBox(QStringLiteral("Bragg"), group);
    bragg->setAccessibleName(QStringLiteral("Bragg"));
    register_(bragg, id(ControlId::Bragg));
    connectClick(bragg, ControlId::Bragg);
    goalButtons->addWidget(bragg);
    goalButtons->addWidget(button("Go", ControlId::Go));
    goalButtons->addStretch(1);
    lower->addWidget(setLabel, 1, 0);
    lower->addWidget(goal, 1, 1);
    lower->addLayout(goalButtons, 1, 2);

    unitChoiceGroup_ = new QButtonGroup(this);
    unitChoiceGroup_->setExclusive(true);
    auto* units = new QHBoxLayout;
    units->setSpacing(10);
    const char* unitTexts[] = {"MeVcm²/mg", "MeV", "MeV/u"};
    for (int i = 0; i < 3; ++i) {
        const QString text = QString::fromUtf8(unitTexts[i]);
        auto* radio = new QRadioButton(text, group);
        radio->setAccessibleName(text);
        const ControlId controlId = kUnitChoiceIds[static_cast<std::size_t>(i)];
        register_(radio, id(controlId));
        unitChoiceGroup_->addButton(radio, i);
        connectClick(radio, controlId);
        units->addWidget(radio);
    }
    units->addStretch(1);
    lower->addLayout(units, 2, 1, 1, 2);

    auto* directRow = new QHBoxLayout;
    auto* direct = new QCheckBox(QStringLiteral("Enable direct control of the hardware"), group);
    direct->setLayoutDirection(Qt::RightToLeft);  // text on the left
    direct->setAccessibleName(direct->text());
    register_(direct, id(ControlId::DirectControl));
    connectClick(direct, ControlId::DirectControl);
    directRow->addWidget(direct);
    directRow->addWidget(button("Reset", ControlId::Reset));
    directRow->addStretch(1);
    lower->addLayout(directRow, 3, 0, 1, 3);

    auto* allHalt = new QLabel(group);
    allHalt->setPixmap(allHaltPicture());
    allHalt->setAccessibleName(QStringLiteral("All Halt"));
    allHalt->setToolTip(QStringLiteral("All Halt"));
    allHalt->setCursor(Qt::PointingHandCursor);
    allHalt->installEventFilter(this);
    register_(allHalt, id(ControlId::AllHalt));
    lower->addWidget(allHalt, 0, 3, 3, 1, Qt::AlignRight | Qt::AlignVCenter);
    lower->setColumnStretch(2, 1);
    outer->addLayout(lower);

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    auto* statusLabel = new QLabel(QStringLiteral("Status:"), group);
    auto* status = new QLineEdit(group);
    status->setReadOnly(true);
    status->setAccessibleName(statusLabel->text());
    statusLabel->setBuddy(status);
    register_(status, id(ControlId::Status));
    statusRow->addWidget(statusLabel);
    statusRow->addWidget(status, 1);
    statusRow->addWidget(button("Clear", ControlId::Clear));
    // Whether commands reach a controller; not a control of its own.
    controllerIndicator_ = new QLabel(group);
    controllerIndicator_->setObjectName(QStringLiteral("controllerIndicator"));
    controllerIndicator_->setFrameShape(QFrame::StyledPanel);
    controllerIndicator_->setMargin(2);
    statusRow->addWidget(controllerIndicator_);
    showControllerLink(ControllerLink::Journal);
    outer->addLayout(statusRow);
    outer->addStretch(1);
    return group;
}

QWidget* QtTarvexDialog::buildFileManagement()
{
    auto* group = new QGroupBox(QStringLiteral("File management"), this);
    group->setObjectName(QStringLiteral("groupFileManagement"));
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);

    auto button = [&](const char* text, ControlId controlId) {
        auto* b = new QPushButton(QString::fromUtf8(text), group);
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(text));
        register_(b, id(controlId));
        connectClick(b, controlId);
        return b;
    };

    auto* nameLabel = new QLabel(QStringLiteral("New position file name:"), group);
    auto* nameNote = smallNote(QStringLiteral("(no path or extension)"), group);
    auto* name = new QLineEdit(group);
    name->setAccessibleName(nameLabel->text());
    name->setAccessibleDescription(nameNote->text());
    nameLabel->setBuddy(name);
    register_(name, id(ControlId::NewPositionName));
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(nameNote, 1, 0);
    grid->addWidget(name, 2, 0);
    grid->addWidget(button("Save", ControlId::Save), 2, 1);

    auto* listLabel = new QLabel(QStringLiteral("List of position files:"), group);
    auto* listNote = smallNote(QStringLiteral("(click to select)"), group);
    auto* list = new QListWidget(group);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setAccessibleName(listLabel->text());
    list->setAccessibleDescription(listNote->text());
    list->setMinimumHeight(90);
    listLabel->setBuddy(list);
    register_(list, id(ControlId::PositionList));
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        if (selected.isEmpty()) {
            // A Ctrl+click on the selected entry: the operator did not lose
            // the selection, so it stays.
            const QList<QListWidgetItem*> same = list->findItems(lastSelectedEntry_, Qt::MatchExactly);
            if (!same.isEmpty()) {
                const QSignalBlocker blocker(list);
                same.first()->setSelected(true);
                list->setCurrentItem(same.first());
                return;
            }
        } else {
            lastSelectedEntry_ = selected.first()->text();
        }
        if (events_ != nullptr)
            events_->onListSelectionChanged(ControlId::PositionList);
    });
    grid->addItem(new QSpacerItem(0, 6), 3, 0);
    grid->addWidget(listLabel, 4, 0);
    grid->addWidget(listNote, 5, 0);
    grid->addWidget(list, 6, 0, 2, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(3);
    buttons->addWidget(button("Restore", ControlId::Restore));
    buttons->addWidget(button("Preview", ControlId::Preview));
    buttons->addWidget(button("Hide", ControlId::Hide));
    buttons->addWidget(button("Unhide", ControlId::Unhide));
    buttons->addWidget(button("Show Unhidden", ControlId::ShowUnhidden));
    buttons->addWidget(button("Show Hidden", ControlId::ShowHidden));
    buttons->addStretch(1);
    grid->addLayout(buttons, 4, 1, 4, 1);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(0, 1);
    return group;
}

QWidget* QtTarvexDialog::buildToggleSwitches()
{
    auto* group = new QGroupBox(QStringLiteral("Toggle switches"), this);
    group->setObjectName(QStringLiteral("groupToggleSwitches"));
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    struct Pair {
        const char* on;
        ControlId onId;
        const char* off;
        ControlId offId;
    };
    const Pair pairs[] = {
        {"Camera On", ControlId::CameraOn, "Camera Off", ControlId::CameraOff},
        {"Light On", ControlId::LightOn, "Light Off", ControlId::LightOff},
        {"Laser On", ControlId::LaserOn, "Laser Off", ControlId::LaserOff},
        {"Open S1", ControlId::OpenS1, "Close S1", ControlId::CloseS1},
        {"Open S2", ControlId::OpenS2, "Close S2", ControlId::CloseS2},
        {"Check Parallax", ControlId::CheckParallax, "Undo Parallax", ControlId::UndoParallax},
    };
    int r = 0;
    for (const Pair& pair : pairs) {
        int c = 0;
        for (const auto& [text, controlId] : {std::pair{pair.on, pair.onId}, std::pair{pair.off, pair.offId}}) {
            auto* b = new QPushButton(QString::fromUtf8(text), group);
            b->setAutoDefault(false);
            b->setAccessibleName(QString::fromUtf8(text));
            register_(b, id(controlId));
            connectClick(b, controlId);
            grid->addWidget(b, r, c++);
        }
        ++r;
    }
    grid->setRowStretch(r, 1);
    return group;
}

QWidget* QtTarvexDialog::buildSideColumn()
{
    auto* side = new QWidget(this);
    side->setObjectName(QStringLiteral("sideColumn"));
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(4);

    auto* keyboardLabel = new QLabel(QStringLiteral("Keyboard"), side);
    auto* controlLabel = new QLabel(QStringLiteral("control"), side);
    keyboardLabel->setAlignment(Qt::AlignHCenter);
    controlLabel->setAlignment(Qt::AlignHCenter);
    auto* keyboard = new CManual(side);
    keyboard->setAccessibleName(QStringLiteral("Keyboard control"));
    keyboard->setToolTip(QStringLiteral("+ / - nudge, 8 6 / 2 4 drive, space halts all"));
    keyboard->setFixedWidth(64);
    keyboardLabel->setBuddy(keyboard);
    register_(keyboard, id(ControlId::Keyboard));
    connect(keyboard, &CManual::keyboardChar, this, [this](char c) {
        if (events_ != nullptr)
            events_->onKeyboardChar(c);
    });
    column->addWidget(keyboardLabel);
    column->addWidget(controlLabel);
    column->addWidget(keyboard, 0, Qt::AlignHCenter);
    column->addSpacing(10);

    for (const auto& [text, controlId] : {std::pair{"Exit", ControlId::Exit}, std::pair{"Help", ControlId::Help}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), side);
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(text));
        b->setMinimumWidth(88);
        register_(b, id(controlId));
        connectClick(b, controlId);
        column->addWidget(b, 0, Qt::AlignHCenter);
    }
    column->addStretch(1);
    auto* arrows = new QLabel(side);
    arrows->setObjectName(QStringLiteral("coordinateArrows"));
    arrows->setPixmap(coordinateArrowsPicture());
    arrows->setAccessibleName(QStringLiteral("Coordinate arrows"));
    column->addWidget(arrows, 0, Qt::AlignHCenter);
    return side;
}

QWidget* QtTarvexDialog::buildBottomLine()
{
    auto* line = new QWidget(this);
    line->setObjectName(QStringLiteral("bottomLine"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    // The window menu (on this platform the window manager's system menu
    // cannot carry the console's own items).
    systemMenuButton_ = new QToolButton(line);
    systemMenuButton_->setObjectName(QStringLiteral("systemMenuButton"));
    systemMenuButton_->setText(QStringLiteral("Menu"));
    systemMenuButton_->setToolTip(QStringLiteral("Window menu (Alt+Space)"));
    systemMenuButton_->setAccessibleName(QStringLiteral("Window menu"));
    systemMenuButton_->setPopupMode(QToolButton::InstantPopup);
    systemMenuButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    systemMenuButton_->setMenu(systemMenu_);
    row->addWidget(systemMenuButton_);

    auto* directCommand = new QComboBox(line);
    directCommand->setEditable(true);
    directCommand->setInsertPolicy(QComboBox::NoInsert);
    directCommand->setMinimumWidth(200);
    directCommand->setAccessibleName(QStringLiteral("Direct command"));
    register_(directCommand, id(ControlId::DirectCommand));
    row->addWidget(directCommand);
    for (const auto& [text, controlId] : {std::pair{"Tell", ControlId::Tell}, std::pair{"Ask", ControlId::Ask}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), line);
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(text));
        register_(b, id(controlId));
        connectClick(b, controlId);
        row->addWidget(b);
    }
    row->addStretch(1);

    auto* user = new QLabel(QStringLiteral("User name"), line);
    user->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    register_(user, id(ControlId::UserLine));
    row->addWidget(user);

    for (const auto& [text, controlId] : {std::pair{"OK", ControlId::Ok}, std::pair{"Cancel", ControlId::Cancel}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), line);
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(text));
        register_(b, id(controlId));
        connectClick(b, controlId);
        row->addWidget(b);
    }
    return line;
}

void QtTarvexDialog::updateRowNames(int axis)
{
    const auto a = static_cast<std::size_t>(axis);
    if (rowLabels_[a] == nullptr)
        return;
    const QString row = rowLabels_[a]->text();
    if (QWidget* w = control(kValueIds[a]))
        w->setAccessibleName(row + QStringLiteral(" Current value"));
    if (QWidget* w = control(kUnitIds[a]))
        w->setAccessibleName(row + QStringLiteral(" Unit"));
    if (QWidget* w = control(kLockedIds[a]))
        w->setAccessibleName(row + QStringLiteral(" Locked"));
    if (QWidget* w = control(kActiveIds[a]))
        w->setAccessibleName(row + QStringLiteral(" Active"));
}

void QtTarvexDialog::buildTabOrder()
{
    using C = ControlId;
    std::vector<ControlId> order = {
        C::LogFile, C::Beam, C::Degrader, C::Layers, C::Summary, C::EnergyPerNucleon, C::EnergyMeV,
        C::TargetSubstrate, C::NominalLet, C::NominalRange, C::EffectiveLet, C::EffectiveRange,
        C::DutLocation, C::DutPosition};
    // Value, unit and Locked boxes row by row as they stand; the Active radios
    // in axis order, R before S.
    std::array<std::size_t, 8> displayed{};
    for (std::size_t a = 0; a < 8; ++a)
        displayed[static_cast<std::size_t>(kDisplayRow[a])] = a;
    for (const std::size_t a : displayed)
        order.insert(order.end(), {kValueIds[a], kUnitIds[a], kLockedIds[a]});
    order.insert(order.end(), kActiveIds.begin(), kActiveIds.end());
    order.insert(order.end(), {
        C::NudgePlus, C::DrivePlus, C::Halt, C::DriveMinus, C::NudgeMinus, C::FinestStep, C::Home,
        C::NewAxisValue, C::SetValue, C::Increment, C::SetGoal, C::Bragg, C::Go,
        C::UnitLet, C::UnitMeV, C::UnitMeVPerNucleon, C::DirectControl, C::Reset, C::Status, C::Clear,
        C::NewPositionName, C::Save, C::PositionList, C::Restore, C::Preview, C::Hide, C::Unhide,
        C::ShowUnhidden, C::ShowHidden,
        C::CameraOn, C::CameraOff, C::LightOn, C::LightOff, C::LaserOn, C::LaserOff,
        C::OpenS1, C::CloseS1, C::OpenS2, C::CloseS2, C::CheckParallax, C::UndoParallax,
        C::Keyboard, C::Exit, C::Help, C::DirectCommand, C::Tell, C::Ask, C::Ok, C::Cancel});

    QWidget* previous = nullptr;
    controlOrder_.clear();
    for (const ControlId c : order) {
        QWidget* w = control(c);
        Q_ASSERT(w != nullptr);
        controlOrder_.append(id(c));
        if (previous != nullptr)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
    QWidget::setTabOrder(previous, systemMenuButton_);
    // The static labels and pictures with ids complete the table.
    for (const ControlId c : {C::LabelU, C::LabelV, C::LabelS, C::LabelR, C::AllHalt, C::UserLine})
        controlOrder_.append(id(c));
    Q_ASSERT(controlOrder_.size() == controls_.size());
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

bool QtTarvexDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == control(ControlId::AllHalt) && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* picture = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && picture->rect().contains(mouse->position().toPoint())) {
            command(ControlId::AllHalt);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- Ui

Button QtTarvexDialog::messageBox(const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                                  const std::string& caption)
{
    TarvexMessageBox box(isVisible() ? this : nullptr);
    box.setWindowTitle(qs(caption));
    box.setWindowIcon(applicationIcon());
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(text));
    box.setIcon(messageIcon(icon));
    const std::vector<Button> set = buttonSet(buttons);
    QMessageBox::StandardButtons standard;
    for (const Button b : set)
        standard |= standardButton(b);
    box.setStandardButtons(standard);
    box.setDefaultButton(standardButton(defaultButton));
    const bool hasCancel = std::find(set.begin(), set.end(), Button::Cancel) != set.end();
    box.escapable = hasCancel || buttons == Buttons::Ok;
    if (hasCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    box.exec();

    if (QAbstractButton* clicked = box.clickedButton()) {
        const QMessageBox::StandardButton pressed = box.standardButton(clicked);
        for (const Button b : set)
            if (standardButton(b) == pressed)
                return b;
    }
    return hasCancel ? Button::Cancel : defaultButton;
}

void QtTarvexDialog::setEnabled(ControlId controlId, bool enabled)
{
    if (QWidget* w = control(controlId))
        w->setEnabled(enabled);
}

void QtTarvexDialog::setVisible(ControlId controlId, bool visible)
{
    if (QWidget* w = control(controlId))
        w->setVisible(visible);
}

void QtTarvexDialog::setFocus(ControlId controlId)
{
    if (QWidget* w = control(controlId))
        w->setFocus(Qt::OtherFocusReason);
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
        for (std::size_t a = 0; a < 8; ++a)
            if (rowLabels_[a] == label)
                updateRowNames(static_cast<int>(a));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(value);
        if (!button->accessibleName().isEmpty() && kActiveIds.end() == std::find(kActiveIds.begin(), kActiveIds.end(), controlId))
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

namespace {

void selectListText(QListWidget* list, const QString& text)
{
    const QSignalBlocker blocker(list);
    list->clearSelection();
    list->setCurrentItem(nullptr);
    if (text.isEmpty())
        return;
    QListWidgetItem* match = nullptr;
    for (int i = 0; i < list->count() && match == nullptr; ++i)
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            match = list->item(i);
    for (int i = 0; i < list->count() && match == nullptr; ++i)
        if (list->item(i)->text().startsWith(text, Qt::CaseInsensitive))
            match = list->item(i);
    if (match != nullptr) {
        list->setCurrentItem(match);
        match->setSelected(true);
        list->scrollToItem(match);
    }
}

void selectInGroup(QButtonGroup* group, int index)
{
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

void QtTarvexDialog::transferToControls(const DialogFields& f)
{
    auto text = [this](ControlId c, const std::string& value) {
        if (auto* edit = widget<QLineEdit>(c))
            showInEdit(edit, qs(value));
    };
    auto check = [this](ControlId c, int value) {
        if (auto* box = widget<QAbstractButton>(c))
            box->setChecked(value != 0);
    };

    text(ControlId::LogFile, f.logFile);
    text(ControlId::Beam, f.beam);
    text(ControlId::TargetSubstrate, f.targetSubstrate);
    text(ControlId::Degrader, f.degrader);
    text(ControlId::NominalLet, f.nominalLet);
    text(ControlId::NominalRange, f.nominalRange);
    text(ControlId::EffectiveLet, f.effectiveLet);
    text(ControlId::EffectiveRange, f.effectiveRange);
    text(ControlId::DutLocation, f.dutLocation);
    text(ControlId::DutPosition, f.positionName);
    for (std::size_t a = 0; a < 8; ++a) {
        text(kValueIds[a], f.axisValue[a]);
        text(kUnitIds[a], f.axisUnit[a]);
        check(kLockedIds[a], f.locked[a]);
    }
    selectInGroup(activeAxisGroup_, f.activeAxis);
    text(ControlId::EnergyPerNucleon, f.energyPerNucleon);
    text(ControlId::EnergyMeV, f.energyMeV);
    text(ControlId::Layers, f.layers);
    selectListText(widget<QListWidget>(ControlId::PositionList), qs(f.positionListSelection));
    text(ControlId::NewPositionName, f.newPositionName);
    text(ControlId::NewAxisValue, f.newAxisValue);
    text(ControlId::Status, f.status);
    check(ControlId::DirectControl, f.directControl);
    text(ControlId::SetGoal, f.goal);
    selectInGroup(unitChoiceGroup_, f.unitChoice);
    check(ControlId::Bragg, f.bragg);
    widget<QComboBox>(ControlId::DirectCommand)->setEditText(qs(f.directCommand));
    widget<QLabel>(ControlId::UserLine)->setText(qs(f.userLine));
    check(ControlId::FinestStep, f.finestStep);
}

void QtTarvexDialog::transferFromControls(DialogFields& f)
{
    auto text = [this](ControlId c) {
        auto* edit = widget<QLineEdit>(c);
        return edit != nullptr ? ss(edit->text()) : std::string();
    };
    auto check = [this](ControlId c) {
        auto* box = widget<QAbstractButton>(c);
        return box != nullptr && box->isChecked() ? 1 : 0;
    };

    f.logFile = text(ControlId::LogFile);
    f.beam = text(ControlId::Beam);
    f.targetSubstrate = text(ControlId::TargetSubstrate);
    f.degrader = text(ControlId::Degrader);
    f.nominalLet = text(ControlId::NominalLet);
    f.nominalRange = text(ControlId::NominalRange);
    f.effectiveLet = text(ControlId::EffectiveLet);
    f.effectiveRange = text(ControlId::EffectiveRange);
    f.dutLocation = text(ControlId::DutLocation);
    f.positionName = text(ControlId::DutPosition);
    for (std::size_t a = 0; a < 8; ++a) {
        f.axisValue[a] = text(kValueIds[a]);
        f.axisUnit[a] = text(kUnitIds[a]);
        f.locked[a] = check(kLockedIds[a]);
    }
    f.activeAxis = activeAxisGroup_->checkedId();
    f.energyPerNucleon = text(ControlId::EnergyPerNucleon);
    f.energyMeV = text(ControlId::EnergyMeV);
    f.layers = text(ControlId::Layers);
    const QList<QListWidgetItem*> selected = widget<QListWidget>(ControlId::PositionList)->selectedItems();
    f.positionListSelection = selected.isEmpty() ? std::string() : ss(selected.first()->text());
    f.newPositionName = text(ControlId::NewPositionName);
    f.newAxisValue = text(ControlId::NewAxisValue);
    f.status = text(ControlId::Status);
    f.directControl = check(ControlId::DirectControl);
    f.goal = text(ControlId::SetGoal);
    f.unitChoice = unitChoiceGroup_->checkedId();
    f.bragg = check(ControlId::Bragg);
    f.directCommand = ss(widget<QComboBox>(ControlId::DirectCommand)->currentText());
    f.userLine = ss(widget<QLabel>(ControlId::UserLine)->text());
    f.finestStep = check(ControlId::FinestStep);
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
            auto shown = [&text](ControlId value, ControlId unit) { return text(value) + " " + text(unit); };
            BraggExportLabel label;
            label.beam = text(ControlId::Beam);
            label.s = shown(ControlId::ValueS, ControlId::UnitS);
            label.r = shown(ControlId::ValueR, ControlId::UnitR);
            label.t = shown(ControlId::ValueT, ControlId::UnitT);
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

void QtTarvexDialog::showBeamBanner(const BeamBanner& banner)
{
    if (banner == banner_ && !beamBanner_->text().isEmpty())
        return;
    banner_ = banner;
    refreshBeamBanner();
}

void QtTarvexDialog::refreshBeamBanner()
{
    QString text = QString::fromStdString(banner_.text);
    if (banner_.run > 0) {
        const long long elapsed = QDateTime::currentSecsSinceEpoch() - banner_.runBeginSeconds;
        text = QString::fromStdString(beamOnBannerText(banner_.run, elapsed));
        beamBanner_->setStyleSheet(QStringLiteral("QLabel { background: #c00000; color: white; }"));
        if (!beamBannerTimer_->isActive())
            beamBannerTimer_->start();
    } else {
        beamBanner_->setStyleSheet(QStringLiteral("QLabel { background: #e0e0e0; color: #202020; }"));
        beamBannerTimer_->stop();
    }
    if (text.isEmpty())
        text = QStringLiteral(" ");
    beamBanner_->setText(text);
    beamBanner_->setAccessibleName(text);
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

void QtTarvexDialog::showAxisMoving(int axis, bool moving)
{
    if (axis < 0 || axis >= 8)
        return;
    auto* value = qobject_cast<QLineEdit*>(control(kValueIds[static_cast<std::size_t>(axis)]));
    if (value == nullptr)
        return;
    // A moving axis: its value on amber, with a tooltip saying so.
    value->setStyleSheet(moving ? QStringLiteral("QLineEdit { background: #ffd24d; font-weight: bold; }") : QString());
    value->setToolTip(moving ? QStringLiteral("Moving (controller read-back)") : QString());
    value->setProperty("moving", moving);
}

void QtTarvexDialog::showControllerLink(ControllerLink link)
{
    QString text;
    QString colour;
    switch (link) {
    case ControllerLink::Journal:
        text = QStringLiteral("No controller");
        colour = QStringLiteral("#606060");
        break;
    case ControllerLink::Connected:
        text = QStringLiteral("Controller connected");
        colour = QStringLiteral("#1b7a1b");
        break;
    case ControllerLink::Absent:
        text = QStringLiteral("Controller absent");
        colour = QStringLiteral("#b00000");
        break;
    case ControllerLink::Lost:
        text = QStringLiteral("Controller lost");
        colour = QStringLiteral("#b00000");
        break;
    }
    controllerIndicator_->setText(text);
    controllerIndicator_->setAccessibleName(text);
    controllerIndicator_->setToolTip(link == ControllerLink::Journal
                                         ? QStringLiteral("Commands are written to ControllerJournal.txt only")
                                         : QStringLiteral("Motion controller link (see Controller.dat)"));
    controllerIndicator_->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colour));
    controllerIndicator_->repaint();
}
