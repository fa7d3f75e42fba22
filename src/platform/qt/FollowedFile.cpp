#include "platform/qt/FollowedFile.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QImage>
#include <QSaveFile>
#include <QTimer>

FollowedFile::FollowedFile(const QString& path, int delayMs, QObject* parent)
    : QObject(parent), path_(QFileInfo(path).absoluteFilePath())
{
    watcher_ = new QFileSystemWatcher(this);
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    delay_->setInterval(delayMs);
    connect(delay_, &QTimer::timeout, this, &FollowedFile::changed);
    connect(watcher_, &QFileSystemWatcher::fileChanged, delay_, qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::directoryChanged, delay_, qOverload<>(&QTimer::start));
}

void FollowedFile::setPath(const QString& path)
{
    stop();
    path_ = QFileInfo(path).absoluteFilePath();
}

void FollowedFile::follow()
{
    delay_->stop();
    const QString folder = QFileInfo(path_).absolutePath();
    if (!watcher_->directories().contains(folder) && QFileInfo(folder).isDir())
        watcher_->addPath(folder);
    if (!watcher_->files().contains(path_) && QFileInfo::exists(path_))
        watcher_->addPath(path_);
}

void FollowedFile::stop()
{
    delay_->stop();
    const QStringList watched = watcher_->files() + watcher_->directories();
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
}

bool saveWholePng(const QString& path, const QImage& image)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!image.save(&file, "PNG"))
        return false;
    return file.commit();
}

bool saveWholeFile(const QString& path, const std::string& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        return false;
    return file.commit();
}
