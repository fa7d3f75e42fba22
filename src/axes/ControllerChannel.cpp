#include "axes/ControllerChannel.h"

#include <ctime>
#include <fstream>
#include <sstream>

#include "app/Console.h"
#include "app/LogFile.h"
#include "axes/TcpChannel.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

void JournalChannel::journal(const std::string& line) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (!appendToFile(kControllerJournalFile, logTimeStamp(local) + line + "\n")) journalFailed_ = true;
}

void JournalChannel::send(const std::string& text) {
    journalFailed_ = false;
    journal(text);
}

ControllerSettings parseControllerSettings(std::istream& in) {
    ControllerSettings settings;
    TokenReader lines(in);
    std::string channelLine;
    while (lines.readLine(channelLine) && channelLine.find_first_not_of(" \t\r") == std::string::npos) {
    }
    std::string line;
    while (lines.readLine(line)) parseMotionSetting(line, settings.motion);
    std::istringstream channel(channelLine);
    TokenReader reader(channel);
    std::string kind;
    if (!reader.readWord(kind) || kind == "journal") return settings;
    if (kind != "tcp") {
        settings.error = "unknown controller channel \"" + kind + "\" (expected journal or tcp)";
        return settings;
    }
    int32_t port = 0;
    if (!reader.readWord(settings.host) || settings.host.size() > 253) {
        settings.error = "no controller host given";
    } else if (!reader.readInt(port) || port < 1 || port > 65535) {
        settings.error = "no valid controller port given (1 to 65535)";
    } else {
        settings.tcp = true;
        settings.port = port;
    }
    return settings;
}

std::unique_ptr<ControllerChannel> openControllerChannel(Console& console) {
    std::ifstream in;
    if (!openInput(in, kControllerSettingsFile)) return std::make_unique<JournalChannel>();
    ControllerSettings settings = parseControllerSettings(in);
    console.state.motion.commands = settings.motion;
    if (!settings.motion.errors.empty()) {
        std::string text = std::string(kControllerSettingsFile) + ": malformed motion setting(s):";
        for (const std::string& error : settings.motion.errors) text += "\n" + error;
        console.ui.messageBox(text + "\nThe moves these settings serve are refused.", Icon::Warning, Buttons::Ok,
                              Button::Ok);
    }
    if (!settings.error.empty()) {
        console.ui.messageBox(std::string(kControllerSettingsFile) + ": " + settings.error +
                                  ".\nNo controller is attached: commands are only written to " +
                                  kControllerJournalFile + ".",
                              Icon::Warning, Buttons::Ok, Button::Ok);
        return std::make_unique<JournalChannel>();
    }
    if (!settings.tcp) return std::make_unique<JournalChannel>();
    return std::make_unique<TcpChannel>(settings.host, settings.port);
}

void sendCommand(Console& console, const std::string& text) {
    console.state.commandBuffer.set(text);
    ControllerChannel& channel = *console.channel;
    ControllerLink before = channel.link();
    channel.send(console.state.commandBuffer.text());
    if (channel.link() != before) {
        console.state.motion.shownLink = channel.link();
        console.ui.showControllerLink(channel.link());
    }
    reportWriteResult(console, kControllerJournalFile, !channel.journalFailed());
}

void showLinkChange(Console& console) {
    ControllerLink now = console.channel->link();
    if (now == console.state.motion.shownLink) return;
    console.state.motion.shownLink = now;
    console.ui.showControllerLink(now);
}

std::string commandReply(const Console& console) {
    return console.channel->reply();
}
