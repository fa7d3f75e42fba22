#pragma once

// The help of tarvex-let and of each of its commands, laid out as
// cmake/ManPage.cmake reads it: "Usage:" with one item per command (how it is
// called, then what it does), "Options:" with one item per option, and the
// exit status. The manual page is made from the help of the whole tool.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "LetCommand.h"

class LetHelp : public CLI::FormatterBase {
public:
    // Commands are listed in the order they are added.
    void addCommand(const LetCommand& command) { commands_.push_back(&command); }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;

private:
    std::string usage(const CLI::App& command) const;

    std::vector<const LetCommand*> commands_;
};
