// The dialog's toggles and its focus: a check box or radio button runs its
// handler however its state changes, the focus never passes to a push button
// because the control that had it was disabled or hidden, and the tab chain
// follows the layout.

#include "platform/qt/QtTarvexDialog.h"

#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "core/AxisTable.h"
#include "platform/qt/ToggleButton.h"

namespace {

constexpr int id(ControlId c) { return static_cast<int>(c); }

}  // namespace

void QtTarvexDialog::connectToggle(QAbstractButton* button, ControlId controlId)
{
    auto* clicks = dynamic_cast<StateChangingClicks*>(button);
    Q_ASSERT(clicks != nullptr);
    // Of a radio group only the radio that becomes checked reports.
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    connect(button, &QAbstractButton::toggled, this, [this, button, controlId, radio](bool checked) {
        if (settingControls_ == 0 && (checked || !radio))
            toggleCommand(button, controlId);
    });
    // A click that changed the state has reported through toggled already.
    connect(button, &QAbstractButton::clicked, this, [this, button, controlId, clicks] {
        if (!clicks->takeStateChangingClick())
            toggleCommand(button, controlId);
    });
}

void QtTarvexDialog::toggleCommand(QAbstractButton* button, ControlId controlId)
{
    const QPointer<QAbstractButton> outer = operatedToggle_;
    operatedToggle_ = button;
    command(controlId);
    operatedToggle_ = outer;
}

void QtTarvexDialog::parkFocus(QWidget* leaving)
{
    QAbstractButton* used = operatedToggle_;
    if (used != nullptr && used != leaving && used->isEnabled() && !used->isHidden()) {
        used->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The dialog itself: Space does nothing there and Enter is its OK action,
    // which never ends the console.
    QWidget::setFocus(Qt::OtherFocusReason);
}

bool QtTarvexDialog::holdsFocus(const QWidget* w) const
{
    const QWidget* focused = focusWidget();
    return focused != nullptr && (focused == w || w->isAncestorOf(focused));
}

// A control that loses the focus by being disabled or hidden would hand it to
// the next one of the tab chain, which may be a push button (after the
// keyboard box comes Exit); it goes to a harmless place instead.
void QtTarvexDialog::setEnabled(ControlId controlId, bool enabled)
{
    QWidget* w = control(controlId);
    if (w == nullptr)
        return;
    if (!enabled && holdsFocus(w))
        parkFocus(w);
    w->setEnabled(enabled);
}

void QtTarvexDialog::setVisible(ControlId controlId, bool visible)
{
    QWidget* w = control(controlId);
    if (w == nullptr)
        return;
    if (!visible && holdsFocus(w))
        parkFocus(w);
    w->setVisible(visible);
}

void QtTarvexDialog::setFocus(ControlId controlId)
{
    QWidget* w = control(controlId);
    if (w == nullptr)
        return;
    if (w->isEnabled() && !w->isHidden()) {
        w->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The control cannot take the focus (the keyboard box of a locked axis):
    // the focus is not left on a push button the operator just pressed.
    const QWidget* focused = focusWidget();
    if (focused == nullptr || qobject_cast<const QPushButton*>(focused) != nullptr
        || qobject_cast<const QToolButton*>(focused) != nullptr)
        parkFocus(w);
}

void QtTarvexDialog::buildTabOrder()
{
    using C = ControlId;
    // The controls that take input, group by group as they stand, top to
    // bottom and left to right; the read-outs are not in the chain.
    std::vector<ControlId> order = {C::Summary};
    // The Locked boxes row by row as they stand; the Active radios in axis
    // order, R before S.
    for (int row = 0; row < kAxisCount; ++row)
        for (std::size_t a = 0; a < kAxisCount; ++a)
            if (kAxisDisplayRow[a] == row)
                order.push_back(kAxisControls[a].locked);
    for (const AxisControls& controls : kAxisControls)
        order.push_back(controls.radio);
    order.insert(order.end(), {
        C::NudgePlus, C::DrivePlus, C::Halt, C::DriveMinus, C::NudgeMinus, C::FinestStep, C::Home,
        C::NewAxisValue, C::SetValue, C::Increment, C::SetGoal, C::Bragg, C::Go,
        C::UnitLet, C::UnitMeV, C::UnitMeVPerNucleon, C::DirectControl, C::Reset, C::AllHalt, C::Clear,
        C::NewPositionName, C::Save, C::PositionList, C::Restore, C::Preview, C::Hide, C::Unhide,
        C::ShowUnhidden, C::ShowHidden,
        C::CameraOn, C::CameraOff, C::LightOn, C::LightOff, C::LaserOn, C::LaserOff,
        C::OpenS1, C::CloseS1, C::OpenS2, C::CloseS2, C::CheckParallax, C::UndoParallax,
        C::Keyboard, C::Exit, C::Help});

    controlOrder_.clear();
    QWidget* previous = nullptr;
    auto chain = [&previous](QWidget* w) {
        if (previous != nullptr)
            QWidget::setTabOrder(previous, w);
        previous = w;
    };
    for (const ControlId c : order) {
        Q_ASSERT(control(c) != nullptr);
        controlOrder_.append(id(c));
        chain(control(c));
    }
    chain(systemMenuButton_);
    for (const ControlId c : {C::DirectCommand, C::Tell, C::Ask, C::Ok, C::Cancel}) {
        controlOrder_.append(id(c));
        chain(control(c));
    }
    // The read-outs, the static labels and the user line complete the table.
    std::vector<ControlId> rest = {C::LogFile, C::Beam, C::Degrader, C::Layers, C::EnergyPerNucleon, C::EnergyMeV,
                                   C::TargetSubstrate, C::NominalLet, C::NominalRange, C::EffectiveLet,
                                   C::EffectiveRange, C::DutLocation, C::DutPosition};
    for (const AxisControls& controls : kAxisControls)
        rest.insert(rest.end(), {controls.value, controls.unit});
    rest.insert(rest.end(), {C::Status, C::LabelU, C::LabelV, C::LabelS, C::LabelR, C::UserLine});
    for (const ControlId c : rest)
        controlOrder_.append(id(c));
    Q_ASSERT(controlOrder_.size() == controls_.size());
}
