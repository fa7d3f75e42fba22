// The dialog's indicators: the beam banner and warning line, the state of
// the beam fields, each axis row's motion and target, the nudge step, the
// operating mode and the controller link.

#include "platform/qt/QtTarvexDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <chrono>

#include "beam/BeamRuns.h"
#include "core/AxisTable.h"
#include "platform/qt/DialogFieldTable.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The fields that show the beam of the present setting.
constexpr ControlId kBeamFields[] = {ControlId::Degrader,     ControlId::EnergyPerNucleon, ControlId::EnergyMeV,
                                     ControlId::TargetSubstrate, ControlId::NominalLet,  ControlId::NominalRange,
                                     ControlId::EffectiveLet, ControlId::EffectiveRange};

}  // namespace

void QtTarvexDialog::showBeamBanner(const BeamBanner& banner)
{
    if (banner == banner_ && !beamBanner_->text().isEmpty())
        return;
    banner_ = banner;
    refreshBeamBanner();
}

void QtTarvexDialog::refreshBeamBanner()
{
    QString text = QString::fromStdString(banner_.text);
    if (banner_.run > 0) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - banner_.runBegin)
                .count();
        text = QString::fromStdString(beamOnBannerText(banner_.run, elapsed));
        if (!banner_.campaign.empty())
            text += QStringLiteral("   ") + QString::fromStdString(banner_.campaign);
        beamBanner_->setStyleSheet(QStringLiteral("QLabel { background: #c00000; color: white; }"));
        if (!beamBannerTimer_->isActive())
            beamBannerTimer_->start();
    } else {
        beamBanner_->setStyleSheet(QStringLiteral("QLabel { background: #e0e0e0; color: #202020; }"));
        beamBannerTimer_->stop();
    }
    if (text.isEmpty())
        text = QStringLiteral(" ");
    beamBanner_->setText(text);
    beamBanner_->setAccessibleName(text);
}

void QtTarvexDialog::showAxisMotion(int axis, const AxisMotionShown& shown)
{
    if (axis < 0 || axis >= kAxisCount)
        return;
    const auto a = static_cast<std::size_t>(axis);
    auto* value = qobject_cast<QLineEdit*>(control(kAxisControls[a].value));
    if (value == nullptr)
        return;
    // A moving axis: its value on amber, with a tooltip saying so.
    value->setStyleSheet(shown.moving ? QStringLiteral("QLineEdit { background: #ffd24d; font-weight: bold; }")
                                      : QString());
    value->setToolTip(shown.moving ? QStringLiteral("Moving") : QString());
    value->setProperty("moving", shown.moving);
    showInEdit(targets_[a], qs(shown.target));
    targets_[a]->setToolTip(shown.target.empty() ? QString() : QStringLiteral("Where the axis was sent"));
    if (value->isVisible())
        value->repaint();
}

void QtTarvexDialog::showNudgeStep(const std::string& text)
{
    nudgeStep_->setText(text.empty() ? QString() : QStringLiteral("Nudge step %1").arg(qs(text)));
    nudgeStep_->setAccessibleName(text.empty() ? QStringLiteral("No nudge step") : nudgeStep_->text());
    nudgeStep_->setToolTip(QStringLiteral("The active axis's nudge step"));
}

void QtTarvexDialog::showBeamFields(const BeamFieldsShown& shown)
{
    const bool stale = !shown.staleReason.empty();
    for (const ControlId beamField : kBeamFields) {
        auto* box = qobject_cast<QLineEdit*>(control(beamField));
        if (box == nullptr)
            continue;
        // Greyed and slanted: the numbers are those of another setting.
        box->setStyleSheet(stale ? QStringLiteral("QLineEdit { color: #8c8c8c; font-style: italic; }") : QString());
        box->setToolTip(qs(shown.staleReason));
        box->setProperty("stale", stale);
        if (box->isVisible())
            box->repaint();
    }
    beamWarning_->setText(qs(shown.warning));
    beamWarning_->setVisible(!shown.warning.empty());
}

void QtTarvexDialog::showOperatingMode(OperatingMode mode)
{
    const bool simulation = mode == OperatingMode::Simulation;
    const QString text = simulation ? QStringLiteral("SIMULATION") : QStringLiteral("HARDWARE");
    modeIndicator_->setText(text);
    modeIndicator_->setAccessibleName(QStringLiteral("Mode: %1").arg(text));
    modeIndicator_->setToolTip(simulation
                                   ? QStringLiteral("Simulation: the console moves its own model of the axes "
                                                    "(DemoStatus.dat 1 or 3)")
                                   : QStringLiteral("Hardware: the console commands the motion controller and shows "
                                                    "its read-back (DemoStatus.dat 0 or 2)"));
    modeIndicator_->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; font-weight: bold; }")
                                      .arg(simulation ? QStringLiteral("#1f4e9a") : QStringLiteral("#8a5a00")));
    modeIndicator_->setVisible(true);
}

void QtTarvexDialog::showControllerLink(ControllerLink link)
{
    QString text;
    QString colour;
    switch (link) {
    case ControllerLink::Journal:
        text = QStringLiteral("No controller");
        colour = QStringLiteral("#606060");
        break;
    case ControllerLink::Connected:
        text = QStringLiteral("Controller connected");
        colour = QStringLiteral("#1b7a1b");
        break;
    case ControllerLink::Absent:
        text = QStringLiteral("Controller absent");
        colour = QStringLiteral("#b00000");
        break;
    case ControllerLink::Lost:
        text = QStringLiteral("Controller lost");
        colour = QStringLiteral("#b00000");
        break;
    case ControllerLink::SettingsRefused:
        text = QStringLiteral("Controller settings refused");
        colour = QStringLiteral("#b00000");
        break;
    }
    controllerIndicator_->setText(text);
    controllerIndicator_->setAccessibleName(text);
    controllerIndicator_->setToolTip(
        link == ControllerLink::Journal           ? QStringLiteral("Commands are written to ControllerJournal.txt only")
        : link == ControllerLink::SettingsRefused
            ? QStringLiteral("Controller.dat holds refused settings (see the operator log)")
            : QStringLiteral("Motion controller link (see Controller.dat)"));
    controllerIndicator_->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colour));
    controllerIndicator_->repaint();
}
