#include "core/ControllerCommands.h"

#include "core/Console.h"
#include "core/LogFile.h"

bool sendCommand(Console& console, const std::string& text) {
    console.state.commandBuffer.set(text);
    ControllerChannel& channel = *console.channel;
    ControllerLink before = channel.currentLink();
    bool sent = channel.send(console.state.commandBuffer.text());
    if (channel.currentLink() != before) {
        console.state.motion.shownLink = channel.currentLink();
        console.ui.showControllerLink(channel.currentLink());
    }
    reportWriteResult(console, kControllerJournalFile, !channel.journalFailed(), channel.journalFailure());
    return sent;
}

std::string commandReply(const Console& console) {
    return console.channel->reply();
}
