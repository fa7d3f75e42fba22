#pragma once

// The options of the commands that run the energy-loss engine on an ion and
// a target of their own: --ion and --mass, --element or --layer, --data and
// --tables; each command declares those it takes.

#include <memory>
#include <string>

#include "LetCommand.h"
#include "energyloss/LayerStopping.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StoppingCoefficients.h"

struct IonChoice {
    int atomicNumber = 0;  // Z1
    int massNumber = 0;    // A
    double massU = 0;      // M1, u
    std::string name;      // e.g. "197Au"
};

struct TargetChoice {
    std::string name;  // symbol or layer name
    LayerMaterial material;
    int icompound = 0;
};

// "84Kr": the ion of a mass number and an element symbol (mass in u = the
// mass number); UsageError starting with `quoted` when it is not one.
IonChoice parseIonName(const std::string& quoted, const std::string& text);
// An ion mass in u, above 0 and at most 1000, else UsageError "<quoted>: ...".
double ionMassOfText(const std::string& quoted, const std::string& text);

class EngineOptions {
public:
    // All of them: --ion, --mass, --element, --layer, --data, --tables.
    void declare(CLI::App& command);

    void declareIon(CLI::App& command);     // --ion, --mass
    void declareTarget(CLI::App& command);  // --element, --layer
    void declareData(CLI::App& command);    // --data
    void declareTables(CLI::App& command);  // --tables

    // The ion of --ion and --mass; UsageError when --ion is missing or bad.
    IonChoice ion() const;

    // The folder of --data, $TARVEX_STOPPING_DATA or the one that comes with
    // the tool.
    std::string dataFolder() const;

    // The coefficient files of --data, $TARVEX_STOPPING_DATA or those that
    // come with the tool; a missing file is a ComputationError (the engine
    // itself would go on with zero coefficients).
    std::unique_ptr<StoppingData> loadCoefficients() const;

    // The target of --element or --layer (exactly one).
    TargetChoice target(const StoppingData& data) const;

    // "--element 'Si'" or "--layer 'FILE'", as given.
    std::string targetQuoted() const { return element.given() ? element.quoted() : layer.quoted(); }

    // Formulas, or the per-ion tables of --tables (kept for the command's
    // run); no trace file.
    StoppingOptions stoppingOptions();

    TextOption ionName, mass, element, layer, data, tables;

private:
    StoppingTableCache tablesRead_;
};

// The energies per nucleon the stopping data cover, MeV/u: the span of the
// per-ion tables, held to whichever source a command computes with.
inline constexpr double kLowestEnergyPerNucleonMeV = kTableFirstEnergyPerNucleonMeV;
inline constexpr double kHighestEnergyPerNucleonMeV = kTableLastEnergyPerNucleonMeV;

// "0.0001 to 1000 MeV/u", for the help.
std::string energyBoundsText();

// The energy per nucleon E (MeV/u) when the stopping data cover it, else
// UsageError "<quoted>: must be at least 0.0001 and at most 1000 MeV/u"
// (quoted: the start of the message, e.g. "energy '1e6'" or "--energy '2000'").
double coveredEnergy(const std::string& quoted, double energyPerNucleonMeV);

// A non-zero result code of the engine on stderr, on one line:
// "tarvex-let: result code N: <the operator's message>".
void printResultCode(int code, const std::string& context);
