#include "support/ToolRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ToolRun runCommand(const std::string& command) {
    ToolRun run;
    const std::string errFile = (std::filesystem::temp_directory_path() /
                                 ("tarvex-tool-stderr-" + std::to_string(::getpid()) + ".txt"))
                                    .string();
    FILE* pipe = ::popen((command + " 2>" + shellQuoted(errFile)).c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile, std::ios::binary);
    std::stringstream text;
    text << err.rdbuf();
    run.err = text.str();
    std::filesystem::remove(errFile);
    return run;
}

bool havePython() { return std::system("python3 -c 'import math' >/dev/null 2>&1") == 0; }

std::string siblingProgram(const std::string& name) {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    const auto program = self.parent_path() / name;
    return std::filesystem::exists(program) ? program.string() : "";
}
