#include "core/Headless.h"

#include <cstdlib>

namespace {

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

[[noreturn]] void endProcess(int code) {
    std::fflush(stdout);
    std::exit(code);
}

}  // namespace

void HeadlessMessages::report(const std::string& text, Icon icon) {
    ++count_;
    if (stream_ == nullptr) return;
    std::fprintf(stream_, "%s: %s\n", iconWord(icon), text.c_str());
    std::fflush(stream_);
}

void HeadlessMessages::stop(int code, bool /*endDialog*/) { endProcess(code); }

Button HeadlessUi::messageBox(const std::string& text, Icon icon, Buttons /*buttons*/, Button defaultButton,
                              const std::string& /*caption*/) {
    messages_.report(text, icon);
    return defaultButton;
}

void HeadlessUi::exitProcess(int code) { endProcess(code); }
