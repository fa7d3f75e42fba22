#include "platform/qt/CrossSectionWindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <filesystem>

#include "beam/BeamFiles.h"
#include "beam/BeamSolve.h"
#include "beam/StationFolder.h"
#include "core/FileNames.h"
#include "platform/qt/FollowedFile.h"
#include "platform/qt/WindowPlacement.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The title `tarvex-let runs --cross-section --svg` gives the picture too.
const char* const kTitle = "Cross section against effective LET";
constexpr int kReloadDelayMs = 200;  // an acquisition may write the events file in several pieces

std::string withUncertainty(const char* name, double value, double uncertainty, const char* unit)
{
    return cformat("%s %.4g \u00b1 %.2g", name, value, uncertainty) + unit;
}

}  // namespace

// ---------------------------------------------------------------- canvas

CrossSectionCanvas::CrossSectionCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crossSectionCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(560, 360);
    renderer_ = new QSvgRenderer(this);
}

void CrossSectionCanvas::setPicture(const std::string& svg)
{
    renderer_->load(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
    update();
}

void CrossSectionCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void CrossSectionCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (renderer_->isValid())
        renderer_->render(&painter, QRectF(rect()));
}

// ---------------------------------------------------------------- window

CrossSectionWindow::CrossSectionWindow(const QString& folder, QWidget* parent)
    : QWidget(parent), folder_(QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath())
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("crossSectionWindow"));
    setWindowTitle(QStringLiteral("Cross section"));

    canvas_ = new CrossSectionCanvas(this);
    fitLine_ = new QLabel(this);
    fitLine_->setObjectName(QStringLiteral("crossSectionFit"));
    fitLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fitLine_->setWordWrap(true);
    problemsLine_ = new QLabel(this);
    problemsLine_->setObjectName(QStringLiteral("crossSectionProblems"));
    problemsLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemsLine_->setWordWrap(true);
    problemsLine_->hide();

    auto* exportSvg = new QPushButton(QStringLiteral("Export &SVG\u2026"), this);
    exportSvg->setObjectName(QStringLiteral("exportSvg"));
    auto* exportPng = new QPushButton(QStringLiteral("Export &PNG\u2026"), this);
    exportPng->setObjectName(QStringLiteral("exportPng"));
    auto* exportCsv = new QPushButton(QStringLiteral("Export &CSV\u2026"), this);
    exportCsv->setObjectName(QStringLiteral("exportCsv"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));

    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    bar->addWidget(exportSvg);
    bar->addWidget(exportPng);
    bar->addWidget(exportCsv);
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(canvas_, 1);
    layout->addWidget(fitLine_);
    layout->addWidget(problemsLine_);
    layout->addLayout(bar);
    keepWindowPlaced(this, "crossSection", QSize(960, 680));

    logbook_ = new FollowedFile(QString(), kReloadDelayMs, this);
    events_ = new FollowedFile(QDir(folder_).filePath(QLatin1String(kRunEventsFile)), kReloadDelayMs, this);
    connect(logbook_, &FollowedFile::changed, this, &CrossSectionWindow::reload);
    connect(events_, &FollowedFile::changed, this, &CrossSectionWindow::reload);
    connect(exportSvg, &QPushButton::clicked, this, [this] { chooseAndExport(Export::Svg); });
    connect(exportPng, &QPushButton::clicked, this, [this] { chooseAndExport(Export::Png); });
    connect(exportCsv, &QPushButton::clicked, this, [this] { chooseAndExport(Export::Csv); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // The picture is laid out for the canvas's size, its text kept at its size.
    connect(canvas_, &CrossSectionCanvas::resized, this, &CrossSectionWindow::redraw);
    reload();
}

CrossSectionWindow::~CrossSectionWindow() = default;

void CrossSectionWindow::reload()
{
    const std::string folder = local(folder_);
    std::vector<RunSummary> runs;
    std::string problems;
    const std::vector<std::string> files = beamRunsFiles(folder);
    for (const std::string& path : files) {
        const std::string file = std::filesystem::path(path).filename().string();
        BeamRunsLog log;
        std::string why;
        if (!readBeamRuns(path, log, why)) {
            problems += file + " cannot be read (" + why + ") - skipped\n";
            continue;
        }
        for (const std::string& skipped : log.skipped) problems += file + ", " + skipped + "\n";
        const std::vector<RunSummary> merged = mergeRuns(log);
        runs.insert(runs.end(), merged.begin(), merged.end());
    }
    const RunEvents events = readRunEvents(inFolder(folder, kRunEventsFile));
    for (const std::string& problem : events.problems) problems += problem + "\n";
    data_ = crossSections(runs, events);
    for (const std::string& problem : data_.problems) problems += problem + "\n";
    fit_ = fitWeibull(data_.perLet);
    next_ = suggestNextLet(data_.perLet, fit_);
    // The setting for the next LET with the present beam, worked out again
    // only when the LET changed: a search of the station's settings.
    const std::string nextLet = next_.found ? formatBeamValue(next_.let) : std::string();
    if (nextLet != settingFor_) {
        settingFor_ = nextLet;
        setting_.clear();
        StationFolder station;
        if (!nextLet.empty() && readStationFolder(station).empty()) {
            setting_ = " With the present beam: " + bestStationSetting(station, {}, next_.let,
                                                                        readMinimumRange([](const std::string&) {})) +
                       ".";
        }
    }
    problems_ = qs(problems).trimmed();

    // A logbook begun since, or one removed, changes what is followed.
    const QString newest = qs(files.empty() ? inFolder(folder, beamRunsFileName(1)) : files.back());
    if (logbook_->path() != newest)
        logbook_->setPath(newest);
    if (isVisible()) {
        logbook_->follow();
        events_->follow();
    }
    fitLine_->setText(fitText());
    problemsLine_->setText(problems_);
    problemsLine_->setVisible(!problems_.isEmpty());
    redraw();
    emit dataChanged();
}

QString CrossSectionWindow::fitText() const
{
    std::string text;
    if (fit_.fitted) {
        const WeibullParameters& v = fit_.value;
        const WeibullParameters& u = fit_.uncertainty;
        text = "Weibull fit: " + withUncertainty("onset", v.onset, u.onset, " MeV\u00b7cm\u00b2/mg, ") +
               withUncertainty("width", v.width, u.width, " MeV\u00b7cm\u00b2/mg, ") +
               withUncertainty("shape", v.shape, u.shape, ", ") +
               withUncertainty("saturation", v.saturation, u.saturation, " cm\u00b2. ");
        text += next_.found
                    ? "Next LET: " + formatBeamValue(next_.let) + " MeV\u00b7cm\u00b2/mg (" + next_.reason + ")." + setting_
                    : "Next LET: none (" + next_.reason + ").";
    } else {
        text = fit_.message;  // it names the fit and why there is none
    }
    return qs(text);
}

QString CrossSectionWindow::problemsText() const { return problems_; }

QSize CrossSectionWindow::exportSize() const
{
    const QSize shown = canvas_->size();
    if (isVisible() && shown.width() >= 400 && shown.height() >= 300)
        return shown;
    return QSize(900, 560);
}

std::string CrossSectionWindow::svg(QSize size) const
{
    if (size.isEmpty())
        size = exportSize();
    return crossSectionSvg(kTitle, data_, fit_, size.width(), size.height());
}

void CrossSectionWindow::redraw() { canvas_->setPicture(svg(canvas_->size())); }

QImage CrossSectionWindow::picture(QSize size) const
{
    if (size.isEmpty())
        size = exportSize();
    const std::string text = svg(size);
    QSvgRenderer renderer(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

bool CrossSectionWindow::exportSvg(const QString& path) const { return saveWholeFile(path, svg()); }

bool CrossSectionWindow::exportPng(const QString& path) const { return saveWholePng(path, picture()); }

bool CrossSectionWindow::exportCsv(const QString& path) const
{
    return saveWholeFile(path, formatCrossSectionCsv(data_.perLet) + formatWeibullCsv(fit_));
}

void CrossSectionWindow::chooseAndExport(Export kind)
{
    static const char* const suffixes[] = {".svg", ".png", ".csv"};
    static const char* const filters[] = {"SVG pictures (*.svg)", "PNG pictures (*.png)", "CSV tables (*.csv)"};
    static const char* const titles[] = {"Export SVG", "Export PNG", "Export CSV"};
    const auto k = static_cast<std::size_t>(kind);
    const QString suffix = QLatin1String(suffixes[k]);
    QString path = QFileDialog::getSaveFileName(this, QLatin1String(titles[k]),
                                                QDir(folder_).filePath(QStringLiteral("CrossSection") + suffix),
                                                QLatin1String(filters[k]));
    if (path.isEmpty())
        return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    if (const std::string refusal = exportTargetRefusal(local(path)); !refusal.empty()) {
        QMessageBox::warning(this, QStringLiteral("Cross section"),
                             QStringLiteral("Not exported: %1. Choose another name.").arg(qs(refusal)));
        return;
    }
    const bool written = kind == Export::Svg   ? exportSvg(path)
                         : kind == Export::Png ? exportPng(path)
                                               : exportCsv(path);
    if (!written)
        QMessageBox::warning(this, QStringLiteral("Cross section"), QStringLiteral("Could not write %1.").arg(path));
}

void CrossSectionWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CrossSectionWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();  // also takes up the watch
}

void CrossSectionWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    logbook_->stop();
    events_->stop();
}
