#include "core/ControllerCommands.h"

#include "core/Console.h"
#include "core/LogFile.h"
#include "util/NumberFormat.h"

bool sendCommand(Console& console, const std::string& text) {
    console.state.commandBuffer.set(text);
    ControllerChannel& channel = *console.channel;
    ControllerLink before = channel.shownLink();
    bool sent = channel.send(console.state.commandBuffer.text());
    if (channel.shownLink() != before) {
        console.state.motion.shownLink = channel.shownLink();
        console.ui.showControllerLink(channel.shownLink());
    }
    reportWriteResult(console, kControllerJournalFile, !channel.journalFailed(), channel.journalFailure());
    return sent;
}

std::string commandReply(const Console& console) {
    return console.channel->reply();
}

std::string refusedSettingsList(Console& console, const std::vector<std::string>& errors) {
    std::string list;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        tryWriteLogEntry(console, std::string(kControllerSettingsFile) + ": " + errors[i]);
        if (i < kListedSettingErrors) list += "\n" + errors[i];
    }
    if (errors.size() > kListedSettingErrors) {
        list += cformat("\n\u2026 and %zu more; see the operator log", errors.size() - kListedSettingErrors);
    }
    return list;
}
