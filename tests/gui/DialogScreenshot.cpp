// Writes a picture of the main dialog filled with sample values:
//   dialog_screenshot out.png [icon.png]
// Run it under a display (or QT_QPA_PLATFORM=offscreen) to check the layout.

#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "platform/qt/Bitmaps.h"
#include "platform/qt/QtTarvexDialog.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setWindowIcon(applicationIcon());
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("dialog.png");

    QtTarvexDialog dialog;
    DialogFields f;
    f.logFile = "users/Run2024-05.log";
    f.beam = "197Au49+ 15 MeV/u";
    f.targetSubstrate = "Si";
    f.degrader = "3 / 12.5";
    f.nominalLet = "84.1";
    f.nominalRange = "147.3";
    f.effectiveLet = "86.27";
    f.effectiveRange = "121.6";
    f.dutLocation = "Vacuum chamber";
    f.positionName = "Current";
    f.axisValue = {"12.500", "-3.250", "0.000", "30.00", "10.00", "8.00", "0.00", "3"};
    f.axisUnit = {"mm", "mm", "mm", "deg", "mm", "mm", "deg", "foil"};
    f.locked = {0, 0, 1, 0, 0, 0, 0, 0};
    f.activeAxis = 3;
    f.energyPerNucleon = "15.0";
    f.energyMeV = "2955";
    f.layers = "5";
    f.status = "Camera on";
    f.goal = "40";
    f.unitChoice = 0;
    f.userLine = "User: operator (beamline-pc)";
    dialog.setListItems(ControlId::PositionList, {"Corner A", "Corner B", "Centre", "Reference", "DUT1 die 3"});
    f.positionListSelection = "Centre";
    dialog.transferToControls(f);
    dialog.show();

    QTimer::singleShot(300, &dialog, [&] {
        const QPixmap picture = dialog.grab();
        bool saved = picture.save(out);
        if (argc > 2)
            saved = applicationIcon().pixmap(128, 128).save(QString::fromLocal8Bit(argv[2])) && saved;
        std::printf("%s %dx%d -> %s\n", saved ? "saved" : "FAILED", picture.width(), picture.height(),
                    qPrintable(out));
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
