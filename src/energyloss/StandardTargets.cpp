#include "energyloss/StandardTargets.h"

const StandardIon kStandardIons[kStandardIonCount] = {
    {1, 1, "H"},     {2, 4, "He"},    {7, 14, "N"},    {8, 16, "O"},    {10, 20, "Ne"},  {10, 22, "Ne"},
    {18, 36, "Ar"},  {18, 40, "Ar"},  {23, 51, "V"},   {29, 63, "Cu"},  {36, 78, "Kr"},  {36, 84, "Kr"},
    {40, 90, "Zr"},  {42, 92, "Mo"},  {47, 107, "Ag"}, {47, 109, "Ag"}, {54, 124, "Xe"}, {54, 129, "Xe"},
    {59, 141, "Pr"}, {67, 165, "Ho"}, {73, 181, "Ta"}, {79, 197, "Au"},
};

const char* const kCompoundLayerNames[kStandardCompoundCount + 1] = {
    "",
    "air gas",
    "aramica",
    "gallium arsenide",
    "gallium nitride",
    "silicon germanium",
    "silicon carbide",
    "indium phosphide",
    "sodium iodide",
};

const char* const kCompoundSuffixes[kStandardCompoundCount + 1] = {
    "", "Air", "Aramica", "GaAs", "GaN", "SiGe", "SiC", "InP", "NaI",
};

namespace {

const char* const kSymbols[93] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",
    "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga",
    "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag",
    "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu",
    "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au",
    "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",
};

}  // namespace

int massNumberOf(double massU) {
    if (!(massU >= 0 && massU <= 1000)) return 0;  // keeps the conversion defined
    return static_cast<int>(massU + 0.3);
}

const StandardIon* findStandardIon(int z1, int massNumber) {
    for (const StandardIon& ion : kStandardIons) {
        if (ion.atomicNumber == z1 && ion.massNumber == massNumber) return &ion;
    }
    return nullptr;
}

int icompoundOfLayerName(std::string_view name) {
    for (int i = 1; i <= kStandardCompoundCount; ++i) {
        if (name == kCompoundLayerNames[i]) return i;
    }
    return 0;
}

std::string standardTargetSuffix(const LayerMaterial& layer, int icompound) {
    if (icompound >= 1 && icompound <= kStandardCompoundCount) return kCompoundSuffixes[icompound];
    if (icompound == 0 && layer.elementCount == 1) {
        if (layer.atomicNumber[0] == 13) return "Al";
        if (layer.atomicNumber[0] == 14) return "Si";
    }
    return "";
}

std::string spTableFileName(int z1, double m1U, const LayerMaterial& layer, int icompound) {
    const StandardIon* ion = findStandardIon(z1, massNumberOf(m1U));
    std::string suffix = standardTargetSuffix(layer, icompound);
    if (ion == nullptr || suffix.empty()) return "";
    return std::to_string(ion->massNumber) + ion->symbol + suffix + ".inp";
}

const char* elementSymbol(int z) {
    if (z < 1 || z > 92) return nullptr;
    return kSymbols[z];
}

int atomicNumberOfSymbol(std::string_view symbol) {
    for (int z = 1; z <= 92; ++z) {
        if (symbol == kSymbols[z]) return z;
    }
    return 0;
}
