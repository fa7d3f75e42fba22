#include "platform/qt/EndSignals.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onEndSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

bool catchEndSignals()
{
    if (signalPipe[0] >= 0)
        return true;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
    return true;
}

std::unique_ptr<QSocketNotifier> watchEndSignals(QObject* context, std::function<void(int)> onEnd)
{
    if (signalPipe[0] < 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, context, [onEnd = std::move(onEnd)] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1)
            onEnd(static_cast<unsigned char>(byte));
    });
    return notifier;
}
