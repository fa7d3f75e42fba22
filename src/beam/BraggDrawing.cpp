#include "beam/BraggPlot.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "util/NumberFormat.h"

// Where the Bragg plot's parts go on a picture (shared by the SVG text and the
// console's window) and the plot as SVG text.

namespace {

std::string xmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string num(double value) {
    std::string text = formatFixed(value, 1);
    if (text == "-0.0") text = "0.0";
    return text;
}

std::string svgText(double x, double y, const std::string& text, const std::string& attributes) {
    return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"" + (attributes.empty() ? "" : " " + attributes) + ">" +
           xmlEscaped(text) + "</text>\n";
}

std::string svgLine(double x1, double y1, double x2, double y2, const std::string& attributes) {
    return "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) + "\" " +
           attributes + "/>\n";
}

std::string svgPolyline(const BraggFrame& frame, const std::vector<PlotPoint>& curve, const std::string& attributes) {
    std::string points;
    points.reserve(curve.size() * 14);
    for (const PlotPoint& p : curve) {
        if (!points.empty()) points += ' ';
        points += num(frame.px(p.x)) + "," + num(frame.py(p.y));
    }
    return "<polyline fill=\"none\" " + attributes + " points=\"" + points + "\"/>\n";
}

}  // namespace

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

namespace {

// Grid, frame, ticks and their labels, and the axis titles.
std::string svgAxes(const BraggPlot& plot, const BraggFrame& f) {
    std::string svg;
    svg += "<g stroke=\"#e3e3e3\" stroke-width=\"1\">\n";
    for (double t : plot.x.ticks) svg += svgLine(f.px(t), f.top, f.px(t), f.bottom, "");
    for (double t : plot.y.ticks) svg += svgLine(f.left, f.py(t), f.right, f.py(t), "");
    svg += "</g>\n";
    svg += "<rect x=\"" + num(f.left) + "\" y=\"" + num(f.top) + "\" width=\"" + num(f.right - f.left) + "\" height=\"" +
           num(f.bottom - f.top) + "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.2\"/>\n";
    svg += "<g stroke=\"#000000\" stroke-width=\"1\">\n";
    for (double t : plot.x.ticks) svg += svgLine(f.px(t), f.bottom, f.px(t), f.bottom + 5, "");
    for (double t : plot.y.ticks) svg += svgLine(f.left - 5, f.py(t), f.left, f.py(t), "");
    svg += "</g>\n";
    svg += "<g fill=\"#000000\">\n";
    for (std::size_t i = 0; i < plot.x.ticks.size(); ++i) {
        svg += svgText(f.px(plot.x.ticks[i]), f.bottom + 20, plot.x.tickLabels[i], "text-anchor=\"middle\"");
    }
    for (std::size_t i = 0; i < plot.y.ticks.size(); ++i) {
        svg += svgText(f.left - 9, f.py(plot.y.ticks[i]) + 4.5, plot.y.tickLabels[i], "text-anchor=\"end\"");
    }
    svg += "</g>\n";
    svg += svgText((f.left + f.right) / 2, f.bottom + 42, plot.x.title, "text-anchor=\"middle\" font-size=\"14\"");
    const double yTitleX = 22, yTitleY = (f.top + f.bottom) / 2;
    svg += svgText(yTitleX, yTitleY, plot.y.title,
                   "text-anchor=\"middle\" font-size=\"14\" transform=\"rotate(-90 " + num(yTitleX) + " " +
                       num(yTitleY) + ")\"");

    return svg;
}

}  // namespace

std::string braggPlotSvg(const BraggPlot& plot, int width, int height) {
    const BraggFrame f = braggFrame(plot, width, height);
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string svg;
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"13\">\n";
    svg += "<title>" + xmlEscaped("Bragg curve: " + plot.title) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
    svg += svgText(width / 2.0, 28, plot.title, "text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
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

std::string settingsPlotSvg(const std::string& title, const std::vector<SettingMark>& marks, int width, int height) {
    BraggPlot plot;
    plot.title = title;
    double xMax = 0, yMax = 0;
    for (const SettingMark& mark : marks) {
        if (std::isfinite(mark.x)) xMax = std::max(xMax, mark.x);
        if (std::isfinite(mark.y)) yMax = std::max(yMax, mark.y);
    }
    plot.x = niceAxis(0, xMax, 8, "Effective range (\u00b5m)");
    plot.y = niceAxis(0, yMax, 6, "Effective LET (MeV\u00b7cm\u00b2/mg)");
    const BraggFrame f = braggFrame(plot, width, height);
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "\" height=\"" + h +
                      "\" viewBox=\"0 0 " + w + " " + h +
                      "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"13\">\n";
    svg += "<title>" + xmlEscaped(title) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
    svg += svgText(width / 2.0, 28, title, "text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
    svg += svgAxes(plot, f);
    const char* colours[] = {kNominalColour, kEffectiveColour, kRangeColour};
    for (const SettingMark& mark : marks) {
        const double x = std::isfinite(mark.x) ? mark.x : 0, y = std::isfinite(mark.y) ? mark.y : 0;
        svg += "<circle cx=\"" + num(f.px(x)) + "\" cy=\"" + num(f.py(y)) + "\" r=\"4\" fill=\"" +
               colours[std::clamp(mark.kind, 0, 2)] + "\" fill-opacity=\"0.75\"><title>" + xmlEscaped(mark.label) +
               "</title></circle>\n";
    }
    const double legendY = f.bottom + 68;
    const char* legends[] = {"before the Bragg peak", "past the Bragg peak", "stopped before the substrate"};
    for (int i = 0; i < 3; ++i) {
        const double x = f.left + i * (f.right - f.left) / 3;
        svg += "<circle cx=\"" + num(x + 6) + "\" cy=\"" + num(legendY - 4) + "\" r=\"4\" fill=\"" + colours[i] + "\"/>\n";
        svg += svgText(x + 16, legendY, legends[i], "");
    }
    svg += "</svg>\n";
    return svg;
}
