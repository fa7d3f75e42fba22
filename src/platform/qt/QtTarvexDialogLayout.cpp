// The main dialog's controls and where they stand: the four groups, the side
// column, the bottom line, the beam banner above them and the tab chain.

#include "platform/qt/QtTarvexDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/AxisTable.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/CManual.h"
#include "platform/qt/ToggleButton.h"

namespace {

constexpr int id(ControlId c) { return static_cast<int>(c); }


QLabel* smallNote(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A box that shows a value and takes no input: read-only, drawn as a
// read-out, out of the tab chain (a click still selects its text for
// copying; the accessibility bridge reads it as text).
QLineEdit* readOut(QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setProperty("readOut", true);
    box->setAlignment(alignment | Qt::AlignVCenter);
    return box;
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

}  // namespace

QPushButton* QtTarvexDialog::addButton(const char* text, ControlId controlId, QWidget* parent)
{
    const QString shown = QString::fromUtf8(text);
    auto* button = new QPushButton(shown, parent);
    button->setAutoDefault(false);
    button->setAccessibleName(shown);
    register_(button, id(controlId));
    connectClick(button, controlId);
    return button;
}

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

    // What the last computation of the beam warned of (past the Bragg peak,
    // under the minimum range, stopped), until the next one.
    beamWarning_ = new QLabel(this);
    beamWarning_->setObjectName(QStringLiteral("beamWarning"));
    beamWarning_->setAlignment(Qt::AlignCenter);
    beamWarning_->setWordWrap(true);
    beamWarning_->setMargin(3);
    beamWarning_->setStyleSheet(QStringLiteral("QLabel { background: #ffe9a8; color: #4a3200; font-weight: bold; }"));
    beamWarning_->setVisible(false);

    // Read-outs look like read-outs, not like entry fields.
    setStyleSheet(QStringLiteral("QLineEdit[readOut=\"true\"] { background: palette(window); "
                                 "border: 1px solid palette(mid); border-radius: 2px; padding: 1px 3px; }"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(beamBanner_);
    layout->addWidget(beamWarning_);
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
        QLineEdit* box = readOut(group, row.right ? Qt::AlignRight : Qt::AlignLeft);
        box->setMinimumWidth(96);
        box->setAccessibleName(text);
        label->setBuddy(box);
        register_(box, id(row.box));
        grid->addWidget(label, r, 0);
        if (row.box == ControlId::Layers) {
            QPushButton* summary = addButton("Summary", ControlId::Summary, group);
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

// The eight axis rows, one per entry of the axis-control table, beside the
// column of operation buttons.
QLayout* QtTarvexDialog::buildAxisRows(QWidget* group)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const char* heads[] = {"Coordinate identification", "Current value", "Target", "Unit", "Locked", "Active"};
    for (int c = 0; c < 6; ++c)
        grid->addWidget(columnHead(QString::fromUtf8(heads[c]), group), 0, c, Qt::AlignBottom | Qt::AlignHCenter);

    auto* activeAxisGroup = new QButtonGroup(this);
    activeAxisGroup->setExclusive(true);
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const auto a = static_cast<std::size_t>(axis);
        const AxisControls& controls = kAxisControls[a];
        const int row = kAxisDisplayRow[a] + 1;

        auto* label = new QLabel(QString::fromUtf8(controls.rowLabel), group);
        rowLabels_[a] = label;
        if (controls.label)
            register_(label, id(*controls.label));
        grid->addWidget(label, row, 0);

        QLineEdit* value = readOut(group, Qt::AlignRight);
        value->setMinimumWidth(80);
        value->setMaximumWidth(160);
        register_(value, id(controls.value));
        grid->addWidget(value, row, 1);

        // Where the axis was sent; empty at rest.
        QLineEdit* target = readOut(group, Qt::AlignRight);
        target->setObjectName(QStringLiteral("target%1").arg(QLatin1Char(kAxisLetters[axis])));
        target->setMinimumWidth(80);
        target->setMaximumWidth(160);
        targets_[a] = target;
        grid->addWidget(target, row, 2);

        QLineEdit* unit = readOut(group);
        unit->setMinimumWidth(44);
        unit->setMaximumWidth(72);
        register_(unit, id(controls.unit));
        grid->addWidget(unit, row, 3);

        auto* locked = new ToggleCheckBox(group);
        register_(locked, id(controls.locked));
        connectToggle(locked, controls.locked);
        grid->addWidget(locked, row, 4, Qt::AlignCenter);

        auto* radio = new ToggleRadioButton(QStringLiteral("&") + QLatin1Char(kAxisLetters[axis]), group);
        register_(radio, id(controls.radio));
        activeAxisGroup->addButton(radio, axis);
        connectToggle(radio, controls.radio);
        grid->addWidget(radio, row, 5, Qt::AlignCenter);

        updateRowNames(axis);
    }

    // The operation column beside the eight rows; the rows spread to its height.
    auto* operations = new QVBoxLayout;
    operations->setSpacing(4);
    operations->addWidget(columnHead(QStringLiteral("Operation"), group), 0, Qt::AlignHCenter | Qt::AlignBottom);
    QPushButton* nudgePlus = addButton("Nudge(+)", ControlId::NudgePlus, group);
    operations->addWidget(nudgePlus);
    operations->addWidget(addButton("Drive(+)", ControlId::DrivePlus, group));
    QPushButton* halt = addButton("Halt", ControlId::Halt, group);
    operations->addWidget(halt);
    operations->addWidget(addButton("Drive(-)", ControlId::DriveMinus, group));
    operations->addWidget(addButton("Nudge(-)", ControlId::NudgeMinus, group));
    auto* finest = new ToggleCheckBox(QStringLiteral("Finest step"), group);
    finest->setLayoutDirection(Qt::RightToLeft);  // text on the left
    finest->setAccessibleName(QStringLiteral("Finest step"));
    register_(finest, id(ControlId::FinestStep));
    connectToggle(finest, ControlId::FinestStep);
    operations->addWidget(finest, 0, Qt::AlignHCenter);
    operations->addWidget(addButton("Home", ControlId::Home, group));
    halt->setFixedHeight(nudgePlus->sizeHint().height() * 5 / 2);
    QFont haltFont = halt->font();
    haltFont.setBold(true);
    halt->setFont(haltFont);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    for (int row = 1; row <= kAxisCount; ++row)
        grid->setRowStretch(row, 1);
    auto* axes = new QHBoxLayout;
    axes->setSpacing(10);
    axes->addLayout(grid, 1);
    axes->addLayout(operations);
    return axes;
}

// Value entry, the LET/energy goal, the direct-control row and the All Halt picture.
QLayout* QtTarvexDialog::buildEntryRows(QWidget* group)
{
    auto* lower = new QGridLayout;
    lower->setHorizontalSpacing(6);
    lower->setVerticalSpacing(4);

    auto* newValueLabel = new QLabel(QStringLiteral("New active axis value:"), group);
    auto* newValue = new QLineEdit(group);
    newValue->setAccessibleName(newValueLabel->text());
    newValueLabel->setBuddy(newValue);
    register_(newValue, id(ControlId::NewAxisValue));
    auto* valueButtons = new QHBoxLayout;
    valueButtons->setSpacing(4);
    valueButtons->addWidget(addButton("Set Value", ControlId::SetValue, group));
    valueButtons->addWidget(addButton("Increment", ControlId::Increment, group));
    // The active axis's nudge step.
    nudgeStep_ = new QLabel(group);
    nudgeStep_->setObjectName(QStringLiteral("nudgeStep"));
    valueButtons->addSpacing(8);
    valueButtons->addWidget(nudgeStep_);
    showNudgeStep("");
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
    auto* bragg = new ToggleCheckBox(QStringLiteral("Bragg"), group);
    bragg->setAccessibleName(QStringLiteral("Bragg"));
    register_(bragg, id(ControlId::Bragg));
    connectToggle(bragg, ControlId::Bragg);
    goalButtons->addWidget(bragg);
    goalButtons->addWidget(addButton("Go", ControlId::Go, group));
    goalButtons->addStretch(1);
    lower->addWidget(setLabel, 1, 0);
    lower->addWidget(goal, 1, 1);
    lower->addLayout(goalButtons, 1, 2);

    // The unit-choice radio group, in group order.
    auto* unitChoiceGroup = new QButtonGroup(this);
    unitChoiceGroup->setExclusive(true);
    auto* units = new QHBoxLayout;
    units->setSpacing(10);
    const std::pair<const char*, ControlId> unitChoices[] = {
        {"MeVcm²/mg", ControlId::UnitLet}, {"MeV", ControlId::UnitMeV}, {"MeV/u", ControlId::UnitMeVPerNucleon}};
    int index = 0;
    for (const auto& [unitText, controlId] : unitChoices) {
        const QString text = QString::fromUtf8(unitText);
        auto* radio = new ToggleRadioButton(text, group);
        radio->setAccessibleName(text);
        register_(radio, id(controlId));
        unitChoiceGroup->addButton(radio, index++);
        connectToggle(radio, controlId);
        units->addWidget(radio);
    }
    units->addStretch(1);
    lower->addLayout(units, 2, 1, 1, 2);

    auto* directRow = new QHBoxLayout;
    auto* direct = new ToggleCheckBox(QStringLiteral("Enable direct control of the hardware"), group);
    direct->setLayoutDirection(Qt::RightToLeft);  // text on the left
    direct->setAccessibleName(direct->text());
    register_(direct, id(ControlId::DirectControl));
    connectToggle(direct, ControlId::DirectControl);
    directRow->addWidget(direct);
    directRow->addWidget(addButton("Reset", ControlId::Reset, group));
    directRow->addStretch(1);
    lower->addLayout(directRow, 3, 0, 1, 3);

    // All Halt: the red picture as the face of a real button, so that the
    // keyboard reaches it and the accessibility bridge knows it as one.
    QPushButton* allHalt = addButton("", ControlId::AllHalt, group);
    const QPixmap picture = allHaltPicture();
    allHalt->setIcon(picture);
    allHalt->setIconSize(picture.size());
    allHalt->setAccessibleName(QStringLiteral("All Halt"));
    allHalt->setToolTip(QStringLiteral("All Halt: stops every axis (Space in the keyboard box)"));
    allHalt->setCursor(Qt::PointingHandCursor);
    lower->addWidget(allHalt, 0, 3, 3, 1, Qt::AlignRight | Qt::AlignVCenter);
    lower->setColumnStretch(2, 1);
    return lower;
}

QWidget* QtTarvexDialog::buildMotionControl()
{
    auto* group = new QGroupBox(QStringLiteral("Motion control"), this);
    group->setObjectName(QStringLiteral("groupMotionControl"));
    auto* outer = new QVBoxLayout(group);
    outer->setSpacing(6);
    outer->addLayout(buildAxisRows(group));
    outer->addLayout(buildEntryRows(group));

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    auto* statusLabel = new QLabel(QStringLiteral("Status:"), group);
    QLineEdit* status = readOut(group);
    status->setAccessibleName(statusLabel->text());
    statusLabel->setBuddy(status);
    register_(status, id(ControlId::Status));
    statusRow->addWidget(statusLabel);
    statusRow->addWidget(status, 1);
    statusRow->addWidget(addButton("Clear", ControlId::Clear, group));
    // Simulation or hardware, and whether commands reach a controller; not
    // controls of their own.
    modeIndicator_ = new QLabel(group);
    modeIndicator_->setObjectName(QStringLiteral("modeIndicator"));
    modeIndicator_->setMargin(2);
    modeIndicator_->setVisible(false);  // until start-up knows the mode
    statusRow->addWidget(modeIndicator_);
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
    grid->addWidget(addButton("Save", ControlId::Save, group), 2, 1);

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
    buttons->addWidget(addButton("Restore", ControlId::Restore, group));
    buttons->addWidget(addButton("Preview", ControlId::Preview, group));
    buttons->addWidget(addButton("Hide", ControlId::Hide, group));
    buttons->addWidget(addButton("Unhide", ControlId::Unhide, group));
    buttons->addWidget(addButton("Show Unhidden", ControlId::ShowUnhidden, group));
    buttons->addWidget(addButton("Show Hidden", ControlId::ShowHidden, group));
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
        grid->addWidget(addButton(pair.on, pair.onId, group), r, 0);
        grid->addWidget(addButton(pair.off, pair.offId, group), r, 1);
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
        QPushButton* b = addButton(text, controlId, side);
        b->setMinimumWidth(88);
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
    row->addWidget(addButton("Tell", ControlId::Tell, line));
    row->addWidget(addButton("Ask", ControlId::Ask, line));
    row->addStretch(1);

    auto* user = new QLabel(QStringLiteral("User name"), line);
    user->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    register_(user, id(ControlId::UserLine));
    row->addWidget(user);

    row->addWidget(addButton("OK", ControlId::Ok, line));
    row->addWidget(addButton("Cancel", ControlId::Cancel, line));
    return line;
}
