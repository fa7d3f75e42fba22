#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <string>

#include "beam/CrossSection.h"

class FollowedFile;
class QLabel;
class QPushButton;
class QSvgRenderer;

// The drawing area of the cross-section window: the SVG picture, drawn by
// Qt's SVG renderer at the area's size.
class CrossSectionCanvas : public QWidget {
    Q_OBJECT
public:
    explicit CrossSectionCanvas(QWidget* parent = nullptr);
    void setPicture(const std::string& svg);

signals:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSvgRenderer* renderer_ = nullptr;
};

// The non-modal "Cross section" window: the device's cross section against
// effective LET from the station folder's logbooks ("BeamRuns.csv",
// "BeamRuns-2.csv", …) and "RunEvents.csv", with the Weibull curve fitted to
// it, drawn from the same SVG picture as `tarvex-let runs --cross-section
// --svg`. While shown it follows the newest logbook and the events file;
// under the plot, the fit (or why there is none) and the LET to measure next.
class CrossSectionWindow : public QWidget {
    Q_OBJECT
public:
    // `folder`: the station folder (absolute, or relative to the current
    // folder when the window is made).
    explicit CrossSectionWindow(const QString& folder, QWidget* parent = nullptr);
    ~CrossSectionWindow() override;

    const CrossSectionData& data() const { return data_; }
    const WeibullFit& fit() const { return fit_; }
    QString fitText() const;       // the line under the plot
    QString problemsText() const;  // the runs and lines passed over, one a line

    // The picture at `size` (the canvas's when shown and large enough, else
    // 900 × 560 when empty), and the exports; false (nothing written) when the
    // file cannot be written.
    std::string svg(QSize size = QSize()) const;
    QImage picture(QSize size = QSize()) const;
    bool exportSvg(const QString& path) const;
    bool exportPng(const QString& path) const;
    bool exportCsv(const QString& path) const;  // the per-LET table, then the fit's parameters

public slots:
    void reload();  // reads the logbooks and the events file again at once

signals:
    void dataChanged();  // after every reload

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape closes the window
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum class Export { Svg, Png, Csv };
    void chooseAndExport(Export kind);
    QSize exportSize() const;
    void redraw();

    QString folder_;
    CrossSectionData data_;
    WeibullFit fit_;
    NextLet next_;
    std::string settingFor_;  // the next LET the setting was worked out for
    std::string setting_;     // " With the present beam: Best setting: …"; empty: none
    QString problems_;
    CrossSectionCanvas* canvas_ = nullptr;
    QLabel* fitLine_ = nullptr;
    QLabel* problemsLine_ = nullptr;
    FollowedFile* logbook_ = nullptr;  // the newest logbook; its folder's changes bring a new one
    FollowedFile* events_ = nullptr;
};
