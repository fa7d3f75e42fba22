#pragma once

// The real main dialog as the GUI tests set it up: shown with a recorder of
// its events, or in a temporary working folder with the console's logic behind
// it, on an empty folder or on a copy of the demo station.

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "RecordingEvents.h"
#include "app/TarvexDlg.h"
#include "platform/qt/QtTarvexDialog.h"

// Windows remember their sizes and places in the settings: tests keep theirs
// apart from the user's, and each test starts with none remembered.
inline void freshWindowSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QStringLiteral("Tarvex"), QStringLiteral("tarvex")).clear();
}

// The real dialog, shown and active, delivering its events to a recorder.
struct RecordedDialog {
    std::unique_ptr<QtTarvexDialog> dialog;
    RecordingEvents events;

    // False when the window did not show.
    bool open()
    {
        events = RecordingEvents{};
        freshWindowSettings();
        dialog = std::make_unique<QtTarvexDialog>();
        dialog->setEvents(&events);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        return QTest::qWaitForWindowExposed(dialog.get());
    }

    void close() { dialog.reset(); }

    // The control of an id, found as scripted checks find it: by its object name.
    template <typename W = QWidget>
    W* c(int id) const
    {
        W* w = dialog->findChild<W*>(QStringLiteral("c%1").arg(id));
        if (w == nullptr)
            qWarning("no control with id %d", id);
        return w;
    }
};

// The real dialog with the console's logic behind it, in a fresh temporary
// working folder made current for the life of a test.
struct DialogInFolder {
    std::unique_ptr<QTemporaryDir> folder;
    QString previousFolder;
    std::unique_ptr<QtTarvexDialog> dialog;
    std::unique_ptr<CTarvexDlg> logic;

    ~DialogInFolder() { close(); }

    // An empty folder; the dialog shown, the logic not started. False when
    // the folder could not be made or entered.
    bool open()
    {
        if (!enter(false))
            return false;
        dialog->show();
        return true;
    }

    // A copy of the demo station and its stopping data; the dialog and the
    // logic are made, and start() runs them.
    bool openDemoStation() { return enter(true); }

    // The logic's start-up on the folder's station, then the dialog shown.
    bool start()
    {
        if (!logic->onInitDialog())
            return false;
        dialog->show();
        return true;
    }

    // Writes a file of the working folder.
    static void write(const std::string& name, const std::string& text) { std::ofstream(name) << text; }

    void close()
    {
        if (folder == nullptr)
            return;
        if (dialog != nullptr)
            dialog->setEvents(nullptr);
        logic.reset();
        dialog.reset();
        QDir::setCurrent(previousFolder);
        folder.reset();
    }

private:
    static std::filesystem::path stoppingData()
    {
        const char* env = std::getenv("TARVEX_STOPPING_DATA");
        return env != nullptr && *env != '\0' ? env : TARVEX_STOPPING_DATA_DEFAULT;
    }

    static bool copyDemoStation(const std::filesystem::path& to)
    {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::copy(fs::path(TARVEX_SOURCE_DIR) / "examples/demo-site", to, fs::copy_options::recursive, error);
        for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"})
            if (!error)
                fs::copy_file(stoppingData() / name, to / name, error);
        // No live view on the station's fixed port: tests run side by side.
        if (!error)
            fs::remove(to / "LiveView.dat", error);
        return !error;
    }

    bool enter(bool demoStation)
    {
        freshWindowSettings();
        folder = std::make_unique<QTemporaryDir>();
        previousFolder = QDir::currentPath();
        if (!folder->isValid() || (demoStation && !copyDemoStation(folder->path().toStdString()))
            || !QDir::setCurrent(folder->path()))
            return false;
        dialog = std::make_unique<QtTarvexDialog>();
        logic = std::make_unique<CTarvexDlg>(*dialog);
        dialog->setEvents(logic.get());
        return true;
    }
};
