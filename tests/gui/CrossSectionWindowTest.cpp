// The cross-section window on the offscreen platform: a logbook of three runs
// and the events file give the line under the plot and the exported table;
// a new events line is followed; Escape closes the window.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

#include "../support/ExposureRuns.h"
#include "DialogFixture.h"
#include "beam/BeamRuns.h"
#include "platform/qt/CrossSectionWindow.h"

namespace {

std::string readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

void append(const QString& path, const std::string& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

}  // namespace

class CrossSectionWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Runs 1 and 3 share LET 10.0 (2 events in 2e7 /cm²), run 2 at T 60 has
    // none in 1e7 /cm² effective: the table of `tarvex-let runs
    // --cross-section --csv` on the same logbook, its limits worked from the
    // Poisson sums by hand.
    void showsTheFitLineAndExportsTheTable()
    {
        freshWindowSettings();
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::vector<RunRecord> records = exposureRuns(false);
        QVERIFY(appendRunRecords(QFile::encodeName(folder.filePath(QStringLiteral("BeamRuns.csv"))).toStdString(),
                                 records));
        const QString events = folder.filePath(QStringLiteral("RunEvents.csv"));
        append(events, "run,events\n1,1\n2,0\n3,1\n");

        CrossSectionWindow window(folder.path(), nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Cross section"));
        auto* fitLine = window.findChild<QLabel*>(QStringLiteral("crossSectionFit"));
        QVERIFY(fitLine != nullptr);
        QCOMPARE(fitLine->text(), QStringLiteral("The Weibull fit needs events at four effective LETs or more; "
                                                 "these runs have events at 1."));
        QCOMPARE(window.problemsText(), QString());

        const QString csv = folder.filePath(QStringLiteral("out.csv"));
        QVERIFY(window.exportCsv(csv));
        QCOMPARE(readAll(csv),
                 std::string("effective LET (MeV cm2/mg),runs,fluence (1/cm2),effective fluence (1/cm2),events,"
                             "cross section (cm2),lower 95% (cm2),upper 95% (cm2)\n"
                             "10.0,1 3,2e+07,2e+07,2,1e-07,1.21105e-08,3.61234e-07\n"
                             "20.0,2,2e+07,1e+07,0,0,0,2.99573e-07\n"
                             "\nparameter,value,uncertainty\n"));
        const QString svg = folder.filePath(QStringLiteral("out.svg"));
        QVERIFY(window.exportSvg(svg));
        QVERIFY(readAll(svg).find(">no events: 95 % upper limit</text>") != std::string::npos);
        const QString png = folder.filePath(QStringLiteral("out.png"));
        QVERIFY(window.exportPng(png));
        QVERIFY(!QImage(png).isNull());

        // The acquisition counts events for run 2 after all: the window follows.
        QSignalSpy changed(&window, &CrossSectionWindow::dataChanged);
        append(events, "2,4\n");
        QVERIFY(changed.wait(5000));
        QVERIFY(fitLine->text().endsWith(QStringLiteral("these runs have events at 2.")));

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(CrossSectionWindowTest)
#include "CrossSectionWindowTest.moc"
