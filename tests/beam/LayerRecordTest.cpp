// The layer-record reader shared by the recomputation and the degrader
// search: thickness units, tilt flag, icompound by exact name, the end of the
// records, and the records it refuses.

#include <gtest/gtest.h>

#include <sstream>

#include "BeamFixtures.h"
#include "beam/LayerRecord.h"
#include "support/CaseNames.h"

namespace {

using case_names::PrintTo;  // rows print as their names

struct ReadAll {
    std::vector<LayerRecord> records;
    LayerReadResult last = LayerReadResult::End;
    std::string why;
};

ReadAll readAll(const std::string& text) {
    std::istringstream in(text);
    TokenReader reader(in);
    ReadAll all;
    for (int guard = 0; guard < 100; ++guard) {
        LayerRecord record;
        all.last = readLayerRecord(reader, record, all.why);
        if (all.last != LayerReadResult::Record) break;
        all.records.push_back(record);
    }
    return all;
}

struct UnitCase {
    const char* name;
    int unit;
    double thickness;
    double density;
    double arealDensity;  // mg/cm², from the unit table
};

class ThicknessUnit : public ::testing::TestWithParam<UnitCase> {};

TEST_P(ThicknessUnit, ArealDensity) {
    const UnitCase& c = GetParam();
    LayerText layer;
    layer.name = "material";
    layer.density = c.density;
    layer.thickness = c.thickness;
    layer.unit = c.unit;
    ReadAll all = readAll(layer.text());
    ASSERT_EQ(all.records.size(), 1u);
    EXPECT_NEAR(arealDensityOf(all.records[0]), c.arealDensity, 1e-12 * c.arealDensity);
}

INSTANTIATE_TEST_SUITE_P(Units, ThicknessUnit,
                         ::testing::Values(UnitCase{"Micrometres", 0, 500, 2.33, 116.5},
                                           UnitCase{"Millimetres", 1, 30, 0.0012, 3.6},
                                           UnitCase{"Centimetres", 2, 0.1, 2.33, 233},
                                           UnitCase{"Mils", 3, 2, 2.702, 13.72616},
                                           UnitCase{"MgPerCm2", 4, 7.5, 2.33, 7.5},
                                           UnitCase{"UnknownUnitIsMgPerCm2", -1, 7.5, 2.33, 7.5}),
                         RowName{});

TEST(LayerRecordReader, FieldsOfARecord) {
    ReadAll all = readAll(
        "silicon dioxide   \n2.2 2 1\n14 28.086 0.5 0.4674\n8 15.999 0.25 0.5326\n1.5 9.5 0 trailing words\n"
        "aluminium\n2.702 1 0\n13 26.982 0 1.0\n2 0 3\n\n");
    ASSERT_EQ(all.records.size(), 2u);
    const LayerRecord& r = all.records[0];
    EXPECT_EQ(r.name, "silicon dioxide");
    EXPECT_EQ(r.density, 2.2);
    EXPECT_EQ(r.elementCount, 2);
    EXPECT_EQ(r.tiltFlag, 1);
    EXPECT_EQ(r.atomicNumber[1], 8);
    EXPECT_EQ(r.atomicMass[1], 15.999);
    EXPECT_EQ(r.elementReserved[0], 0.5);
    EXPECT_EQ(r.massFraction[1], 0.5326);
    EXPECT_EQ(r.thickness, 1.5);
    EXPECT_EQ(r.layerReserved, 9.5);
    EXPECT_EQ(r.thicknessUnit, 0);
    EXPECT_EQ(all.records[1].name, "aluminium");
    EXPECT_EQ(all.records[1].tiltFlag, 0);
    EXPECT_EQ(all.records[1].thicknessUnit, 3);
    EXPECT_EQ(all.last, LayerReadResult::End);

    LayerMaterial m = materialOf(r, 0.33);
    EXPECT_EQ(m.elementCount, 2);
    EXPECT_EQ(m.atomicNumber[0], 14);
    EXPECT_EQ(m.massFraction[0], 0.4674);
    EXPECT_EQ(m.density, 2.2);
    EXPECT_EQ(m.arealDensity, 0.33);
}

TEST(LayerRecordReader, CrLfLinesAreAccepted) {
    ReadAll all = readAll("air gas\r\n0.0012 1 0\r\n7 14.007 0 1\r\n30 0 1\r\nsilicon\r\n2.33 1 1\r\n14 28.086 0 1\r\n0 0 0\r\n");
    ASSERT_EQ(all.records.size(), 2u);
    EXPECT_EQ(all.records[0].name, "air gas");
    EXPECT_EQ(icompoundOf(all.records[0].name), 1);
    EXPECT_EQ(all.records[1].name, "silicon");
}

TEST(LayerRecordReader, NameLineOfTwoCharactersEndsTheRecords) {
    const std::string body = "\n2.33 1 1\n14 28.086 0 1\n1 0 0\n";
    EXPECT_EQ(readAll("Si" + body).records.size(), 0u);
    EXPECT_EQ(readAll("Si " + body).records.size(), 1u);  // three characters raw
    EXPECT_EQ(readAll("Si " + body).records[0].name, "Si");
    EXPECT_EQ(readAll("" + body).records.size(), 0u);
    EXPECT_EQ(readAll("silicon" + body + "ab" + body).records.size(), 1u);
    EXPECT_EQ(readAll("").records.size(), 0u);
}

TEST(LayerRecordReader, EmptyFirstLineHoldsNoLayers) {
    ReadAll all = readAll("\nsilicon\n2.33 1 1\n14 28.086 0 1\n1 0 0\n");
    EXPECT_TRUE(all.records.empty());
    EXPECT_EQ(all.last, LayerReadResult::End);
}

struct CompoundCase {
    const char* name;
    const char* layerName;
    int icompound;
};

class CompoundName : public ::testing::TestWithParam<CompoundCase> {};

TEST_P(CompoundName, ExactCaseSensitiveMatch) {
    EXPECT_EQ(icompoundOf(GetParam().layerName), GetParam().icompound);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CompoundName,
    ::testing::Values(CompoundCase{"AirGas", "air gas", 1}, CompoundCase{"Aramica", "aramica", 2},
                      CompoundCase{"GalliumArsenide", "gallium arsenide", 3},
                      CompoundCase{"GalliumNitride", "gallium nitride", 4},
                      CompoundCase{"SiliconGermanium", "silicon germanium", 5},
                      CompoundCase{"SiliconCarbide", "silicon carbide", 6},
                      CompoundCase{"IndiumPhosphide", "indium phosphide", 7},
                      CompoundCase{"SodiumIodide", "sodium iodide", 8},
                      CompoundCase{"CapitalLetterIsNoMatch", "Air gas", 0},
                      CompoundCase{"DoubleSpaceIsNoMatch", "air  gas", 0},
                      CompoundCase{"LeadingSpaceIsNoMatch", " air gas", 0},
                      CompoundCase{"LongerNameIsNoMatch", "air gas layer", 0},
                      CompoundCase{"ElementIsNoCompound", "silicon", 0}, CompoundCase{"EmptyName", "", 0}),
    RowName{});

TEST(LayerRecordReader, TrailingBlanksOfTheNameAreRemovedBeforeTheCompoundChoice) {
    ReadAll all = readAll("air gas   \n0.0012 1 0\n7 14.007 0 1\n30 0 1\n");
    ASSERT_EQ(all.records.size(), 1u);
    EXPECT_EQ(icompoundOf(all.records[0].name), 1);
}

TEST(LayerRecordReader, EightElementsAreAccepted) {
    std::string text = "many\n2 8 0\n";
    for (int z = 1; z <= 8; ++z) text += std::to_string(z) + " 10 0 0.125\n";
    text += "1 0 0\n";
    ReadAll all = readAll(text);
    ASSERT_EQ(all.records.size(), 1u);
    EXPECT_EQ(all.records[0].atomicNumber[7], 8);
}

struct RefusedCase {
    const char* name;
    std::string text;
    const char* why;
};

class RefusedRecord : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedRecord, IsRefusedWithAReason) {
    ReadAll all = readAll("silicon\n2.33 1 1\n14 28.086 0 1\n1 0 0\n" + GetParam().text);
    EXPECT_EQ(all.records.size(), 1u);
    EXPECT_EQ(all.last, LayerReadResult::Refused);
    EXPECT_NE(all.why.find(GetParam().why), std::string::npos) << all.why;
}

std::string nineElements() {
    std::string text = "many\n2 9 0\n";
    for (int z = 1; z <= 9; ++z) text += std::to_string(z) + " 10 0 0.1\n";
    return text + "1 0 0\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRecord,
    ::testing::Values(RefusedCase{"NineElements", nineElements(), "9 elements"},
                      RefusedCase{"NoElements", "none\n2 0 0\n1 0 0\n", "0 elements"},
                      RefusedCase{"HugeElementCount", "many\n2 2000000000 0\n1 0 0\n", "2000000000 elements"},
                      RefusedCase{"ElementZero", "zero\n2 1 0\n0 10 0 1\n1 0 0\n", "atomic number 0"},
                      RefusedCase{"Element93", "beyond\n2 2 0\n14 28 0 0.5\n93 240 0 0.5\n1 0 0\n",
                                  "element 2 has the atomic number 93"},
                      RefusedCase{"DensityZero", "vacuum\n0 1 0\n14 28.086 0 1\n1 0 0\n", "density"},
                      RefusedCase{"NegativeDensity", "odd\n-2 1 0\n14 28.086 0 1\n1 0 0\n", "density"},
                      RefusedCase{"HugeThickness", "thick\n2.33 1 0\n14 28.086 0 1\n1e300 0 2\n", "thickness"},
                      RefusedCase{"LongName", std::string(128, 'n') + "\n2.33 1 0\n14 28.086 0 1\n1 0 0\n",
                                  "longer than 127"},
                      RefusedCase{"MalformedCount", "bad\n2.33 x 0\n14 28.086 0 1\n1 0 0\n", "elements"}),
    RowName{});

TEST(LayerRecordReader, NameOf127CharactersIsKept) {
    ReadAll all = readAll(std::string(127, 'n') + "\n2.33 1 0\n14 28.086 0 1\n1 0 0\n");
    ASSERT_EQ(all.records.size(), 1u);
    EXPECT_EQ(all.records[0].name.size(), 127u);
}

TEST(LayerRecordReader, TruncatedRecordNeverReadsPastTheEnd) {
    for (const char* text : {"silicon\n", "silicon\n2.33", "silicon\n2.33 1", "silicon\n2.33 1 1\n14 28",
                             "silicon\n2.33 1 1\n14 28.086 0 1\n", "silicon\n2.33 1 1\n14 28.086 0 1\n5"}) {
        ReadAll all = readAll(text);
        EXPECT_LE(all.records.size(), 1u) << text;
    }
}

}  // namespace
