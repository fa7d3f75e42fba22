// The Bragg-curve window on the offscreen platform: opened from the dialog's
// window menu through the console's logic, the empty state for a missing or
// emptied range table, a redraw after every rewrite of the table, the
// crosshair read-out, and the PNG and SVG exports.

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <string>

#include "DialogFixture.h"
#include "app/TarvexDlg.h"
#include "platform/qt/BraggCurveWindow.h"
#include "platform/qt/QtTarvexDialog.h"

namespace {

std::string row(double e, double depth, double effectiveDepth, double let, double effectiveLet)
{
    char line[160];
    std::snprintf(line, sizeof line, "%8.2f %10.3f %7.1f %7.1f   %#8.4g   %#8.4g\n", e, e * 197, depth,
                  effectiveDepth, let, effectiveLet);
    return line;
}

// A small table as the console writes it: tilt 0 or 60 degrees.
std::string table(bool tilted)
{
    const double c = tilted ? 0.5 : 1.0;
    std::string text = std::string("Au 15 MeV/u   at 2.00 MeV/amu (394 MeV)   in silicon at ") +
                       (tilted ? "60.000" : "0.000") + " deg   LET = 40   eLET = " + (tilted ? "80" : "40") +
                       "   A = 197\n\n   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)\n\n";
    text += row(2.00, 0, 0, 40, 40 / c);
    text += row(1.50, 10, 10 * c, 55, 55 / c);
    text += row(1.00, 16, 16 * c, 60, 60 / c);
    text += row(0.50, 20, 20 * c, 45, 45 / c);
    text += row(0.00, 22, 22 * c, 0, 0);
    text += std::string("\nHighest LET: 60,  highest effective LET: ") + (tilted ? "120" : "60") +
            "  at  E = 1 MeV/u  or  197 MeV\n\n";
    return text;
}

// Rewrites the file in place, as the console does (same file, truncated).
void writeInPlace(const QString& path, const std::string& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text.data(), static_cast<qint64>(text.size())), static_cast<qint64>(text.size()));
    file.close();
}

// Share of the picture's pixels close to `colour`.
int pixelsNear(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - colour.red()) < 30 && std::abs(p.green() - colour.green()) < 30
                && std::abs(p.blue() - colour.blue()) < 30)
                ++n;
        }
    return n;
}

}  // namespace

class BraggCurveWindowTest : public QObject {
    Q_OBJECT

private:
    DialogInFolder site;
    std::unique_ptr<QTemporaryDir>& folder = site.folder;
    std::unique_ptr<QtTarvexDialog>& dialog = site.dialog;
    std::unique_ptr<CTarvexDlg>& logic = site.logic;

    QString tablePath() const { return folder->filePath(QStringLiteral("RangeTable.txt")); }

    BraggCurveWindow* openFromMenu()
    {
        QAction* item = nullptr;
        for (QAction* action : dialog->systemMenu()->actions())
            if (action->text() == QStringLiteral("&Bragg curve..."))
                item = action;
        if (item == nullptr)
            return nullptr;
        item->trigger();
        return dialog->findChild<BraggCurveWindow*>();
    }

private slots:
    void init()
    {
        QVERIFY(site.open());
    }

    void cleanup() { site.close(); }

    void opensFromTheMenuBesideAbout()
    {
        const QList<QAction*> actions = dialog->systemMenu()->actions();
        QCOMPARE(actions.size(), 5);  // then Beam runs, Campaign, Cross section
        QCOMPARE(actions.at(0)->text(), QStringLiteral("&About Tarvex..."));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("&Bragg curve..."));
        QCOMPARE(dialog->findChild<BraggCurveWindow*>(), nullptr);

        BraggCurveWindow* window = openFromMenu();
        QVERIFY(window != nullptr);
        QCOMPARE(dialog->braggCurveWindow(), window);
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());
        QCOMPARE(window->windowModality(), Qt::NonModal);
        QCOMPARE(window->windowTitle(), QStringLiteral("Bragg curve"));
        // Wider than the 800 px screen of the offscreen platform, it is made to fit.
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        // The working folder's table, made absolute.
        QCOMPARE(window->tablePath(), QFileInfo(tablePath()).absoluteFilePath());

        // A second choice of the item shows the same window again.
        window->hide();
        QCOMPARE(openFromMenu(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(dialog->findChildren<BraggCurveWindow*>().size(), 1);
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("exportPng")) != nullptr);
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("exportSvg")) != nullptr);

        // Escape and the Close button close it.
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QVERIFY(dialog->isVisible());
        QCOMPARE(openFromMenu(), window);
        auto* close = window->findChild<QPushButton*>(QStringLiteral("close"));
        QVERIFY(close != nullptr);
        QCOMPARE(close->text(), QStringLiteral("Close"));
        close->click();
        QVERIFY(!window->isVisible());
    }

    void missingTableShowsTheEmptyState()
    {
        BraggCurveWindow* window = openFromMenu();
        QVERIFY(window != nullptr);
        QVERIFY(window->plot().empty);
        QCOMPARE(window->plot().reason, std::string("No range table yet"));
        // The reason is painted: dark pixels in the middle band, no curve colour.
        const QImage shown = window->canvas()->grab().toImage();
        const QImage middle = shown.copy(0, shown.height() / 2 - 25, shown.width(), 40);
        QVERIFY(pixelsNear(middle, QColor(0x55, 0x55, 0x55)) > 20);
        QCOMPARE(pixelsNear(shown, QColor{QLatin1String(kNominalColour)}), 0);
    }

    void followsEveryRewriteOfTheTable()
    {
        BraggCurveWindow* window = openFromMenu();
        QVERIFY(window != nullptr);
        QSignalSpy changes(window, &BraggCurveWindow::plotChanged);

        // The first recomputation makes the table.
        writeInPlace(tablePath(), table(false));
        QTRY_VERIFY_WITH_TIMEOUT(!window->plot().empty, 5000);
        QCOMPARE(window->plot().nominal.size(), std::size_t{5});
        QCOMPARE(window->plot().effectiveRangeUm, 22.0);
        QVERIFY(pixelsNear(window->canvas()->grab().toImage(), QColor{QLatin1String(kNominalColour)}) > 100);

        // A nudge of T: the same file rewritten in place, the effective curve
        // at half depth.
        const int before = static_cast<int>(changes.count());
        writeInPlace(tablePath(), table(true));
        QTRY_COMPARE_WITH_TIMEOUT(window->plot().effectiveRangeUm, 11.0, 5000);
        QVERIFY(changes.count() > before);
        QCOMPARE(window->plot().peak.effectiveLet, 120.0);
        QVERIFY(window->plot().title.find("tilt 60.000 deg") != std::string::npos);
        QVERIFY(pixelsNear(window->canvas()->grab().toImage(), QColor{QLatin1String(kEffectiveColour)}) > 100);

        // The beam stops before the substrate: the table is emptied.
        writeInPlace(tablePath(), "");
        QTRY_COMPARE_WITH_TIMEOUT(window->plot().reason, std::string("The beam stops before the substrate"), 5000);
        QVERIFY(window->plot().empty);

        // Removed, then made again: still followed.
        QVERIFY(QFile::remove(tablePath()));
        QTRY_COMPARE_WITH_TIMEOUT(window->plot().reason, std::string("No range table yet"), 5000);
        writeInPlace(tablePath(), table(false));
        QTRY_VERIFY_WITH_TIMEOUT(!window->plot().empty, 5000);
        writeInPlace(tablePath(), table(true));
        QTRY_COMPARE_WITH_TIMEOUT(window->plot().effectiveRangeUm, 11.0, 5000);

        // Hidden, it reads nothing; shown again, it reads the table at once.
        window->hide();
        writeInPlace(tablePath(), table(false));
        QTest::qWait(400);
        QCOMPARE(window->plot().effectiveRangeUm, 11.0);
        QCOMPARE(openFromMenu(), window);
        QCOMPARE(window->plot().effectiveRangeUm, 22.0);
    }

    void crosshairReadsDepthAndLet()
    {
        writeInPlace(tablePath(), table(false));
        BraggCurveWindow* window = openFromMenu();
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        BraggCanvas* canvas = window->canvas();
        const BraggFrame frame = braggFrame(window->plot(), canvas->width(), canvas->height());
        const QPoint at(qRound(frame.px(10)), qRound(frame.py(30)));
        // Through the window, as the platform delivers a moving mouse.
        QTest::mouseMove(window->windowHandle(), canvas->mapTo(window, at));
        QTRY_VERIFY(window->readoutText().startsWith(QStringLiteral("Depth ")));
        const QString text = window->readoutText();
        // About 10 µm and 30 MeV·cm²/mg; the nominal curve rises from 40 at
        // 0 µm to 55 at 10 µm.
        QVERIFY(canvas->hasCrosshair());
        const double depth = frame.dataX(at.x());
        const double expected = depth <= 10 ? 40 + 1.5 * depth : 55 + (depth - 10) * 5 / 6;
        const QString nominal = QString::asprintf("nominal %.2f", expected);
        QVERIFY2(text.contains(nominal), qPrintable(text + " / " + nominal));
        QVERIFY2(text.startsWith(QString::fromStdString(braggPointText(depth, frame.dataY(at.y())))), qPrintable(text));
        QVERIFY(std::abs(depth - 10) < 0.2);

        // The tip: the curve's LET at the mouse's depth, whatever its height.
        // Between the rows at 10 µm (LET 55) and 16 µm (60): 57.50 at 13 µm.
        QCOMPARE(QString::fromStdString(braggCurveTip(window->plot(), 13)),
                 QStringLiteral("Depth 13.0 \u00b5m,  LET 57.50 MeV\u00b7cm\u00b2/mg"));
        QCOMPARE(QString::fromStdString(braggCurveTip(window->plot(), 23.5)),
                 QStringLiteral("Depth 23.5 \u00b5m,  no LET at this depth"));
        const QPoint between(qRound(frame.px(13)), qRound(frame.py(30)));
        QTest::mouseMove(window->windowHandle(), canvas->mapTo(window, between));
        QTRY_VERIFY2(canvas->tipText().startsWith(QStringLiteral("Depth 13.0 \u00b5m,  LET 57.")),
                     qPrintable(canvas->tipText()));
        // Tilted: nominal 40 + 1.5 × 9 = 53.50, effective between 120 at 8 µm
        // and 90 at 10 µm: 105.0; at 15 µm the effective curve has ended.
        const BraggPlot tilted = makeBraggPlot(parseRangeTable(table(true)));
        QCOMPARE(QString::fromStdString(braggCurveTip(tilted, 9)),
                 QStringLiteral("Depth 9.0 \u00b5m,  nominal LET 53.50, effective 105.0 MeV\u00b7cm\u00b2/mg"));
        QCOMPARE(QString::fromStdString(braggCurveTip(tilted, 15)),
                 QStringLiteral("Depth 15.0 \u00b5m,  nominal LET 59.17 MeV\u00b7cm\u00b2/mg"));

        // Outside the plot area: no crosshair.
        QTest::mouseMove(window->windowHandle(), canvas->mapTo(window, QPoint(2, 2)));
        QTRY_VERIFY(!canvas->hasCrosshair());
        QVERIFY(!window->readoutText().startsWith(QStringLiteral("Depth ")));
    }

    void exportsPngAndSvg()
    {
        writeInPlace(tablePath(), table(true));
        dialog->setText(ControlId::Beam, "197Au/15 MeV/u");
        dialog->setText(ControlId::ValueS, "2");
        dialog->setText(ControlId::UnitS, "foil");
        dialog->setText(ControlId::ValueR, "30.000");
        dialog->setText(ControlId::UnitR, "deg");
        dialog->setText(ControlId::ValueT, "60.000");
        dialog->setText(ControlId::UnitT, "deg");
        BraggCurveWindow* window = openFromMenu();
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(!window->plot().empty);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(window->suggestedFileName(QStringLiteral(".png")),
                 QStringLiteral("Bragg curve 197Au_15 MeV_u ") + today + QStringLiteral(".png"));

        const QString png = folder->filePath(QStringLiteral("curve.png"));
        QVERIFY(window->exportPng(png));
        QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), window->canvas()->size());
        QVERIFY(pixelsNear(image, QColor{QLatin1String(kNominalColour)}) > 100);
        QVERIFY(pixelsNear(image, QColor{QLatin1String(kEffectiveColour)}) > 100);

        const QString svg = folder->filePath(QStringLiteral("curve.svg"));
        QVERIFY(window->exportSvg(svg));
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("<svg ")));
        QVERIFY(text.trimmed().endsWith(QStringLiteral("</svg>")));
        QVERIFY(text.contains(QStringLiteral("silicon \u2014 Au 15 MeV/u at 2.00 MeV/u (394 MeV), tilt 60.000 deg")));
        QVERIFY(text.contains(QStringLiteral("197Au/15 MeV/u   S = 2 foil   R = 30.000 deg   T = 60.000 deg   ") + today));
        QCOMPARE(text.count(QStringLiteral("<polyline")), 2);

        // A folder that does not exist: refused, nothing written.
        QVERIFY(!window->exportPng(folder->filePath(QStringLiteral("none/curve.png"))));
        QVERIFY(!window->exportSvg(folder->filePath(QStringLiteral("none/curve.svg"))));
    }
};

QTEST_MAIN(BraggCurveWindowTest)
#include "BraggCurveWindowTest.moc"
