#pragma once

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <functional>

#include "beam/BraggPlot.h"

class FollowedFile;
class QLabel;
class QPainter;
class QPushButton;
class QTimer;

// Paints plot data with QPainter: the same layout as the SVG picture
// (braggFrame), and the crosshair of the mouse when `crosshair` is given.
void paintBraggPlot(QPainter& painter, const BraggPlot& plot, const QSize& size, const QPointF* crosshair = nullptr);

// The drawing area of the Bragg-curve window; reports the point under the
// mouse to its window.
class BraggCanvas : public QWidget {
    Q_OBJECT
public:
    explicit BraggCanvas(QWidget* parent = nullptr);
    void setPlot(const BraggPlot* plot) { plot_ = plot; update(); }
    // The mouse position inside the plot area, if it is there.
    bool hasCrosshair() const { return hasCrosshair_; }
    QPointF crosshair() const { return crosshair_; }
    // The tip drawn beside the crosshair (braggCurveTip); empty without one.
    QString tipText() const;

signals:
    void pointed(double depthUm, double let);  // the mouse is over the plot area
    void left();                               // the mouse left the plot area

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const BraggPlot* plot_ = nullptr;
    bool hasCrosshair_ = false;
    QPointF crosshair_;
};

// The non-modal "Bragg curve" window: the range table of the last
// recomputation as LET against depth, nominal and effective. It reads
// "RangeTable.txt" whenever the file changes while the window is shown (the
// console rewrites it in place at every recomputation and empties it when the
// beam stops before the substrate), and exports the picture as PNG and SVG.
class BraggCurveWindow : public QWidget {
    Q_OBJECT
public:
    // `tablePath`: the range table to follow (absolute, or relative to the
    // current folder when the window is made).
    explicit BraggCurveWindow(const QString& tablePath, QWidget* parent = nullptr);
    ~BraggCurveWindow() override;

    QString tablePath() const { return tablePath_; }
    const BraggPlot& plot() const { return plot_; }
    BraggCanvas* canvas() const { return canvas_; }
    QString readoutText() const;

    // Where exported pictures take the beam, S, R and T from (the console's
    // display); the date is today's.
    void setExportLabelSource(std::function<BraggExportLabel()> source) { labelSource_ = std::move(source); }
    BraggExportLabel exportLabel() const;
    // The suggested name of an exported picture (".png" or ".svg").
    QString suggestedFileName(const QString& extension) const;

    // The exported picture without the crosshair, at `size` (the canvas's
    // when empty), titled with exportLabel().
    QImage picture(QSize size = QSize()) const;
    // Write the picture; false (nothing written) when the file cannot be written.
    bool exportPng(const QString& path) const;
    bool exportSvg(const QString& path) const;

public slots:
    void reload();  // reads the table again at once

signals:
    void plotChanged();  // after every reload

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape closes the window
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void chooseAndExport(bool svg);
    QSize exportSize() const;

    QString tablePath_;
    BraggPlot plot_;
    BraggCanvas* canvas_ = nullptr;
    QLabel* readout_ = nullptr;
    QPushButton* exportPng_ = nullptr;
    QPushButton* exportSvg_ = nullptr;
    QPushButton* close_ = nullptr;
    std::function<BraggExportLabel()> labelSource_;
    FollowedFile* follower_ = nullptr;
};
