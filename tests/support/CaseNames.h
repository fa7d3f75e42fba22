#pragma once

// Readable names for the cases of parameterised tests: the gtest listing and
// ctest show Rows/Suite.Test/GoldInSilicon and "GetParam() = GoldInSilicon"
// rather than a case number and the row's bytes.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <string_view>

namespace case_names {

// A table row that carries the name of its case (letters, digits and '_').
template <class Row>
concept NamedRow = requires(const Row& row) { std::string_view(row.name); };

// Prints a row as its name. gtest finds it by argument-dependent lookup, so
// the rows' namespace brings it in: `using case_names::PrintTo;`.
template <class Row>
    requires NamedRow<Row>
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

}  // namespace case_names

// The name generator of a suite of NamedRow rows: each case is called after
// its row's name.
struct RowName {
    template <class Row>
        requires case_names::NamedRow<Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const {
        return std::string(info.param.name);
    }
};

// The name generator of a suite whose parameter is a text such as a file or
// program name: each character a gtest name cannot hold becomes '_'
// ("tarvex-let" is tarvex_let, "LayerSummary.dat" is LayerSummary_dat).
struct TextName {
    template <class Text>
    std::string operator()(const testing::TestParamInfo<Text>& info) const {
        std::string name(std::string_view(info.param));
        for (char& c : name)
            if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
        return name;
    }
};
