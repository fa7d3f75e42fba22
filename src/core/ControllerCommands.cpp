#include "core/ControllerCommands.h"

#include "core/Console.h"
#include "core/LogFile.h"

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
