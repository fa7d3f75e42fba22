#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <memory>

#include "app/TarvexDlg.h"
#include "platform/qt/QtTarvexDialog.h"

// The real dialog, shown, with the console's logic behind it (not started),
// in a fresh temporary working folder made current for the life of a test.
struct DialogInFolder {
    std::unique_ptr<QTemporaryDir> folder;
    QString previousFolder;
    std::unique_ptr<QtTarvexDialog> dialog;
    std::unique_ptr<CTarvexDlg> logic;

    // False when the folder could not be made or entered.
    bool open()
    {
        folder = std::make_unique<QTemporaryDir>();
        previousFolder = QDir::currentPath();
        if (!folder->isValid() || !QDir::setCurrent(folder->path()))
            return false;
        dialog = std::make_unique<QtTarvexDialog>();
        logic = std::make_unique<CTarvexDlg>(*dialog);
        dialog->setEvents(logic.get());
        dialog->show();
        return true;
    }

    void close()
    {
        if (dialog != nullptr)
            dialog->setEvents(nullptr);
        logic.reset();
        dialog.reset();
        QDir::setCurrent(previousFolder);
        folder.reset();
    }
};
