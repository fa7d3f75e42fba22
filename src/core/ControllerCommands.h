#pragma once

#include <string>
#include <vector>

struct Console;

// Composes a command: copies it into the CommandBuffer (at most 127
// characters) and hands the buffer's text to the channel. True when it went
// out (ControllerChannel::send).
bool sendCommand(Console& console, const std::string& text);

// Data of the controller's last answer.
std::string commandReply(const Console& console);

// The refused settings `errors` as a start-up message lists them: at most
// kListedSettingErrors lines, each after a line end, then "… and N more; see
// the operator log". Every one is written to the operator log.
inline constexpr std::size_t kListedSettingErrors = 10;
std::string refusedSettingsList(Console& console, const std::vector<std::string>& errors);
