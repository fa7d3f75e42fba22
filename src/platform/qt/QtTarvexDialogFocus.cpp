// The dialog's toggles and its focus: a check box or radio button runs its
// handler however its state changes, and the focus never passes to a push
// button because the control that had it was disabled or hidden.

#include "platform/qt/QtTarvexDialog.h"

#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "platform/qt/ToggleButton.h"

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
