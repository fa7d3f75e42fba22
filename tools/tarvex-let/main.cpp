// tarvex-let: ion stopping powers, layer traversals, per-ion stopping tables,
// range tables and beam-time planning from the command line, over the
// console's energy-loss engine and beam computation. Each command lives in
// its own file and declares its own options; this file registers them, reads
// the command line with CLI11 and runs the command chosen.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "LetCommand.h"
#include "LetHelp.h"

namespace {

using Commands = std::vector<std::unique_ptr<LetCommand>>;

// "stopping, traverse, ... or runs".
std::string commandList(const Commands& commands) {
    std::string list;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + std::string(commands[i]->name);
    }
    return list;
}

bool someCommandTakes(const CLI::App& app, const std::string& option) {
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (command->get_option_no_throw(option) != nullptr) return true;
    }
    return false;
}

// The one line for a command line CLI11 refuses. A word it did not expect is
// named as the tool always named it: an option of another command, an
// unknown option, an argument too many or an unknown command.
std::string refusal(const CLI::App& app, const CLI::ParseError& error, const Commands& commands) {
    std::string text = error.what();
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr) return text;
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    std::vector<std::string> extras = command != nullptr ? command->remaining() : std::vector<std::string>{};
    const bool beforeCommand = extras.empty();
    if (beforeCommand) extras = app.remaining();
    if (extras.empty()) return text;
    const std::string& word = extras.front();
    if (word.size() > 1 && word.front() == '-') {
        const std::string option = word.substr(0, word.find('='));
        if (!someCommandTakes(app, option)) return "unknown option " + option;
        if (command == nullptr) return option + " goes after the command (see --help)";
        if (beforeCommand) return option + " goes after the command " + command->get_name();
        return option + " does not apply to " + command->get_name();
    }
    if (command == nullptr) return "unknown command '" + word + "' (" + commandList(commands) + "; see --help)";
    return "unexpected argument '" + word + "'";
}

}  // namespace

int main(int argc, char** argv) {
    Commands commands;
    commands.push_back(makeStoppingCommand());
    commands.push_back(makeTraverseCommand());
    commands.push_back(makeSptableCommand());
    commands.push_back(makeRangeCommand());
    commands.push_back(makeRecomputeCommand());
    commands.push_back(makeGoCommand());
    commands.push_back(makePlanCommand());
    commands.push_back(makeSolveCommand());
    commands.push_back(makeRunsCommand());
    commands.push_back(makeStationCommand());

    CLI::App app{"", "tarvex-let"};
    auto help = std::make_shared<LetHelp>();
    app.formatter(help);
    app.set_help_flag("--help", "this text");
    bool version = false;
    declareFlag(app, version, "--version", "the version of tarvex-let");
    app.require_subcommand(0, 1);
    for (const auto& command : commands) {
        command->declareOptions(*app.add_subcommand(command->name, command->description));
        help->addCommand(*command);
    }

    if (argc == 1) {
        std::cout << app.help();
        return 2;
    }
    try {
        app.parse(argc, argv);
        if (version) {
            std::cout << "tarvex-let " TARVEX_VERSION "\n";
            return 0;
        }
        for (const auto& command : commands) {
            if (app.got_subcommand(command->name)) return command->run();
        }
        throw UsageError{"no command given (" + commandList(commands) + "; see --help)"};
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        std::cerr << "tarvex-let: " << refusal(app, error, commands) << "\n";
        return 2;
    } catch (const UsageError& error) {
        std::cerr << "tarvex-let: " << error.text << "\n";
        return 2;
    } catch (const ComputationError& error) {
        std::cerr << "tarvex-let: " << error.text << "\n";
        return 1;
    }
}
