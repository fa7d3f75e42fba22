// The beam-run logbook window behind the window menu, and the beam banner,
// on the offscreen platform.

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>

#include "DialogFixture.h"
#include "app/TarvexDlg.h"
#include "beam/BeamRuns.h"
#include "platform/qt/BeamRunsWindow.h"
#include "platform/qt/QtTarvexDialog.h"

namespace {

const std::string kBegin1 = "begin,1,2026-12-09T10:00:00+00:00,,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,"
                            "14.2,40.1,95.3,,,,\n";
const std::string kEnd1 = "end,1,2026-12-09T10:00:02+00:00,2.0,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,"
                          "14.2,40.1,95.3,,,,S2 closed\n";
const std::string kBegin2 = "begin,2,2026-12-09T10:05:00+00:00,,197Au,15,1.000,0.000,60.000,1.000,2.000,3.000,"
                            "Park,14.2,80.2,47.6,,,,\n";

// Three runs, the last one open: 1200.0 s and 3784.4 s of beam, 2.5e7 and
// 7e6 ions/cm² noted; the second run ends on the next day. Written in the
// layout before events were recorded, which the window still reads.
const std::string kThreeRuns =
    std::string(kBeamRunsHeaderWithoutEvents) + "\n" +
    "begin,1,2026-12-09T10:00:00+00:00,,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,14.2,40.1,95.3,,\n"
    "end,1,2026-12-09T10:20:00+00:00,1200.0,197Au,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,14.2,40.1,95.3,,\n"
    "note,1,2026-12-09T10:21:00+00:00,,,,,,,,,,,,,,2.5e7,\n"
    "begin,2,2026-12-09T23:30:00+00:00,,132Xe,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,12.0,30.5,60.1,,\n"
    "end,2,2026-12-10T00:33:04+00:00,3784.4,132Xe,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,12.0,30.5,60.1,,"
    "latch-up at 00:10 cleared by a power cycle of the board\n"
    "note,2,2026-12-10T00:34:00+00:00,,,,,,,,,,,,,,7e6,\n"
    "begin,3,2026-12-10T01:00:00+00:00,,132Xe,15,1.000,0.000,0.000,1.000,2.000,3.000,Park,12.0,30.5,60.1,,\n";

std::string readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

void append(const QString& path, const std::string& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

}  // namespace

class BeamRunsWindowTest : public QObject {
    Q_OBJECT

private:
    DialogInFolder site;
    std::unique_ptr<QTemporaryDir>& folder = site.folder;
    std::unique_ptr<QtTarvexDialog>& dialog = site.dialog;
    std::unique_ptr<CTarvexDlg>& logic = site.logic;

    QString logbook() const { return folder->filePath(QStringLiteral("BeamRuns.csv")); }

private slots:
    void init()
    {
        QVERIFY(site.open());
        logic->console().state.runs.path = "BeamRuns.csv";
    }

    void cleanup() { site.close(); }

    void listsRunsNewestFirstAndFollowsTheFile()
    {
        append(logbook(), std::string(kBeamRunsHeader) + "\n" + kBegin1 + kEnd1);
        QAction* item = dialog->systemMenu()->actions().at(2);
        QCOMPARE(item->text(), QStringLiteral("&Beam runs..."));
        item->trigger();
        BeamRunsWindow* window = dialog->beamRunsWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowModality(), Qt::NonModal);
        QCOMPARE(window->logbookPath(), QFileInfo(logbook()).absoluteFilePath());
        QCOMPARE(window->table()->rowCount(), 1);
        QCOMPARE(window->table()->item(0, 3)->text(), QStringLiteral("2.0"));
        QCOMPARE(window->table()->item(0, 19)->text(), QStringLiteral("S2 closed"));

        append(logbook(), kBegin2);
        QTRY_COMPARE_WITH_TIMEOUT(window->table()->rowCount(), 2, 5000);
        QCOMPARE(window->table()->item(0, 0)->text(), QStringLiteral("2"));
        QCOMPARE(window->table()->item(0, 14)->text(), QStringLiteral("80.2"));
        QCOMPARE(window->stateText(), QStringLiteral("BeamRuns.csv: 2 runs, newest first."));
    }

    void tableIsReadableAndTotalled()
    {
        append(logbook(), kThreeRuns);
        dialog->showBeamRuns("BeamRuns.csv");
        BeamRunsWindow* window = dialog->beamRunsWindow();
        QTableWidget* table = window->table();
        QCOMPARE(table->rowCount(), 3);
        // Row 1 is run 2: local time without the offset, the stored stamp as
        // tooltip; an end on the begin's day is its time alone.
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("2026-12-09 23:30:00"));
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("2026-12-10 00:33:04"));
        QCOMPARE(table->item(1, 2)->toolTip(), QStringLiteral("2026-12-10T00:33:04+00:00"));
        QCOMPARE(table->item(0, 2)->text(), QString());
        QCOMPARE(table->item(2, 2)->text(), QStringLiteral("10:20:00"));  // the day of its begin
        // Numbers to the right, texts to the left.
        for (int column : {0, 3, 5, 8, 14, 16, 17})
            QCOMPARE(table->item(1, column)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
        for (int column : {1, 4, 12, 18, 19})
            QVERIFY(!(table->item(1, column)->textAlignment() & Qt::AlignRight));
        QCOMPARE(table->item(1, 19)->toolTip(),
                 QStringLiteral("latch-up at 00:10 cleared by a power cycle of the board"));
        // 1200.0 s + 3784.4 s = 4984 s; run 3 is open and has no fluence.
        QCOMPARE(window->totalsText(),
                 QStringLiteral("3 runs \u00b7 beam on 1 h 23 min 04 s (1 run without a duration) \u00b7 "
                                "fluence 3.20e+07 ions/cm\u00b2 (1 run without a fluence)"));

        // On a 1280 px wide screen every column shows, with its whole title,
        // and the comment takes what is left.
        window->resize(1270, 700);
        QHeaderView* header = table->horizontalHeader();
        QCOMPARE(table->horizontalHeaderItem(16)->text(), QStringLiteral("fluence\n(ions/cm\u00b2)"));
        QTRY_VERIFY(header->length() <= table->viewport()->width());
        const QString fluenceTitle = table->horizontalHeaderItem(16)->text();
        QVERIFY(header->sectionSize(16) >= header->fontMetrics().size(0, fluenceTitle).width());
        QVERIFY2(header->sectionSize(19) >= 100, qPrintable(QString::number(header->sectionSize(19))));
    }

    void opensInsideTheScreenAtItsRememberedSize()
    {
        {
            QSettings settings(QStringLiteral("Tarvex"), QStringLiteral("tarvex"));
            settings.setValue(QStringLiteral("beamRuns/position"), QPoint(5000, -3000));
            settings.setValue(QStringLiteral("beamRuns/size"), QSize(640, 420));
        }
        dialog->showBeamRuns("BeamRuns.csv");
        BeamRunsWindow* window = dialog->beamRunsWindow();
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY(screen.contains(window->frameGeometry()));
        QCOMPARE(window->size(), QSize(640, 420));

        // Moved and resized by the operator, then closed: the next window opens there.
        window->move(30, 40);
        window->resize(600, 400);
        window->close();
        BeamRunsWindow again(logbook(), dialog.get());
        again.show();
        QCOMPARE(again.pos(), QPoint(30, 40));
        QCOMPARE(again.size(), QSize(600, 400));
    }

    void notesAreAppendedAndExportedMerged()
    {
        const std::string before = std::string(kBeamRunsHeader) + "\n" + kBegin1 + kEnd1;
        append(logbook(), before);
        dialog->showBeamRuns("BeamRuns.csv");
        BeamRunsWindow* window = dialog->beamRunsWindow();
        QString why;
        QVERIFY(!window->addNote(1, QStringLiteral("fine"), QStringLiteral("lots"), &why));
        QCOMPARE(why, QStringLiteral("The fluence must be a number of ions per cm\u00b2 (at least 0), or empty."));
        QVERIFY(!window->addNote(1, QStringLiteral("  "), QString(), &why));
        QVERIFY(!window->addNote(1, QString(), QString(), &why, QStringLiteral("-3")));
        QCOMPARE(why, QStringLiteral("The events must be a whole number (at least 0), or empty."));
        QCOMPARE(readAll(logbook()), before);

        QVERIFY(window->addNote(1, QStringLiteral("SEL at 10:01, \"latched\""), QStringLiteral("2.5e7"), &why,
                                QStringLiteral("17")));
        const std::string after = readAll(logbook());
        QCOMPARE(after.substr(0, before.size()), before);
        const std::string note = after.substr(before.size());
        QVERIFY2(note.rfind("note,1,", 0) == 0, note.c_str());
        const std::string tail = ",,,,,,,,,,,,,2.5e7,17,,\"SEL at 10:01, \"\"latched\"\"\"\n";
        QVERIFY2(note.size() > tail.size() && note.substr(note.size() - tail.size()) == tail, note.c_str());
        QCOMPARE(window->table()->item(0, 16)->text(), QStringLiteral("2.5e7"));
        QCOMPARE(window->table()->item(0, 17)->text(), QStringLiteral("17"));
        QCOMPARE(window->table()->item(0, 19)->text(), QStringLiteral("S2 closed; SEL at 10:01, \"latched\""));

        const QString exported = folder->filePath(QStringLiteral("export.csv"));
        QVERIFY(window->exportCsv(exported));
        QCOMPARE(readAll(exported), formatRunsExport(window->runs()));
        QCOMPARE(QString::fromStdString(readAll(exported)).count(QLatin1Char('\n')), 2);
    }

    void unreadableLogbookIsSaidAndNotRewritten()
    {
        append(logbook(), "not a logbook\n");
        dialog->showBeamRuns("BeamRuns.csv");
        BeamRunsWindow* window = dialog->beamRunsWindow();
        QCOMPARE(window->stateText(),
                 QStringLiteral("BeamRuns.csv cannot be read: line 1: not the header of a beam-run logbook."));
        QCOMPARE(window->table()->rowCount(), 0);
        QCOMPARE(readAll(logbook()), std::string("not a logbook\n"));
    }

    void bannerShowsTheRunAndItsTimeOrTheClosedShutter()
    {
        QLabel* banner = dialog->beamBanner();
        QVERIFY(banner != nullptr);
        const auto begun = std::chrono::steady_clock::now() - std::chrono::seconds(65);
        dialog->showBeamBanner(BeamBanner{3, begun, "BEAM ON DEVICE   run 3   0:01:05"});
        QVERIFY(banner->text().startsWith(QStringLiteral("BEAM ON DEVICE   run 3   0:01:0")));
        // The port keeps the time going without being told.
        QTRY_VERIFY_WITH_TIMEOUT(banner->text() != QStringLiteral("BEAM ON DEVICE   run 3   0:01:05") &&
                                     banner->text().startsWith(QStringLiteral("BEAM ON DEVICE   run 3   0:01:")),
                                 3000);
        QVERIFY(banner->y() < dialog->control(ControlId::Beam)->mapTo(dialog.get(), QPoint(0, 0)).y());
        dialog->showBeamBanner(BeamBanner{0, {}, "No beam on device: shutter S2 closed"});
        QCOMPARE(banner->text(), QStringLiteral("No beam on device: shutter S2 closed"));
    }
};

QTEST_MAIN(BeamRunsWindowTest)
#include "BeamRunsWindowTest.moc"
