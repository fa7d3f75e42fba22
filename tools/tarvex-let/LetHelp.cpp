#include "LetHelp.h"

#include <algorithm>

#include "util/TextFiles.h"

namespace {

constexpr std::size_t kWidth = 100;     // the longest line
constexpr std::size_t kTextColumn = 21;  // where an option's description begins

// Characters on screen.
std::size_t displayWidth(const std::string& text) { return characterCount(text); }

// `text` broken into lines at blanks: the first line continues `lead`, the
// others begin with `indent` blanks.
std::string wrapped(const std::string& lead, const std::string& text, std::size_t indent) {
    std::string out = lead;
    std::size_t used = displayWidth(lead);
    bool lineEmpty = true;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find(' ', from);
        if (to == std::string::npos) to = text.size();
        const std::string word = text.substr(from, to - from);
        from = to + 1;
        if (word.empty()) continue;
        const std::size_t width = displayWidth(word);
        if (!lineEmpty && used + 1 + width > kWidth) {
            out += "\n" + std::string(indent, ' ');
            used = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++used;
        }
        out += word;
        used += width;
        lineEmpty = false;
    }
    return out + "\n";
}

// "  TERM" and its description from column kTextColumn.
std::string item(const std::string& term, const std::string& text) {
    std::string lead = "  " + term;
    const std::size_t width = displayWidth(lead);
    lead += std::string(width + 2 <= kTextColumn ? kTextColumn - width : 2, ' ');
    return wrapped(lead, text, kTextColumn);
}

// "--ion ION", "--csv".
std::string term(const CLI::Option& option) {
    const std::string name = option.get_name();
    return option.get_type_size() == 0 ? name : name + " " + option.get_type_name();
}

bool listed(const CLI::Option& option, const CLI::App& app) {
    return option.nonpositional() && &option != app.get_help_ptr();
}

const char* const kExitStatus =
    "Exit status: 0 on success, 1 when a computation fails, 2 for a bad command line.\n";

// One option over every command that takes it: each distinct description
// after the names of the commands that give it.
struct MergedOption {
    std::string term;
    std::vector<std::pair<std::string, std::string>> uses;  // commands, description

    std::string text() const {
        std::string out;
        for (const auto& [commands, description] : uses) {
            out += (out.empty() ? "" : "; ") + commands + ": " + description;
        }
        return out;
    }
};

}  // namespace

std::string LetHelp::usage(const CLI::App& command) const {
    for (const LetCommand* known : commands_) {
        if (command.get_name() != known->name) continue;
        const std::string call = std::string("tarvex-let ") + known->name + " ";
        return wrapped("  " + call, known->synopsis, 2 + displayWidth(call)) +
               wrapped("      ", known->description, 6);
    }
    return "";
}

std::string LetHelp::make_help(const CLI::App* app, std::string /*name*/, CLI::AppFormatMode /*mode*/) const {
    std::string out = "Usage:\n";
    if (app->get_parent() != nullptr) {
        // One command: its usage and its own options.
        out += usage(*app) + "\nOptions:\n";
        for (const CLI::Option* option : app->get_options()) {
            if (listed(*option, *app)) out += item(term(*option), option->get_description());
        }
        out += item("--help", app->get_help_ptr()->get_description());
        return out + "\n" + kExitStatus;
    }

    // The whole tool: every command, then every option once.
    std::vector<MergedOption> merged;
    for (const LetCommand* known : commands_) {
        const CLI::App* command = app->get_subcommand(known->name);
        out += usage(*command);
        for (const CLI::Option* option : command->get_options()) {
            if (!listed(*option, *command)) continue;
            auto same = std::find_if(merged.begin(), merged.end(),
                                     [&](const MergedOption& m) { return m.term == term(*option); });
            if (same == merged.end()) same = merged.insert(merged.end(), MergedOption{term(*option), {}});
            auto use = std::find_if(same->uses.begin(), same->uses.end(),
                                    [&](const auto& u) { return u.second == option->get_description(); });
            if (use == same->uses.end()) {
                same->uses.emplace_back(known->name, option->get_description());
            } else {
                use->first += std::string(", ") + known->name;
            }
        }
    }
    out += wrapped("  tarvex-let COMMAND --help", "", 0) +
           wrapped("      ", "the usage and the options of COMMAND alone", 6);
    out += "\nOptions:\n";
    for (const MergedOption& option : merged) out += item(option.term, option.text());
    for (const CLI::Option* option : app->get_options()) {
        if (option->nonpositional()) out += item(term(*option), option->get_description());
    }
    return out + "\n" + kExitStatus;
}
