#pragma once

#include <QObject>
#include <QString>

class QImage;

#include <string>

class QFileSystemWatcher;
class QTimer;

// Follows one file for a window that shows it: changes of the file, and of
// its folder for a file that is removed, replaced or made for the first time,
// come out as one changed() per burst, `delayMs` after the last.
class FollowedFile : public QObject {
    Q_OBJECT
public:
    FollowedFile(const QString& path, int delayMs, QObject* parent);

    QString path() const { return path_; }
    void setPath(const QString& path);  // absolute, or relative to the current folder
    // Takes up the watch (again: a file removed drops out of it); `stop` ends
    // it and drops a pending changed().
    void follow();
    void stop();

signals:
    void changed();

private:
    QString path_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* delay_ = nullptr;
};

// Writes `bytes` to `path` whole or not at all; false when it could not.
bool saveWholeFile(const QString& path, const std::string& bytes);
// Writes `image` to `path` as PNG, whole or not at all; false when it could not.
bool saveWholePng(const QString& path, const QImage& image);
