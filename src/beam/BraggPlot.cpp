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

std::string braggCurveTip(const BraggPlot& plot, double depthUm) {
    std::string text = "Depth " + depthText(depthUm) + ",  ";
    double nominal = 0, effective = 0;
    const bool onNominal = curveValueAt(plot.nominal, depthUm, nominal);
    const bool onEffective = plot.tilted && curveValueAt(plot.effective, depthUm, effective);
    if (!onNominal && !onEffective) return text + "no LET at this depth";
    if (!plot.tilted) return text + "LET " + letText(nominal);
    if (onNominal) text += "nominal LET " + formatSignificant(nominal, 4) + (onEffective ? ", " : " ");
    if (onEffective) text += (onNominal ? "effective " : "effective LET ") + formatSignificant(effective, 4) + " ";
    return text + kLetUnit;
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
