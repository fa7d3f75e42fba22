#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

// The signals that ask the console to end: SIGTERM, SIGHUP and SIGINT
// (Ctrl+C in the terminal that started it). Their handler only writes the
// signal's number into a pipe; the event loop reads it there, so the logic
// stops the axes before the process ends, as at every failure exit.

// Installs the handler for the three signals; once, before the application
// object is made. False when the pipe cannot be made: the signals then keep
// their default action.
bool catchEndSignals();

// Calls `onEnd` with the signal's number from the event loop each time one of
// the signals arrives, for as long as the notifier lives. Null when the
// signals are not caught.
std::unique_ptr<QSocketNotifier> watchEndSignals(QObject* context, std::function<void(int)> onEnd);
