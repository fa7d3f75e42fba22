// recomputeBeam on a station working folder with the real coefficient files:
// results against the engine run layer by layer, the misalignment message and
// log entry, the beam stopped in the degrader or in a layer, the early ends,
// the committed files and the messages for files that cannot be opened.

#include <gtest/gtest.h>

#include <regex>

#include "BeamFixtures.h"
#include "beam/BeamFiles.h"
#include "beam/Degrader.h"
#include "support/FullDisk.h"
#include "energyloss/SPtableWriter.h"
#include "energyloss/StandardTargets.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

const char* const kMisaligned =
    "Deviation of coordinate S (selected degrader foil) from the closest integer value is not within specified "
    "tolerance (0.050).\n\nIt will be assumed that the degrader is infinitely thick or at least thick enough to stop "
    "the beam.";

class Recompute : public BeamStation {
protected:
    // Writes the per-ion table of the formulas for 197Au in `layer` into the folder.
    void writeTable(const LayerMaterial& layer, int icompound) {
        std::string text;
        ASSERT_TRUE(formatSPtable(data(), 79, 197, layer, icompound, text));
        folder.write(spTableFileName(79, 197, layer, icompound), text);
    }

    static LayerMaterial aluminium(double arealDensity) {
        LayerMaterial m = aluminiumDegrader();
        m.arealDensity = arealDensity;
        return m;
    }
};

TEST_F(Recompute, ResultsFollowTheEngineThroughDegraderAndLayers) {
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 985\n");
    folder.write("CurrentBeamName.tmp", "Au 5 MeV/u\n");
    setAxis(kAxisS, 1);
    setAxis(kAxisR, 30);
    setAxis(kAxisT, 30);
    LayerText window = siliconLayer("aramica", 2, 0);
    window.density = 1.44;
    window.elements = {{6, 12.011}, {1, 1.008}, {7, 14.007}, {8, 15.999}};
    LayerText air;
    air.name = "air gas";
    air.density = 0.0012;
    air.tiltFlag = 0;
    air.elements = {{7, 14.007}, {8, 15.999}, {18, 39.948}};
    air.thickness = 5;
    air.unit = 1;
    LayerText oxide = siliconLayer("silicon dioxide", 1.5, 1);
    oxide.density = 2.2;
    oxide.elements = {{14, 28.086}, {8, 15.999}};
    LayerText substrate = siliconLayer("silicon", 0, 1);
    writeLayers({window, air, oxide, substrate});

    EXPECT_EQ(recompute(), -1);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(ui.boxes.empty()) << boxTexts().front();

    // The same path, traversal by traversal.
    const double degraderUm = 25.4 / std::fabs(std::cos(30 * kPi / 180));
    const double cosT = std::fabs(std::cos(30 * kPi / 180));
    LayerResult r = traverse(5, aluminium(degraderUm * 2.702 / 10), degraderUm * 2.702 / 10, kMatchThickness);
    const double afterDegrader = r.exitEnergyPerNucleon;
    ASSERT_GT(afterDegrader, 0);
    r = traverse(r.exitEnergyPerNucleon, referenceMaterial(window, 2 * 1.44 / 10), 2 * 1.44 / 10, kMatchThickness, 2);
    r = traverse(r.exitEnergyPerNucleon, referenceMaterial(air, 5 * 1000 * 0.0012 / 10), 5 * 1000 * 0.0012 / 10,
                 kMatchThickness, 1);
    const double oxideAreal = 1.5 * 2.2 / 10 / cosT;
    r = traverse(r.exitEnergyPerNucleon, referenceMaterial(oxide, oxideAreal), oxideAreal, kMatchThickness);
    r = traverse(r.exitEnergyPerNucleon, referenceMaterial(substrate, 0), 0, kMatchThickness);
    ASSERT_GT(r.exitEnergyPerNucleon, 0);

    const BeamState& beam = console.state.beam;
    EXPECT_EQ(beam.degraderEffectiveUm, degraderUm);
    EXPECT_EQ(beam.degraderExitEnergyMeV, afterDegrader * 197);
    EXPECT_EQ(beam.deviceEnergyPerNucleon, r.exitEnergyPerNucleon);
    EXPECT_EQ(beam.deviceEnergyMeV, r.exitEnergyPerNucleon * 197);
    EXPECT_EQ(beam.nominalLet, r.exitLet);

    // The results line, committed.
    std::vector<std::string> table = linesOf(folder.read("RangeTable.txt"));
    ASSERT_GE(table.size(), 8u);
    EXPECT_EQ(table.back(), "");
    EXPECT_EQ(table[table.size() - 3], "");
    std::istringstream lastRow(table[table.size() - 4]);
    double lastE = -1, lastMeV = -1, lastDepth = -1;
    lastRow >> lastE >> lastMeV >> lastDepth;
    EXPECT_EQ(lastE, 0);
    EXPECT_NEAR(beam.nominalRangeUm, lastDepth, 0.05);
    const std::string expected = "7   " + streamText(degraderUm) + "   " + streamText(r.exitEnergyPerNucleon * 197) +
                                 "   " + streamText(r.exitLet) + "   " + streamText(beam.nominalRangeUm) + "   " +
                                 streamText(afterDegrader * 197) + "   " + streamText(beam.braggEnergyMeV) + "\n";
    EXPECT_EQ(folder.read("CurrentBeamDELReB.tmp"), expected);
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), expected);
    EXPECT_EQ(folder.read("CurrentBeamNZAMeV.dat"), "7 79 197 985\n");
    EXPECT_EQ(folder.read("CurrentBeamName.dat"), "Au 5 MeV/u\n");
    EXPECT_NE(table[table.size() - 2].find("  or  " + streamText(beam.braggEnergyMeV) + " MeV"), std::string::npos)
        << table[table.size() - 2];

    // The fields of the results.
    const DialogFields& f = console.fields;
    EXPECT_EQ(f.targetSubstrate, "silicon");
    EXPECT_EQ(f.degrader, printfText("%.3f", degraderUm / 25.4));
    EXPECT_EQ(f.axisValue[kAxisS], "1.000");
    EXPECT_EQ(f.axisValue[kAxisR], "30.000");
    EXPECT_EQ(f.energyPerNucleon, printfText(r.exitEnergyPerNucleon < 1 ? "%.3f" : "%.2f", r.exitEnergyPerNucleon));
    EXPECT_EQ(f.nominalRange, printfText("%.1f", beam.nominalRangeUm));
    EXPECT_EQ(ui.texts.at(ControlId::TargetSubstrate), "silicon");
    EXPECT_EQ(ui.texts.at(ControlId::Beam), "Au 5 MeV/u");

    // The effective values follow the tilt.
    refreshEffectiveLetDisplay(console);
    EXPECT_EQ(f.effectiveRange, printfText("%.1f", beam.nominalRangeUm * cosT));
}

TEST_F(Recompute, FieldFormatsDifferFromTheStartUpFormats) {
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 2955\n");
    folder.write("CurrentLayersReversed.dat", "");
    setAxis(kAxisS, 0);
    EXPECT_EQ(recompute(), -1);
    // No matter crossed: the beam reaches the substrate (the aluminium) as delivered.
    EXPECT_EQ(console.state.beam.deviceEnergyPerNucleon, 15);
    EXPECT_EQ(console.fields.energyPerNucleon, "15.00");
    EXPECT_EQ(console.fields.energyMeV, "2955");
    EXPECT_EQ(console.fields.targetSubstrate, "Al degrader");
    // Title, empty, columns, empty; the entrance, 14.99 down to 0.01, the rest;
    // empty, peak, empty.
    EXPECT_EQ(linesOf(folder.read("RangeTable.txt")).size(), 4u + 1u + 1499u + 1u + 3u);
}

TEST_F(Recompute, MisalignedDegraderStopsTheBeamAndStillCommits) {
    folder.write("CurrentBeamNZAMeV.tmp", "7 79 197 394\r\nnext line\r\n");
    folder.write("CurrentBeamName.tmp", "Au 2 MeV/u  \r\nnext line\r\n");
    folder.write("RangeTable.txt", "table of the previous run\n");
    writeLayers({siliconLayer("silicon", 0)});
    setAxis(kAxisS, 4.3);
    EXPECT_EQ(recompute(), -1);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, kMisaligned);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(ui.boxes[0].caption, "Tarvex");
    EXPECT_EQ(ui.boxes[1].text, "Beam fully stopped in Al degrader.");
    EXPECT_EQ(ui.boxes[1].icon, Icon::Warning);
    EXPECT_TRUE(std::regex_match(folder.read("run.log"),
                                 std::regex(R"(\d\d/\d\d/\d\d   \d\d:\d\d:\d\d   Degrader misaligned - acknowleged\.\n)")))
        << folder.read("run.log");

    EXPECT_EQ(folder.read("RangeTable.txt"), "");
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), "7   " + streamText(2539999.9746) + "   0   0   0   0   0\n");
    EXPECT_EQ(folder.read("CurrentBeamNZAMeV.dat"), "7 79 197 394\n");
    EXPECT_EQ(folder.read("CurrentBeamName.dat"), "Au 2 MeV/u  \n");

    const DialogFields& f = console.fields;
    EXPECT_EQ(f.degrader, "99999.999");
    EXPECT_EQ(f.targetSubstrate, "Al degrader");
    EXPECT_EQ(f.beam, "Au 2 MeV/u");
    EXPECT_EQ(f.axisValue[kAxisS], "4.300");
    EXPECT_EQ(f.energyPerNucleon, "0.000");
    EXPECT_EQ(f.energyMeV, "0.000");
    EXPECT_EQ(f.nominalLet, "0.000");
    EXPECT_EQ(f.nominalRange, "0.0");
    // resetBeamResults showed "0" in every result field first.
    ASSERT_TRUE(ui.shownFields.has_value());
    EXPECT_EQ(ui.shownFields->energyPerNucleon, "0");
    EXPECT_EQ(ui.shownFields->energyMeV, "0");
    EXPECT_EQ(ui.shownFields->nominalLet, "0");
    EXPECT_EQ(ui.shownFields->nominalRange, "0");
    EXPECT_EQ(ui.shownFields->effectiveLet, "0");
    EXPECT_EQ(ui.shownFields->effectiveRange, "0");
    EXPECT_EQ(console.state.beam.nominalLet, 0);
    EXPECT_EQ(console.state.beam.deviceEnergyPerNucleon, 0);
}

// Without a dialog (tarvex-let, the benchmarks) the same messages reach the
// sink in the same order, and an end of the program is its stop signal.
class RecordedMessages : public MessageSink {
public:
    void report(const std::string& text, Icon icon) override { messages.push_back({text, icon}); }
    [[noreturn]] void stop(int code, bool endDialog) override { throw std::pair<int, bool>(code, endDialog); }
    std::vector<std::pair<std::string, Icon>> messages;
};

TEST_F(Recompute, WithoutADialogTheMessagesGoToTheSink) {
    writeLayers({siliconLayer("silicon", 0)});
    setAxis(kAxisS, 4.3);
    RecordedMessages sink;
    ConsoleCore core(sink);
    core.state = console.state;
    core.fields = console.fields;
    EXPECT_TRUE(recomputeBeam(core));
    using Message = std::pair<std::string, Icon>;
    EXPECT_EQ(sink.messages, (std::vector<Message>{{kMisaligned, Icon::Warning},
                                                   {"Beam fully stopped in Al degrader.", Icon::Warning}}));
    EXPECT_EQ(core.fields.degrader, "99999.999");
    EXPECT_TRUE(ui.boxes.empty());

    sink.messages.clear();
    std::filesystem::remove(folder.path() / "CurrentBeamNZAMeV.dat");
    std::filesystem::create_directory(folder.path() / "CurrentBeamNZAMeV.dat");
    try {
        recomputeBeam(core);
        ADD_FAILURE() << "the recomputation went on past a beam file it cannot commit";
    } catch (const std::pair<int, bool>& stop) {
        EXPECT_EQ(stop, std::make_pair(1, true));
    }
    ASSERT_EQ(sink.messages.size(), 4u);
    EXPECT_EQ(sink.messages[2], Message("Error opening file CurrentBeamNZAMeV.dat.", Icon::Stop));
    EXPECT_EQ(sink.messages[3].second, Icon::Warning);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Recompute, MissingFoilNumberSaturatesWithoutAMessage) {
    setAxis(kAxisS, 12);
    EXPECT_EQ(recompute(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Beam fully stopped in Al degrader.");
    EXPECT_FALSE(folder.exists("run.log"));
}

TEST_F(Recompute, NegativeSIsNoFoilAndNoCheck) {
    setAxis(kAxisS, -1);
    EXPECT_EQ(recompute(), -1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(console.state.beam.degraderEffectiveUm, 0);
    EXPECT_EQ(console.state.beam.deviceEnergyPerNucleon, 2);
}

TEST_F(Recompute, BeamStoppedInALayer) {
    folder.write("RangeTable.txt", "old\n");
    LayerText thick = siliconLayer("silicon", 2, 0);
    thick.unit = 2;  // cm
    writeLayers({siliconLayer("oxide", 1), thick, siliconLayer("never", 1)});
    setAxis(kAxisS, 0);
    EXPECT_EQ(recompute(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Beam fully stopped in silicon layer.");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(console.fields.targetSubstrate, "silicon");
    EXPECT_EQ(folder.read("RangeTable.txt"), "");
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), "7   0   0   0   0   394   0\n");
    EXPECT_EQ(folder.read("CurrentBeamNZAMeV.dat"), "7 79 197 394\n");
}

TEST_F(Recompute, TiltFlagDividesTheLayerByCosT) {
    setAxis(kAxisS, 0);
    auto deviceEnergy = [&](const LayerText& layer, double tilt) {
        writeLayers({layer, siliconLayer("silicon", 0)});
        setAxis(kAxisT, tilt);
        EXPECT_EQ(recompute(), -1);
        return console.state.beam.deviceEnergyPerNucleon;
    };
    const double turning = deviceEnergy(siliconLayer("oxide", 2, 1), 60);
    const double doubled = deviceEnergy(siliconLayer("oxide", 4, 1), 0);
    const double fixed = deviceEnergy(siliconLayer("oxide", 2, 0), 60);
    const double normal = deviceEnergy(siliconLayer("oxide", 2, 0), 0);
    EXPECT_NEAR(turning, doubled, 1e-9 * doubled);
    EXPECT_EQ(fixed, normal);
    EXPECT_LT(turning, fixed);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Recompute, NinetyDegreesCannotBeSolvedAndCommitsNothing) {
    // cos(90 × 3.14159265359 / 180) is about 1e-12: counted as 0.
    writeLayers({siliconLayer("oxide", 2, 1), siliconLayer("silicon", 0)});
    folder.write("CurrentBeamDELReB.dat", "old results\n");
    setAxis(kAxisT, 90);
    EXPECT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{
                              "Solution for the current target tilt angle (90.000 deg) could not be obtained."});
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), "old results\n");
}

TEST_F(Recompute, CompoundNameSelectsItsTableInNormalMode) {
    folder.write("DoLegacyCalculations.dat", "0\n");
    writeTable(aluminiumDegrader(), 0);
    LayerMaterial si = referenceMaterial(siliconLayer("silicon", 0), 0);
    writeTable(si, 0);
    setAxis(kAxisS, 0);
    LayerText air;
    air.density = 0.0012;
    air.tiltFlag = 0;
    air.elements = {{7, 14.007}, {8, 15.999}, {18, 39.948}};
    air.thickness = 10;
    air.unit = 1;

    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());
    const double withoutAir = console.state.beam.deviceEnergyPerNucleon;

    // "Air gas" is no standard compound: the formulas, no table needed.
    air.name = "Air gas";
    writeLayers({air, siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_LT(console.state.beam.deviceEnergyPerNucleon, withoutAir);

    // "air gas" is: its table is missing; the message is shown and, as for
    // the degrader, nothing is committed (the layer is not skipped).
    const double withAir = console.state.beam.deviceEnergyPerNucleon;
    const std::string committed = folder.read("CurrentBeamDELReB.dat");
    const std::string table = folder.read("RangeTable.txt");
    air.name = "air gas";
    writeLayers({air, siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              " \n\nError - Stopping power table for the selected nuclide not found.\n\nUse Set Options to switch to "
              "legacy calculations and try again.");
    EXPECT_EQ(console.state.beam.deviceEnergyPerNucleon, withAir);
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), committed);
    EXPECT_EQ(folder.read("RangeTable.txt"), table);
}

TEST_F(Recompute, DegraderWithoutTableEndsTheRecomputation) {
    folder.write("DoLegacyCalculations.dat", "0\n");
    folder.write("CurrentBeamName.tmp", "Au new\n");
    folder.write("CurrentBeamDELReB.dat", "old results\n");
    folder.write("CurrentBeamNZAMeV.dat", "old ion\n");
    folder.write("RangeTable.txt", "old table\n");
    console.fields.energyMeV = "previous";
    EXPECT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              " \n\nError - Stopping power table for the selected nuclide not found.\n\nUse Set Options to switch to "
              "legacy calculations and try again.");
    EXPECT_EQ(ui.texts.at(ControlId::Beam), "Au new");
    EXPECT_EQ(console.fields.energyMeV, "previous");
    EXPECT_FALSE(folder.exists("CurrentBeamDELReB.tmp"));
    EXPECT_EQ(folder.read("CurrentBeamDELReB.dat"), "old results\n");
    EXPECT_EQ(folder.read("CurrentBeamNZAMeV.dat"), "old ion\n");
    EXPECT_EQ(folder.read("RangeTable.txt"), "old table\n");
}

TEST_F(Recompute, ModeFileOtherThanOneReadsTables) {
    folder.write("DoLegacyCalculations.dat", "2\n");
    EXPECT_EQ(recompute(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("Stopping power table"), std::string::npos);
}

TEST_F(Recompute, EmptyLayerFileLeavesTheBeamInTheDegrader) {
    folder.write("CurrentLayersReversed.dat", "\nsilicon\n2.33 1 1\n14 28.086 0 1\n0 0 0\n");
    setAxis(kAxisS, 0);
    EXPECT_EQ(recompute(), -1);
    EXPECT_EQ(console.fields.targetSubstrate, "Al degrader");
    std::string title = linesOf(folder.read("RangeTable.txt"))[0];
    EXPECT_EQ(title.rfind("Au 2 MeV/u   at 2.00 MeV/amu (394 MeV)   in Al degrader at 0.000 deg   LET = ", 0), 0u)
        << title;
    LayerResult entry = traverse(2, aluminium(0), 0, kMatchThickness);
    EXPECT_EQ(console.state.beam.nominalLet, entry.exitLet);
}

struct RefusedIonCase {
    const char* name;
    const char* file;  // "CurrentBeamNZAMeV.tmp"
    const char* why;   // part of the message
};

class RefusedIon : public BeamStation, public ::testing::WithParamInterface<RefusedIonCase> {};

TEST_P(RefusedIon, CommitsNothing) {
    folder.write("CurrentBeamNZAMeV.tmp", GetParam().file);
    EXPECT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(ui.boxes[0].text.rfind("CurrentBeamNZAMeV.tmp ", 0), 0u) << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find(GetParam().why), std::string::npos) << ui.boxes[0].text;
    for (const char* written : {"CurrentBeamDELReB.tmp", "CurrentBeamNZAMeV.dat", "CurrentBeamDELReB.dat",
                                "CurrentBeamName.dat", "RangeTable.txt", "TarvexBeamGeometry.dat"}) {
        EXPECT_FALSE(folder.exists(written)) << written;
    }
}

const char* const kCannotCompute = "holds an ion that cannot be computed";
const char* const kAbove1000 = "holds a beam energy above 1000 MeV/u";
const char* const kNotFour = "does not hold the four numbers of a beam";

INSTANTIATE_TEST_SUITE_P(
    Ions, RefusedIon,
    ::testing::Values(RefusedIonCase{"Z93", "7 93 197 394\n", kCannotCompute},
                      RefusedIonCase{"Z0", "7 0 197 394\n", kCannotCompute},
                      RefusedIonCase{"NegativeZ", "7 -5 197 394\n", kCannotCompute},
                      RefusedIonCase{"NegativeA", "7 79 -197 394\n", kCannotCompute},
                      RefusedIonCase{"A0", "7 79 0 394\n", kCannotCompute},
                      RefusedIonCase{"E1e300", "7 79 197 1e300\n", kAbove1000},
                      RefusedIonCase{"TenGeVPerNucleon", "7 79 197 1970000\n", kAbove1000},
                      RefusedIonCase{"NegativeHugeEnergy", "7 79 197 -1e6\n", kAbove1000},
                      RefusedIonCase{"Truncated", "7 79\n", kNotFour},
                      RefusedIonCase{"NanEnergy", "7 79 197 nan\n", kNotFour},
                      RefusedIonCase{"Empty", "", kNotFour}),
    RowName{});

TEST(BeamIonRefusal, TheTopOfTheCoefficientsIsStillComputed) {
    BeamState beam;
    beam.ionZ = 79;
    beam.ionA = 197;
    beam.beamEnergyMeV = 197000;  // 1000 MeV/u
    EXPECT_EQ(beamIonRefusal(beam, true), "");
    beam.beamEnergyMeV = 197000.1;
    EXPECT_NE(beamIonRefusal(beam, true), "");
}

// Layer records that are nonsense as physics: refused naming the file and the
// record; no beam file, results line or range table is written.
struct RefusedLayerCase {
    const char* name;
    std::string record;
    const char* why;
};

class RefusedLayer : public BeamStation, public ::testing::WithParamInterface<RefusedLayerCase> {};

TEST_P(RefusedLayer, CommitsNothing) {
    folder.write("CurrentLayersReversed.dat", siliconLayer("oxide", 1).text() + GetParam().record +
                                                  siliconLayer("silicon", 0).text());
    folder.write("RangeTable.txt", "old table\n");
    EXPECT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Layer record 2 of CurrentLayersReversed.dat cannot be used: ", 0), 0u)
        << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find(GetParam().why), std::string::npos) << ui.boxes[0].text;
    EXPECT_FALSE(folder.exists("CurrentBeamDELReB.tmp"));
    EXPECT_FALSE(folder.exists("CurrentBeamDELReB.dat"));
    EXPECT_FALSE(folder.exists("TarvexBeamGeometry.dat"));
    EXPECT_EQ(folder.read("RangeTable.txt"), "old table\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, RefusedLayer,
    ::testing::Values(
        RefusedLayerCase{"NegativeThickness", "gainer\n2.33 1 1\n14 28.086 0 1\n-50 0 0\n", "thickness is negative"},
        RefusedLayerCase{"MassZero", "light\n2.33 1 1\n14 0 0 1\n1 0 0\n", "atomic mass"},
        RefusedLayerCase{"NegativeFraction", "odd\n2.33 2 1\n14 28 0 1.5\n8 16 0 -0.5\n1 0 0\n",
                         "element 2 has a mass fraction"},
        RefusedLayerCase{"NanThickness", "nan\n2.33 1 1\n14 28.086 0 1\nnan 0 0\n", "thickness line"},
        RefusedLayerCase{"NanMass", "nan\n2.33 1 1\n14 nan 0 1\n1 0 0\n", "missing or malformed in its element 1"}),
    RowName{});

// A range table cut short by a full disk is reported once, naming the file;
// the beam itself is still committed.
TEST_F(Recompute, FullDiskUnderTheRangeTableIsReported) {
    writeLayers({siliconLayer("silicon", 0)});
    {
        FullDisk full(2000);
        EXPECT_EQ(recompute(), -1);
        EXPECT_EQ(recompute(), -1);
    }
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Error writing file RangeTable.txt - the disk may be full.", 0), 0u)
        << ui.boxes[0].text;
    EXPECT_EQ(console.fields.status, "Cannot write RangeTable.txt - is the disk full?");
    EXPECT_TRUE(folder.exists("CurrentBeamDELReB.dat"));
}

// A commit that ends the program half-way leaves the geometry pending, so
// that the next start recomputes; a whole one records it.
TEST_F(Recompute, TheGeometryStaysPendingUntilTheBeamFilesAreCommitted) {
    setAxis(kAxisS, 2);
    setAxis(kAxisR, 30);
    setAxis(kAxisT, -15);
    std::filesystem::create_directory(folder.path() / "CurrentBeamNZAMeV.dat");
    EXPECT_EQ(recompute(), 1);
    EXPECT_EQ(folder.read("TarvexBeamGeometry.dat"), "pending\n");
    std::filesystem::remove(folder.path() / "CurrentBeamNZAMeV.dat");
    ui.boxes.clear();
    EXPECT_EQ(recompute(), -1);
    EXPECT_EQ(folder.read("TarvexBeamGeometry.dat"), "2000   30000   -15000\n");
}

TEST_F(Recompute, RefusedLayerRecordCommitsNothing) {
    std::string nine = "many\n2 9 0\n";
    for (int z = 1; z <= 9; ++z) nine += std::to_string(z) + " 10 0 0.1\n";
    nine += "1 0 0\n";
    folder.write("CurrentLayersReversed.dat", siliconLayer("oxide", 1).text() + nine);
    folder.write("RangeTable.txt", "old table\n");
    EXPECT_EQ(recompute(), -1);
    EXPECT_FALSE(returned);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("Layer record 2 of CurrentLayersReversed.dat"), std::string::npos)
        << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find("9 elements"), std::string::npos);
    EXPECT_FALSE(folder.exists("CurrentBeamDELReB.tmp"));
    EXPECT_EQ(folder.read("RangeTable.txt"), "old table\n");
}

// Without a coefficient file, or with one that is not whole, every stopping
// power would be zero or stale: the beam would seem to cross the device
// without losing energy. Nothing is committed.
struct BrokenCoefficients {
    const char* name;
    std::string (*edit)(std::string text);  // nullptr: the file is removed
    const char* message;
};

TEST_F(Recompute, MissingOrShortCoefficientFileCommitsNothing) {
    const std::string missing = " - the stopping powers cannot be computed without it.\nCopy the stopping-power "
                                "coefficient files (scoef.95a, scoef.95b, scoefgas.95) into the working folder.";
    for (const BrokenCoefficients& c :
         {BrokenCoefficients{"scoef.95a", nullptr, ""}, BrokenCoefficients{"scoef.95b", nullptr, ""},
          BrokenCoefficients{"scoefgas.95", nullptr, ""},
          BrokenCoefficients{"scoef.95b", [](std::string t) { return t.substr(0, t.rfind('\n', t.size() - 2) + 1); },
                             "Error reading file scoef.95b: it ends after 92 of 93 rows."},
          BrokenCoefficients{"scoef.95a", [](std::string) { return std::string(); },
                             "Error reading file scoef.95a: it is empty."},
          BrokenCoefficients{"scoefgas.95", [](std::string t) { return t.erase(t.find("8.990E-05"), 9); },
                             "Error reading file scoefgas.95: row 1 holds 10 of 11 numbers."}}) {
        SCOPED_TRACE(c.message);
        const std::string kept = folder.read(c.name);
        if (c.edit == nullptr) {
            folder.remove(c.name);
        } else {
            folder.write(c.name, c.edit(kept));
        }
        folder.write("RangeTable.txt", "old table\n");
        ui.boxes.clear();
        EXPECT_EQ(recompute(), -1);
        EXPECT_FALSE(returned);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].icon, Icon::Warning);
        const std::string expected = c.edit == nullptr ? "Error opening file " + std::string(c.name) + missing : c.message;
        EXPECT_EQ(ui.boxes[0].text, expected + "\nThe beam was not recomputed.");
        EXPECT_FALSE(folder.exists("CurrentBeamDELReB.tmp"));
        EXPECT_FALSE(folder.exists("CurrentBeamNZAMeV.dat"));
        EXPECT_EQ(folder.read("RangeTable.txt"), "old table\n");
        folder.write(c.name, kept);
    }
}

struct MissingCase {
    const char* name;
    const char* file;
    bool directory;  // replaced by a folder of that name instead of removed
    const char* message;
    bool closed;
};

class RecomputeMissingFile : public BeamStation, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(RecomputeMissingFile, EndsTheProgram) {
    const MissingCase& c = GetParam();
    folder.remove(c.file);
    if (c.directory) std::filesystem::create_directory(folder.path() / c.file);
    EXPECT_EQ(recompute(), 1);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.lastBox().text, c.message);
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.lastBox().caption, "Tarvex");
    EXPECT_EQ(ui.closedWith.has_value(), c.closed);
    if (c.closed) {
        EXPECT_EQ(*ui.closedWith, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecomputeMissingFile,
    ::testing::Values(
        MissingCase{"Options", "Options.dat", false,
                    "Error opening file Options.dat - please fix the problem and restart the program", true},
        MissingCase{"ModeFile", "DoLegacyCalculations.dat", false,
                    "Error opening file DoLegacyCalculations.dat - please fix the problem and restart the program",
                    false},
        MissingCase{"BeamIon", "CurrentBeamNZAMeV.tmp", false,
                    "Error opening file CurrentBeamNZAMeV.tmp - please fix the problem and restart the program.", true},
        MissingCase{"BeamName", "CurrentBeamName.tmp", false,
                    "Error opening file CurrentBeamName.tmp - please fix the problem and restart the program.", true},
        MissingCase{"Layers", "CurrentLayersReversed.dat", false,
                    "Error opening file CurrentLayersReversed.dat - please fix the problem and restart the program.",
                    true},
        MissingCase{"Trace", "atempt.txt", true,
                    "Error opening file atempt.txt - please fix the problem and restart the program.", true},
        MissingCase{"RangeTable", "RangeTable.txt", true,
                    "Error opening RangeTable.txt - please fix the problem and restart the program.", true},
        MissingCase{"Results", "CurrentBeamDELReB.tmp", true,
                    "Error opening file CurrentBeamDELReB.tmp - please fix the problem and restart the program.",
                    true}),
    RowName{});

TEST_F(Recompute, BeamStoppedPathEmptiesTheRangeTableOrEnds) {
    std::filesystem::create_directory(folder.path() / "RangeTable.txt");
    setAxis(kAxisS, 4.3);
    EXPECT_EQ(recompute(), 1);
    EXPECT_EQ(ui.lastBox().text, "Error opening RangeTable.txt - please fix the problem and restart the program.");
    EXPECT_EQ(ui.closedWith, 2);
}

// Files that vanish while a message box is open fail at the commit.
struct CommitReadCase {
    const char* name;
    const char* file;
    bool closed;
};

class CommitRead : public BeamStation, public ::testing::WithParamInterface<CommitReadCase> {};

TEST_P(CommitRead, TmpFileGoneAtTheCommit) {
    setAxis(kAxisS, 4.3);  // the misalignment box is open after the .tmp files were read
    ui.answer(Button::Ok, [&] { folder.remove(GetParam().file); });
    EXPECT_EQ(recompute(), 1);
    EXPECT_EQ(ui.lastBox().text,
              std::string("Error opening file ") + GetParam().file +
                  " - please fix the problem and restart the program.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Stop);
    EXPECT_EQ(ui.closedWith.has_value(), GetParam().closed);
}

INSTANTIATE_TEST_SUITE_P(Files, CommitRead,
                         ::testing::Values(CommitReadCase{"IonTmp", "CurrentBeamNZAMeV.tmp", true},
                                           CommitReadCase{"NameTmp", "CurrentBeamName.tmp", false}),
                         RowName{});

struct CommitWriteCase {
    const char* name;
    const char* file;
    const char* warning;
    bool closed;
};

class CommitWrite : public BeamStation, public ::testing::WithParamInterface<CommitWriteCase> {};

TEST_P(CommitWrite, DatFileThatCannotBeWrittenGivesTwoMessages) {
    std::filesystem::create_directory(folder.path() / GetParam().file);
    folder.write("Tarvex.run", "");
    console.state.ownRunMarkerCreated = true;
    EXPECT_EQ(recompute(), 1);
    EXPECT_FALSE(folder.exists("Tarvex.run"));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, std::string("Error opening file ") + GetParam().file + ".");
    EXPECT_EQ(ui.boxes[0].icon, Icon::Stop);
    EXPECT_EQ(ui.boxes[1].text, GetParam().warning);
    EXPECT_EQ(ui.boxes[1].icon, Icon::Warning);
    EXPECT_EQ(ui.boxes[1].caption, "Tarvex");
    EXPECT_EQ(ui.closedWith.has_value(), GetParam().closed);
}

const char* const kIncomplete =
    "The beam selection process is incomplete - some beam parameters will be incorrect. Please fix the problem and "
    "restart the program.";

INSTANTIATE_TEST_SUITE_P(
    Files, CommitWrite,
    ::testing::Values(CommitWriteCase{"IonDat", "CurrentBeamNZAMeV.dat",
                                      "The beam selection process failed or remained incomplete - some beam parameters "
                                      "may be incorrect. Please fix the problem, restart the program, and try again.",
                                      true},
                      CommitWriteCase{"ResultsDat", "CurrentBeamDELReB.dat", kIncomplete, false},
                      CommitWriteCase{"NameDat", "CurrentBeamName.dat", kIncomplete, false}),
    RowName{});

TEST_F(Recompute, CommitOrderIsIonResultsName) {
    std::filesystem::create_directory(folder.path() / "CurrentBeamName.dat");
    EXPECT_EQ(recompute(), 1);
    EXPECT_EQ(folder.read("CurrentBeamNZAMeV.dat"), "7 79 197 394\n");
    EXPECT_TRUE(folder.exists("CurrentBeamDELReB.dat"));
}

}  // namespace

namespace {

// Mode file and per-ion tables are read again by every traversal: a change
// between two recomputations takes effect at once.
TEST_F(Recompute, ChangedModeFileAndTableTakeEffectAtOnce) {
    writeLayers({siliconLayer("silicon", 0)});
    ASSERT_EQ(recompute(), -1);
    ASSERT_TRUE(ui.boxes.empty());

    folder.write("DoLegacyCalculations.dat", "0\n");
    ASSERT_EQ(recompute(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("Stopping power table"), std::string::npos);

    writeTable(aluminiumDegrader(), 0);
    LayerMaterial si = referenceMaterial(siliconLayer("silicon", 0), 0);
    writeTable(si, 0);
    ASSERT_EQ(recompute(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    const double let = console.state.beam.nominalLet;

    // The same table with every stopping power doubled (ln 2 added), same size.
    const std::string name = spTableFileName(79, 197, si, 0);
    std::istringstream in(folder.read(name));
    std::string doubled;
    double lnE = 0, lnS = 0;
    while (in >> lnE >> lnS) doubled += printfText("%.17g ", lnE) + printfText("%.17g\n", lnS + std::log(2.0));
    folder.write(name, doubled);
    ASSERT_EQ(recompute(), -1);
    EXPECT_NEAR(console.state.beam.nominalLet, 2 * let, 1e-9 * let);
}

}  // namespace
