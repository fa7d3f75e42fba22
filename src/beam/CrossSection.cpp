#include "beam/CrossSection.h"

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_multimin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <sstream>

#include "util/Csv.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

// ------------------------------------------------------------------ events file

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A text for a message: at most 40 bytes of it.
std::string shown(const std::string& text) { return text.size() > 40 ? text.substr(0, 40) + "..." : text; }

}  // namespace

RunEvents parseRunEvents(std::string_view content, const std::string& fileName) {
    RunEvents result;
    result.fileName = fileName;
    int number = 1;
    for (unsigned char c : content) {
        if (isBinaryByte(c)) {
            result.problems.push_back(fileName + ", line " + std::to_string(number) + ": binary content (byte " +
                                      cformat("0x%02X", c) + ") - the file is not read");
            return result;
        }
        if (c == '\n') ++number;
    }
    std::istringstream in{std::string(content)};
    TokenReader lines(in);
    std::string line;
    for (number = 1; lines.readLine(line); ++number) {
        const std::string at = fileName + ", line " + std::to_string(number) + ": ";
        const std::size_t comma = line.find(',');
        const std::string runText = trimmed(line.substr(0, comma));
        const std::string eventsText = comma == std::string::npos ? "" : trimmed(line.substr(comma + 1));
        if (runText.empty() && comma == std::string::npos) continue;  // an empty line
        if (number == 1 && runText == "run" && eventsText == "events") continue;
        std::int64_t run = 0;
        std::int64_t events = 0;
        if (comma == std::string::npos || eventsText.find(',') != std::string::npos) {
            result.problems.push_back(at + "'" + shown(line) + "' is not \"run,events\" - ignored");
        } else if (!parseInt64(runText, run) || run < 1) {
            result.problems.push_back(at + "run '" + shown(runText) + "' is not a run number - ignored");
        } else if (!parseInt64(eventsText, events) || events < 0) {
            result.problems.push_back(at + "events '" + shown(eventsText) + "' are not a whole number >= 0 - ignored");
        } else {
            result.events[run] = events;
        }
    }
    return result;
}

RunEvents readRunEvents(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        RunEvents none;
        none.fileName = name;
        return none;
    }
    std::string content, why;
    if (!readRegularFile(path, kRunEventsMaxBytes, content, why)) {
        RunEvents unread;
        unread.fileName = name;
        unread.problems.push_back(name + " cannot be read (" + why + ") - no events from it");
        return unread;
    }
    return parseRunEvents(content, name);
}

// ------------------------------------------------------------------ cross sections

PoissonLimits poissonLimits95(std::int64_t events) {
    if (events <= 0) return {0, -std::log(0.05)};
    const double n = static_cast<double>(events);
    return {gsl_cdf_chisq_Pinv(0.025, 2 * n) / 2, gsl_cdf_chisq_Pinv(0.975, 2 * n + 2) / 2};
}

namespace {

void setCrossSection(CrossSectionPoint& point) {
    const PoissonLimits limits = poissonLimits95(point.events);
    point.sigma = static_cast<double>(point.events) / point.effectiveFluence;
    point.lower = limits.lower / point.effectiveFluence;
    point.upper = limits.upper / point.effectiveFluence;
}

// Why the run cannot be a point, "" when it can; `point` holds it then.
std::string runPoint(const RunSummary& run, const RunEvents& events, CrossSectionPoint& point) {
    if (run.open) return "still open";
    const RunConditions& c = run.conditions;
    if (!parseReal(c.effectiveLet, point.effectiveLet) || !std::isfinite(point.effectiveLet) ||
        !(point.effectiveLet > 0)) {
        return "effective LET '" + shown(c.effectiveLet) + "' is not a number above 0";
    }
    double tilt = 0;
    if (!parseReal(c.t, tilt) || !(std::fabs(tilt) < 90)) return "tilt T '" + shown(c.t) + "' is not below 90 degrees";
    if (run.fluence.empty()) return "no fluence";
    if (!parseReal(run.fluence, point.fluence) || !std::isfinite(point.fluence) || !(point.fluence > 0)) {
        return "fluence '" + shown(run.fluence) + "' is not a number above 0";
    }
    if (auto found = events.events.find(run.run); found != events.events.end()) {
        point.events = found->second;
    } else if (run.events.empty()) {
        return "no event count";
    } else if (!parseInt64(run.events, point.events) || point.events < 0) {
        return "events '" + shown(run.events) + "' are not a whole number >= 0";
    }
    point.effectiveLetText = c.effectiveLet;
    point.runs = {run.run};
    point.effectiveFluence = point.fluence * std::cos(tilt * std::numbers::pi / 180);
    setCrossSection(point);
    return "";
}

}  // namespace

CrossSectionData crossSections(const std::vector<RunSummary>& runs, const RunEvents& events) {
    CrossSectionData data;
    std::vector<const RunSummary*> ordered;
    for (const RunSummary& run : runs) ordered.push_back(&run);
    std::sort(ordered.begin(), ordered.end(), [](const RunSummary* a, const RunSummary* b) { return a->run < b->run; });
    std::map<double, CrossSectionPoint> perLet;
    for (const RunSummary* run : ordered) {
        CrossSectionPoint point;
        const std::string why = runPoint(*run, events, point);
        if (!why.empty()) {
            data.problems.push_back("run " + std::to_string(run->run) + ": " + why + " - left out");
            continue;
        }
        auto [merged, fresh] = perLet.try_emplace(point.effectiveLet, point);
        if (!fresh) {
            merged->second.runs.push_back(run->run);
            merged->second.fluence += point.fluence;
            merged->second.effectiveFluence += point.effectiveFluence;
            merged->second.events += point.events;
            setCrossSection(merged->second);
        }
        data.perRun.push_back(std::move(point));
    }
    for (auto& [let, point] : perLet) data.perLet.push_back(std::move(point));
    for (const auto& counted : events.events) {
        const std::int64_t run = counted.first;
        const bool known = std::any_of(runs.begin(), runs.end(), [run](const RunSummary& r) { return r.run == run; });
        if (!known) {
            data.problems.push_back(events.fileName + ": run " + std::to_string(run) +
                                    " is not in the logbook - its events are ignored");
        }
    }
    return data;
}

// ------------------------------------------------------------------ Weibull fit

double weibullSigma(const WeibullParameters& p, double let) {
    if (!(let > p.onset)) return 0;
    return p.saturation * -std::expm1(-std::pow((let - p.onset) / p.width, p.shape));
}

namespace {

using Vector4 = std::array<double, 4>;

WeibullParameters parameters(const Vector4& v) { return {v[0], v[1], v[2], v[3]}; }
Vector4 vectorOf(const WeibullParameters& p) { return {p.onset, p.width, p.shape, p.saturation}; }

// The points the fit weighs and the largest onset it allows.
struct FitPoints {
    std::vector<double> let, fluence, events;
    double onsetMax = 0;
};

// The negative log-likelihood less its value for a perfect model, so that it
// stays near the number of points instead of near the sum of the events.
double negativeLogLikelihood(const FitPoints& d, const WeibullParameters& p) {
    double sum = 0;
    for (std::size_t i = 0; i < d.let.size(); ++i) {
        const double mu = weibullSigma(p, d.let[i]) * d.fluence[i];
        const double n = d.events[i];
        if (n > 0 && !(mu > 0)) return std::numeric_limits<double>::infinity();
        sum += n > 0 ? mu - n + n * std::log(n / mu) : mu;
    }
    return sum;
}

// The minimiser's space: the onset confined to (0, onsetMax) through a
// logistic function, the other three positive through their logarithms.
WeibullParameters natural(const gsl_vector* x, double onsetMax) {
    return {onsetMax / (1 + std::exp(-gsl_vector_get(x, 0))), std::exp(gsl_vector_get(x, 1)),
            std::exp(gsl_vector_get(x, 2)), std::exp(gsl_vector_get(x, 3))};
}

double minimiserCost(const gsl_vector* x, void* context) {
    const FitPoints& d = *static_cast<const FitPoints*>(context);
    const double value = negativeLogLikelihood(d, natural(x, d.onsetMax));
    return std::isfinite(value) ? value : 1e300;
}

// One Nelder-Mead descent from `start` (minimiser space); the minimum's cost.
double descend(FitPoints& d, Vector4& start) {
    gsl_multimin_function function{&minimiserCost, 4, &d};
    gsl_vector* x = gsl_vector_alloc(4);
    gsl_vector* step = gsl_vector_alloc(4);
    for (std::size_t i = 0; i < 4; ++i) gsl_vector_set(x, i, start[i]);
    gsl_vector_set_all(step, 0.5);
    gsl_multimin_fminimizer* minimiser = gsl_multimin_fminimizer_alloc(gsl_multimin_fminimizer_nmsimplex2, 4);
    gsl_multimin_fminimizer_set(minimiser, &function, x, step);
    for (int iteration = 0; iteration < 4000; ++iteration) {
        if (gsl_multimin_fminimizer_iterate(minimiser) != GSL_SUCCESS) break;
        if (gsl_multimin_test_size(gsl_multimin_fminimizer_size(minimiser), 1e-9) == GSL_SUCCESS) break;
    }
    for (std::size_t i = 0; i < 4; ++i) start[i] = gsl_vector_get(minimiser->x, i);
    const double cost = minimiser->fval;
    gsl_multimin_fminimizer_free(minimiser);
    gsl_vector_free(step);
    gsl_vector_free(x);
    return cost;
}

// The natural parameters scaled to their fitted sizes, so that a matrix of
// second derivatives has entries of like size: parameter j = best_j + scale_j · y_j.
Vector4 scales(const WeibullParameters& best, double onsetMax) {
    return {std::max(std::fabs(best.onset), 0.01 * onsetMax), best.width, best.shape, best.saturation};
}

WeibullParameters shifted(const WeibullParameters& best, const Vector4& scale, const Vector4& y) {
    Vector4 v = vectorOf(best);
    for (std::size_t j = 0; j < 4; ++j) v[j] += scale[j] * y[j];
    return parameters(v);
}

// `m` inverted in place through its Cholesky factor; false when it is not
// positive definite or too near singular to trust.
bool invertSymmetric(gsl_matrix* m) {
    gsl_error_handler_t* previous = gsl_set_error_handler_off();
    bool ok = gsl_linalg_cholesky_decomp1(m) == GSL_SUCCESS;
    if (ok) {
        double rcond = 0;
        gsl_vector* work = gsl_vector_alloc(3 * m->size1);
        ok = gsl_linalg_cholesky_rcond(m, &rcond, work) == GSL_SUCCESS && rcond > 1e-12;
        gsl_vector_free(work);
    }
    ok = ok && gsl_linalg_cholesky_invert(m) == GSL_SUCCESS;
    gsl_set_error_handler(previous);
    return ok;
}

}  // namespace

WeibullFit fitWeibull(const std::vector<CrossSectionPoint>& perLet) {
    WeibullFit fit;
    FitPoints d;
    int withEvents = 0;
    double lowestWithEvents = std::numeric_limits<double>::infinity();
    double highest = 0, sigmaMax = 0;
    for (const CrossSectionPoint& p : perLet) {
        if (!(p.effectiveFluence > 0)) continue;
        d.let.push_back(p.effectiveLet);
        d.fluence.push_back(p.effectiveFluence);
        d.events.push_back(static_cast<double>(p.events));
        highest = std::max(highest, p.effectiveLet);
        if (p.events > 0) {
            ++withEvents;
            lowestWithEvents = std::min(lowestWithEvents, p.effectiveLet);
            sigmaMax = std::max(sigmaMax, p.sigma);
        }
    }
    if (withEvents < 4) {
        fit.message = "The Weibull fit needs events at four effective LETs or more; these runs have events at " +
                      std::to_string(withEvents) + ".";
        return fit;
    }
    d.onsetMax = lowestWithEvents;
    // Several starts over onset, width and shape; the best minimum kept, then
    // polished by a second descent from it.
    const double span = std::max(highest - lowestWithEvents, 0.1 * highest);
    Vector4 best{};
    double bestCost = std::numeric_limits<double>::infinity();
    for (double onsetShare : {0.1, 0.5, 0.9}) {
        for (double widthShare : {0.25, 0.5, 1.0}) {
            for (double shape : {1.0, 2.0, 4.0}) {
                Vector4 x = {std::log(onsetShare / (1 - onsetShare)), std::log(widthShare * span), std::log(shape),
                             std::log(sigmaMax)};
                const double cost = descend(d, x);
                if (cost < bestCost) {
                    bestCost = cost;
                    best = x;
                }
            }
        }
    }
    descend(d, best);
    gsl_vector_view bestView = gsl_vector_view_array(best.data(), 4);
    fit.value = natural(&bestView.vector, d.onsetMax);

    // The covariance: the inverse of the second derivatives of the negative
    // log-likelihood, by central differences in the scaled parameters.
    const Vector4 scale = scales(fit.value, d.onsetMax);
    const double h = 1e-3;
    auto cost = [&](const Vector4& y) { return negativeLogLikelihood(d, shifted(fit.value, scale, y)); };
    const double centre = cost({0, 0, 0, 0});
    gsl_matrix* hessian = gsl_matrix_alloc(4, 4);
    bool finite = true;
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = i; j < 4; ++j) {
            double value = 0;
            Vector4 y{};
            if (i == j) {
                y[i] = h;
                const double plus = cost(y);
                y[i] = -h;
                value = (plus - 2 * centre + cost(y)) / (h * h);
            } else {
                double sum = 0;
                for (double si : {1.0, -1.0}) {
                    for (double sj : {1.0, -1.0}) {
                        y[i] = si * h;
                        y[j] = sj * h;
                        sum += si * sj * cost(y);
                    }
                }
                value = sum / (4 * h * h);
            }
            finite = finite && std::isfinite(value);
            gsl_matrix_set(hessian, i, j, value);
            gsl_matrix_set(hessian, j, i, value);
        }
    }
    if (!finite || !invertSymmetric(hessian)) {
        gsl_matrix_free(hessian);
        fit.message = "The Weibull fit's parameters are not determined by these runs: the likelihood does not "
                      "curve upwards in every direction at its best point.";
        return fit;
    }
    Vector4 uncertainty{};
    for (std::size_t j = 0; j < 4; ++j) uncertainty[j] = scale[j] * std::sqrt(gsl_matrix_get(hessian, j, j));
    gsl_matrix_free(hessian);
    fit.uncertainty = parameters(uncertainty);
    fit.fitted = true;
    return fit;
}

// ------------------------------------------------------------------ next LET

namespace {

// ∂σ/∂y at `let`, y the scaled parameters around `p`.
Vector4 sigmaGradient(const WeibullParameters& p, const Vector4& scale, double let) {
    const double h = 1e-4;
    Vector4 gradient{};
    for (std::size_t j = 0; j < 4; ++j) {
        Vector4 y{};
        y[j] = h;
        const double plus = weibullSigma(shifted(p, scale, y), let);
        y[j] = -h;
        gradient[j] = (plus - weibullSigma(shifted(p, scale, y), let)) / (2 * h);
    }
    return gradient;
}

}  // namespace

// D-optimal design: a run of effective fluence Φ at LET L adds Φ g gᵀ / σ(L)
// to the Fisher information I of the Poisson counts (g = ∂σ/∂θ there), and so
// multiplies det I by 1 + Φ gᵀ I⁻¹ g / σ(L): the next LET is the grid point
// where that factor is largest, Φ the median effective fluence of a run so
// far. Only LETs at which that run would expect an event or more count: just
// above the onset the information of so rare counts grows without bound in
// theory and tells nothing in practice. The reason names the parameter whose variance that run would cut by
// the largest share.
NextLet suggestNextLet(const std::vector<CrossSectionPoint>& perLet, const WeibullFit& fit) {
    NextLet next;
    if (!fit.fitted || perLet.empty()) {
        next.reason = fit.fitted ? "no measured LET" : fit.message;
        return next;
    }
    const WeibullParameters& p = fit.value;
    const Vector4 scale = scales(p, std::max(p.onset, perLet.front().effectiveLet));
    std::vector<double> runFluences;
    gsl_matrix* information = gsl_matrix_calloc(4, 4);
    for (const CrossSectionPoint& point : perLet) {
        const double runs = static_cast<double>(std::max<std::size_t>(point.runs.size(), 1));
        runFluences.push_back(point.effectiveFluence / runs);
        const double sigma = weibullSigma(p, point.effectiveLet);
        if (!(sigma > 0)) continue;
        const Vector4 g = sigmaGradient(p, scale, point.effectiveLet);
        for (std::size_t i = 0; i < 4; ++i) {
            for (std::size_t j = 0; j < 4; ++j) {
                *gsl_matrix_ptr(information, i, j) += point.effectiveFluence * g[i] * g[j] / sigma;
            }
        }
    }
    std::nth_element(runFluences.begin(), runFluences.begin() + static_cast<std::ptrdiff_t>(runFluences.size() / 2),
                     runFluences.end());
    const double fluence = runFluences[runFluences.size() / 2];
    if (!invertSymmetric(information)) {
        gsl_matrix_free(information);
        next.reason = "the runs so far do not determine the curve";
        return next;
    }
    const double from = 0.5 * perLet.front().effectiveLet, to = 1.5 * perLet.back().effectiveLet;
    const int steps = 400;
    double bestGain = 0;
    Vector4 bestShift{};  // I⁻¹ g at the best LET
    double bestScale = 0;
    for (int k = 0; k <= steps; ++k) {
        const double let = from + (to - from) * k / steps;
        const double sigma = weibullSigma(p, let);
        if (!(sigma * fluence >= 1)) continue;
        const Vector4 g = sigmaGradient(p, scale, let);
        Vector4 shift{};
        double quadratic = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            for (std::size_t j = 0; j < 4; ++j) shift[i] += gsl_matrix_get(information, i, j) * g[j];
            quadratic += g[i] * shift[i];
        }
        const double gain = fluence * quadratic / sigma;
        if (gain > bestGain) {
            bestGain = gain;
            next.let = let;
            bestShift = shift;
            bestScale = fluence / sigma / (1 + gain);
        }
    }
    // The share of parameter j's variance the run removes: (I⁻¹g)_j² c / (1 + c gᵀI⁻¹g) / (I⁻¹)_jj.
    std::size_t most = 0;
    double mostShare = -1;
    for (std::size_t j = 0; j < 4; ++j) {
        const double share = bestShift[j] * bestShift[j] * bestScale / gsl_matrix_get(information, j, j);
        if (share > mostShare) {
            mostShare = share;
            most = j;
        }
    }
    gsl_matrix_free(information);
    if (!(bestGain > 0)) {
        next.reason = "no LET of the range would add to what is known";
        return next;
    }
    static const char* const reasons[4] = {"the onset is least determined", "the knee is least determined",
                                           "the knee's sharpness is least determined",
                                           "the saturation cross section is least determined"};
    next.found = true;
    next.reason = reasons[most];
    return next;
}

// ------------------------------------------------------------------ CSV

std::string formatCrossSectionCsv(const std::vector<CrossSectionPoint>& points) {
    std::string text = std::string(kCrossSectionHeader) + "\n";
    for (const CrossSectionPoint& p : points) {
        std::string runs;
        for (std::int64_t run : p.runs) {
            if (!runs.empty()) runs += ' ';
            runs += std::to_string(run);
        }
        text += csvField(p.effectiveLetText) + "," + runs + "," + cformat("%.6g", p.fluence) + "," +
                cformat("%.6g", p.effectiveFluence) + "," + std::to_string(p.events) + "," +
                cformat("%.6g,%.6g,%.6g", p.sigma, p.lower, p.upper) + "\n";
    }
    return text;
}

std::string formatWeibullCsv(const WeibullFit& fit) {
    std::string text = std::string("\n") + kWeibullHeader + "\n";
    if (!fit.fitted) return text;
    const Vector4 value = vectorOf(fit.value), uncertainty = vectorOf(fit.uncertainty);
    static const char* const names[4] = {"onset LET (MeV cm2/mg)", "width (MeV cm2/mg)", "shape",
                                         "saturation cross section (cm2)"};
    for (std::size_t j = 0; j < 4; ++j) {
        text += std::string(names[j]) + "," + cformat("%.6g,%.6g", value[j], uncertainty[j]) + "\n";
    }
    return text;
}
