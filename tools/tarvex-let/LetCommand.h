#pragma once

// What every command of tarvex-let shares: how a command is declared and run,
// the two ways a run fails, and the options that hold a text as given.

#include <memory>
#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

// A command line the tool refuses (exit status 2).
struct UsageError {
    std::string text;
};

// A computation that cannot be made (exit status 1).
struct ComputationError {
    std::string text;
};

// One command: its name, how it is called and what it does (its help), its
// own options, declared on its CLI11 subcommand, and its run.
class LetCommand {
public:
    LetCommand(const char* commandName, const char* commandSynopsis, const char* commandDescription)
        : name(commandName), synopsis(commandSynopsis), description(commandDescription) {}
    virtual ~LetCommand() = default;

    virtual void declareOptions(CLI::App& command) = 0;

    // After the command line was read: the exit status, or UsageError or
    // ComputationError thrown.
    virtual int run() = 0;

    const char* const name;
    const char* const synopsis;     // after "tarvex-let <name> "
    const char* const description;  // one paragraph
};

std::unique_ptr<LetCommand> makeStoppingCommand();
std::unique_ptr<LetCommand> makeTraverseCommand();
std::unique_ptr<LetCommand> makeSptableCommand();
std::unique_ptr<LetCommand> makeRangeCommand();
std::unique_ptr<LetCommand> makeRecomputeCommand();
std::unique_ptr<LetCommand> makeGoCommand();
std::unique_ptr<LetCommand> makePlanCommand();
std::unique_ptr<LetCommand> makeSolveCommand();
std::unique_ptr<LetCommand> makeRunsCommand();
std::unique_ptr<LetCommand> makeStationCommand();

// A value option as given on the command line: its text is checked and
// turned into a number by the command, so that every bad value gets the
// tool's own message.
class TextOption {
public:
    // Declares `name` (e.g. "--ion") with its value's placeholder in the help.
    void declare(CLI::App& command, const char* name, const char* placeholder, const char* description);

    bool given() const;
    const std::string& text() const { return text_; }
    const std::string& name() const { return name_; }

    // "<name> '<text>'", the start of a message about the value.
    std::string quoted() const { return name_ + " '" + text_ + "'"; }

    // The value as a number, else UsageError "<name> '<text>': not a number".
    double number() const;

    // The value as a finite number above 0, else UsageError.
    double positive() const;

private:
    std::string name_;
    std::string text_;
    CLI::Option* option_ = nullptr;
};

// Declares a flag (an option without a value; "--csv=1" is refused).
void declareFlag(CLI::App& command, bool& flag, const char* name, const char* description);

// "text" padded with blanks to `width` bytes, or followed by two blanks.
std::string column(const std::string& text, std::size_t width);
