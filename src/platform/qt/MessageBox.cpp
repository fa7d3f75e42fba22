#include "platform/qt/MessageBox.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>
#include <vector>

#include "platform/qt/Bitmaps.h"

namespace {

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

}  // namespace

Button runMessageBox(QWidget* parent, const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                     const std::string& caption)
{
    TarvexMessageBox box(parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setWindowIcon(applicationIcon());
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
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
