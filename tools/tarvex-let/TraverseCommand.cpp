// tarvex-let traverse: one layer traversal, forwards or against the beam.

#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

#include "EngineOptions.h"
#include "energyloss/Traversal.h"
#include "util/NumberFormat.h"
#include "util/TokenReader.h"

namespace {

// A thickness as given: its value and the factor to mg/cm² per g/cm³ of
// density (lengths), or a fixed areal density.
struct Thickness {
    double value = 0;
    double umPerUnit = 0;  // 0: the value is an areal density (mg/cm²)
};

Thickness parseThickness(const TextOption& option) {
    // The longest leading number; the rest is the unit.
    const std::string& text = option.text();
    Thickness thickness;
    std::size_t end = text.size();
    while (end > 0 && !parseReal(text.substr(0, end), thickness.value)) --end;
    if (end == 0) throw UsageError{option.quoted() + ": not a number"};
    std::string unit = text.substr(end);
    while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
    static const std::map<std::string, double> kLengths = {
        {"um", 1}, {"\u00b5m", 1}, {"mm", 1000}, {"cm", 10000}, {"mil", 25.4}};
    if (auto length = kLengths.find(unit); length != kLengths.end()) {
        thickness.umPerUnit = length->second;
    } else if (!(unit.empty() || unit == "mg/cm2" || unit == "mg/cm\u00b2")) {
        throw UsageError{option.quoted() + ": unknown unit '" + unit + "' (um, mm, cm, mil or mg/cm2)"};
    }
    if (!(thickness.value >= 0)) throw UsageError{option.quoted() + ": must not be negative"};
    return thickness;
}

// mg/cm² = µm × g/cm³ / 10
double arealDensity(const Thickness& thickness, double density) {
    if (thickness.umPerUnit == 0) return thickness.value;
    return thickness.value * thickness.umPerUnit * density / 10;
}

class TraverseCommand : public LetCommand {
public:
    TraverseCommand()
        : LetCommand("traverse",
                     "[options] --energy E (--thickness D | --to-let L | --to-energy E2) [--backwards] [--trace FILE]",
                     "one layer traversal from E (MeV/u): to a thickness crossed (D: 10um, 0.1mm, 2.5mil, 5mg/cm2; a "
                     "bare number is mg/cm²), a LET (MeV·cm²/mg, forwards only) or an energy per nucleon (MeV/u); "
                     "--backwards runs against the beam (energy growing); a thickness that would take the energy past "
                     "the upper end of the stopping data is crossed only up to it (exit status 1). --trace FILE "
                     "appends the trace of the traversal to FILE; without it no trace is written.") {}

    void declareOptions(CLI::App& command) override {
        engine_.declare(command);
        energy_.declare(command, "--energy", "E",
                        ("the energy per nucleon at the start, " + energyBoundsText()).c_str());
        thickness_.declare(command, "--thickness", "D",
                           "the thickness to cross, with its unit: um (or µm), mm, cm, mil or mg/cm2 (or mg/cm²); a "
                           "bare number is mg/cm²");
        toLet_.declare(command, "--to-let", "L", "cross until the LET comes to L (MeV·cm²/mg)");
        toEnergy_.declare(command, "--to-energy", "E2",
                          ("cross until the energy per nucleon comes to E2, " + energyBoundsText()).c_str());
        declareFlag(command, backwards_, "--backwards", "against the beam: the energy grows");
        trace_.declare(command, "--trace", "FILE", "append the trace of the traversal to FILE");
        declareFlag(command, csv_, "--csv", "machine-readable output: a header row with units, one row per result");
    }

    int run() override {
        if (!energy_.given()) throw UsageError{"traverse needs --energy E (MeV/u)"};
        const int goals = (thickness_.given() ? 1 : 0) + (toLet_.given() ? 1 : 0) + (toEnergy_.given() ? 1 : 0);
        if (goals != 1) throw UsageError{"traverse needs exactly one of --thickness, --to-let and --to-energy"};
        const double energy = coveredEnergy(energy_.quoted(), energy_.number());
        int match = 0;
        double goal = 0;
        Thickness thickness;
        if (thickness_.given()) {
            match = kMatchThickness;
            thickness = parseThickness(thickness_);
        } else if (toLet_.given()) {
            if (backwards_) throw UsageError{"--to-let cannot be combined with --backwards"};
            match = kMatchLet;
            goal = toLet_.number();
        } else {
            match = kMatchEnergy;
            goal = coveredEnergy(toEnergy_.quoted(), toEnergy_.number());
        }
        const IonChoice ion = engine_.ion();
        const auto data = engine_.loadCoefficients();
        TargetChoice target = engine_.target(*data);
        target.material.arealDensity = backwards_ ? -1 : 1;
        if (match == kMatchThickness) {
            goal = arealDensity(thickness, target.material.density);
            if (backwards_) goal = -goal;
        }
        StoppingOptions options = engine_.stoppingOptions();
        options.traceFileName = trace_.given() ? trace_.text() : "";

        // Backwards across a thickness the energy may grow past the stopping
        // data. That traversal is made untraced first; when it passes the
        // data's upper end, the one reported goes up to that energy instead.
        // Only the traversal reported goes into the trace.
        LayerResult result;
        auto traverse = [&](const StoppingOptions& with) {
            result = LayerResult{};
            return traverseLayer(*data, ion.massU, ion.atomicNumber, energy, goal, match, target.icompound,
                                 target.material, result, with);
        };
        const bool mayPassTheData = backwards_ && match == kMatchThickness;
        StoppingOptions untraced = options;
        untraced.traceFileName = "";
        int code = traverse(mayPassTheData ? untraced : options);
        const bool passedTheData = mayPassTheData && code == kResultDone &&
                                   !(result.exitEnergyPerNucleon <= kHighestEnergyPerNucleonMeV);
        if (passedTheData) {
            match = kMatchEnergy;
            goal = kHighestEnergyPerNucleonMeV;
        }
        if (passedTheData || (mayPassTheData && trace_.given())) code = traverse(options);
        if (csv_) {
            std::cout << "code,exit_energy_MeV_per_u,exit_let_MeV_cm2_per_mg,exit_nuclear_MeV_cm2_per_mg,"
                         "exit_total_MeV_cm2_per_mg,traversed_mg_per_cm2\n";
            std::cout << code << "," << formatGeneral(result.exitEnergyPerNucleon) << ","
                      << formatGeneral(result.exitLet) << "," << formatGeneral(result.exitNuclearStopping) << ","
                      << formatGeneral(result.exitTotalStopping) << "," << formatGeneral(result.traversed) << "\n";
        } else {
            std::cout << "# ion " << ion.name << " (" << formatGeneral(ion.massU) << " u) through " << target.name
                      << (backwards_ ? ", backwards" : "") << "\n";
            std::cout << "result code                         " << code << "\n";
            std::cout << "exit energy (MeV/u)                 " << formatGeneral(result.exitEnergyPerNucleon) << "\n";
            std::cout << "exit LET (MeV·cm²/mg)               " << formatGeneral(result.exitLet) << "\n";
            std::cout << "exit nuclear stopping (MeV·cm²/mg)  " << formatGeneral(result.exitNuclearStopping) << "\n";
            std::cout << "exit total stopping (MeV·cm²/mg)    " << formatGeneral(result.exitTotalStopping) << "\n";
            std::cout << "areal density crossed (mg/cm²)      " << formatGeneral(result.traversed) << "\n";
        }
        if (code != kResultDone) {
            printResultCode(code, "traverse");
            return 1;
        }
        if (passedTheData) {
            std::cerr << "tarvex-let: --thickness " << thickness_.text() << ": the goal is not reached; stopped at "
                      << formatGeneral(kHighestEnergyPerNucleonMeV) << " MeV/u, the upper end of the stopping data\n";
            return 1;
        }
        if (match == kMatchLet && result.exitEnergyPerNucleon == 0) {
            std::cerr << "tarvex-let: --to-let " << toLet_.text()
                      << ": the goal is not reached; the LET never comes to it before the ion stops\n";
            return 1;
        }
        return 0;
    }

private:
    EngineOptions engine_;
    TextOption energy_, thickness_, toLet_, toEnergy_, trace_;
    bool backwards_ = false;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<LetCommand> makeTraverseCommand() { return std::make_unique<TraverseCommand>(); }
