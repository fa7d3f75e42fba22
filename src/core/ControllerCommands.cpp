#include "core/ControllerCommands.h"

#include "core/Console.h"
#include "core/LogFile.h"

void sendCommand(Console& console, const std::string& text) {
    console.state.commandBuffer.set(text);
    ControllerChannel& channel = *console.channel;
    ControllerLink before = channel.currentLink();
    channel.send(console.state.commandBuffer.text());
    if (channel.currentLink() != before) {
        console.state.motion.shownLink = channel.currentLink();
        console.ui.showControllerLink(channel.currentLink());
    }
    reportWriteResult(console, kControllerJournalFile, !channel.journalFailed());
}

std::string commandReply(const Console& console) {
    return console.channel->reply();
}
