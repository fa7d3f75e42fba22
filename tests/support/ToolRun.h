#pragma once

#include <string>

// A command-line tool run as a shell command, with what it printed.
struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `command` through the shell in the current folder, capturing standard
// output and standard error (through a file private to this process).
ToolRun runCommand(const std::string& command);

// The text quoted for the shell.
std::string shellQuoted(const std::string& text);

// True when python3 runs here (the independent reference scripts need it).
bool havePython();

// A program built beside the running test program, or "" when absent.
std::string siblingProgram(const std::string& name);
