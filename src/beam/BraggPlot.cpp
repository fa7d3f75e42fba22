#include "beam/BraggPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>
#include <system_error>

#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

namespace {

constexpr const char* kMicro = "\u00b5m";
constexpr const char* kLetUnit = "MeV\u00b7cm\u00b2/mg";
constexpr const char* kLetMarker = "   LET = ";

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Bytes that never occur in a text file: NUL and the other control
// characters except tab, line and page breaks.
bool looksBinary(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f';
    });
}

// A row: exactly six numbers.
bool parseRow(const std::string& line, RangeRow& row) {
    std::istringstream in(line);
    TokenReader reader(in);
    RangeRow parsed;
    if (!reader.readReal(parsed.energyPerNucleonMeV) || !reader.readReal(parsed.energyMeV) ||
        !reader.readReal(parsed.depthUm) || !reader.readReal(parsed.effectiveDepthUm) ||
        !reader.readReal(parsed.let) || !reader.readReal(parsed.effectiveLet)) {
        return false;
    }
    std::string extra;
    if (reader.readWord(extra)) return false;
    row = parsed;
    return true;
}

// A number token that may end in a comma ("93.3751,").
bool readNumberWord(TokenReader& reader, double& value) {
    std::string word;
    if (!reader.readWord(word)) return false;
    if (!word.empty() && word.back() == ',') word.pop_back();
    return parseReal(word, value);
}

bool expectWord(TokenReader& reader, const char* expected) {
    std::string word;
    return reader.readWord(word) && word == expected;
}

// "Highest LET: L,  highest effective LET: eL  at  E = e MeV/u  or  E MeV"
bool parsePeakLine(const std::string& line, RangePeak& peak) {
    std::istringstream in(line);
    TokenReader reader(in);
    RangePeak parsed;
    bool ok = expectWord(reader, "Highest") && expectWord(reader, "LET:") && readNumberWord(reader, parsed.let) &&
              expectWord(reader, "highest") && expectWord(reader, "effective") && expectWord(reader, "LET:") &&
              readNumberWord(reader, parsed.effectiveLet) && expectWord(reader, "at") && expectWord(reader, "E") &&
              expectWord(reader, "=") && readNumberWord(reader, parsed.energyPerNucleonMeV) &&
              expectWord(reader, "MeV/u") && expectWord(reader, "or") && readNumberWord(reader, parsed.energyMeV) &&
              expectWord(reader, "MeV");
    if (ok) peak = parsed;
    return ok;
}

// "   LET = L   eLET = eL   A = A"
bool parseEntryValues(const std::string& text, RangeTableRecord& record) {
    std::istringstream in(text);
    TokenReader reader(in);
    double let = 0, effectiveLet = 0, mass = 0;
    bool ok = expectWord(reader, "LET") && expectWord(reader, "=") && reader.readReal(let) &&
              expectWord(reader, "eLET") && expectWord(reader, "=") && reader.readReal(effectiveLet) &&
              expectWord(reader, "A") && expectWord(reader, "=") && reader.readReal(mass);
    if (!ok) return false;
    record.entryLet = let;
    record.entryEffectiveLet = effectiveLet;
    record.ionMassU = mass;
    record.hasEntryValues = true;
    return true;
}

std::string formatSignificant(double value, int digits) {
    if (value == 0 || !std::isfinite(value)) return formatFixed(0, 0);
    int decimals = digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return formatFixed(value, std::clamp(decimals, 0, 6));
}

std::string depthText(double um) { return formatFixed(um, 1) + " " + kMicro; }
std::string letText(double let) { return formatSignificant(let, 4) + " " + kLetUnit; }

bool nearlyEqual(double a, double b) {
    return std::fabs(a - b) <= 1e-6 * std::max(std::fabs(a), std::fabs(b));
}

// --- SVG ---

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

// ------------------------------------------------------------------ reading

bool parseRangeTableHeader(const std::string& header, RangeTableRecord& record) {
    // <beam>   at <E/u> MeV/amu (<E> MeV)   in <substrate> at <T> <unit>
    const std::string at = "   at ";
    const std::string perNucleon = " MeV/amu (";
    const std::string in = " MeV)   in ";
    std::size_t atPos = header.find(at);
    if (atPos == std::string::npos) return false;
    std::size_t perNucleonPos = header.find(perNucleon, atPos + at.size());
    if (perNucleonPos == std::string::npos) return false;
    std::size_t inPos = header.find(in, perNucleonPos + perNucleon.size());
    if (inPos == std::string::npos) return false;
    std::string rest = header.substr(inPos + in.size());
    std::size_t tiltPos = rest.rfind(" at ");
    if (tiltPos == std::string::npos) return false;

    record.beam = trimmed(header.substr(0, atPos));
    record.energyPerNucleonText = trimmed(header.substr(atPos + at.size(), perNucleonPos - atPos - at.size()));
    record.energyMeVText =
        trimmed(header.substr(perNucleonPos + perNucleon.size(), inPos - perNucleonPos - perNucleon.size()));
    record.substrate = trimmed(rest.substr(0, tiltPos));
    record.tiltText = trimmed(rest.substr(tiltPos + 4));
    record.headerParsed = true;
    return true;
}

namespace {
RangeTableRecord markUnreadable(RangeTableRecord& record, const std::string& why) {
    record.source = RangeTableSource::Unreadable;
    record.problem = why;
    return record;
}
}  // namespace

RangeTableRecord parseRangeTable(const std::string& text) {
    RangeTableRecord record;
    record.source = RangeTableSource::Table;
    if (trimmed(text).empty()) {
        record.source = RangeTableSource::Empty;
        return record;
    }
    if (looksBinary(text)) return markUnreadable(record, "RangeTable.txt is not a text file");

    std::istringstream in(text);
    TokenReader lines(in);
    std::string line;
    int lineNumber = 0;
    bool headerSeen = false;
    while (lines.readLine(line)) {
        ++lineNumber;
        std::string content = trimmed(line);
        if (!headerSeen) {
            std::size_t letPos = line.rfind(kLetMarker);
            if (letPos == std::string::npos) {
                return markUnreadable(record, "RangeTable.txt does not start with a range table's title line");
            }
            headerSeen = true;
            record.headerText = line.substr(0, letPos);
            parseRangeTableHeader(record.headerText, record);
            parseEntryValues(line.substr(letPos), record);
            continue;
        }
        if (content.empty()) continue;
        if (startsWith(content, "MeV/u")) {
            record.legacy = content.find("LEGACY CALCULATIONS") != std::string::npos;
            continue;
        }
        if (startsWith(content, "Highest LET:")) {
            if (!parsePeakLine(content, record.peakLine)) {
                return markUnreadable(record, "RangeTable.txt: line " + std::to_string(lineNumber) +
                                                  " is not a readable \"Highest LET\" line");
            }
            record.hasPeakLine = true;
            continue;
        }
        RangeRow row;
        if (record.hasPeakLine || !parseRow(content, row)) {
            return markUnreadable(record,
                                  "RangeTable.txt: line " + std::to_string(lineNumber) + " is not a row of six numbers");
        }
        record.rows.push_back(row);
    }
    if (record.rows.empty()) {
        record.problem = "RangeTable.txt holds no rows";
    }
    return record;
}

RangeTableRecord readRangeTableFile(const std::string& path) {
    RangeTableRecord record;
    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::exists(file, error)) {
        record.source = RangeTableSource::Missing;
        return record;
    }
    if (!std::filesystem::is_regular_file(file, error)) return markUnreadable(record, "RangeTable.txt is not a file");
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return markUnreadable(record, "RangeTable.txt cannot be read");
    if (size > kMaxRangeTableBytes) {
        return markUnreadable(record, "RangeTable.txt is too large to show (" +
                                          formatFixed(static_cast<double>(size) / 1048576.0, 1) + " MB)");
    }
    std::ifstream stream;
    if (!openInput(stream, file.string())) return markUnreadable(record, "RangeTable.txt cannot be read");
    std::string text;
    text.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(stream.gcount()));
        // The file may grow while it is read; never hold more than the limit.
        if (text.size() > kMaxRangeTableBytes) return markUnreadable(record, "RangeTable.txt is too large to show");
    }
    return parseRangeTable(text);
}

// ------------------------------------------------------------------ axes

double niceStep(double span, int targetTicks) {
    if (!(span > 0) || !std::isfinite(span) || targetTicks < 1) return 1;
    const double raw = span / targetTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double multiple : {1.0, 2.0, 5.0, 10.0}) {
        if (multiple * magnitude >= raw * (1 - 1e-9)) return multiple * magnitude;
    }
    return 10 * magnitude;
}

std::string tickLabel(double value, double step) {
    int decimals = 0;
    if (step > 0 && step < 1) decimals = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    // Values within a rounding error of 0 print as "0", never "-0".
    if (std::fabs(value) < step * 1e-6) value = 0;
    return formatFixed(value + 0.0, std::clamp(decimals, 0, 12));
}

PlotAxis niceAxis(double low, double high, int targetTicks, const std::string& title) {
    PlotAxis axis;
    axis.title = title;
    if (!std::isfinite(low)) low = 0;
    if (!std::isfinite(high) || !(high > low)) high = low + 1;
    axis.step = niceStep(high - low, targetTicks);
    const long first = std::lround(std::floor(low / axis.step + 1e-9));
    const long last = std::lround(std::ceil(high / axis.step - 1e-9));
    axis.min = static_cast<double>(first) * axis.step;
    axis.max = static_cast<double>(last) * axis.step;
    for (long i = first; i <= last; ++i) {
        double value = static_cast<double>(i) * axis.step;
        axis.ticks.push_back(value);
        axis.tickLabels.push_back(tickLabel(value, axis.step));
    }
    return axis;
}

// ------------------------------------------------------------------ plot data

int braggPeakRow(const std::vector<RangeRow>& rows, bool complete) {
    if (rows.empty()) return -1;
    const std::size_t candidates = complete && rows.size() >= 2 ? rows.size() - 1 : rows.size();
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates; ++i) {
        if (rows[best].let <= rows[i].let) best = i;
    }
    return static_cast<int>(best);
}

int braggPeakRowOfLine(const std::vector<RangeRow>& rows, const RangePeak& line) {
    // Rows give the energy per nucleon with two decimals.
    double closest = 0.0051;
    int found = -1;
    const std::size_t candidates = rows.size() >= 2 ? rows.size() - 1 : rows.size();
    for (std::size_t i = 0; i < candidates; ++i) {
        const double distance = std::fabs(rows[i].energyPerNucleonMeV - line.energyPerNucleonMeV);
        if (distance <= closest) {
            closest = distance;
            found = static_cast<int>(i);
        }
    }
    return found;
}

BraggPlot makeBraggPlot(const RangeTableRecord& record) {
    BraggPlot plot;
    plot.x = niceAxis(0, 1, 5, kDepthAxisTitle);
    plot.y = niceAxis(0, 1, 5, kLetAxisTitle);

    if (record.headerParsed) {
        plot.title = record.substrate + " \u2014 " + record.beam + " at " + record.energyPerNucleonText + " MeV/u (" +
                     record.energyMeVText + " MeV), tilt " + record.tiltText;
    } else if (!trimmed(record.headerText).empty()) {
        plot.title = trimmed(record.headerText);
    } else {
        plot.title = "Bragg curve";
    }

    switch (record.source) {
        case RangeTableSource::Missing: plot.reason = kNoRangeTable; return plot;
        case RangeTableSource::Empty: plot.reason = kBeamStopsBeforeSubstrate; return plot;
        case RangeTableSource::Unreadable: plot.reason = record.problem; return plot;
        case RangeTableSource::Table: break;
    }
    if (!record.problem.empty() || record.rows.empty()) {
        plot.reason = record.problem.empty() ? "RangeTable.txt holds no rows" : record.problem;
        return plot;
    }

    plot.empty = false;
    std::vector<std::string> notes;
    if (record.legacy) notes.push_back("legacy calculations");
    if (!record.hasPeakLine) notes.push_back("incomplete table: no \"Highest LET\" line");
    for (const std::string& note : notes) plot.subtitle += (plot.subtitle.empty() ? "" : "; ") + note;

    const std::vector<RangeRow>& rows = record.rows;
    double depthLow = 0, depthHigh = 0, letLow = 0, letHigh = 0;
    plot.nominal.reserve(rows.size());
    plot.effective.reserve(rows.size());
    for (const RangeRow& row : rows) {
        plot.nominal.push_back({row.depthUm, row.let});
        plot.effective.push_back({row.effectiveDepthUm, row.effectiveLet});
        depthLow = std::min({depthLow, row.depthUm, row.effectiveDepthUm});
        depthHigh = std::max({depthHigh, row.depthUm, row.effectiveDepthUm});
        letLow = std::min({letLow, row.let, row.effectiveLet});
        letHigh = std::max({letHigh, row.let, row.effectiveLet});
    }
    plot.x = niceAxis(depthLow, depthHigh, 8, kDepthAxisTitle);
    // Room above the highest point for the peak's label.
    plot.y = niceAxis(letLow, letHigh * 1.2, 6, kLetAxisTitle);

    plot.rangeUm = rows.back().depthUm;
    plot.effectiveRangeUm = rows.back().effectiveDepthUm;
    // The rows carry four digits of LET, so rows near the peak often print
    // alike; the "Highest LET" line names the peak's energy with six digits
    // and finds its row. Without that line (or when no row has its energy)
    // the table's own rule picks the row.
    int peakIndex = braggPeakRow(rows, record.hasPeakLine);
    const int named = record.hasPeakLine ? braggPeakRowOfLine(rows, record.peakLine) : -1;
    if (named >= 0) peakIndex = named;
    const RangeRow& peak = rows[static_cast<std::size_t>(peakIndex)];
    plot.peak = {peak.let, peak.effectiveLet, peak.energyPerNucleonMeV, peak.energyMeV, peak.depthUm,
                 peak.effectiveDepthUm};
    if (named >= 0) {
        plot.peak.let = record.peakLine.let;
        plot.peak.effectiveLet = record.peakLine.effectiveLet;
        plot.peak.energyPerNucleonMeV = record.peakLine.energyPerNucleonMeV;
        plot.peak.energyMeV = record.peakLine.energyMeV;
    }

    plot.tilted = !nearlyEqual(plot.peak.let, plot.peak.effectiveLet) || !nearlyEqual(peak.depthUm, peak.effectiveDepthUm);
    plot.nominalLegend = "Nominal LET, range " + depthText(plot.rangeUm);
    plot.effectiveLegend = "Effective LET" + (record.tiltText.empty() ? std::string() : " at tilt " + record.tiltText) +
                           ", range " + depthText(plot.effectiveRangeUm);
    plot.peakLabel = "Bragg peak " + letText(plot.peak.let) +
                     (plot.tilted ? " (effective " + formatSignificant(plot.peak.effectiveLet, 4) + ")" : std::string());
    plot.peakEnergyLabel = "at " + formatFixed(plot.peak.energyPerNucleonMeV, 2) + " MeV/u (" +
                           formatFixed(plot.peak.energyMeV, 1) + " MeV), depth " + depthText(plot.peak.depthUm);
    plot.effectiveRangeLabel = "Effective range " + depthText(plot.effectiveRangeUm);
    return plot;
}

BraggPlot makeBraggPlot(const std::string& headerText, const std::vector<RangeRow>& rows, bool legacy,
                        const RangePeak& peak) {
    RangeTableRecord record;
    record.source = RangeTableSource::Table;
    record.headerText = headerText;
    parseRangeTableHeader(headerText, record);
    record.legacy = legacy;
    record.rows = rows;
    record.hasPeakLine = true;
    record.peakLine = peak;
    if (rows.empty()) record.problem = "The range table holds no rows";
    return makeBraggPlot(record);
}

bool curveValueAt(const std::vector<PlotPoint>& curve, double x, double& y) {
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const PlotPoint& b = curve[i];
        if (i == 0) {
            if (curve.size() == 1 && x == b.x) {
                y = b.y;
                return true;
            }
            continue;
        }
        const PlotPoint& a = curve[i - 1];
        const double lo = std::min(a.x, b.x), hi = std::max(a.x, b.x);
        if (x < lo || x > hi) continue;
        y = hi == lo ? std::max(a.y, b.y) : a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        return true;
    }
    return false;
}

std::string braggPointText(double depthUm, double let) {
    return "Depth " + depthText(depthUm) + ",  LET " + letText(let);
}

std::string braggReadout(const BraggPlot& plot, double depthUm, double let) {
    std::string text = braggPointText(depthUm, let);
    double nominal = 0, effective = 0;
    const bool onNominal = curveValueAt(plot.nominal, depthUm, nominal);
    const bool onEffective = curveValueAt(plot.effective, depthUm, effective);
    if (onNominal || onEffective) {
        text += "   \u2014   at this depth:";
        if (onNominal) text += " nominal " + formatSignificant(nominal, 4);
        if (onNominal && onEffective) text += ",";
        if (onEffective) text += " effective " + formatSignificant(effective, 4);
    }
    return text;
}

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

std::string braggExportTitle(const BraggExportLabel& label) {
    return label.beam + "   S = " + label.s + "   R = " + label.r + "   T = " + label.t + "   " + label.date;
}

BraggPlot braggExportPlot(const BraggPlot& plot, const BraggExportLabel& label) {
    BraggPlot exported = plot;
    exported.title = braggExportTitle(label);
    exported.subtitle = plot.title;
    if (!plot.subtitle.empty()) exported.subtitle += (exported.subtitle.empty() ? "" : "   ") + plot.subtitle;
    return exported;
}

std::string braggExportFileName(const BraggExportLabel& label, const std::string& extension) {
    std::string name = "Bragg curve " + label.beam + " " + label.date;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    }
    return name + extension;
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
