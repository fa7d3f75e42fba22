#include "beam/BeamSolve.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <queue>
#include <tuple>

#include "beam/StationFolder.h"
#include "energyloss/CalculationErrors.h"
#include "util/NumberFormat.h"

namespace {

using RankKey = std::tuple<long, double, double, int, double>;

long closeness(double let, double wanted);

RankKey rankKey(const BeamResult& beam, const SolveSetting& setting, double wanted) {
    return {closeness(beam.effectiveLet, wanted), -beam.effectiveRangeUm, std::fabs(setting.t), setting.foil,
            std::fabs(setting.r)};
}

// Closeness is compared in steps of 0.1 % of the wanted LET: settings closer
// than that count as equally close and the longer range wins.
constexpr double kClosenessStep = 0.001;

long closeness(double let, double wanted) {
    return std::lround(std::fabs(let - wanted) / wanted / kClosenessStep);
}

bool withinTolerance(double let, double wanted, double tolerance) {
    return std::fabs(let - wanted) <= tolerance * wanted;
}

// One distinct aluminium path of an ion at a tilt and the setting that stands
// for it: the lowest foil, then the smallest |R|, then R ≥ 0.
struct Choice {
    double aluminiumUm = 0;
    SolveSetting setting;
};

bool preferred(const SolveSetting& a, const SolveSetting& b) {
    return std::make_tuple(a.foil, std::fabs(a.r), a.r < 0) < std::make_tuple(b.foil, std::fabs(b.r), b.r < 0);
}

// One ion at one tilt: its settings sorted by the aluminium they put in the
// beam, each computed once when first looked at.
class Stream {
public:
    Stream(std::vector<Choice> choices, const SettingComputation& compute, std::size_t& computed, double depthUm)
        : choices_(std::move(choices)),
          results_(choices_.size()),
          atDepth_(choices_.size(), std::nan("")),
          compute_(compute),
          computed_(computed),
          depthUm_(depthUm) {}

    std::size_t size() const { return choices_.size(); }
    bool computed(std::size_t i) const { return results_[i].has_value(); }
    const SolveSetting& setting(std::size_t i) const { return choices_[i].setting; }
    const BeamResult& at(std::size_t i) {
        if (!results_[i]) {
            // The range table gives the LET at the minimum range's depth and
            // is then let go: only that number is kept of it.
            BeamResult beam = compute_(choices_[i].setting, !std::isnan(depthUm_));
            if (!std::isnan(depthUm_)) atDepth_[i] = effectiveLetAtDepth(beam, depthUm_);
            beam.rows = {};
            results_[i] = std::move(beam);
            ++computed_;
        }
        return *results_[i];
    }
    SolveRow row(std::size_t i) {
        SolveRow r;
        r.setting = setting(i);
        r.beam = at(i);
        r.letAtMinimumDepth = atDepth_[i];
        return r;
    }

private:
    std::vector<Choice> choices_;
    std::vector<std::optional<BeamResult>> results_;
    std::vector<double> atDepth_;  // NaN when not known
    const SettingComputation& compute_;
    std::size_t& computed_;
    double depthUm_;  // the minimum range, NaN: none
};

bool atSubstrate(const BeamResult& beam) { return beam.outcome == BeamOutcome::Substrate; }

// The first index of [lo, hi) of a stream whose value reaches `target` (hi
// when none does), the values rising along it. The settings computed already
// narrow the search first; then the guess is interpolated between the values
// known at the ends, every other step halved so that a bad guess costs no
// more than bisection would.
constexpr std::size_t kNoHint = std::numeric_limits<std::size_t>::max();

// The next answer along the tilts, from the last two: the answers drift
// steadily as the tilt grows.
std::size_t extrapolated(std::size_t before, std::size_t last) {
    if (last == kNoHint) return kNoHint;
    if (before == kNoHint) return last;
    const long long next = 2 * static_cast<long long>(last) - static_cast<long long>(before);
    return next < 0 ? 0 : static_cast<std::size_t>(next);
}

// `hint`: where the answer probably lies (the answer of the neighbouring
// tilt); it and the index beside it are looked at first.
template <typename Value>
std::size_t firstReaching(const Stream& stream, std::size_t lo, std::size_t hi, Value value, double target,
                          std::size_t hint = kNoHint) {
    const double inf = std::numeric_limits<double>::infinity();
    double below = -inf;  // the value just before lo
    double atHi = inf;    // the value at hi
    for (std::size_t i = lo; i < hi; ++i) {
        if (!stream.computed(i)) continue;
        const double v = value(i);
        if (v < target) {
            lo = i + 1;
            below = v;
        } else {
            hi = i;
            atHi = v;
            break;
        }
    }
    // Without a hint, ends not known yet are looked at first: they are shared
    // by every search of the stream, and a target beyond one of them is
    // answered at once.
    if (lo < hi && below == -inf && hint == kNoHint) {
        below = value(lo);
        if (below >= target) return lo;
        ++lo;
    }
    if (lo < hi && atHi == inf && hint == kNoHint) {
        const double last = value(hi - 1);
        if (last < target) return hi;
        if (std::isfinite(last)) {
            atHi = last;
            --hi;
        }
    }
    for (int look = 0; look < 2 && hint != kNoHint && hint >= lo && hint < hi; ++look) {
        const double v = value(hint);
        if (v >= target) {
            hi = hint;
            atHi = v;
            hint = hint > 0 ? hint - 1 : kNoHint;
        } else {
            lo = hint + 1;
            below = v;
            hint = hint + 1;
        }
    }
    bool interpolate = true;
    while (lo < hi) {
        std::size_t guess = lo + (hi - lo) / 2;
        if (interpolate && std::isfinite(below) && std::isfinite(atHi) && atHi > below) {
            const double span = static_cast<double>(hi - lo + 1);
            const double at = std::floor((target - below) / (atHi - below) * span);
            guess = lo + static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(hi - lo - 1)));
        }
        interpolate = !interpolate;
        const double v = value(guess);
        if (v >= target) {
            hi = guess;
            atHi = v;
        } else {
            lo = guess + 1;
            below = v;
        }
    }
    return lo;
}

// Where a stream's usable settings lie: [0, beforeEnd) before the peak with
// the minimum range, along which the LET rises; [peak, pastEnd) past the peak
// with the minimum range, along which it falls.
struct Branches {
    std::size_t peak = 0;       // first setting past the peak or stopped
    std::size_t beforeEnd = 0;  // first setting past the peak, stopped or short
    std::size_t pastEnd = 0;    // first setting past the peak that is stopped or short
    std::size_t shortFrom = 0;  // first setting stopped or short
};

// The first setting of [lo, n) past the peak or stopped: past the peak once
// the Bragg energy reaches the energy at the substrate.
std::size_t peakOf(Stream& stream, std::size_t lo, std::size_t hi, std::size_t hint) {
    const double inf = std::numeric_limits<double>::infinity();
    return firstReaching(stream, lo, hi, [&](std::size_t i) {
        const BeamResult& beam = stream.at(i);
        return atSubstrate(beam) ? beam.braggEnergyMeV - beam.deviceEnergyMeV : inf;
    }, 0, hint);
}

// `needPeak` false: the peak is looked for only where the settings before
// the minimum range's end reach it (else it stays kNoHint, somewhere at or
// beyond shortFrom).
Branches branchesOf(Stream& stream, double minimumUm, bool needPeak, const Branches* before,
                    const Branches* neighbour) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::size_t n = stream.size();
    const auto hint = [&](std::size_t Branches::*field) {
        return neighbour == nullptr ? kNoHint
                                    : extrapolated(before != nullptr ? before->*field : kNoHint, neighbour->*field);
    };
    Branches b;
    // Short once the effective range falls below the minimum (-range above -minimum).
    b.shortFrom = std::isnan(minimumUm) ? n : firstReaching(stream, 0, n, [&](std::size_t i) {
        const BeamResult& beam = stream.at(i);
        return atSubstrate(beam) ? -beam.effectiveRangeUm : inf;
    }, std::nextafter(-minimumUm, inf), hint(&Branches::shortFrom));
    const bool longOnesBeforePeak = b.shortFrom == 0 || (atSubstrate(stream.at(b.shortFrom - 1)) &&
                                                         !stream.at(b.shortFrom - 1).pastPeak());
    if (needPeak || b.shortFrom == n || !longOnesBeforePeak) {
        b.peak = peakOf(stream, 0, n, hint(&Branches::peak));
    } else {
        b.peak = kNoHint;
    }
    b.beforeEnd = b.peak == kNoHint ? b.shortFrom : std::min(b.peak, b.shortFrom);
    b.pastEnd = b.peak == kNoHint ? b.shortFrom : std::max(b.peak, b.shortFrom);
    return b;
}

// A walk along one branch away from where its LET crosses the wanted one:
// each step is at least as far from it as the one before.
struct Walk {
    std::size_t stream = 0;
    std::size_t next = 0;  // the index it stands at
    std::size_t end = 0;   // one past the last index (walking up) or the first (walking down)
    bool up = true;
};

// What the limit text is made of, over every stream.
struct Reach {
    bool any = false;              // a usable setting exists
    double highest = 0;            // effective LET of the highest usable setting before the peak
    SolveSetting highestAt;
    bool highestKnown = false;
    double highestAnyRange = 0;    // the same without the minimum range
    bool highestAnyRangeKnown = false;
    double lowest = std::numeric_limits<double>::infinity();  // the lowest usable LET
    SolveSetting lowestAt;

    void note(const BeamResult& beam, const SolveSetting& at, bool countsHighest) {
        any = true;
        if (countsHighest && (!highestKnown || beam.effectiveLet > highest)) {
            highest = beam.effectiveLet;
            highestAt = at;
            highestKnown = true;
        }
        if (beam.effectiveLet < lowest) {
            lowest = beam.effectiveLet;
            lowestAt = at;
        }
    }
};

std::string settingText(const SolveRequest& request, const SolveSetting& at) {
    return request.ions[at.ion].name + cformat(" at S %d, R %g, T %g", at.foil, at.r, at.t);
}

std::string limitText(const SolveRequest& request, const Reach& reach, double wanted) {
    const double tolerance = request.tolerance;
    const bool minimum = !std::isnan(request.minimumRangeUm);
    const std::string peak = request.pastPeak ? "" : " before its Bragg peak";
    if (!reach.any) {
        return "No setting of these ions reaches the substrate" + peak +
               (minimum ? cformat(" with at least %g \u00b5m of effective range", request.minimumRangeUm) : "") + ".";
    }
    if (reach.highestKnown && reach.highest < wanted * (1 - tolerance)) {
        if (minimum && reach.highestAnyRange >= wanted * (1 - tolerance)) {
            return cformat("Range too short: with at least %g \u00b5m of effective range the highest effective LET is ",
                           request.minimumRangeUm) +
                   effectiveLetText(reach.highest) + " MeV\u00b7cm\u00b2/mg (" +
                   settingText(request, reach.highestAt) + ").";
        }
        return "Ion too light: the highest effective LET" + peak + " is " + effectiveLetText(reach.highest) +
               " MeV\u00b7cm\u00b2/mg (" + settingText(request, reach.highestAt) +
               ", at the tilt limit); a heavier ion is needed.";
    }
    if (reach.lowest > wanted * (1 + tolerance)) {
        return "Ion too heavy: the lowest effective LET is " + effectiveLetText(reach.lowest) +
               " MeV\u00b7cm\u00b2/mg (" + settingText(request, reach.lowestAt) + "); a lighter ion is needed.";
    }
    return cformat("No setting lands within %g %%: the foils and rotations step over it.", tolerance * 100);
}

struct RankOf {
    double wanted;
    bool operator()(const SolveRow& a, const SolveRow& b) const { return rankedBefore(a, b, wanted); }
};

// The nearest usable settings below and above the wanted LET, one each: by
// the LET itself (far from every setting, all are equally close to 0.1 %).
void addNearest(std::vector<SolveRow>& nearest, double wanted, SolveAnswer& answer) {
    std::optional<SolveRow> below, above;
    const auto nearer = [wanted](const SolveRow& a, const SolveRow& b) {
        const double da = std::fabs(a.beam.effectiveLet - wanted);
        const double db = std::fabs(b.beam.effectiveLet - wanted);
        return da < db || (da == db && rankedBefore(a, b, wanted));
    };
    for (SolveRow& row : nearest) {
        std::optional<SolveRow>& side = row.beam.effectiveLet < wanted ? below : above;
        if (!side || nearer(row, *side)) side = row;
    }
    for (std::optional<SolveRow>* side : {&below, &above}) {
        if (!*side) continue;
        (*side)->within = false;
        answer.rows.push_back(std::move(**side));
    }
}

std::vector<Stream> streamsOf(const SolveRequest& request, std::size_t ion, const SettingComputation& compute,
                              std::size_t& computed, std::size_t& settings) {
    std::vector<Stream> streams;
    const auto listed = [&request](double t) {
        return std::find(request.tilts.begin(), request.tilts.end(), t) != request.tilts.end();
    };
    for (double t : request.tilts) {
        // A tilt and its mirror give the same beam: the positive one stands for both.
        if (t < 0 && listed(-t)) continue;
        const bool bothSigns = t > 0 && listed(-t);
        std::map<double, SolveSetting> byAluminium;
        auto add = [&](int foil, double r) {
            const SolveSetting setting{ion, foil, request.foils[static_cast<std::size_t>(foil)], r, t, bothSigns};
            const double um = computeDegraderThickness(setting.s, r, request.foilCount, request.foilTolerance,
                                                       kRecomputeSaturationUm)
                                  .effectiveUm;
            settings += bothSigns ? 2 : 1;
            auto [it, added] = byAluminium.emplace(um, setting);
            if (!added && preferred(setting, it->second)) it->second = setting;
        };
        // Without a foil R does not matter: one setting a tilt.
        add(0, *std::min_element(request.rotations.begin(), request.rotations.end(),
                                 [](double a, double b) { return std::fabs(a) < std::fabs(b); }));
        for (int foil = 1; foil < static_cast<int>(request.foils.size()); ++foil) {
            for (double r : request.rotations) add(foil, r);
        }
        std::vector<Choice> choices;
        for (const auto& [um, setting] : byAluminium) choices.push_back({um, setting});
        streams.emplace_back(std::move(choices), compute, computed, request.minimumRangeUm);
    }
    return streams;
}

}  // namespace

bool rankedBefore(const SolveRow& a, const SolveRow& b, double wanted) {
    return rankKey(a.beam, a.setting, wanted) < rankKey(b.beam, b.setting, wanted);
}

double effectiveLetAtDepth(const BeamResult& beam, double depthUm) {
    const std::vector<RangeRow>& rows = beam.rows;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const RangeRow& a = rows[i - 1];
        const RangeRow& b = rows[i];
        if (depthUm < a.effectiveDepthUm || depthUm > b.effectiveDepthUm) continue;
        const double span = b.effectiveDepthUm - a.effectiveDepthUm;
        if (span <= 0) return a.effectiveLet;
        return a.effectiveLet + (b.effectiveLet - a.effectiveLet) * (depthUm - a.effectiveDepthUm) / span;
    }
    return std::nan("");
}

SolveResult solveSettings(const SolveRequest& request, const SettingComputation& compute, bool exhaustive) {
    SolveResult result;
    std::vector<Stream> streams;
    for (std::size_t ion = 0; ion < request.ions.size(); ++ion) {
        // An ion the stopping data cannot follow is left out.
        const SolveSetting probe{ion, 0, request.foils.front(), 0, request.tilts.front()};
        const BeamResult first = compute(probe, false);
        ++result.computed;
        if (first.outcome == BeamOutcome::NoStoppingSource) {
            std::string why = "no stopping data for it";
            if (!first.failures.empty()) {
                why = calculationErrorText(first.failures.back().code, first.failures.back().context);
            }
            result.skippedIons.push_back(request.ions[ion].name + ": " + why);
            continue;
        }
        std::vector<Stream> more = streamsOf(request, ion, compute, result.computed, result.settings);
        for (Stream& s : more) streams.push_back(std::move(s));
    }

    const double minimum = request.minimumRangeUm;
    std::vector<Branches> branches;
    Reach reach;
    for (Stream& stream : streams) {
        Branches b;
        if (exhaustive) {
            // Every setting computed; the branches as bisection would find them.
            for (std::size_t i = 0; i < stream.size(); ++i) stream.at(i);
        }
        // The neighbouring tilt of the same ion hints where the boundaries lie.
        const std::size_t k = branches.size();
        const auto sameIon = [&](std::size_t back) {
            return k >= back && streams[k - back].setting(0).ion == stream.setting(0).ion;
        };
        b = branchesOf(stream, minimum, request.pastPeak, sameIon(2) ? &branches[k - 2] : nullptr,
                       sameIon(1) ? &branches[k - 1] : nullptr);
        branches.push_back(b);
        if (b.beforeEnd > 0) {
            reach.note(stream.at(0), stream.setting(0), false);
            reach.note(stream.at(b.beforeEnd - 1), stream.setting(b.beforeEnd - 1), true);
        }
        if (request.pastPeak && b.pastEnd > b.peak) {
            reach.note(stream.at(b.peak), stream.setting(b.peak), false);
            reach.note(stream.at(b.pastEnd - 1), stream.setting(b.pastEnd - 1), false);
        }
    }

    for (const double wanted : request.wantedLets) {
        SolveAnswer answer;
        answer.wanted = wanted;
        std::vector<SolveRow> taken;
        std::vector<SolveRow> nearest;  // the settings on either side of each crossing
        if (exhaustive) {
            for (std::size_t k = 0; k < streams.size(); ++k) {
                const Branches& b = branches[k];
                for (std::size_t i = 0; i < streams[k].size(); ++i) {
                    if (!(i < b.beforeEnd || (request.pastPeak && i >= b.peak && i < b.pastEnd))) continue;
                    SolveRow row = streams[k].row(i);
                    if (withinTolerance(row.beam.effectiveLet, wanted, request.tolerance)) {
                        taken.push_back(row);
                    } else {
                        nearest.push_back(std::move(row));
                    }
                }
            }
            std::sort(taken.begin(), taken.end(), RankOf{wanted});
        } else {
            std::vector<Walk> walks;
            // The crossings of the last two tilts of the ion.
            std::size_t upBefore = kNoHint, upLast = kNoHint, downBefore = kNoHint, downLast = kNoHint;
            for (std::size_t k = 0; k < streams.size(); ++k) {
                Stream& stream = streams[k];
                const Branches& b = branches[k];
                if (k > 0 && streams[k - 1].setting(0).ion != stream.setting(0).ion) {
                    upBefore = upLast = downBefore = downLast = kNoHint;
                }
                // Rising before the peak: the first setting at or above the wanted LET.
                const std::size_t up = firstReaching(
                    stream, 0, b.beforeEnd, [&](std::size_t i) { return stream.at(i).effectiveLet; }, wanted,
                    extrapolated(upBefore, upLast));
                upBefore = upLast;
                upLast = up;
                walks.push_back({k, up, b.beforeEnd, true});
                walks.push_back({k, up, 0, false});
                if (request.pastPeak) {
                    // Falling past it: the first setting at or below it.
                    const std::size_t down = firstReaching(
                        stream, b.peak, b.pastEnd, [&](std::size_t i) { return -stream.at(i).effectiveLet; }, -wanted,
                        extrapolated(downBefore, downLast));
                    downBefore = downLast;
                    downLast = down;
                    walks.push_back({k, down, b.pastEnd, true});
                    walks.push_back({k, down, b.peak, false});
                }
            }
            // The walks' heads, nearest first; a walk walking down stands
            // one below its index.
            auto headIndex = [](const Walk& w) { return w.up ? w.next : w.next - 1; };
            auto hasHead = [](const Walk& w) { return w.up ? w.next < w.end : w.next > w.end; };
            auto keyOf = [&](const Walk& w) {
                Stream& stream = streams[w.stream];
                return rankKey(stream.at(headIndex(w)), stream.setting(headIndex(w)), wanted);
            };
            auto later = [&](std::size_t a, std::size_t b) { return keyOf(walks[b]) < keyOf(walks[a]); };
            std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> heads(later);
            for (std::size_t w = 0; w < walks.size(); ++w) {
                if (!hasHead(walks[w])) continue;
                nearest.push_back(streams[walks[w].stream].row(headIndex(walks[w])));
                heads.push(w);
            }
            long cutoff = std::numeric_limits<long>::max();
            while (!heads.empty()) {
                const std::size_t w = heads.top();
                heads.pop();
                Walk& walk = walks[w];
                const BeamResult& beam = streams[walk.stream].at(headIndex(walk));
                const long close = closeness(beam.effectiveLet, wanted);
                if (!withinTolerance(beam.effectiveLet, wanted, request.tolerance) || close > cutoff) break;
                taken.push_back(streams[walk.stream].row(headIndex(walk)));
                if (taken.size() == request.rows) cutoff = close;
                walk.next = walk.up ? walk.next + 1 : walk.next - 1;
                if (hasHead(walk)) heads.push(w);
            }
            std::sort(taken.begin(), taken.end(), RankOf{wanted});
        }
        if (taken.size() > request.rows) taken.resize(request.rows);
        answer.rows = std::move(taken);
        if (answer.rows.empty()) {
            addNearest(nearest, wanted, answer);
            const bool tooLow = reach.highestKnown && reach.highest < wanted * (1 - request.tolerance);
            if (tooLow && !std::isnan(minimum) && !reach.highestAnyRangeKnown) {
                // Whether the minimum range limits it: the highest LET before the peak of any range.
                for (std::size_t k = 0; k < streams.size(); ++k) {
                    Branches& b = branches[k];
                    if (b.peak == kNoHint) b.peak = peakOf(streams[k], b.shortFrom, streams[k].size(), kNoHint);
                    if (b.peak > 0 && streams[k].at(b.peak - 1).effectiveLet > reach.highestAnyRange) {
                        reach.highestAnyRange = streams[k].at(b.peak - 1).effectiveLet;
                    }
                }
                reach.highestAnyRangeKnown = true;
            }
            answer.limit = limitText(request, reach, wanted);
        }
        result.answers.push_back(std::move(answer));
    }

    return result;
}

std::vector<double> reachableSteps(const Axis& axis, double from, double to, double step) {
    std::vector<double> values;
    for (double v = std::ceil(from / step) * step; v <= to + 1e-9; v += step) {
        const int32_t counts = internalPositionFor(axis, v);
        if (counts > axis.softLimitLow && counts < axis.softLimitHigh) values.push_back(axisValueAt(axis, counts));
    }
    return values;
}

void setStationGrid(SolveRequest& request, const StationFolder& station, double maxTiltDegrees) {
    const ConsoleState& state = station.state;
    const Axis& sAxis = state.axes.axes[kAxisS];
    const Axis& rAxis = state.axes.axes[kAxisR];
    request.foilCount = state.foilCount;
    request.foilTolerance = state.options.foilTolerance;
    request.foils.clear();
    for (int foil = 0; foil <= state.foilCount; ++foil) {
        request.foils.push_back(axisValueAt(sAxis, internalPositionFor(sAxis, foil)));
    }
    const double low = axisValueAt(rAxis, rAxis.softLimitLow);
    const double high = axisValueAt(rAxis, rAxis.softLimitHigh);
    request.rotations =
        reachableSteps(rAxis, std::fmax(-89, std::fmin(low, high)), std::fmin(89, std::fmax(low, high)), 1);
    if (request.rotations.empty()) request.rotations.push_back(axisValueAt(rAxis, rAxis.internalPosition));
    request.tilts = reachableSteps(state.axes.axes[kAxisT], -maxTiltDegrees, maxTiltDegrees, 5);
}

SettingComputation stationComputation(StationFolder& station, const SolveRequest& request) {
    // The mode file decides as it does for the console, read once for the
    // whole answer rather than at every step of every traversal.
    StoppingOptions options = station.state.engineOptions(false);
    if (const std::optional<int32_t> flag = readCalculationModeFlag()) {
        options.mode = *flag == 1 ? CalculationMode::Formulas : CalculationMode::Tables;
    }
    return [&station, &request, options](const SolveSetting& at, bool keepRows) {
        ConsoleState& state = station.state;
        const BeamGeometry geometry{at.s, at.r, at.t, state.foilCount, state.options.foilTolerance};
        return computeBeam(state.stopping, options, request.ions[at.ion].beam(), geometry, station.layers, keepRows);
    };
}

std::string bestStationSetting(StationFolder& station, std::vector<SolveIon> ions, double let,
                               double minimumRangeUm, double maxTiltDegrees) {
    if (!station.layers.complete) return "No setting of the station reaches it: " + station.layersProblem;
    if (ions.empty()) {
        const BeamIon beam = station.ion();
        ions.push_back({station.state.beam.beamName, beam.ionZ, beam.ionA, beam.beamEnergyMeV / beam.ionA});
    }
    SolveRequest request;
    request.ions = std::move(ions);
    request.wantedLets = {let};
    request.minimumRangeUm = minimumRangeUm;
    request.rows = 1;
    setStationGrid(request, station, maxTiltDegrees);
    const SolveResult result = solveSettings(request, stationComputation(station, request));
    std::string skipped;
    for (const std::string& ion : result.skippedIons) skipped += " (" + ion + "; skipped)";
    const SolveAnswer& answer = result.answers.front();
    if (answer.rows.empty()) {
        return "No setting of the station reaches it" + (answer.limit.empty() ? std::string() : ": " + answer.limit) +
               skipped;
    }
    const SolveRow& row = answer.rows.front();
    const SolveSetting& at = row.setting;
    return (row.within ? "Best setting: " : "Nearest setting: ") + request.ions[at.ion].name +
           cformat(" S %d, R %.3f\u00b0, T %s%.3f\u00b0", at.foil, at.r, at.bothSigns ? "\u00b1" : "", at.t) +
           ": effective LET " + effectiveLetText(row.beam.effectiveLet) + " MeV\u00b7cm\u00b2/mg, effective range " +
           effectiveRangeText(row.beam.effectiveRangeUm) + " \u00b5m" + skipped;
}
