#include "beam/BeamComputation.h"

#include <cmath>
#include <limits>

#include "energyloss/CalculationErrors.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"

namespace {

// Where the beam stands after the degrader and the layers in front of the
// substrate.
struct DeviceEntry {
    BeamOutcome outcome = BeamOutcome::Substrate;
    double degraderExitEnergyMeV = 0;
    std::string substrate;
    std::string stoppedIn;
    LayerResult result;  // the end point of the last traversal that ran
    LayerMaterial layer;  // the last matter entered
    int icompound = 0;
    std::vector<CalculationFailure> failures;
    std::vector<LayerPassage> passages;
};

bool stoppingSourceMissing(int code) {
    return code == kResultTableMissing || code == kResultModeFileMissing;
}

// The degrader of `degraderMgCm2` (mg/cm²) and then the layers, in beam order.
DeviceEntry throughDevice(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                          double degraderMgCm2, double tDegrees, const DeviceLayers& layers) {
    DeviceEntry entry;
    double ein = ion.ionA == 0 ? 0 : std::fabs(ion.beamEnergyMeV / ion.ionA);
    entry.layer = aluminiumDegrader();
    entry.layer.arealDensity = degraderMgCm2;
    LayerResult& result = entry.result;
    int code = traverseLayer(data, ion.ionA, ion.ionZ, ein, degraderMgCm2, kMatchThickness, 0, entry.layer, result,
                             options);
    entry.degraderExitEnergyMeV = result.exitEnergyPerNucleon * ion.ionA;
    ein = result.exitEnergyPerNucleon;
    entry.passages.push_back({"Al degrader", result.exitEnergyPerNucleon, result.exitLet});
    if (code != kResultDone) {
        entry.failures.push_back({code, "Al degrader"});
        if (stoppingSourceMissing(code)) {
            entry.outcome = BeamOutcome::NoStoppingSource;
            return entry;
        }
    }
    entry.substrate = "Al degrader";
    if (result.exitEnergyPerNucleon == 0) {
        entry.outcome = BeamOutcome::Stopped;
        entry.stoppedIn = "Al degrader";
        return entry;
    }
    const double c = tiltCosine(tDegrees);
    for (const LayerRecord& record : layers.records) {
        entry.substrate = record.name;
        double areal = arealDensityOf(record);
        if (c == 0) {
            entry.outcome = BeamOutcome::TiltUnsolvable;
            return entry;
        }
        if (record.tiltFlag == 1) areal /= c;
        entry.layer = materialOf(record, areal);
        entry.icompound = icompoundOf(record.name);
        // A result code other than 0 leaves the previous end point in
        // `result` (the engine does not touch it), and the beam goes on from
        // there.
        code = traverseLayer(data, ion.ionA, ion.ionZ, ein, areal, kMatchThickness, entry.icompound, entry.layer,
                             result, options);
        entry.passages.push_back({record.name, result.exitEnergyPerNucleon, result.exitLet});
        if (code != kResultDone) {
            entry.failures.push_back({code, record.name + " layer"});
            if (stoppingSourceMissing(code)) {
                entry.outcome = BeamOutcome::NoStoppingSource;
                return entry;
            }
        }
        if (result.exitEnergyPerNucleon == 0) {
            entry.outcome = BeamOutcome::Stopped;
            entry.stoppedIn = record.name + " layer";
            return entry;
        }
        ein = result.exitEnergyPerNucleon;
    }
    if (!layers.complete) entry.outcome = BeamOutcome::LayersIncomplete;
    return entry;
}

}  // namespace

bool BeamResult::pastPeak() const {
    return outcome == BeamOutcome::Substrate && !(braggEnergyMeV < deviceEnergyMeV);
}

const char* BeamResult::side() const {
    if (outcome != BeamOutcome::Substrate) return "stopped";
    return pastPeak() ? "past peak" : "before peak";
}

BeamResult computeBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                            const BeamGeometry& geometry, const DeviceLayers& layers, bool keepRows) {
    BeamResult beam;
    beam.degrader = computeDegraderThickness(geometry.s, geometry.rDegrees, geometry.foilCount,
                                             geometry.foilTolerance, kRecomputeSaturationUm);
    DeviceEntry entry = throughDevice(data, options, ion, beam.degrader.effectiveUm * kAluminiumDensity / 10,
                                      geometry.tDegrees, layers);
    beam.outcome = entry.outcome;
    beam.degraderExitEnergyMeV = entry.degraderExitEnergyMeV;
    beam.substrate = entry.substrate;
    beam.stoppedIn = entry.stoppedIn;
    beam.failures = std::move(entry.failures);
    beam.passages = std::move(entry.passages);
    beam.lastLayer = entry.layer;
    beam.lastIcompound = entry.icompound;
    if (beam.outcome != BeamOutcome::Substrate) return beam;

    beam.deviceEnergyPerNucleon = entry.result.exitEnergyPerNucleon;
    beam.deviceEnergyMeV = entry.result.exitEnergyPerNucleon * ion.ionA;
    beam.nominalLet = entry.result.exitLet;

    RangeTableSetup setup;
    setup.data = &data;
    setup.options = options;
    setup.ionMassU = ion.ionA;
    setup.ionAtomicNumber = ion.ionZ;
    setup.layer = entry.layer;
    setup.icompound = entry.icompound;
    setup.tiltDegrees = geometry.tDegrees;
    setup.entryEnergyPerNucleonMeV = beam.deviceEnergyPerNucleon;
    setup.entryEnergyMeV = beam.deviceEnergyMeV;
    setup.entryLet = beam.nominalLet;
    const std::string context = beam.substrate + " range";
    RangeTableEnd end = followIonToRest(
        setup,
        [&](const RangeRow& row) {
            if (keepRows) beam.rows.push_back(row);
        },
        [&](int code) { beam.failures.push_back({code, context}); });
    beam.peak = end.peak;
    beam.nominalRangeUm = end.rangeUm;
    beam.braggEnergyMeV = end.peak.energyMeV;
    const EffectiveValues effective = effectiveValues(beam.nominalLet, beam.nominalRangeUm, geometry.tDegrees);
    beam.effectiveLet = effective.let;
    beam.effectiveRangeUm = effective.rangeUm;
    return beam;
}

double braggEnergyOfBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                         const std::vector<LayerRecord>& reversed) {
    RangeTableSetup setup;
    setup.data = &data;
    setup.options = options;
    setup.ionMassU = ion.ionA;
    setup.ionAtomicNumber = ion.ionZ;
    if (reversed.empty()) {
        setup.layer = aluminiumDegrader();
    } else {
        setup.layer = materialOf(reversed.front(), arealDensityOf(reversed.front()));
        setup.icompound = icompoundOf(reversed.front().name);
    }
    const double e = ion.ionA == 0 ? 0 : std::fabs(ion.beamEnergyMeV / ion.ionA);
    setup.entryEnergyPerNucleonMeV = e;
    setup.entryEnergyMeV = e * ion.ionA;
    const RangeTableEnd end = followIonToRest(setup, [](const RangeRow&) {}, [](int) {});
    return end.peak.energyMeV;
}

double foilArealDensity(int k) {
    return std::pow(2.0, k - 1) * 2.54 * kAluminiumDensity;
}

FoilChoice chooseFoil(double x, int foilCount) {
    FoilChoice choice;
    const int n = foilCount < 10 ? foilCount : 10;
    if (x < foilArealDensity(1)) {
        choice.result = -1;
        return choice;
    }
    if (x > 2 * foilArealDensity(n)) {
        choice.result = 1;
        return choice;
    }
    for (int k = n; k >= 1; --k) {
        const double t = foilArealDensity(k);
        if (t / x < 1) {
            choice.result = 0;
            choice.foil = k;
            choice.rDegrees = std::acos(t / x) * 180 / kPi;
            return choice;
        }
    }
    choice.result = 2;
    return choice;
}

DegraderSearch searchDegrader(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                              double t, GoalKind kind, double wanted, const std::vector<LayerRecord>& reversed,
                              int foilCount) {
    DegraderSearch search;
    const double startEnergy = ion.ionA == 0 ? 0 : ion.beamEnergyMeV / ion.ionA;
    const double cosT = tiltCosine(t);
    double goal = 0;
    int match = kMatchEnergy;
    switch (kind) {
        case GoalKind::Let:
            goal = wanted * cosT;
            match = kMatchLet;
            break;
        case GoalKind::MeV:
        case GoalKind::Bragg: goal = ion.ionA == 0 ? 0 : wanted / ion.ionA; break;
        case GoalKind::MeVPerNucleon: goal = wanted; break;
    }

    // Back out through the device, substrate first.
    double e = startEnergy;
    for (std::size_t k = 0; k < reversed.size(); ++k) {
        const LayerRecord& record = reversed[k];
        double thickness = arealDensityOf(record);
        if (cosT == 0 || cformat("%.3f", std::fabs(t)) == "90.000") {
            search.outcome = SearchOutcome::TiltUnsolvable;
            return search;
        }
        if (record.tiltFlag == 1) thickness /= cosT;
        double areal = thickness;
        if (k >= 1) {
            areal = -thickness;
            goal = -thickness;
        }
        LayerMaterial layer = materialOf(record, areal);
        LayerResult result;
        const int code =
            traverseLayer(data, ion.ionA, ion.ionZ, e, goal, match, icompoundOf(record.name), layer, result, options);
        if (code != kResultDone) {
            search.outcome = SearchOutcome::EngineFailure;
            search.failure = {code, record.name + " layer"};
            return search;
        }
        match = kMatchThickness;
        e = result.exitEnergyPerNucleon;
    }

    // The aluminium between the delivered beam and that energy.
    LayerMaterial degrader = aluminiumDegrader();
    degrader.arealDensity = -1.0;
    LayerResult result;
    const int code = traverseLayer(data, ion.ionA, ion.ionZ, e, startEnergy, kMatchEnergy, 0, degrader, result, options);
    if (code != kResultDone) {
        search.outcome = SearchOutcome::EngineFailure;
        search.failure = {code, "Al degrader"};
        return search;
    }
    search.requiredMgCm2 = 0.0 - result.traversed;  // never "-0" in the messages
    search.foil = chooseFoil(search.requiredMgCm2, foilCount);
    return search;
}

BeamReach reachOfBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion, double t,
                      GoalKind kind, const DeviceLayers& layers, int foilCount) {
    BeamReach reach;
    const double c = tiltCosine(t);
    const int n = foilCount < 10 ? foilCount : 10;
    if (n < 1 || c == 0) return reach;
    struct Point {
        bool reached = false;
        double value = 0;
    };
    auto valueAt = [&](double x) {
        DeviceEntry entry = throughDevice(data, options, ion, x, t, layers);
        Point point;
        point.reached = entry.outcome == BeamOutcome::Substrate;
        const double e = entry.result.exitEnergyPerNucleon;
        switch (kind) {
            case GoalKind::Let: point.value = entry.result.exitLet / c; break;
            case GoalKind::MeV:
            case GoalKind::Bragg: point.value = e * ion.ionA; break;
            case GoalKind::MeVPerNucleon: point.value = e; break;
        }
        return point;
    };

    // No degrader (S = 0), then every foil and rotation: from foil 1 at 0
    // degrees to the last foil at 60 degrees.
    const Point open = valueAt(0);
    double thinnest = foilArealDensity(1);
    double thickest = 2 * foilArealDensity(n);
    const Point first = valueAt(thinnest);
    if (!open.reached) return reach;
    reach.found = true;
    reach.withoutDegrader = open.value;
    reach.thickest = open.value;
    if (!first.reached) return reach;
    // The thickest aluminium that still lets the ion reach the substrate.
    Point last = valueAt(thickest);
    if (!last.reached) {
        double lo = thinnest;
        double hi = thickest;
        last = first;
        for (int i = 0; i < 40 && hi - lo > 1e-6 * hi; ++i) {
            const double mid = 0.5 * (lo + hi);
            const Point p = valueAt(mid);
            if (p.reached) {
                lo = mid;
                last = p;
            } else {
                hi = mid;
            }
        }
        thickest = lo;
    }
    reach.thickest = last.value;
    if (kind != GoalKind::Let) return reach;  // more aluminium, less energy

    // The LET rises towards the Bragg peak and falls beyond it: its highest
    // over the foils is found by a golden-section search.
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = thinnest;
    double b = thickest;
    double x1 = b - ratio * (b - a);
    double x2 = a + ratio * (b - a);
    Point p1 = valueAt(x1);
    Point p2 = valueAt(x2);
    for (int i = 0; i < 40 && b - a > 1e-4 * b; ++i) {
        if (p1.value < p2.value) {
            a = x1;
            x1 = x2;
            p1 = p2;
            x2 = a + ratio * (b - a);
            p2 = valueAt(x2);
        } else {
            b = x2;
            x2 = x1;
            p2 = p1;
            x1 = b - ratio * (b - a);
            p1 = valueAt(x1);
        }
    }
    reach.peak = std::fmax(std::fmax(open.value, first.value), std::fmax(last.value, std::fmax(p1.value, p2.value)));
    return reach;
}

std::string perNucleonText(double value) {
    return cformat(value < 1 ? "%.3f" : "%.2f", value);
}

std::string totalEnergyText(double value) {
    if (value < 1) return cformat("%.3f", value);
    if (value < 10) return cformat("%.2f", value);
    return cformat("%.0f", value);
}

std::vector<PlanRow> planSettings(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                                  const DeviceLayers& layers, int foilCount, double foilTolerance,
                                  const std::vector<double>& rotations, const std::vector<double>& tilts,
                                  double minimumRangeUm) {
    std::vector<PlanRow> plan;
    const std::vector<double> noRotation = {std::nan("")};
    for (int foil = 0; foil <= foilCount; ++foil) {
        for (double r : foil == 0 ? noRotation : rotations) {
            for (double t : tilts) {
                PlanRow row;
                row.foil = foil;
                row.rDegrees = r;
                row.tDegrees = t;
                const BeamGeometry geometry{static_cast<double>(foil), foil == 0 ? 0 : r, t, foilCount,
                                            foilTolerance};
                row.beam = computeBeam(data, options, ion, geometry, layers, false);
                row.underMinimum = row.beam.effectiveRangeUm < minimumRangeUm;
                plan.push_back(std::move(row));
            }
        }
    }
    return plan;
}

std::string searchFailureText(const DegraderSearch& search, double tDegrees, bool& unreachable) {
    unreachable = false;
    switch (search.outcome) {
        case SearchOutcome::TiltUnsolvable:
            return cformat("Solution for the current target tilt angle (%.3f deg) could not be obtained.", tDegrees);
        case SearchOutcome::EngineFailure:
            unreachable = search.failure.code == kResultWrongDirection || search.failure.code == kResultZeroEnergy;
            return calculationErrorText(search.failure.code, search.failure.context);
        case SearchOutcome::Found: break;
    }
    const double mil = search.requiredMgCm2 / 2.54 / kAluminiumDensity;
    switch (search.foil.result) {
        case 0: return "";
        case -1:
            unreachable = true;
            return cformat("Required degrader thickness ( %g mil ) is not available - too small.", mil) +
                   "\n\nPossible solution:\n(a) set S to 0 and if the LET is too high,\n(b) increase the air "
                   "gap.\n\nNOTE: If you increase the air gap, you must also change the layer file(s) accordingly.";
        case 1:
            unreachable = true;
            return cformat("Required degrader thickness ( %g mil ) is not available - too large.", mil) +
                   "\n\nPossible solution:\n(a) set S to the highest value (10 on Ardo or 6 on Belm) and\n(b) "
                   "increase T past 60 degrees and/or\n(c) insert an additional degrader right in front of the "
                   "device and/or\n(d) increase the air gap.\n\nNOTE: If you insert an additional degrader or "
                   "increase the air gap, you must also change the layer file(s) accordingly.";
        default: return " Required degrader thickness is not available - for unknown reason.";
    }
}
