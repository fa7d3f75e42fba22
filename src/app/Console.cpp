#include "app/Console.h"

#include "axes/TcpChannel.h"

Console::Console(Ui& port) : ui(port), channel(std::make_unique<JournalChannel>()) {}
