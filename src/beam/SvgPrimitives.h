#pragma once

#include <string>
#include <vector>

#include "beam/BraggPlot.h"

// The pieces every SVG picture of the beam is made of: the Bragg curve, the
// settings plot and the cross section alike, so that they look the same and
// escape their texts the same way. Coordinates are pixels, written with one
// decimal.
namespace svg {

// `text` with & < > " as entities.
std::string xmlEscaped(const std::string& text);
// A pixel coordinate: one decimal, never "-0.0".
std::string num(double value);

std::string svgText(double x, double y, const std::string& text, const std::string& attributes);
std::string svgLine(double x1, double y1, double x2, double y2, const std::string& attributes);
// The curve's data points placed by `frame`.
std::string svgPolyline(const BraggFrame& frame, const std::vector<PlotPoint>& curve, const std::string& attributes);

// The document's opening: the <svg> element of `width` × `height`, its
// <title> (the tooltip `tooltip`), the white background and the bold
// `heading` centred on top.
std::string svgOpening(int width, int height, const std::string& tooltip, const std::string& heading);

// The plot area's frame: the grid at the ticks of both axes, the frame
// itself, the ticks and their labels, and the axis titles.
std::string svgAxes(const BraggPlot& plot, const BraggFrame& frame);

}  // namespace svg
