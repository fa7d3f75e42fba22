#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "beam/BraggPlot.h"
#include "beam/CrossSection.h"
#include "beam/SvgPrimitives.h"
#include "util/NumberFormat.h"

// The cross section as SVG: the plot's vertical axis holds log10 σ, so that
// the frame, the grid and the ticks are the Bragg picture's own; the tick
// labels name the decades ("1e-7").

using svg::num;
using svg::svgAxes;
using svg::svgLine;
using svg::svgOpening;
using svg::svgPolyline;
using svg::svgText;

namespace {

inline constexpr const char* kPointColour = "#1f5fbf";
inline constexpr const char* kLimitColour = "#d0451b";
inline constexpr const char* kFitColour = "#202020";

// A downward triangle with its tip at (x, y): an upper limit.
std::string downTriangle(double x, double y) {
    return "<polygon points=\"" + num(x - 6) + "," + num(y - 9) + " " + num(x + 6) + "," + num(y - 9) + " " + num(x) +
           "," + num(y) + "\" fill=\"" + kLimitColour + "\"/>\n";
}

std::string dot(double x, double y) {
    return "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"4\" fill=\"" + kPointColour + "\"/>\n";
}

}  // namespace

std::string crossSectionSvg(const std::string& title, const CrossSectionData& data, const WeibullFit& fit, int width,
                            int height) {
    BraggPlot plot;
    plot.title = title;
    double letMax = 0, low = std::numeric_limits<double>::infinity(), high = -low;
    for (const CrossSectionPoint& p : data.perLet) {
        letMax = std::max(letMax, p.effectiveLet);
        for (double sigma : {p.lower, p.sigma, p.upper}) {
            if (!(sigma > 0)) continue;
            low = std::min(low, std::log10(sigma));
            high = std::max(high, std::log10(sigma));
        }
    }
    if (fit.fitted) high = std::max(high, std::log10(fit.value.saturation));
    if (!std::isfinite(low)) {
        low = -8;
        high = -5;
    }
    plot.x = niceAxis(0, letMax * 1.05, 8, "Effective LET (MeV\u00b7cm\u00b2/mg)");
    plot.y.title = "Cross section (cm\u00b2)";
    plot.y.min = std::floor(low);
    plot.y.max = std::max(std::ceil(high), plot.y.min + 1);
    if (plot.y.max - high < 0.05) plot.y.max += 1;  // room above the highest point for the legend
    plot.y.step = 1;
    for (double decade = plot.y.min; decade <= plot.y.max; ++decade) {
        plot.y.ticks.push_back(decade);
        plot.y.tickLabels.push_back(cformat("1e%d", static_cast<int>(decade)));
    }
    const BraggFrame f = braggFrame(plot, width, height);
    std::string svg = svgOpening(width, height, "Cross section: " + title, title);
    svg += svgAxes(plot, f);

    if (fit.fitted) {
        std::vector<PlotPoint> curve;
        const int steps = 300;
        const double from = std::max(fit.value.onset, plot.x.min), to = plot.x.max;
        for (int k = 1; k <= steps; ++k) {
            const double let = from + (to - from) * k / steps;
            const double sigma = weibullSigma(fit.value, let);
            if (sigma > 0 && std::log10(sigma) >= plot.y.min) curve.push_back({let, std::log10(sigma)});
        }
        svg += svgPolyline(f, curve, "stroke=\"" + std::string(kFitColour) + "\" stroke-width=\"1.5\"");
    }
    bool anyMeasured = false, anyLimit = false;
    for (const CrossSectionPoint& p : data.perLet) {
        const double x = f.px(p.effectiveLet);
        if (p.events == 0) {
            svg += downTriangle(x, f.py(std::log10(p.upper)));
            anyLimit = true;
            continue;
        }
        svg += svgLine(x, f.py(std::log10(p.lower)), x, f.py(std::log10(p.upper)),
                       "stroke=\"" + std::string(kPointColour) + "\" stroke-width=\"1.2\"");
        svg += dot(x, f.py(std::log10(p.sigma)));
        anyMeasured = true;
    }

    // The legend, top left inside the plot area.
    double y = f.top + 20;
    const double x = f.left + 14;
    if (anyMeasured) {
        svg += dot(x + 6, y - 4) + svgText(x + 20, y, "measured, 95 % limits", "");
        y += 20;
    }
    if (anyLimit) {
        svg += downTriangle(x + 6, y) + svgText(x + 20, y, "no events: 95 % upper limit", "");
        y += 20;
    }
    if (fit.fitted) {
        svg += svgLine(x, y - 4, x + 14, y - 4, "stroke=\"" + std::string(kFitColour) + "\" stroke-width=\"1.5\"") +
               svgText(x + 20, y, "Weibull fit", "");
    }
    if (data.perLet.empty()) {
        svg += svgText(width / 2.0, height / 2.0, "No run with a cross section",
                       "text-anchor=\"middle\" font-size=\"18\" fill=\"#555555\"");
    }
    svg += "</svg>\n";
    return svg;
}
