#include "LetCommand.h"

#include <CLI/CLI.hpp>

#include <cmath>

#include "util/TokenReader.h"

void TextOption::declare(CLI::App& command, const char* name, const char* placeholder, const char* description) {
    name_ = name;
    option_ = command.add_option(name, text_, description)->type_name(placeholder);
}

bool TextOption::given() const { return option_ != nullptr && option_->count() > 0; }

double TextOption::number() const {
    double value = 0;
    if (!parseReal(text_, value)) throw UsageError{quoted() + ": not a number"};
    return value;
}

double TextOption::positive() const {
    double value = 0;
    if (!parseReal(text_, value) || !std::isfinite(value) || !(value > 0)) {
        throw UsageError{quoted() + ": must be a number above 0"};
    }
    return value;
}

void declareFlag(CLI::App& command, bool& flag, const char* name, const char* description) {
    command.add_flag(name, flag, description)->disable_flag_override();
}

std::string column(const std::string& text, std::size_t width) {
    // Characters, not bytes: "±" and "µ" take one place.
    std::size_t shown = 0;
    for (const char c : text) shown += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
    return shown >= width ? text + "  " : text + std::string(width - shown, ' ');
}

