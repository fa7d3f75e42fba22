#include "core/ControllerChannel.h"

#include <ctime>
#include <fstream>
#include <sstream>

#include "util/NumberFormat.h"
#include "util/TextFiles.h"
#include "util/TokenReader.h"

void JournalChannel::journal(const std::string& line) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (appendText(kControllerJournalFile, logTimeStamp(local) + line + "\n", &journalFailure_) != AppendResult::Written) {
        journalFailed_ = true;
    }
}

bool JournalChannel::send(const std::string& text) {
    journalFailed_ = false;
    journal(text);
    return !journalFailed_;
}

ControllerSettings parseControllerSettings(std::istream& in) {
    ControllerSettings settings;
    TokenReader lines(in);
    std::string channelLine;
    while (lines.readLine(channelLine) && channelLine.find_first_not_of(" \t\r") == std::string::npos) {
    }
    std::string line;
    while (lines.readLine(line)) parseMotionSetting(line, settings.motion);
    if (channelLine.size() > kMaxSettingsLine) {
        settings.error = "the channel line is longer than 4096 bytes";
        return settings;
    }
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
