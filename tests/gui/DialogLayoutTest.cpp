// The main dialog as the operator sees it: every control with its id, kind,
// text and initial state, the row order of the motion grid, the tab order,
// the accessible names and the fit on a small screen.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include <memory>

#include "DialogFixture.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/CManual.h"
#include "platform/qt/QtTarvexDialog.h"

namespace {

QString kindOf(QWidget* w)
{
    if (qobject_cast<CManual*>(w) != nullptr)
        return QStringLiteral("keyboard");
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (!edit->isReadOnly())
            return QStringLiteral("edit");
        return (edit->alignment() & Qt::AlignRight) ? QStringLiteral("readonly-right") : QStringLiteral("readonly");
    }
    if (qobject_cast<QPushButton*>(w) != nullptr)
        return QStringLiteral("button");
    if (auto* box = qobject_cast<QCheckBox*>(w))
        return box->layoutDirection() == Qt::RightToLeft ? QStringLiteral("check-left") : QStringLiteral("check");
    if (qobject_cast<QRadioButton*>(w) != nullptr)
        return QStringLiteral("radio");
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->pixmap().isNull() ? QStringLiteral("label") : QStringLiteral("picture");
    if (qobject_cast<QListWidget*>(w) != nullptr)
        return QStringLiteral("list");
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->isEditable() ? QStringLiteral("combo-editable") : QStringLiteral("combo");
    return QString::fromLatin1(w->metaObject()->className());
}

QString textOf(QWidget* w)
{
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    return {};
}

QString accessibleName(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

QRect geometryIn(QWidget* w, QWidget* top) { return QRect(w->mapTo(top, QPoint(0, 0)), w->size()); }

int countColour(const QImage& image, const std::function<bool(QColor)>& test)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixelColor(x, y)))
                ++n;
    return n;
}

constexpr int kHiddenIds[] = {1110, 1131, 1103, 1106, 1121, 1, 2};

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

private:
    RecordedDialog window;
    std::unique_ptr<QtTarvexDialog>& dialog = window.dialog;
    RecordingEvents& events = window.events;

    QWidget* c(int id) const { return window.c(id); }

private slots:
    void init() { QVERIFY(window.open()); }

    void cleanup() { window.close(); }

    void captionAndIcon()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tarvex  2024"));
        QVERIFY(!dialog->windowIcon().isNull());
        QVERIFY(!dialog->windowIcon().pixmap(32, 32).isNull());
    }

    void everyControl_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");

        auto row = [](int id, const char* kind, const char* text, bool shown = true) {
            QTest::addRow("%d", id) << id << QString::fromLatin1(kind) << QString::fromUtf8(text) << shown;
        };
        row(1000, "readonly", "");
        row(1001, "readonly", "");
        for (int id : {1002, 1003, 1004, 1005, 1006, 1007, 1047, 1075, 1078, 1079, 1083})
            row(id, "readonly-right", "");
        for (int id = 1008; id <= 1015; ++id)
            row(id, "readonly-right", "");
        for (int id = 1037; id <= 1044; ++id)
            row(id, "readonly", "");
        for (int id = 1016; id <= 1023; ++id)
            row(id, "check", "");
        const char* radios[] = {"&X", "&Y", "&Z", "&T", "&U", "&V", "&S", "&R"};
        for (int i = 0; i < 8; ++i)
            row(1024 + i, "radio", radios[i]);
        row(1032, "button", "Drive(+)");
        row(1033, "button", "Drive(-)");
        row(1034, "button", "Halt");
        row(1035, "button", "Nudge(+)");
        row(1036, "button", "Nudge(-)");
        row(1045, "button", "Home");
        row(1046, "button", "Set Value");
        row(1048, "edit", "");
        row(1049, "button", "Close S1");
        row(1050, "button", "Open S1");
        row(1051, "button", "Close S2");
        row(1052, "button", "Open S2");
        row(1053, "button", "Camera On");
        row(1054, "button", "Camera Off");
        row(1055, "button", "Light On");
        row(1056, "button", "Light Off");
        row(1057, "button", "Laser On");
        row(1058, "button", "Laser Off");
        row(1059, "radio", "MeVcm²/mg");
        row(1060, "radio", "MeV");
        row(1061, "button", "Save");
        row(1062, "button", "Restore");
        row(1064, "radio", "MeV/u");
        row(1065, "button", "Check Parallax");
        row(1066, "button", "Undo Parallax");
        row(1069, "button", "Go");
        row(1070, "edit", "");
        row(1072, "list", "");
        row(1074, "button", "Increment");
        row(1080, "keyboard", "");
        row(1087, "readonly", "");
        row(1088, "edit", "");
        row(1102, "button", "Exit");
        row(1103, "button", "Tell", false);
        row(1106, "button", "Ask", false);
        row(1109, "check", "Bragg");
        row(1110, "check-left", "Enable direct control of the hardware", false);
        row(1111, "check-left", "Finest step");
        row(1116, "button", "Summary");
        row(1121, "combo-editable", "", false);
        row(1123, "button", "Preview");
        row(1124, "button", "Clear");
        row(1125, "button", "Hide");
        row(1128, "button", "");
        row(1129, "label", "U (horizontal slits):");
        row(1130, "label", "V (vertical slits):");
        row(1131, "button", "Reset", false);
        row(1132, "button", "Show Hidden");
        row(1133, "button", "Show Unhidden");
        row(1134, "button", "Unhide");
        row(1135, "label", "User name");
        row(1136, "label", "S (degrader selection)");
        row(1137, "label", "R (degrader rotation):");
        row(57670, "button", "Help");
        row(1, "button", "OK", false);
        row(2, "button", "Cancel", false);
    }

    void everyControl()
    {
        QFETCH(int, id);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(bool, shown);

        QWidget* w = c(id);
        QVERIFY(w != nullptr);
        QCOMPARE(dialog->control(id), w);
        QCOMPARE(kindOf(w), kind);
        QCOMPARE(textOf(w), text);
        QCOMPARE(w->isVisible(), shown);
        QCOMPARE(w->isEnabled(), shown);
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            QVERIFY(!button->autoDefault());
            QVERIFY(!button->isDefault());
            QCOMPARE(QAccessible::queryAccessibleInterface(w)->role(), QAccessible::Button);  // All Halt too
        }
        // Read-outs: out of the tab chain, a click still selects their text.
        if (kind.startsWith(QStringLiteral("readonly")))
            QCOMPARE(w->focusPolicy(), Qt::ClickFocus);
    }

    void theTableCoversEveryControl()
    {
        // One control per control id, 101 in all; no id twice.
        const QList<int> ids = dialog->controlIds();
        QCOMPARE(ids.size(), 101);
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
        for (int id : ids)
            QVERIFY2(c(id) != nullptr, qPrintable(QString::number(id)));
    }

    void userLineIsRightAligned()
    {
        auto* user = qobject_cast<QLabel*>(c(1135));
        QVERIFY(user != nullptr);
        QVERIFY(user->alignment() & Qt::AlignRight);
        QVERIFY(qobject_cast<CManual*>(c(1080))->alignment() & Qt::AlignHCenter);
    }

    void groupsHoldTheirControls()
    {
        auto inGroup = [this](int id, const char* group) {
            QWidget* g = dialog->findChild<QWidget*>(QString::fromLatin1(group));
            return g != nullptr && g->isAncestorOf(c(id));
        };
        for (int id : {1000, 1001, 1003, 1083, 1116, 1078, 1079, 1002, 1004, 1005, 1006, 1007, 1047, 1075})
            QVERIFY2(inGroup(id, "groupCurrentSettings"), qPrintable(QString::number(id)));
        for (int id : {1008, 1015, 1037, 1016, 1024, 1031, 1034, 1111, 1045, 1088, 1046, 1074, 1048, 1059,
                       1109, 1069, 1110, 1131, 1128, 1087, 1124})
            QVERIFY2(inGroup(id, "groupMotionControl"), qPrintable(QString::number(id)));
        for (int id : {1070, 1072, 1061, 1062, 1123, 1125, 1134, 1133, 1132})
            QVERIFY2(inGroup(id, "groupFileManagement"), qPrintable(QString::number(id)));
        for (int id = 1049; id <= 1058; ++id)
            QVERIFY2(inGroup(id, "groupToggleSwitches"), qPrintable(QString::number(id)));
        QVERIFY(inGroup(1065, "groupToggleSwitches"));
        QVERIFY(inGroup(1066, "groupToggleSwitches"));
        for (int id : {1080, 1102, 57670, 1121, 1135})
            for (const char* group : {"groupCurrentSettings", "groupMotionControl", "groupFileManagement",
                                      "groupToggleSwitches"})
                QVERIFY(!inGroup(id, group));
    }

    void sRowStandsAboveRRow()
    {
        const int rowsTopDown[][5] = {
            // label, value, unit, locked, active
            {0, 1008, 1037, 1016, 1024}, {0, 1009, 1038, 1017, 1025}, {0, 1010, 1039, 1018, 1026},
            {0, 1011, 1040, 1019, 1027}, {1129, 1012, 1041, 1020, 1028}, {1130, 1013, 1042, 1021, 1029},
            {1136, 1014, 1043, 1022, 1030}, {1137, 1015, 1044, 1023, 1031}};
        for (int r = 1; r < 8; ++r)
            for (int col = 0; col < 5; ++col) {
                if (rowsTopDown[r][col] == 0)
                    continue;
                QWidget* below = c(rowsTopDown[r][col]);
                QWidget* above = c(rowsTopDown[r - 1][col] != 0 ? rowsTopDown[r - 1][col] : rowsTopDown[r - 1][1]);
                QVERIFY2(geometryIn(above, dialog.get()).center().y() < geometryIn(below, dialog.get()).center().y(),
                         qPrintable(QStringLiteral("row %1 column %2").arg(r).arg(col)));
            }
        // Each row's cells stand on one line.
        const int sRow = geometryIn(c(1014), dialog.get()).center().y();
        for (int id : {1136, 1043, 1022, 1030})
            QVERIFY(qAbs(geometryIn(c(id), dialog.get()).center().y() - sRow) <= 3);
        const int rRow = geometryIn(c(1015), dialog.get()).center().y();
        for (int id : {1137, 1044, 1023, 1031})
            QVERIFY(qAbs(geometryIn(c(id), dialog.get()).center().y() - rRow) <= 3);
    }

    void haltIsTwoAndAHalfTimesAsTall()
    {
        const int other = c(1035)->height();
        QCOMPARE(c(1032)->height(), other);
        QVERIFY(qAbs(c(1034)->height() * 2 - other * 5) <= 2);
    }

    void radiosTabInAxisOrder()
    {
        QList<int> radios;
        for (QWidget* w = dialog->nextInFocusChain(); w != dialog.get(); w = w->nextInFocusChain())
            if (w->objectName().startsWith(QLatin1Char('c')) && qobject_cast<QRadioButton*>(w) != nullptr) {
                const int id = w->objectName().mid(1).toInt();
                if (id >= 1024 && id <= 1031)
                    radios.append(id);
            }
        QCOMPARE(radios, (QList<int>{1024, 1025, 1026, 1027, 1028, 1029, 1031, 1030}));
    }

    void hiddenControlsCannotBeReached()
    {
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        c(1116)->setFocus();
        QList<QWidget*> visited;
        for (int i = 0; i < 200; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            if (!visited.contains(focus))
                visited.append(focus);
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        // Tab walks the panel in the order it stands: Summary, the axis rows,
        // the operations, the entry rows with All Halt, files, switches, the
        // side column ...
        const int walk[] = {1116, 1016, 1024, 1035, 1034, 1088, 1069, 1128, 1124, 1070, 1072, 1053, 1052, 1080, 1102,
                            57670};
        int before = -1;
        for (int id : walk) {
            const int at = static_cast<int>(visited.indexOf(c(id)));
            QVERIFY2(at > before, qPrintable(QString::number(id)));
            before = at;
        }
        // ... but never reaches the read-outs or the hidden controls, and a
        // click on a hidden one does nothing.
        for (int id : {1000, 1001, 1002, 1003, 1004, 1007, 1008, 1015, 1037, 1044, 1047, 1075, 1078, 1079, 1083, 1087})
            QVERIFY2(!visited.contains(c(id)), qPrintable(QString::number(id)));
        for (int id : kHiddenIds) {
            QVERIFY2(!visited.contains(c(id)), qPrintable(QString::number(id)));
            QVERIFY(!c(id)->isVisible());
            QVERIFY(!c(id)->isEnabled());
            QTest::mouseClick(c(id), Qt::LeftButton);
        }
        QVERIFY(events.commands.empty());
        QCOMPARE(events.oks, 0);
        QCOMPARE(events.cancels, 0);
    }

    void accessibleNames_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        auto row = [](int id, const char* name) { QTest::addRow("%d", id) << id << QString::fromUtf8(name); };
        row(1000, "Log file:");
        row(1004, "Nominal LET (MeVcm²/mg):");
        row(1075, "DUT position:");
        row(1070, "New position file name:");
        row(1072, "List of position files:");
        row(1087, "Status:");
        row(1048, "Set");
        row(1088, "New active axis value:");
        row(1011, "T (turntable) Current value");
        row(1040, "T (turntable) Unit");
        row(1019, "T (turntable) Locked");
        row(1027, "T (turntable) Active");
        row(1008, "X (side-to-side): Current value");
        row(1014, "S (degrader selection) Current value");
        row(1022, "S (degrader selection) Locked");
        row(1015, "R (degrader rotation): Current value");
        row(1031, "R (degrader rotation): Active");
        row(1034, "Halt");
        row(1111, "Finest step");
        row(1059, "MeVcm²/mg");
        row(1053, "Camera On");
        row(57670, "Help");
        row(1128, "All Halt");
        row(1080, "Keyboard control");
        row(1129, "U (horizontal slits):");
        row(1135, "User name");
    }

    void accessibleNames()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QCOMPARE(accessibleName(c(id)), name);
    }

    void everyControlHasAnAccessibleName()
    {
        for (int id : dialog->controlIds())
            QVERIFY2(!accessibleName(c(id)).isEmpty(), qPrintable(QString::number(id)));
    }

    void renamedRowRenamesItsCells()
    {
        QCOMPARE(accessibleName(dialog->findChild<QLineEdit*>(QStringLiteral("targetX"))),
                 QStringLiteral("X (side-to-side): Target value"));
        dialog->setText(ControlId::LabelU, "U (roll angle)");
        QCOMPARE(qobject_cast<QLabel*>(c(1129))->text(), QStringLiteral("U (roll angle)"));
        QCOMPARE(accessibleName(c(1012)), QStringLiteral("U (roll angle) Current value"));
        QCOMPARE(accessibleName(c(1020)), QStringLiteral("U (roll angle) Locked"));
        QCOMPARE(accessibleName(dialog->findChild<QLineEdit*>(QStringLiteral("targetU"))),
                 QStringLiteral("U (roll angle) Target value"));
    }

    void fitsASmallScreenWithoutOverlaps()
    {
        const QSize size = dialog->size();
        QVERIFY2(size.width() <= 1366 && size.height() <= 768 - 56,
                 qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        QList<QWidget*> shown;
        for (int id : dialog->controlIds())
            if (c(id)->isVisible())
                shown.append(c(id));
        for (QWidget* w : shown)
            QVERIFY2(dialog->rect().contains(geometryIn(w, dialog.get())), qPrintable(w->objectName()));
        for (int i = 0; i < shown.size(); ++i)
            for (int j = i + 1; j < shown.size(); ++j)
                QVERIFY2(!geometryIn(shown[i], dialog.get()).intersects(geometryIn(shown[j], dialog.get())),
                         qPrintable(shown[i]->objectName() + QStringLiteral(" / ") + shown[j]->objectName()));
    }

    void pictures()
    {
        // All Halt: white words on red.
        auto* allHalt = qobject_cast<QPushButton*>(c(1128));
        const QImage halt = allHalt->icon().pixmap(allHalt->iconSize()).toImage();
        const int pixels = halt.width() * halt.height();
        const int red = countColour(halt, [](QColor p) { return p.red() > 180 && p.green() < 60 && p.blue() < 60; });
        const int white = countColour(halt, [](QColor p) { return p.red() > 230 && p.green() > 230 && p.blue() > 230; });
        QVERIFY(red > pixels / 2);
        QVERIFY(white > pixels / 30);

        // Arrows: black arrows and a red cross.
        const QImage arrows = coordinateArrowsPicture().toImage();
        QVERIFY(countColour(arrows, [](QColor p) { return p.alpha() > 200 && p.red() < 60 && p.green() < 60; }) > 50);
        QVERIFY(countColour(arrows, [](QColor p) { return p.alpha() > 200 && p.red() > 180 && p.green() < 60; }) > 10);
        auto* arrowsLabel = dialog->findChild<QLabel*>(QStringLiteral("coordinateArrows"));
        QVERIFY(arrowsLabel != nullptr && arrowsLabel->isVisible() && !arrowsLabel->pixmap().isNull());
    }
};

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"
