#pragma once

#include <string>

struct Console;

// Composes a command: copies it into the CommandBuffer (at most 127
// characters) and hands the buffer's text to the channel. True when it went
// out (ControllerChannel::send).
bool sendCommand(Console& console, const std::string& text);

// Data of the controller's last answer.
std::string commandReply(const Console& console);
