#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "beam/BeamRecompute.h"
#include "core/Console.h"
#include "energyloss/StoppingCoefficients.h"
#include "energyloss/Traversal.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

// Helpers shared by the beam tests.

// The default stream notation (six significant digits) written by a stream
// rather than by the console's own formatter.
inline std::string streamText(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

inline std::string printfText(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Lines of a text, each without its line break; a final line break gives no
// extra empty line.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// A layer record in the file format of the parent program.
struct LayerText {
    std::string name;
    double density = 2.33;
    int tiltFlag = 1;
    std::vector<std::pair<int, double>> elements = {{14, 28.086}};  // Z, mass in u; equal mass fractions
    double thickness = 0;
    int unit = 0;

    std::string text() const {
        char buffer[256];
        std::string out = name + "\n";
        std::snprintf(buffer, sizeof buffer, "%.17g %zu %d\n", density, elements.size(), tiltFlag);
        out += buffer;
        for (const auto& [z, mass] : elements) {
            std::snprintf(buffer, sizeof buffer, "%d %.17g 0 %.17g\n", z, mass, 1.0 / static_cast<double>(elements.size()));
            out += buffer;
        }
        std::snprintf(buffer, sizeof buffer, "%.17g 0 %d\n", thickness, unit);
        return out + buffer;
    }
};

inline LayerText siliconLayer(const std::string& name, double thicknessUm, int tiltFlag = 1) {
    LayerText layer;
    layer.name = name;
    layer.thickness = thicknessUm;
    layer.tiltFlag = tiltFlag;
    return layer;
}

// The engine's material for a LayerText with the given areal density.
inline LayerMaterial referenceMaterial(const LayerText& text, double arealDensity) {
    LayerMaterial m;
    m.elementCount = static_cast<int>(text.elements.size());
    for (std::size_t i = 0; i < text.elements.size(); ++i) {
        m.atomicNumber[i] = text.elements[i].first;
        m.atomicMass[i] = text.elements[i].second;
        m.massFraction[i] = 1.0 / static_cast<double>(text.elements.size());
    }
    m.density = text.density;
    m.arealDensity = arealDensity;
    return m;
}

// A station working folder for the recomputation: real coefficient files,
// the formulas, a 197Au beam and a console whose axes read S, R and T
// directly (scale 1000 counts per unit, offset 0).
class BeamStation : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {kCoefficientFileA, kCoefficientFileB, kGasCoefficientFile}) {
            std::filesystem::copy_file(std::filesystem::path(stoppingDataFolder()) / name, folder.path() / name,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        folder.write("DoLegacyCalculations.dat", "1\n");
        folder.write("Options.dat", "OPTIONS 1 0 0.5 2 1.0 -3 2.5 -2 1.0 0 0.25 1 0.05 1.0 1.0\n");
        folder.write("CurrentLogFileName.dat", "run.log\n");
        folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 394\n");
        folder.write("CurrentBeamName.tmp", "Au 2 MeV/u\n");
        folder.write("CurrentLayersReversed.dat", "");
        for (int i = 0; i < kAxisCount; ++i) {
            console.state.axes[i].scale = 1000;
            console.state.axes[i].offset = 0;
            console.fields.axisUnit[static_cast<std::size_t>(i)] = "mm";
        }
        console.fields.axisUnit[kAxisT] = "deg";
        console.fields.axisUnit[kAxisR] = "deg";
        console.state.foilCount = 10;
        console.state.demoStatus = 3;
        setAxis(kAxisT, 0);
    }

    // Sets an axis value and the text the dialog shows for it.
    void setAxis(int axis, double value) {
        console.state.axes[axis].internalPosition = static_cast<int32_t>(std::lround(value * 1000));
        console.fields.axisValue[static_cast<std::size_t>(axis)] = printfText("%.3f", value);
    }

    void writeLayers(const std::vector<LayerText>& layers) {
        std::string text;
        for (const auto& layer : layers) text += layer.text();
        folder.write("CurrentLayersReversed.dat", text);
    }

    // Runs the recomputation; the exit code when the process was ended, -1
    // when it returned.
    int recompute() {
        try {
            returned = recomputeBeam(console);
            return -1;
        } catch (const ProcessExit& exit) {
            return exit.code;
        }
    }

    // The stopping data of the folder, loaded as the console loads it.
    const StoppingData& data() {
        if (!data_) {
            data_ = std::make_unique<StoppingData>();
            loadStoppingCoefficients(*data_);
        }
        return *data_;
    }

    // One forward traversal of the engine, as a reference for the console.
    LayerResult traverse(double energyPerNucleon, const LayerMaterial& layer, double goal, int match,
                         int icompound = 0) {
        LayerResult result;
        StoppingOptions options;
        options.mode = CalculationMode::Formulas;
        options.traceFileName = "";
        int code = traverseLayer(data(), 197, 79, energyPerNucleon, goal, match, icompound, layer, result, options);
        EXPECT_EQ(code, 0);
        return result;
    }

    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.boxes) texts.push_back(box.text);
        return texts;
    }

    WorkFolder folder;
    ScriptedUi ui;
    Console console{ui};
    bool returned = false;

private:
    std::unique_ptr<StoppingData> data_;
};
