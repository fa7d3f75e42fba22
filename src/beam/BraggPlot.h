#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "beam/RangeTable.h"

// The range table as a picture: "RangeTable.txt" read back into a record,
// turned into plot data (both curves, axes with readable ticks, the Bragg
// peak, the effective range, the title) and drawn as SVG text. No toolkit
// here: the console's window paints the same plot data with its own painter,
// and `tarvex-let range --svg` writes the same SVG without a window.
// BraggPlot.cpp reads the table and makes the plot data; BraggDrawing.cpp
// places its parts on a picture and writes the SVG text.

// What was found where the range table should be.
enum class RangeTableSource {
    Table,       // a readable table (rows may still be missing: see `problem`)
    Missing,     // no file
    Empty,       // an empty file: the beam stopped before the substrate
    Unreadable,  // not a range table: binary, oversized, malformed
};

// "RangeTable.txt" read back. Line 1 is the header text followed by
// "   LET = " L "   eLET = " L/|cos T| "   A = " A; the header text is
// "<beam>   at <E/u> MeV/amu (<E> MeV)   in <substrate> at <T> <unit>".
struct RangeTableRecord {
    RangeTableSource source = RangeTableSource::Missing;
    std::string problem;  // why the table cannot be shown; empty when it can

    std::string headerText;  // line 1 before "   LET = "
    bool headerParsed = false;  // the five parts below were found
    std::string beam;
    std::string energyPerNucleonText;  // MeV/u at the substrate, as written
    std::string energyMeVText;         // MeV at the substrate, as written
    std::string substrate;
    std::string tiltText;  // T as written, with its unit ("60.000 deg")

    bool hasEntryValues = false;  // LET, eLET and A were read from line 1
    double entryLet = 0;
    double entryEffectiveLet = 0;
    double ionMassU = 0;

    bool legacy = false;  // the column line ends with "LEGACY CALCULATIONS"
    std::vector<RangeRow> rows;

    bool hasPeakLine = false;  // the "Highest LET:" line was read (the table is complete)
    RangePeak peakLine;
};

// Reads a range table from its text; never throws.
RangeTableRecord parseRangeTable(const std::string& text);
// Reads the file at `path`: missing, empty, larger than kMaxRangeTableBytes or
// not text are told apart in `source` and `problem`.
RangeTableRecord readRangeTableFile(const std::string& path);
inline constexpr std::size_t kMaxRangeTableBytes = 64u * 1024u * 1024u;

// The parts of a header text (the console's or `tarvex-let range`'s); false
// when the text does not have the header's shape.
bool parseRangeTableHeader(const std::string& header, RangeTableRecord& record);

struct PlotPoint {
    double x = 0;
    double y = 0;
};

// An axis from `min` to `max` with ticks every `step` (1, 2 or 5 times a power
// of ten), each with its label.
struct PlotAxis {
    std::string title;
    double min = 0;
    double max = 1;
    double step = 1;
    std::vector<double> ticks;
    std::vector<std::string> tickLabels;
};

// An axis from 0 (or `low`) to at least `high` with about `targetTicks`
// intervals. A span of 0 or less becomes 0 to 1.
PlotAxis niceAxis(double low, double high, int targetTicks, const std::string& title);
// 1, 2 or 5 times a power of ten, the smallest such step for which `span` needs
// at most `targetTicks` intervals.
double niceStep(double span, int targetTicks);
// A tick value with as many decimals as the step needs ("0.25" at step 0.05).
std::string tickLabel(double value, double step);

// The row of highest LET; equal LETs move the peak to the deeper row, as the
// table's own peak rule. The last row of a complete table (the step to rest)
// is no candidate. -1 without rows.
int braggPeakRow(const std::vector<RangeRow>& rows, bool complete);

// The row of the "Highest LET" line: the candidate row (the step to rest
// excluded) whose energy per nucleon is the line's, the deeper of two equally
// close; -1 when none is within the rows' rounding.
int braggPeakRowOfLine(const std::vector<RangeRow>& rows, const RangePeak& line);

struct BraggPeakMark {
    double let = 0;
    double effectiveLet = 0;
    double energyPerNucleonMeV = 0;
    double energyMeV = 0;
    double depthUm = 0;
    double effectiveDepthUm = 0;
};

struct BraggPlot {
    bool empty = true;  // nothing to plot: `reason` tells why
    std::string reason;

    std::string title;     // substrate, beam, energy and tilt
    std::string subtitle;  // notes: legacy calculations, an incomplete table

    std::vector<PlotPoint> nominal;    // (depth µm, LET)
    std::vector<PlotPoint> effective;  // (effective depth µm, effective LET)
    PlotAxis x;
    PlotAxis y;

    BraggPeakMark peak;  // energies and LETs of the "Highest LET" line when it names a row
    double rangeUm = 0;           // last nominal depth
    double effectiveRangeUm = 0;  // last effective depth

    std::string nominalLegend;
    std::string effectiveLegend;
    bool tilted = false;  // the effective curve differs from the nominal one
    std::string peakLabel;            // "Bragg peak 93.38 MeV·cm²/mg (effective 186.8)"
    std::string peakEnergyLabel;      // "at 4.60 MeV/u (906.2 MeV), depth 50.1 µm"
    std::string effectiveRangeLabel;  // "Effective range 31.6 µm"
};

inline constexpr const char* kDepthAxisTitle = "Depth (\u00b5m)";
inline constexpr const char* kLetAxisTitle = "LET (MeV\u00b7cm\u00b2/mg)";
inline constexpr const char* kNoRangeTable = "No range table yet";
inline constexpr const char* kBeamStopsBeforeSubstrate = "The beam stops before the substrate";

BraggPlot makeBraggPlot(const RangeTableRecord& record);
// The plot of rows that were never written to a file (`tarvex-let range
// --csv`), under a header text as the table's line 1 starts, with the peak
// that followIonToRest found.
BraggPlot makeBraggPlot(const std::string& headerText, const std::vector<RangeRow>& rows, bool legacy,
                        const RangePeak& peak);

// The LET of a curve at depth `x`, interpolated between its points; false
// outside the curve.
bool curveValueAt(const std::vector<PlotPoint>& curve, double x, double& y);

// Where things go on a picture of `width` × `height` pixels; shared by the SVG
// text and the window so both look the same.
struct BraggFrame {
    double width = 0;
    double height = 0;
    double left = 0;  // the plot area
    double top = 0;
    double right = 0;
    double bottom = 0;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    bool legendRight = false;  // the legend in the upper right corner (else upper left)

    double px(double x) const;  // data to pixels
    double py(double y) const;
    double dataX(double px) const;  // pixels to data
    double dataY(double py) const;
    bool inside(double px, double py) const;
};
BraggFrame braggFrame(const BraggPlot& plot, double width, double height);

// Where the two lines of the peak's label go: beside the marker, above it
// when the curves leave room, else below it, the first place in the plot area
// that no curve crosses. `baseline` is the first line's; the second is
// kPeakLabelLineGap lower. `alignRight`: the text ends at `x`, else starts there.
struct LabelSpot {
    double x = 0;
    double baseline = 0;
    bool alignRight = false;
};
inline constexpr double kPeakLabelLineGap = 16;
LabelSpot placePeakLabel(const BraggPlot& plot, const BraggFrame& frame, double textWidth);
// A width for a text in the SVG picture, where no font can be measured.
double estimatedTextWidth(const std::string& text, double fontPixels);

inline constexpr const char* kNominalColour = "#1f5fbf";
inline constexpr const char* kEffectiveColour = "#d0451b";
inline constexpr const char* kPeakColour = "#202020";
inline constexpr const char* kRangeColour = "#6a6a6a";

// The read-out of a point under the mouse: its depth and LET, and the LET of
// each curve at that depth where the curve reaches.
std::string braggReadout(const BraggPlot& plot, double depthUm, double let);
// Its first part: "Depth 12.3 µm,  LET 45.60 MeV·cm²/mg".
std::string braggPointText(double depthUm, double let);
// The tip beside the crosshair: the curves' LET at that depth, not the
// mouse's height. "Depth 13.0 µm,  LET 57.50 MeV·cm²/mg"; on a tilted plot
// "Depth 5.0 µm,  nominal LET 47.50, effective 110.0 MeV·cm²/mg" (either
// part alone where only one curve reaches); past both curves
// "Depth 23.5 µm,  no LET at this depth".
std::string braggCurveTip(const BraggPlot& plot, double depthUm);

// The plot as a standalone SVG 1.1 document.
std::string braggPlotSvg(const BraggPlot& plot, int width = 900, int height = 560);

// What an exported picture names besides its table: the beam, the degrader
// foil S, its rotation R and the tilt T as the console shows them (values
// with their units), and the date of the export ("2026-12-09").
struct BraggExportLabel {
    std::string beam;
    std::string s;
    std::string r;
    std::string t;
    std::string date;
};
// "<beam>   S = <s>   R = <r>   T = <t>   <date>"
std::string braggExportTitle(const BraggExportLabel& label);
// The plot as exported: the export title on top, the table's own title and
// notes below it.
BraggPlot braggExportPlot(const BraggPlot& plot, const BraggExportLabel& label);
// The suggested file name: "Bragg curve <beam> <date><extension>", every
// character that cannot stand in a file name on some system (/ \ : * ? " < >
// | and control characters) replaced by "_".
std::string braggExportFileName(const BraggExportLabel& label, const std::string& extension);

// Effective LET against effective range for a set of settings of the degrader
// and the tilt, on the axes of the Bragg-curve picture: what `tarvex-let plan
// --svg` draws, and what any other command that weighs settings can draw.
//
// One mark of a setting: its effective range (x, µm) and effective LET (y,
// MeV·cm²/mg), its kind (0 before the Bragg peak: blue; 1 past it: red; 2
// stopped before the substrate: dark grey), the tooltip `label` ("foil 3, R
// 30°, T 45°: before peak") and the `shortLabel` written beside the mark
// ("S3 R30 T45"; empty: none). `underMinimum` greys the mark (its effective
// range is under the minimum range); `chosen` rings it. Short labels are
// placed right, left, above or below their mark where they cover no other
// mark and no other label; the chosen marks and those not greyed are
// labelled first, and a label that finds no free place is left out (the
// tooltip stays).
struct SettingMark {
    double x = 0;
    double y = 0;
    int kind = 0;
    std::string label;
    std::string shortLabel{};  // (initialised: a mark may be written {x, y, kind, label})
    bool underMinimum = false;
    bool chosen = false;
};

// What the picture draws besides the marks: the minimum range as a vertical
// dashed line (NaN: none), and for every wanted effective LET a horizontal
// band from LET × (1 − tolerance) to LET × (1 + tolerance). The axes reach far
// enough to show both.
struct PlotGuides {
    double minimumRangeUm = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> wantedLets;  // MeV·cm²/mg
    double tolerance = 0.05;         // a share of each wanted LET
};

inline constexpr const char* kGreyedColour = "#c4c4c4";   // marks under the minimum range
inline constexpr const char* kMinimumColour = "#7a3fa0";  // the minimum range's line
inline constexpr const char* kBandColour = "#3c9a4a";     // the wanted-LET bands

// The picture as a standalone SVG 1.1 document: title, axes, bands, the
// minimum range's line, the marks (tooltip <title> in each mark's circle),
// their short labels, and a legend of the kinds (and of greyed and chosen
// marks when there are any).
std::string settingsPlotSvg(const std::string& title, const std::vector<SettingMark>& marks,
                            const PlotGuides& guides = {}, int width = 900, int height = 560);
