#include "platform/qt/BeamRunsWindow.h"

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "core/FileNames.h"
#include "platform/qt/FollowedFile.h"
#include "platform/qt/WindowPlacement.h"

namespace {

constexpr int kReloadDelayMs = 200;  // ms: one read for a burst of changes

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Columns of the table: the export's, run first, long titles on two or three
// lines so that all of them fit beside each other.
constexpr int kBeginColumn = 1;
constexpr int kEndColumn = 2;
constexpr int kIonColumn = 4;
constexpr int kPositionColumn = 12;
constexpr int kEventsColumn = 17;
constexpr int kStepColumn = 18;
constexpr int kCommentColumn = 19;

QStringList columnTitles()
{
    return {QStringLiteral("run"),
            QStringLiteral("begin"),
            QStringLiteral("end"),
            QStringLiteral("duration\n(s)"),
            QStringLiteral("ion"),
            QStringLiteral("energy\n(MeV/u)"),
            QStringLiteral("S"),
            QStringLiteral("R"),
            QStringLiteral("T"),
            QStringLiteral("X"),
            QStringLiteral("Y"),
            QStringLiteral("Z"),
            QStringLiteral("position"),
            QStringLiteral("substrate\nenergy\n(MeV/u)"),
            QStringLiteral("effective\nLET\n(MeV\u00b7cm\u00b2/mg)"),
            QStringLiteral("effective\nrange\n(\u00b5m)"),
            QStringLiteral("fluence\n(ions/cm\u00b2)"),
            QStringLiteral("events"),
            QStringLiteral("step"),
            QStringLiteral("comment")};
}

bool isNumberColumn(int column)
{
    return column != kBeginColumn && column != kEndColumn && column != kIonColumn && column != kPositionColumn
           && column != kStepColumn && column != kCommentColumn;
}

// "2026-12-09T17:30:05+01:00" as "2026-12-09 17:30:05" (the local time it
// was written in), or as "17:30:05" when `sameDayAs` is a stamp of that day;
// a text of another shape as it is.
QString readableTime(const std::string& stamp, const std::string& sameDayAs = {})
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})T(\\d{2}:\\d{2}:\\d{2})"));
    const QString text = qs(stamp);
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch())
        return text;
    const QRegularExpressionMatch day = shape.match(qs(sameDayAs));
    if (day.hasMatch() && day.captured(1) == match.captured(1))
        return match.captured(2);
    return match.captured(1) + QLatin1Char(' ') + match.captured(2);
}

QStringList cells(const RunSummary& r)
{
    const RunConditions& c = r.conditions;
    return {QString::number(r.run), readableTime(r.begin), readableTime(r.end, r.begin), qs(r.duration), qs(c.ion),
            qs(c.energy), qs(c.s), qs(c.r), qs(c.t), qs(c.x), qs(c.y), qs(c.z), qs(c.position),
            qs(c.substrateEnergy), qs(c.effectiveLet), qs(c.effectiveRange), qs(r.fluence), qs(r.events), qs(r.step),
            qs(r.comment)};
}

QString plural(int count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

// "1 h 23 min 04 s", "5 min 02 s", "2 s".
QString beamOnText(double seconds)
{
    const long long s = std::llround(seconds);
    if (s >= 3600)
        return QString::asprintf("%lld h %02lld min %02lld s", s / 3600, s / 60 % 60, s % 60);
    if (s >= 60)
        return QString::asprintf("%lld min %02lld s", s / 60, s % 60);
    return QString::asprintf("%lld s", s);
}

// "3 runs · beam on 1 h 23 min 04 s (1 run without a duration) · fluence
// 3.20e+07 ions/cm² (1 run without a fluence)".
QString totalsText(const RunTotal& all)
{
    if (all.runs == 0)
        return QString();
    QString text = plural(all.runs, "run", "runs") + QStringLiteral(" \u00b7 beam on ") + beamOnText(all.seconds);
    if (all.unknown > 0)
        text += QStringLiteral(" (%1 without a duration)").arg(plural(all.unknown, "run", "runs"));
    if (all.noFluence == all.runs)
        return text + QStringLiteral(" \u00b7 no fluence given");
    text += QStringLiteral(" \u00b7 fluence ") + QString::asprintf("%.2e", all.fluence)
            + QStringLiteral(" ions/cm\u00b2");
    if (all.noFluence > 0)
        text += QStringLiteral(" (%1 without a fluence)").arg(plural(all.noFluence, "run", "runs"));
    return text;
}

}  // namespace

BeamRunsWindow::BeamRunsWindow(const QString& logbookPath, QWidget* parent)
    : QWidget(parent), path_(QFileInfo(logbookPath).absoluteFilePath())
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("beamRunsWindow"));
    setWindowTitle(QStringLiteral("Beam runs"));

    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("beamRunsState"));
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    export_ = new QPushButton(QStringLiteral("Export\u2026"), this);
    export_->setObjectName(QStringLiteral("exportRuns"));

    table_ = new QTableWidget(0, static_cast<int>(kBeamRunsFieldCount), this);
    table_->setObjectName(QStringLiteral("beamRunsTable"));
    table_->setHorizontalHeaderLabels(columnTitles());
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);  // a long comment is cut short; its cell's tooltip holds it whole
    // Every column as wide as its texts, the comment taking the rest.
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kCommentColumn, QHeaderView::Stretch);
    header->setDefaultAlignment(Qt::AlignCenter);
    totals_ = new QLabel(this);
    totals_->setObjectName(QStringLiteral("beamRunsTotals"));
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    comment_ = new QLineEdit(this);
    comment_->setObjectName(QStringLiteral("runComment"));
    comment_->setPlaceholderText(QStringLiteral("comment on the selected run"));
    fluence_ = new QLineEdit(this);
    fluence_->setObjectName(QStringLiteral("runFluence"));
    fluence_->setPlaceholderText(QStringLiteral("optional"));
    events_ = new QLineEdit(this);
    events_->setObjectName(QStringLiteral("runEvents"));
    events_->setPlaceholderText(QStringLiteral("optional"));
    addNote_ = new QPushButton(QStringLiteral("&Add note"), this);
    addNote_->setObjectName(QStringLiteral("addRunNote"));

    auto* top = new QHBoxLayout;
    top->addWidget(state_, 1);
    top->addWidget(export_);
    auto* note = new QHBoxLayout;
    auto* commentLabel = new QLabel(QStringLiteral("&Comment:"), this);
    commentLabel->setBuddy(comment_);
    auto* fluenceLabel = new QLabel(QStringLiteral("&Fluence (ions/cm\u00b2):"), this);
    fluenceLabel->setBuddy(fluence_);
    auto* eventsLabel = new QLabel(QStringLiteral("E&vents:"), this);
    eventsLabel->setBuddy(events_);
    note->addWidget(commentLabel);
    note->addWidget(comment_, 3);
    note->addWidget(fluenceLabel);
    note->addWidget(fluence_, 1);
    note->addWidget(eventsLabel);
    note->addWidget(events_, 1);
    note->addWidget(addNote_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addWidget(totals_);
    layout->addLayout(note);
    keepWindowPlaced(this, "beamRuns", QSize(1240, 560));

    follower_ = new FollowedFile(path_, kReloadDelayMs, this);
    connect(follower_, &FollowedFile::changed, this, &BeamRunsWindow::reload);
    connect(addNote_, &QPushButton::clicked, this, &BeamRunsWindow::addNoteToSelection);
    connect(comment_, &QLineEdit::returnPressed, this, &BeamRunsWindow::addNoteToSelection);
    connect(export_, &QPushButton::clicked, this, &BeamRunsWindow::chooseAndExport);
}

BeamRunsWindow::~BeamRunsWindow() = default;

QString BeamRunsWindow::stateText() const { return state_->text(); }

QString BeamRunsWindow::totalsText() const { return totals_->text(); }

void BeamRunsWindow::setLogbookPath(const QString& logbookPath)
{
    const QString path = QFileInfo(logbookPath).absoluteFilePath();
    if (path == path_)
        return;
    follower_->setPath(path);
    path_ = path;
    loaded_ = false;
    if (isVisible())
        reload();
}

void BeamRunsWindow::reload()
{
    const QFileInfo file(path_);
    // The folder changes often (the live status, the range table): read the
    // logbook only when it changed itself.
    const QString signature = file.exists()
                                  ? QStringLiteral("%1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch())
                                  : QString();
    if (isVisible())
        follower_->follow();
    if (loaded_ && signature == signature_)
        return;
    loaded_ = true;
    signature_ = signature;
    const QString name = QFileInfo(path_).fileName();
    BeamRunsLog log;
    std::string why;
    const std::int64_t selected = selectedRun();
    if (QFileInfo::exists(path_) && !readBeamRuns(local(path_), log, why)) {
        state_->setText(QStringLiteral("%1 cannot be read: %2.").arg(name, qs(why)));
    } else if (log.records.empty()) {
        state_->setText(QStringLiteral("%1: no run recorded yet.").arg(name));
    } else {
        const int count = static_cast<int>(mergeRuns(log).size());
        state_->setText(QStringLiteral("%1: %2, newest first.").arg(name, plural(count, "run", "runs")));
    }
    runs_ = mergeRuns(log);
    table_->setRowCount(static_cast<int>(runs_.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const RunSummary& run = runs_[static_cast<std::size_t>(row)];
        const QStringList texts = cells(run);
        for (int column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (isNumberColumn(column))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (column == kBeginColumn || column == kEndColumn)
                item->setToolTip(qs(column == kBeginColumn ? run.begin : run.end));  // as the logbook has it
            if (column == kCommentColumn && !texts[column].isEmpty())
                item->setToolTip(texts[column]);
            if (run.open) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            table_->setItem(row, column, item);
        }
        if (run.run == selected)
            table_->selectRow(row);
    }
    if (table_->currentRow() < 0 && table_->rowCount() > 0)
        table_->selectRow(0);
    // Events and steps only where some run has them: a logbook kept without
    // a campaign leaves the comment its room.
    const auto any = [this](std::string RunSummary::*field) {
        return std::any_of(runs_.begin(), runs_.end(),
                           [field](const RunSummary& run) { return !(run.*field).empty(); });
    };
    table_->setColumnHidden(kEventsColumn, !any(&RunSummary::events));
    table_->setColumnHidden(kStepColumn, !any(&RunSummary::step));
    totals_->setText(::totalsText(totalRuns(runs_).all));
    emit runsChanged();
}

std::int64_t BeamRunsWindow::selectedRun() const
{
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(runs_.size()))
        return 0;
    return runs_[static_cast<std::size_t>(row)].run;
}

bool BeamRunsWindow::addNote(std::int64_t run, const QString& comment, const QString& fluence, QString* why,
                             const QString& events)
{
    auto refuse = [why](const QString& text) {
        if (why != nullptr)
            *why = text;
        return false;
    };
    const std::string fluenceText = fluence.trimmed().toStdString();
    if (run <= 0)
        return refuse(QStringLiteral("Select a run first."));
    if (!validFluence(fluenceText))
        return refuse(QStringLiteral("The fluence must be a number of ions per cm\u00b2 (at least 0), or empty."));
    const std::string eventsText = events.trimmed().toStdString();
    if (!validEvents(eventsText))
        return refuse(QStringLiteral("The events must be a whole number (at least 0), or empty."));
    if (comment.trimmed().isEmpty() && fluenceText.empty() && eventsText.empty())
        return refuse(QStringLiteral("Type a comment, a fluence or the events."));
    RunRecord note;
    note.kind = "note";
    note.run = run;
    note.time = isoTime(WallClock::now());
    note.fluence = fluenceText;
    note.events = eventsText;
    note.comment = comment.trimmed().toStdString();
    std::string cause;
    if (!appendRunRecord(local(path_), note, &cause))
        return refuse(QStringLiteral("Could not append to %1 (%2).").arg(path_, QString::fromStdString(cause)));
    loaded_ = false;
    reload();
    return true;
}

void BeamRunsWindow::addNoteToSelection()
{
    QString why;
    if (!addNote(selectedRun(), comment_->text(), fluence_->text(), &why, events_->text())) {
        QMessageBox::warning(this, QStringLiteral("Beam runs"), why);
        return;
    }
    comment_->clear();
    fluence_->clear();
    events_->clear();
}

bool BeamRunsWindow::exportCsv(const QString& path) const
{
    return saveWholeFile(path, formatRunsExport(runs_));
}

void BeamRunsWindow::chooseAndExport()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export beam runs"),
                                                QDir(QFileInfo(path_).absolutePath())
                                                    .filePath(QStringLiteral("BeamRunsExport.csv")),
                                                QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    if (const std::string refusal = exportTargetRefusal(path.toStdString()); !refusal.empty()) {
        QMessageBox::warning(this, QStringLiteral("Beam runs"),
                             QStringLiteral("Not exported: %1. Choose another name.").arg(QString::fromStdString(refusal)));
        return;
    }
    if (!exportCsv(path))
        QMessageBox::warning(this, QStringLiteral("Beam runs"), QStringLiteral("Could not write %1.").arg(path));
}

void BeamRunsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BeamRunsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loaded_ = false;
    reload();
}

void BeamRunsWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    follower_->stop();
}
