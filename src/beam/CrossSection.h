#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "beam/BeamRuns.h"

// The device's cross section against effective LET, from the beam-run
// logbook: per run and per effective LET (runs of one LET merged), the
// effective fluence Φ · cos T, the events, σ = N / Φ_eff and its 95 %
// confidence limits from Poisson statistics; the four-parameter Weibull
// curve fitted to them by Poisson maximum likelihood; and the effective LET
// whose measurement would narrow that fit most. No toolkit here: `tarvex-let
// runs --cross-section` and the console's "Cross section" window use it alike.

// "RunEvents.csv": the test team's acquisition writes one "run,events" line a
// run (a header line "run,events" may stand first; a later line for the same
// run replaces an earlier one).
inline constexpr const char* kRunEventsFile = "RunEvents.csv";
inline constexpr std::size_t kRunEventsMaxBytes = std::size_t{4} << 20;  // bytes

// Event counts by run number, and the lines passed over, each named once
// ("RunEvents.csv, line 4: events '-3' are not a whole number >= 0 - ignored").
struct RunEvents {
    std::map<std::int64_t, std::int64_t> events;
    std::vector<std::string> problems;
    std::string fileName;  // as the problems name it
};
RunEvents parseRunEvents(std::string_view content, const std::string& fileName);
// A missing file gives no events and no problem; a file that cannot be read
// (not a regular file, a link, binary, oversized) one problem.
RunEvents readRunEvents(const std::string& path);

// The 95 % limits of a Poisson mean for `events` counted (exact, from the
// chi-square quantiles): lower χ²(0.025; 2N)/2, upper χ²(0.975; 2N + 2)/2;
// with no events no lower limit and the one-sided upper limit −ln(0.05).
struct PoissonLimits {
    double lower = 0;
    double upper = 0;
};
PoissonLimits poissonLimits95(std::int64_t events);

// One point of the curve: a run, or the runs of one effective LET merged.
struct CrossSectionPoint {
    std::string effectiveLetText;  // as the logbook holds it
    double effectiveLet = 0;       // MeV·cm²/mg
    std::vector<std::int64_t> runs;
    double fluence = 0;           // 1/cm², as measured
    double effectiveFluence = 0;  // 1/cm², Φ · cos T summed over the runs
    std::int64_t events = 0;
    double sigma = 0;  // cm²; 0 with no events
    double lower = 0;  // cm², 95 %; 0 with no events
    double upper = 0;  // cm², 95 %; with no events the one-sided limit -ln(0.05) / Φ_eff
};

struct CrossSectionData {
    std::vector<CrossSectionPoint> perRun;  // in run order
    std::vector<CrossSectionPoint> perLet;  // by rising effective LET
    // Runs left out, each named once: no fluence, a fluence <= 0 or not
    // finite, no events, an effective LET that is no number, an events line
    // naming a run that does not exist.
    std::vector<std::string> problems;
};

// `runs` as mergeRuns gives them (any order); events from the runs' own
// records, replaced by `events` where it names the run. Open runs are left out.
CrossSectionData crossSections(const std::vector<RunSummary>& runs, const RunEvents& events);

// σ(L) = saturation · (1 − exp(−((L − onset) / width)^shape)) above the
// onset, 0 at and below it.
struct WeibullParameters {
    double onset = 0;       // MeV·cm²/mg
    double width = 1;       // MeV·cm²/mg
    double shape = 1;
    double saturation = 0;  // cm²
};
double weibullSigma(const WeibullParameters& parameters, double let);

struct WeibullFit {
    bool fitted = false;
    std::string message;  // why there is no fit; empty when fitted
    WeibullParameters value;
    WeibullParameters uncertainty;  // one standard deviation each
};
// The Poisson maximum-likelihood fit to the per-LET points (zero-event
// points count). Needs events at four effective LETs or more.
WeibullFit fitWeibull(const std::vector<CrossSectionPoint>& perLet);

// The effective LET whose measurement would narrow the fit most, and why.
struct NextLet {
    bool found = false;
    double let = 0;  // MeV·cm²/mg
    std::string reason;
};
NextLet suggestNextLet(const std::vector<CrossSectionPoint>& perLet, const WeibullFit& fit);

// The table as `tarvex-let runs --cross-section --csv` writes it.
inline constexpr const char* kCrossSectionHeader =
    "effective LET (MeV cm2/mg),runs,fluence (1/cm2),effective fluence (1/cm2),events,cross section (cm2),"
    "lower 95% (cm2),upper 95% (cm2)";
inline constexpr const char* kWeibullHeader = "parameter,value,uncertainty";
std::string formatCrossSectionCsv(const std::vector<CrossSectionPoint>& points);
// The empty line and the parameter rows.
std::string formatWeibullCsv(const WeibullFit& fit);

// The curve as a standalone SVG 1.1 document: σ on a logarithmic axis against
// effective LET, error bars, zero-event upper limits marked as such, the
// fitted curve when there is one.
std::string crossSectionSvg(const std::string& title, const CrossSectionData& data, const WeibullFit& fit,
                            int width = 900, int height = 560);
