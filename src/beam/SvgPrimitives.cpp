#include "beam/SvgPrimitives.h"

#include "util/NumberFormat.h"

namespace svg {

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

std::string svgOpening(int width, int height, const std::string& tooltip, const std::string& heading) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "\" height=\"" + h +
                      "\" viewBox=\"0 0 " + w + " " + h +
                      "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"13\">\n";
    svg += "<title>" + xmlEscaped(tooltip) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
    svg += svgText(width / 2.0, 28, heading, "text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
    return svg;
}

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

}  // namespace svg
