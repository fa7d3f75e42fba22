#include "beam/BraggPlot.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "beam/SvgPrimitives.h"
#include "util/NumberFormat.h"

// Where the Bragg plot's parts go on a picture (shared by the SVG text and the
// console's window) and the plot as SVG text.

using svg::num;
using svg::svgLine;
using svg::svgPolyline;
using svg::svgText;
using svg::xmlEscaped;

// ------------------------------------------------------------------ frame

double BraggFrame::px(double x) const { return left + (x - xMin) / (xMax - xMin) * (right - left); }
double BraggFrame::py(double y) const { return bottom - (y - yMin) / (yMax - yMin) * (bottom - top); }
double BraggFrame::dataX(double x) const { return xMin + (x - left) / (right - left) * (xMax - xMin); }
double BraggFrame::dataY(double y) const { return yMin + (bottom - y) / (bottom - top) * (yMax - yMin); }
bool BraggFrame::inside(double x, double y) const { return x >= left && x <= right && y >= top && y <= bottom; }

BraggFrame braggFrame(const BraggPlot& plot, double width, double height) {
    BraggFrame frame;
    frame.width = width;
    frame.height = height;
    frame.left = 84;
    frame.top = plot.subtitle.empty() ? 52 : 66;
    frame.right = std::max(frame.left + 20, width - 28);
    frame.bottom = std::max(frame.top + 20, height - 84);
    frame.xMin = plot.x.min;
    frame.xMax = plot.x.max > plot.x.min ? plot.x.max : plot.x.min + 1;
    frame.yMin = plot.y.min;
    frame.yMax = plot.y.max > plot.y.min ? plot.y.max : plot.y.min + 1;
    return frame;
}

// ------------------------------------------------------------------ label place

namespace {

struct Box {
    double left, top, right, bottom;
};

// Liang-Barsky: does the segment a-b cross the box?
bool segmentCrosses(const Box& box, double ax, double ay, double bx, double by) {
    double t0 = 0, t1 = 1;
    const double dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - box.left, box.right - ax, ay - box.top, box.bottom - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

int crossings(const Box& box, const BraggFrame& frame, const std::vector<PlotPoint>& curve) {
    int n = 0;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const PlotPoint& a = curve[i];
        const PlotPoint& b = curve[i + 1 < curve.size() ? i + 1 : i];
        if (segmentCrosses(box, frame.px(a.x), frame.py(a.y), frame.px(b.x), frame.py(b.y))) ++n;
    }
    return n;
}

}  // namespace

double estimatedTextWidth(const std::string& text, double fontPixels) {
    std::size_t characters = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;  // UTF-8 lead bytes
    }
    return static_cast<double>(characters) * fontPixels * 0.6;
}

LabelSpot placePeakLabel(const BraggPlot& plot, const BraggFrame& frame, double textWidth) {
    const double mx = frame.px(plot.peak.depthUm), my = frame.py(plot.peak.let);
    const bool towardMiddle = mx > (frame.left + frame.right) / 2;
    const double ascent = 13, descent = 4;
    std::vector<LabelSpot> spots;
    const std::initializer_list<double> baselines = {my - 28, my + 24, my - 52, my + 48, my - 76, my + 72};
    for (double baseline : baselines) {
        spots.push_back({towardMiddle ? mx - 4 : mx + 4, baseline, towardMiddle});
        spots.push_back({towardMiddle ? mx + 4 : mx - 4, baseline, !towardMiddle});
    }
    // Where a curve runs close beside the marker: at the same heights, against
    // the side of the plot area, the marker's side first.
    for (bool nearSide : {true, false}) {
        const bool rightSide = nearSide == towardMiddle;
        for (double baseline : baselines) {
            spots.push_back({rightSide ? frame.right - 6 : frame.left + 6, baseline, rightSide});
        }
    }
    const double rangeX = frame.px(plot.effectiveRangeUm);
    int fewest = -1;
    LabelSpot best = spots.front();
    for (const LabelSpot& spot : spots) {
        const double left = spot.alignRight ? spot.x - textWidth : spot.x;
        const Box box{left, spot.baseline - ascent, left + textWidth, spot.baseline + kPeakLabelLineGap + descent};
        if (box.left < frame.left || box.right > frame.right || box.top < frame.top + 22 || box.bottom > frame.bottom) {
            continue;  // outside the plot area, or over the effective range's label
        }
        // A little air between the text and any line.
        const Box air{box.left - 3, box.top - 3, box.right + 3, box.bottom + 3};
        int n = crossings(air, frame, plot.nominal) + crossings(air, frame, plot.effective) +
                (segmentCrosses(air, rangeX, frame.top, rangeX, frame.bottom) ? 1 : 0) +
                (segmentCrosses(air, mx - 6, my - 6, mx + 6, my + 6) ? 1 : 0);
        if (n == 0) return spot;
        if (fewest < 0 || n < fewest) {
            fewest = n;
            best = spot;
        }
    }
    return best;
}

// ------------------------------------------------------------------ SVG

using svg::svgAxes;
using svg::svgOpening;

std::string braggPlotSvg(const BraggPlot& plot, int width, int height) {
    const BraggFrame f = braggFrame(plot, width, height);
    std::string svg = svgOpening(width, height, "Bragg curve: " + plot.title, plot.title);
    if (!plot.subtitle.empty()) svg += svgText(width / 2.0, 48, plot.subtitle, "text-anchor=\"middle\" fill=\"#555555\"");

    if (plot.empty) {
        svg += svgText(width / 2.0, height / 2.0, plot.reason, "text-anchor=\"middle\" font-size=\"18\" fill=\"#555555\"");
        svg += "</svg>\n";
        return svg;
    }

    svg += svgAxes(plot, f);

    // The effective range.
    const double rangeX = f.px(plot.effectiveRangeUm);
    const bool rangeLeft = rangeX > (f.left + f.right) / 2;
    svg += svgLine(rangeX, f.top, rangeX, f.bottom,
                   "stroke=\"" + std::string(kRangeColour) + "\" stroke-width=\"1.2\" stroke-dasharray=\"4 3\"");
    svg += svgText(rangeLeft ? rangeX - 6 : rangeX + 6, f.top + 17, plot.effectiveRangeLabel,
                   std::string("text-anchor=\"") + (rangeLeft ? "end" : "start") + "\" fill=\"" + kRangeColour + "\"");

    // The curves: the effective one dashed on top, so both show at no tilt.
    svg += svgPolyline(f, plot.nominal,
                       "stroke=\"" + std::string(kNominalColour) + "\" stroke-width=\"2.4\" stroke-linejoin=\"round\"");
    svg += svgPolyline(f, plot.effective,
                       "stroke=\"" + std::string(kEffectiveColour) +
                           "\" stroke-width=\"2\" stroke-dasharray=\"8 5\" stroke-linejoin=\"round\"");

    // The Bragg peak on both curves, labelled at the nominal one.
    const double peakX = f.px(plot.peak.depthUm), peakY = f.py(plot.peak.let);
    if (plot.tilted) {
        svg += "<circle cx=\"" + num(f.px(plot.peak.effectiveDepthUm)) + "\" cy=\"" + num(f.py(plot.peak.effectiveLet)) +
               "\" r=\"4.5\" fill=\"#ffffff\" stroke=\"" + kEffectiveColour + "\" stroke-width=\"2\"/>\n";
    }
    svg += "<circle cx=\"" + num(peakX) + "\" cy=\"" + num(peakY) + "\" r=\"5\" fill=\"" + kNominalColour +
           "\" stroke=\"" + kPeakColour + "\" stroke-width=\"1.5\"/>\n";
    const LabelSpot spot = placePeakLabel(
        plot, f, std::max(estimatedTextWidth(plot.peakLabel, 13) * 1.08, estimatedTextWidth(plot.peakEnergyLabel, 13)));
    const std::string anchor =
        std::string("text-anchor=\"") + (spot.alignRight ? "end" : "start") + "\" fill=\"" + kPeakColour + "\"";
    svg += svgText(spot.x, spot.baseline, plot.peakLabel, anchor + " font-weight=\"bold\"");
    svg += svgText(spot.x, spot.baseline + kPeakLabelLineGap, plot.peakEnergyLabel, anchor);

    // The legend under the axis title.
    const double legendY = f.bottom + 68;
    double x = f.left;
    svg += svgLine(x, legendY - 4, x + 32, legendY - 4,
                   "stroke=\"" + std::string(kNominalColour) + "\" stroke-width=\"2.4\"");
    svg += svgText(x + 40, legendY, plot.nominalLegend, "");
    x = (f.left + f.right) / 2;
    svg += svgLine(x, legendY - 4, x + 32, legendY - 4,
                   "stroke=\"" + std::string(kEffectiveColour) + "\" stroke-width=\"2\" stroke-dasharray=\"8 5\"");
    svg += svgText(x + 40, legendY, plot.effectiveLegend, "");
    svg += "</svg>\n";
    return svg;
}

// ------------------------------------------------------------------ settings plot

namespace {

// Which parts of the plot area are taken, in cells of kCell pixels: the
// marks first, then each label as it is placed.
class Occupancy {
public:
    static constexpr double kCell = 3;

    explicit Occupancy(const BraggFrame& frame)
        : frame_(frame),
          columns_(static_cast<std::size_t>(std::ceil((frame.right - frame.left) / kCell)) + 1),
          rows_(static_cast<std::size_t>(std::ceil((frame.bottom - frame.top) / kCell)) + 1),
          taken_(columns_ * rows_, false) {}

    // False for a box that leaves the plot area or covers a taken cell.
    bool free(const Box& box) const {
        if (box.left < frame_.left || box.right > frame_.right || box.top < frame_.top || box.bottom > frame_.bottom) {
            return false;
        }
        bool clear = true;
        visit(box, [&](std::size_t cell) { clear = clear && !taken_[cell]; });
        return clear;
    }
    void take(const Box& box) {
        visit(box, [&](std::size_t cell) { taken_[cell] = true; });
    }

private:
    std::size_t cellOf(double offset, std::size_t count) const {
        const double cell = std::floor(offset / kCell);
        if (!(cell > 0)) return 0;
        return std::min(count - 1, static_cast<std::size_t>(cell));
    }
    template <typename Visit>
    void visit(const Box& box, Visit&& each) const {
        const std::size_t c0 = cellOf(box.left - frame_.left, columns_), c1 = cellOf(box.right - frame_.left, columns_);
        const std::size_t r0 = cellOf(box.top - frame_.top, rows_), r1 = cellOf(box.bottom - frame_.top, rows_);
        for (std::size_t r = r0; r <= r1; ++r) {
            for (std::size_t c = c0; c <= c1; ++c) each(r * columns_ + c);
        }
    }

    const BraggFrame& frame_;
    std::size_t columns_, rows_;
    std::vector<bool> taken_;
};

constexpr double kMarkRadius = 4;
constexpr const char* kRing = "fill=\"none\" stroke=\"#000000\" stroke-width=\"1.8\"";  // the ring of a chosen mark
constexpr double kShortLabelPixels = 10;

// The box of a text of `width` whose baseline starts at (x, baseline).
Box textBox(double x, double baseline, double width, double fontPixels) {
    return {x, baseline - fontPixels * 0.8, x + width, baseline + fontPixels * 0.25};
}

// Writes a mark's short label at the first free place beside it; "" when
// there is none.
std::string placedShortLabel(Occupancy& taken, double x, double y, const std::string& text) {
    // Digits and capitals run wider than the estimate's average character.
    const double width = estimatedTextWidth(text, kShortLabelPixels) * 1.1;
    // More than a cell of air between the text and its own mark.
    const double gap = kMarkRadius + Occupancy::kCell + 1;
    const double middle = y + kShortLabelPixels * 0.3;
    const std::initializer_list<PlotPoint> starts = {{x + gap, middle},
                                                     {x - gap - width, middle},
                                                     {x - width / 2, y - gap - kShortLabelPixels * 0.25},
                                                     {x - width / 2, y + gap + kShortLabelPixels * 0.8}};
    for (const PlotPoint& start : starts) {
        const Box box = textBox(start.x, start.y, width, kShortLabelPixels);
        if (!taken.free(box)) continue;
        taken.take(box);
        return svgText(start.x, start.y, text, "font-size=\"10\" fill=\"#303030\"");
    }
    return "";
}

std::string svgCircle(double x, double y, double r, const std::string& attributes) {
    return "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(r) + "\" " + attributes;
}

}  // namespace

std::string settingsPlotSvg(const std::string& title, const std::vector<SettingMark>& marks, const PlotGuides& guides,
                            int width, int height) {
    BraggPlot plot;
    plot.title = title;
    double xMax = 0, yMax = 0;
    bool greyed = false, chosen = false;
    for (const SettingMark& mark : marks) {
        if (std::isfinite(mark.x)) xMax = std::max(xMax, mark.x);
        if (std::isfinite(mark.y)) yMax = std::max(yMax, mark.y);
        greyed = greyed || mark.underMinimum;
        chosen = chosen || mark.chosen;
    }
    const bool minimum = std::isfinite(guides.minimumRangeUm) && guides.minimumRangeUm >= 0;
    if (minimum) xMax = std::max(xMax, guides.minimumRangeUm * 1.05);
    std::vector<double> bands;
    for (double let : guides.wantedLets) {
        if (!(std::isfinite(let) && let > 0)) continue;
        bands.push_back(let);
        yMax = std::max(yMax, let * (1 + guides.tolerance) * 1.05);
    }
    plot.x = niceAxis(0, xMax, 8, "Effective range (\u00b5m)");
    plot.y = niceAxis(0, yMax, 6, "Effective LET (MeV\u00b7cm\u00b2/mg)");
    BraggFrame f = braggFrame(plot, width, height);
    // The key of the guides and of greyed and chosen marks, under the title.
    const bool key = minimum || !bands.empty() || greyed || chosen;
    if (key) f.top += 14;

    std::string svg = svgOpening(width, height, title, title);
    svg += svgAxes(plot, f);

    Occupancy taken(f);
    const std::string minimumStroke =
        "stroke=\"" + std::string(kMinimumColour) + "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"";
    const std::string percent = cformat("%g%%", guides.tolerance * 100);
    for (double let : bands) {
        const double top = f.py(let * (1 + guides.tolerance));
        const double bottom = f.py(std::max(0.0, let * (1 - guides.tolerance)));
        svg += "<rect x=\"" + num(f.left) + "\" y=\"" + num(top) + "\" width=\"" + num(f.right - f.left) +
               "\" height=\"" + num(bottom - top) + "\" fill=\"" + kBandColour + "\" fill-opacity=\"0.15\"/>\n";
        const std::string text = "LET " + formatGeneral(let) + " \u00b1 " + percent;
        const double textWidth = estimatedTextWidth(text, 11);
        const double baseline = (top + bottom) / 2 + 4;
        svg += svgText(f.right - 6, baseline, text, std::string("text-anchor=\"end\" font-size=\"11\" fill=\"") +
                                                         kBandColour + "\"");
        taken.take(textBox(f.right - 6 - textWidth, baseline, textWidth, 11));
    }
    if (minimum) {
        const double x = f.px(guides.minimumRangeUm);
        svg += svgLine(x, f.top, x, f.bottom, minimumStroke);
        const std::string text = "Minimum range " + formatGeneral(guides.minimumRangeUm) + " \u00b5m";
        const double textWidth = estimatedTextWidth(text, 11);
        const bool toLeft = x > (f.left + f.right) / 2;
        const double start = toLeft ? x - 5 - textWidth : x + 5;
        svg += svgText(toLeft ? x - 5 : x + 5, f.top + 14, text,
                       std::string("text-anchor=\"") + (toLeft ? "end" : "start") + "\" font-size=\"11\" fill=\"" +
                           kMinimumColour + "\"");
        taken.take(textBox(start, f.top + 14, textWidth, 11));
    }

    // The marks, greyed ones below the others, and the rings of the chosen.
    const char* colours[] = {kNominalColour, kEffectiveColour, kRangeColour};
    std::vector<PlotPoint> at;
    at.reserve(marks.size());
    for (const SettingMark& mark : marks) {
        const PlotPoint p{f.px(std::isfinite(mark.x) ? mark.x : 0), f.py(std::isfinite(mark.y) ? mark.y : 0)};
        at.push_back(p);
        taken.take({p.x - kMarkRadius, p.y - kMarkRadius, p.x + kMarkRadius, p.y + kMarkRadius});
    }
    for (bool grey : {true, false}) {
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const SettingMark& mark = marks[i];
            if (mark.underMinimum != grey) continue;
            const char* fill = grey ? kGreyedColour : colours[std::clamp(mark.kind, 0, 2)];
            svg += svgCircle(at[i].x, at[i].y, kMarkRadius,
                             "fill=\"" + std::string(fill) + "\" fill-opacity=\"0.75\"><title>" +
                                 xmlEscaped(mark.label) + "</title></circle>\n");
        }
    }
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (marks[i].chosen) {
            svg += svgCircle(at[i].x, at[i].y, kMarkRadius + 3.5, std::string(kRing) + "/>\n");
        }
    }
    // Short labels: the chosen marks first, then those not greyed, then the rest.
    std::vector<std::size_t> order(marks.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto rank = [&](std::size_t i) { return marks[i].chosen ? 0 : marks[i].underMinimum ? 2 : 1; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    svg += "<g class=\"short-labels\">\n";
    for (std::size_t i : order) {
        if (!marks[i].shortLabel.empty()) svg += placedShortLabel(taken, at[i].x, at[i].y, marks[i].shortLabel);
    }
    svg += "</g>\n";

    const double legendY = f.bottom + 68;
    const char* legends[] = {"before the Bragg peak", "past the Bragg peak", "stopped before the substrate"};
    for (int i = 0; i < 3; ++i) {
        const double x = f.left + i * (f.right - f.left) / 3;
        svg += svgCircle(x + 6, legendY - 4, kMarkRadius, "fill=\"" + std::string(colours[i]) + "\"/>\n");
        svg += svgText(x + 16, legendY, legends[i], "");
    }
    if (key) {
        const double keyY = 48;
        double x = f.left;
        auto entry = [&](const std::string& symbol, const std::string& text) {
            svg += symbol;
            svg += svgText(x + 16, keyY, text, "fill=\"#404040\"");
            x += 16 + estimatedTextWidth(text, 13) + 24;
        };
        if (greyed) {
            entry(svgCircle(x + 6, keyY - 4, kMarkRadius, "fill=\"" + std::string(kGreyedColour) + "\"/>\n"),
                  "under the minimum range");
        }
        if (chosen) {
            entry(svgCircle(x + 6, keyY - 4, kMarkRadius + 1, std::string(kRing) + "/>\n"),
                  "chosen");
        }
        if (minimum) {
            entry(svgLine(x + 6, keyY - 12, x + 6, keyY + 3, minimumStroke),
                  "minimum range");
        }
        if (!bands.empty()) {
            entry("<rect x=\"" + num(x) + "\" y=\"" + num(keyY - 10) + "\" width=\"12\" height=\"10\" fill=\"" +
                      kBandColour + "\" fill-opacity=\"0.3\"/>\n",
                  "wanted LET \u00b1 " + percent);
        }
    }
    svg += "</svg>\n";
    return svg;
}
