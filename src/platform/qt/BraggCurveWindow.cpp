#include "platform/qt/BraggCurveWindow.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "core/FileNames.h"
#include "platform/qt/FollowedFile.h"
#include "platform/qt/WindowPlacement.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

enum class Anchor { Start, Middle, End };

// Text on a baseline, placed like SVG's text-anchor.
void drawText(QPainter& painter, QPointF baseline, const QString& text, Anchor anchor)
{
    const double width = QFontMetricsF(painter.font()).horizontalAdvance(text);
    double x = baseline.x();
    if (anchor == Anchor::Middle)
        x -= width / 2;
    if (anchor == Anchor::End)
        x -= width;
    painter.drawText(QPointF(x, baseline.y()), text);
}

QFont sized(const QFont& base, int pixels, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QPolygonF polygonOf(const BraggFrame& frame, const std::vector<PlotPoint>& curve)
{
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(curve.size()));
    for (const PlotPoint& p : curve)
        polygon.append(QPointF(frame.px(p.x), frame.py(p.y)));
    return polygon;
}

const QColor kNominal{QLatin1String(kNominalColour)};
const QColor kEffective{QLatin1String(kEffectiveColour)};
const QColor kPeak{QLatin1String(kPeakColour)};
const QColor kRange{QLatin1String(kRangeColour)};
const QColor kGrid(0xe3, 0xe3, 0xe3);
const QColor kNote(0x55, 0x55, 0x55);

constexpr int kReloadDelayMs = 120;  // a recomputation rewrites the table in many small writes

}  // namespace

void paintBraggPlot(QPainter& painter, const BraggPlot& plot, const QSize& size, const QPointF* crosshair)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);

    const double width = size.width();
    const double height = size.height();
    const BraggFrame f = braggFrame(plot, width, height);
    const QFont base = sized(painter.font(), 13);

    painter.setPen(Qt::black);
    painter.setFont(sized(base, 16, true));
    drawText(painter, QPointF(width / 2, 28), qs(plot.title), Anchor::Middle);
    painter.setFont(base);
    if (!plot.subtitle.empty()) {
        painter.setPen(kNote);
        drawText(painter, QPointF(width / 2, 48), qs(plot.subtitle), Anchor::Middle);
    }

    if (plot.empty) {
        painter.setPen(kNote);
        painter.setFont(sized(base, 18));
        drawText(painter, QPointF(width / 2, height / 2), qs(plot.reason), Anchor::Middle);
        painter.restore();
        return;
    }

    // Grid, frame, ticks and their labels.
    painter.setPen(QPen(kGrid, 1));
    for (double t : plot.x.ticks)
        painter.drawLine(QPointF(f.px(t), f.top), QPointF(f.px(t), f.bottom));
    for (double t : plot.y.ticks)
        painter.drawLine(QPointF(f.left, f.py(t)), QPointF(f.right, f.py(t)));
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(QPointF(f.left, f.top), QPointF(f.right, f.bottom)));
    painter.setPen(QPen(Qt::black, 1));
    for (std::size_t i = 0; i < plot.x.ticks.size(); ++i) {
        const double x = f.px(plot.x.ticks[i]);
        painter.drawLine(QPointF(x, f.bottom), QPointF(x, f.bottom + 5));
        drawText(painter, QPointF(x, f.bottom + 20), qs(plot.x.tickLabels[i]), Anchor::Middle);
    }
    for (std::size_t i = 0; i < plot.y.ticks.size(); ++i) {
        const double y = f.py(plot.y.ticks[i]);
        painter.drawLine(QPointF(f.left - 5, y), QPointF(f.left, y));
        drawText(painter, QPointF(f.left - 9, y + 4.5), qs(plot.y.tickLabels[i]), Anchor::End);
    }
    painter.setFont(sized(base, 14));
    drawText(painter, QPointF((f.left + f.right) / 2, f.bottom + 42), qs(plot.x.title), Anchor::Middle);
    painter.save();
    painter.translate(22, (f.top + f.bottom) / 2);
    painter.rotate(-90);
    drawText(painter, QPointF(0, 0), qs(plot.y.title), Anchor::Middle);
    painter.restore();
    painter.setFont(base);

    // The effective range.
    const double rangeX = f.px(plot.effectiveRangeUm);
    QPen rangePen(kRange, 1.2);
    rangePen.setDashPattern({4 / 1.2, 3 / 1.2});
    painter.setPen(rangePen);
    painter.drawLine(QPointF(rangeX, f.top), QPointF(rangeX, f.bottom));
    painter.setPen(kRange);
    const bool rangeLeft = rangeX > (f.left + f.right) / 2;
    drawText(painter, QPointF(rangeLeft ? rangeX - 6 : rangeX + 6, f.top + 17), qs(plot.effectiveRangeLabel),
             rangeLeft ? Anchor::End : Anchor::Start);

    // The curves: the effective one dashed on top, so both show at no tilt.
    painter.save();
    painter.setClipRect(QRectF(QPointF(f.left, f.top), QPointF(f.right, f.bottom)).adjusted(-6, -6, 6, 6));
    QPen nominalPen(kNominal, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(nominalPen);
    painter.drawPolyline(polygonOf(f, plot.nominal));
    QPen effectivePen(kEffective, 2, Qt::CustomDashLine, Qt::FlatCap, Qt::RoundJoin);
    effectivePen.setDashPattern({4, 2.5});
    painter.setPen(effectivePen);
    painter.drawPolyline(polygonOf(f, plot.effective));

    // The Bragg peak on both curves, labelled at the nominal one.
    const QPointF peak(f.px(plot.peak.depthUm), f.py(plot.peak.let));  // the nominal curve's
    if (plot.tilted) {
        painter.setPen(QPen(kEffective, 2));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(f.px(plot.peak.effectiveDepthUm), f.py(plot.peak.effectiveLet)), 4.5, 4.5);
    }
    painter.setPen(QPen(kPeak, 1.5));
    painter.setBrush(kNominal);
    painter.drawEllipse(peak, 5, 5);
    painter.setBrush(Qt::NoBrush);
    painter.restore();

    const QFont bold = sized(base, 13, true);
    const QString peakLabel = qs(plot.peakLabel);
    const QString peakEnergy = qs(plot.peakEnergyLabel);
    const double labelWidth = std::max(QFontMetricsF(bold).horizontalAdvance(peakLabel),
                                       QFontMetricsF(base).horizontalAdvance(peakEnergy));
    const LabelSpot spot = placePeakLabel(plot, f, labelWidth);
    const Anchor labelAnchor = spot.alignRight ? Anchor::End : Anchor::Start;
    painter.setPen(kPeak);
    painter.setFont(bold);
    drawText(painter, QPointF(spot.x, spot.baseline), peakLabel, labelAnchor);
    painter.setFont(base);
    drawText(painter, QPointF(spot.x, spot.baseline + kPeakLabelLineGap), peakEnergy, labelAnchor);

    // The legend under the axis title.
    const double legendY = f.bottom + 68;
    painter.setPen(nominalPen);
    painter.drawLine(QPointF(f.left, legendY - 4), QPointF(f.left + 32, legendY - 4));
    painter.setPen(Qt::black);
    drawText(painter, QPointF(f.left + 40, legendY), qs(plot.nominalLegend), Anchor::Start);
    const double middle = (f.left + f.right) / 2;
    painter.setPen(effectivePen);
    painter.drawLine(QPointF(middle, legendY - 4), QPointF(middle + 32, legendY - 4));
    painter.setPen(Qt::black);
    drawText(painter, QPointF(middle + 40, legendY), qs(plot.effectiveLegend), Anchor::Start);

    // The crosshair and the point under it.
    if (crosshair != nullptr && f.inside(crosshair->x(), crosshair->y())) {
        QPen hair(QColor(0x40, 0x40, 0x40), 1, Qt::DotLine);
        painter.setPen(hair);
        painter.drawLine(QPointF(f.left, crosshair->y()), QPointF(f.right, crosshair->y()));
        painter.drawLine(QPointF(crosshair->x(), f.top), QPointF(crosshair->x(), f.bottom));
        const QString text = qs(braggCurveTip(plot, f.dataX(crosshair->x())));
        const QFontMetricsF metrics(base);
        const double boxWidth = metrics.horizontalAdvance(text) + 12;
        const double boxHeight = metrics.height() + 8;
        double x = crosshair->x() + 12;
        double y = crosshair->y() - boxHeight - 8;
        if (x + boxWidth > f.right)
            x = crosshair->x() - 12 - boxWidth;
        if (y < f.top)
            y = crosshair->y() + 12;
        const QRectF box(x, y, boxWidth, boxHeight);
        painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
        painter.setBrush(QColor(255, 255, 240, 235));
        painter.drawRect(box);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
}

// ---------------------------------------------------------------- canvas

BraggCanvas::BraggCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("braggCanvas"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(560, 360);
    setCursor(Qt::CrossCursor);
}

QString BraggCanvas::tipText() const
{
    if (plot_ == nullptr || plot_->empty || !hasCrosshair_)
        return QString();
    return qs(braggCurveTip(*plot_, braggFrame(*plot_, width(), height()).dataX(crosshair_.x())));
}

void BraggCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (plot_ == nullptr) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    paintBraggPlot(painter, *plot_, size(), hasCrosshair_ ? &crosshair_ : nullptr);
}

void BraggCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    bool inside = false;
    if (plot_ != nullptr && !plot_->empty) {
        const BraggFrame frame = braggFrame(*plot_, width(), height());
        if (frame.inside(at.x(), at.y())) {
            inside = true;
            hasCrosshair_ = true;
            crosshair_ = at;
            emit pointed(frame.dataX(at.x()), frame.dataY(at.y()));
            update();
        }
    }
    if (!inside && hasCrosshair_) {
        hasCrosshair_ = false;
        emit left();
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void BraggCanvas::leaveEvent(QEvent* event)
{
    if (hasCrosshair_) {
        hasCrosshair_ = false;
        emit left();
        update();
    }
    QWidget::leaveEvent(event);
}

// ---------------------------------------------------------------- window

namespace {

const QString kReadoutHint = QStringLiteral("Point at the plot to read depth and LET.");

}  // namespace

BraggCurveWindow::BraggCurveWindow(const QString& tablePath, QWidget* parent)
    : QWidget(parent), tablePath_(QFileInfo(tablePath).absoluteFilePath())
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("braggCurveWindow"));
    setWindowTitle(QStringLiteral("Bragg curve"));

    readout_ = new QLabel(kReadoutHint, this);
    readout_->setObjectName(QStringLiteral("braggReadout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long read-out is cut short rather than widening the window past the screen.
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    exportPng_ = new QPushButton(QStringLiteral("Export &PNG\u2026"), this);
    exportPng_->setObjectName(QStringLiteral("exportPng"));
    exportSvg_ = new QPushButton(QStringLiteral("Export &SVG\u2026"), this);
    exportSvg_->setObjectName(QStringLiteral("exportSvg"));
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("close"));
    canvas_ = new BraggCanvas(this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(readout_, 1);
    bar->addWidget(exportPng_);
    bar->addWidget(exportSvg_);
    bar->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(canvas_, 1);
    keepWindowPlaced(this, "braggCurve", QSize(960, 640));

    follower_ = new FollowedFile(tablePath_, kReloadDelayMs, this);
    connect(follower_, &FollowedFile::changed, this, &BraggCurveWindow::reload);

    connect(canvas_, &BraggCanvas::pointed, this, [this](double depthUm, double let) {
        readout_->setText(qs(braggReadout(plot_, depthUm, let)));
    });
    connect(canvas_, &BraggCanvas::left, this, [this] { readout_->setText(kReadoutHint); });
    connect(exportPng_, &QPushButton::clicked, this, [this] { chooseAndExport(false); });
    connect(exportSvg_, &QPushButton::clicked, this, [this] { chooseAndExport(true); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    // The table is read when the window is shown (showEvent).
}

BraggCurveWindow::~BraggCurveWindow() = default;

QString BraggCurveWindow::readoutText() const { return readout_->text(); }

void BraggCurveWindow::reload()
{
    plot_ = makeBraggPlot(readRangeTableFile(QFile::encodeName(tablePath_).toStdString()));
    // A table that was removed drops out of the watch; take it up again.
    if (isVisible())
        follower_->follow();
    canvas_->setPlot(&plot_);
    if (canvas_->hasCrosshair() && !plot_.empty) {
        const BraggFrame frame = braggFrame(plot_, canvas_->width(), canvas_->height());
        readout_->setText(qs(braggReadout(plot_, frame.dataX(canvas_->crosshair().x()),
                                          frame.dataY(canvas_->crosshair().y()))));
    } else {
        readout_->setText(plot_.empty ? QString() : kReadoutHint);
    }
    emit plotChanged();
}

void BraggCurveWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

BraggExportLabel BraggCurveWindow::exportLabel() const
{
    BraggExportLabel label = labelSource_ ? labelSource_() : BraggExportLabel{};
    label.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    return label;
}

QString BraggCurveWindow::suggestedFileName(const QString& extension) const
{
    return qs(braggExportFileName(exportLabel(), extension.toStdString()));
}

void BraggCurveWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();  // also takes up the watch
}

void BraggCurveWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    follower_->stop();
}

QSize BraggCurveWindow::exportSize() const
{
    const QSize shown = canvas_->size();
    if (isVisible() && shown.width() >= 400 && shown.height() >= 300)
        return shown;
    return QSize(900, 560);
}

QImage BraggCurveWindow::picture(QSize size) const
{
    if (size.isEmpty())
        size = exportSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintBraggPlot(painter, braggExportPlot(plot_, exportLabel()), size);
    painter.end();
    return image;
}

bool BraggCurveWindow::exportPng(const QString& path) const { return saveWholePng(path, picture()); }

bool BraggCurveWindow::exportSvg(const QString& path) const
{
    const QSize size = exportSize();
    return saveWholeFile(path, braggPlotSvg(braggExportPlot(plot_, exportLabel()), size.width(), size.height()));
}

void BraggCurveWindow::chooseAndExport(bool svg)
{
    const QString suffix = svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    const QString folder = QFileInfo(tablePath_).absolutePath();
    QString path = QFileDialog::getSaveFileName(
        this, svg ? QStringLiteral("Export SVG") : QStringLiteral("Export PNG"),
        QDir(folder).filePath(suggestedFileName(suffix)),
        svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    if (const std::string refusal = exportTargetRefusal(path.toStdString()); !refusal.empty()) {
        QMessageBox::warning(this, QStringLiteral("Bragg curve"),
                             QStringLiteral("Not exported: %1. Choose another name.").arg(QString::fromStdString(refusal)));
        return;
    }
    if (!(svg ? exportSvg(path) : exportPng(path)))
        QMessageBox::warning(this, QStringLiteral("Bragg curve"), QStringLiteral("Could not write %1.").arg(path));
}
