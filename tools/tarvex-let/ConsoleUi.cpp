#include "ConsoleUi.h"

#include <cstdio>
#include <cstdlib>

const char* iconWord(Icon icon) {
    switch (icon) {
        case Icon::Stop: return "Error";
        case Icon::Warning: return "Warning";
        case Icon::Information: return "Information";
        case Icon::Question: return "Question";
        case Icon::None: break;
    }
    return "Message";
}

Button ConsoleUi::messageBox(const std::string& text, Icon icon, Buttons /*buttons*/, Button defaultButton,
                             const std::string& /*caption*/) {
    ++messageCount;
    std::fprintf(stderr, "%s: %s\n", iconWord(icon), text.c_str());
    std::fflush(stderr);
    return defaultButton;
}

void ConsoleUi::exitProcess(int code) {
    std::fflush(stdout);
    std::exit(code);
}
