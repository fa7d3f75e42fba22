#pragma once

#include <string>
#include <vector>

#include "beam/Degrader.h"
#include "beam/LayerRecord.h"
#include "beam/RangeTable.h"
#include "core/Cyclotrons.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/StoppingCoefficients.h"

// The beam's way from the cyclotron through the degrader and the device's
// layers into the substrate, and the way back that the "Go" search takes.
// Plain computations over the engine: no message is shown and no file is
// written here (the engine's trace goes where the options say).

// The ion as delivered.
struct BeamIon {
    int ionZ = 0;
    double ionA = 0;           // u
    double beamEnergyMeV = 0;  // MeV, before the degrader
};

// Degrader and turntable as the axes stand (values in foils and degrees).
struct BeamGeometry {
    double s = 0;                // foil number
    double rDegrees = 0;         // degrader rotation R
    double tDegrees = 0;         // turntable T
    int foilCount = foilCountOf(kCyclotronArdo);  // of the cyclotron in use
    double foilTolerance = 0.1;  // foils
};

// The device's layer records in beam order. `complete` is false when the file
// could not be opened or a record was refused: `records` then holds those read
// before, and a beam that passes them all cannot be followed further.
struct DeviceLayers {
    std::vector<LayerRecord> records;
    bool complete = true;
};

// A non-zero engine result and the name of the calculation it belongs to
// ("Al degrader", "<name> layer", "<name> range").
struct CalculationFailure {
    int code = 0;
    std::string context;
};

enum class BeamOutcome {
    Substrate,         // the ion reached the substrate; energies, LET, range and rows are set
    Stopped,           // it stopped in the degrader or a layer (`stoppedIn`)
    NoStoppingSource,  // a per-ion table or the calculation mode file is missing: nothing is valid
    TiltUnsolvable,    // |cos T| is zero and the device has layers
    LayersIncomplete,  // the beam passed every record read, but the layer file was not whole
};

// One piece of matter the beam crossed.
struct LayerPassage {
    std::string name;                // "Al degrader" or the layer's name
    double exitEnergyPerNucleon = 0; // MeV/u on leaving it; 0: the ion stopped in it
    double exitLet = 0;              // MeV·cm²/mg on leaving it
};

// What one computation of the beam found: what the recomputation writes, the
// dialog and the files show, Go predicts and the command line prints.
struct BeamResult {
    BeamOutcome outcome = BeamOutcome::Stopped;
    std::vector<LayerPassage> passages;  // the degrader and every layer crossed, in beam order
    DegraderThickness degrader;        // µm
    double degraderExitEnergyMeV = 0;  // MeV
    std::string substrate;             // the last matter entered: "Al degrader" or a layer name
    std::string stoppedIn;             // "Al degrader" or "<name> layer"
    double deviceEnergyPerNucleon = 0; // MeV/u at the substrate
    double deviceEnergyMeV = 0;        // MeV at the substrate
    double nominalLet = 0;             // MeV·cm²/mg
    double effectiveLet = 0;           // MeV·cm²/mg, nominal / |cos T| (infinite at cos T = 0)
    double nominalRangeUm = 0;         // µm
    double effectiveRangeUm = 0;       // µm, nominal × |cos T|
    double braggEnergyMeV = 0;         // MeV at the highest LET of the range table
    RangePeak peak;
    std::vector<RangeRow> rows;        // the range table in the substrate
    std::vector<CalculationFailure> failures;  // in the order they happened
    LayerMaterial lastLayer;           // the matter of the range table
    int lastIcompound = 0;

    // The beam reaches the substrate with its Bragg energy at or above the
    // energy at the device, as the exit sequence judges it.
    bool pastPeak() const;
    // "stopped", "past peak" or "before peak".
    const char* side() const;
};

// The energy (MeV) of the Bragg peak of the beam itself: the ion as delivered,
// followed to rest in the substrate (the first record of the device's layer
// file, substrate first; aluminium without one), whatever the degrader.
double braggEnergyOfBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                         const std::vector<LayerRecord>& reversed);

// Follows the beam through the degrader set by `geometry`, the device's
// layers and into the substrate. `keepRows` false leaves `rows` empty (the
// range and the peak are still computed).
BeamResult computeBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                            const BeamGeometry& geometry, const DeviceLayers& layers, bool keepRows = true);

// What the "Go" search is asked for.
enum class GoalKind { Let, MeV, MeVPerNucleon, Bragg };

// The foil and rotation that present a wanted aluminium areal density.
struct FoilChoice {
    int result = 2;       // 0 found, -1 too thin for any foil, 1 too thick, 2 no solution
    int foil = 0;         // S
    double rDegrees = 0;  // R
};

// The thickest foil strictly thinner than x (mg/cm²), turned so that it
// presents exactly x.
FoilChoice chooseFoil(double arealDensityMgCm2, int foilCount);

// Areal density of foil k (1-based), mg/cm².
double foilArealDensity(int k);

enum class SearchOutcome {
    Found,           // `foil` holds the choice (its result may still be -1, 1 or 2)
    TiltUnsolvable,  // |T| is 90 degrees
    EngineFailure,   // `failure` says which calculation failed
};

struct DegraderSearch {
    SearchOutcome outcome = SearchOutcome::Found;
    CalculationFailure failure;
    double requiredMgCm2 = 0;  // aluminium needed, mg/cm²
    FoilChoice foil;
};

// From the wanted value at the substrate back through the device's layers
// (`reversed`: substrate first, as in the device's layer file) and the
// aluminium to the delivered beam. `wanted` is an effective LET (MeV·cm²/mg),
// MeV or MeV/u; for Bragg it is the Bragg energy in MeV.
DegraderSearch searchDegrader(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                              double tDegrees, GoalKind kind, double wanted, const std::vector<LayerRecord>& reversed,
                              int foilCount);

// What the beam gives at the substrate, in the wanted kind, over every
// setting Go can choose: no degrader (S = 0) and every foil from foil 1 at 0
// degrees to the last foil at 60 degrees, for settings where the ion reaches
// the substrate. Effective LET in MeV·cm²/mg, MeV, MeV/u. Energies fall as
// the aluminium grows; the LET rises to the Bragg peak and falls beyond it.
struct BeamReach {
    bool found = false;          // some setting lets the ion reach the substrate
    double withoutDegrader = 0;  // at S = 0
    double thickest = 0;         // behind the thickest aluminium that still lets it through
    double peak = 0;             // effective LET: the highest of any setting
};
BeamReach reachOfBeam(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                      double tDegrees, GoalKind kind, const DeviceLayers& layers, int foilCount);

// "%.2f", "%.3f" below 1: the energy per nucleon as a recomputation shows it.
std::string perNucleonText(double value);
// "%.0f", "%.2f" below 10, "%.3f" below 1: the total energy as a recomputation shows it.
std::string totalEnergyText(double value);

// One setting of a beam-time plan and what it gives.
struct PlanRow {
    int foil = 0;
    double rDegrees = 0;   // NaN for foil 0: without a foil the rotation does not matter (computed at 0)
    double tDegrees = 0;
    BeamResult beam;       // without range-table rows
    bool underMinimum = false;  // effective range under the minimum range
};

inline const std::vector<double> kPlanAngles = {0, 30, 45, 60};  // degrees: default rotations and tilts

// Foil 0 once per tilt, then every foil 1 … foilCount at every rotation and
// every tilt, in that order (foil outermost). The angles are computed as
// given: a caller that plans for the axes passes the values their counts
// reach. `minimumRangeUm` NaN: no minimum.
std::vector<PlanRow> planSettings(const StoppingData& data, const StoppingOptions& options, const BeamIon& ion,
                                  const DeviceLayers& layers, int foilCount, double foilTolerance,
                                  const std::vector<double>& rotations, const std::vector<double>& tilts,
                                  double minimumRangeUm);

// The operator's text for a search that found no setting (the tilt, the
// engine's message for the failed calculation, or why no foil fits); empty
// when a foil was found. `unreachable` tells whether the wanted value lies
// beyond what the beam can give, so that the reach belongs below it.
std::string searchFailureText(const DegraderSearch& search, double tDegrees, bool& unreachable);
