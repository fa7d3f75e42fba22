#include "platform/qt/StopsDuringWork.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

}  // namespace

StopsDuringWork::StopsDuringWork(std::vector<QPointer<QWidget>> stopControls, QPointer<QWidget> keyboard)
    : stopControls_(std::move(stopControls)), keyboard_(std::move(keyboard))
{
}

void StopsDuringWork::service()
{
    if (servicing_ || (sinceLast_.isValid() && sinceLast_.elapsed() < 10))
        return;
    servicing_ = true;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    qApp->removeEventFilter(this);
    sinceLast_.start();
    servicing_ = false;
}

bool StopsDuringWork::isStop(QObject* watched, QEvent* event) const
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Space in the keyboard box, and the backspace that empties it again.
        const bool keyboardStop = key == Qt::Key_Space || key == Qt::Key_Backspace;
        return key == Qt::Key_Escape || (keyboardStop && watched == keyboard_.data());
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    for (const QPointer<QWidget>& stop : stopControls_) {
        if (stop != nullptr && watched == stop.data())
            return true;
    }
    return false;
}

bool StopsDuringWork::eventFilter(QObject* watched, QEvent* event)
{
    // Everything but input goes on: timers, painting, the signal pipe.
    if (!isInput(event->type()))
        return false;
    return !isStop(watched, event);
}
