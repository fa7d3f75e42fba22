#include "platform/qt/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

// Before a window is first shown its decorations are unknown: room for a
// title bar and thin borders.
constexpr QMargins kAssumedFrame(4, 30, 4, 4);  // px

QMargins frameOf(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    const QMargins frame = handle != nullptr ? handle->frameMargins() : QMargins();
    return frame.isNull() ? kAssumedFrame : frame;
}

QSize withFrame(QSize size, const QMargins& frame)
{
    return size.grownBy(frame);
}

long long overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

// Keeps `start` .. `start + length` inside `low` .. `low + room`; a length
// larger than the room starts at `low`.
int inside(int start, int length, int low, int room)
{
    return std::max(low, std::min(start, low + room - length));
}

QSettings placements() { return QSettings(QStringLiteral("Tarvex"), QStringLiteral("tarvex")); }

// The frame's top left corner and the inside size of a window.
struct WindowSpot {
    QPoint position;
    QSize size;
};

// Where a window of inside `size` and decorations `frame` goes among
// `screens` (available geometries), as placeWindow says; `remembered` is its
// frame's last place (invalid: none), `home` the main window's screen.
WindowSpot fitWindow(const QRect& remembered, QSize size, const QMargins& frame, const std::vector<QRect>& screens,
                     const QRect& home)
{
    QRect area = home;
    long long best = 0;
    if (remembered.isValid())
        for (const QRect& screen : screens)
            if (const long long shared = overlap(remembered, screen); shared > best) {
                best = shared;
                area = screen;
            }
    WindowSpot spot;
    spot.size = size.boundedTo(area.size().shrunkBy(frame)).expandedTo(QSize(1, 1));
    const QSize outer = withFrame(spot.size, frame);
    if (best > 0) {
        spot.position = QPoint(inside(remembered.x(), outer.width(), area.x(), area.width()),
                               inside(remembered.y(), outer.height(), area.y(), area.height()));
    } else {
        spot.position = QPoint(area.x() + (area.width() - outer.width()) / 2,
                               area.y() + (area.height() - outer.height()) / 2);
    }
    return spot;
}

}  // namespace

void placeWindow(QWidget* window, const char* key, QSize preferred)
{
    QSettings settings = placements();
    settings.beginGroup(QLatin1String(key));
    QSize size = settings.value(QStringLiteral("size")).toSize();
    if (size.isEmpty())
        size = preferred;
    const QVariant position = settings.value(QStringLiteral("position"));
    const QMargins frame = frameOf(window);
    const QRect remembered = position.isValid() ? QRect(position.toPoint(), withFrame(size, frame)) : QRect();

    // The screen of the console's main window.
    const QWidget* main = window->parentWidget() != nullptr ? window->parentWidget()->window() : window;
    QScreen* screen = main->screen() != nullptr ? main->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        window->resize(size);
        return;
    }
    std::vector<QRect> screens;
    for (const QScreen* each : QGuiApplication::screens())
        screens.push_back(each->availableGeometry());
    const WindowSpot spot = fitWindow(remembered, size, frame, screens, screen->availableGeometry());
    window->resize(spot.size);
    window->move(spot.position);
}

void rememberWindow(const QWidget* window, const char* key)
{
    QPoint position = window->pos();
    QSize size = window->size();
    if (window->isMaximized() || window->isMinimized() || window->isFullScreen()) {
        const QRect normal = window->normalGeometry();
        if (normal.isEmpty())
            return;
        const QMargins frame = frameOf(window);
        position = normal.topLeft() - QPoint(frame.left(), frame.top());
        size = normal.size();
    }
    QSettings settings = placements();
    settings.beginGroup(QLatin1String(key));
    settings.setValue(QStringLiteral("position"), position);
    settings.setValue(QStringLiteral("size"), size);
}

namespace {

// Places its window on the first show and remembers it at every hide the
// program makes (not the window system's, such as minimising).
class Placement : public QObject {
public:
    Placement(QWidget* window, const char* key, QSize preferred)
        : QObject(window), window_(window), key_(key), preferred_(preferred)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_)
            return false;
        if (event->type() == QEvent::Show && !placed_) {
            placed_ = true;
            placeWindow(window_, key_, preferred_);
        } else if (event->type() == QEvent::Hide && placed_ && !event->spontaneous()) {
            rememberWindow(window_, key_);
        }
        return false;
    }

private:
    QWidget* window_;
    const char* key_;
    QSize preferred_;
    bool placed_ = false;
};

}  // namespace

void keepWindowPlaced(QWidget* window, const char* key, QSize preferred)
{
    window->installEventFilter(new Placement(window, key, preferred));
}
