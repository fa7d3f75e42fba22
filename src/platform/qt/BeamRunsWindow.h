#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "beam/BeamRuns.h"

class FollowedFile;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The non-modal "Beam runs" window: the runs of the beam-run logbook, newest
// first, with their notes merged. It reads the logbook again whenever the file
// changes while the window is shown, lets the operator add a note (comment and
// optional fluence and events) to the selected run, appended as a note record, and
// exports the runs as CSV. Under the table, the totals of all runs.
class BeamRunsWindow : public QWidget {
    Q_OBJECT
public:
    // `logbookPath`: absolute, or relative to the current folder when the
    // window is made.
    explicit BeamRunsWindow(const QString& logbookPath, QWidget* parent = nullptr);
    ~BeamRunsWindow() override;

    QString logbookPath() const { return path_; }
    // Follows the console to another logbook (a new file after a bad one).
    void setLogbookPath(const QString& logbookPath);
    const std::vector<RunSummary>& runs() const { return runs_; }
    QTableWidget* table() const { return table_; }
    QString stateText() const;
    // Under the table: "3 runs · beam on 1 h 23 min 04 s · fluence 3.20e+07 ions/cm²".
    QString totalsText() const;

    // Appends a note to `run`; false, with the reason, when the fluence is
    // not a number >= 0, the events no whole number >= 0, nothing is typed,
    // or the logbook cannot be written.
    bool addNote(std::int64_t run, const QString& comment, const QString& fluence, QString* why = nullptr,
                 const QString& events = QString());
    // The runs, notes merged, as CSV; false when the file cannot be written.
    bool exportCsv(const QString& path) const;

public slots:
    void reload();

signals:
    void runsChanged();  // after every reload

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape closes the window
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void addNoteToSelection();
    void chooseAndExport();
    std::int64_t selectedRun() const;

    QString path_;
    std::vector<RunSummary> runs_;
    QLabel* state_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* totals_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QLineEdit* fluence_ = nullptr;
    QLineEdit* events_ = nullptr;
    QPushButton* addNote_ = nullptr;
    QPushButton* export_ = nullptr;
    FollowedFile* follower_ = nullptr;
    bool loaded_ = false;
    QString signature_;  // size and time of the logbook as read last
};
