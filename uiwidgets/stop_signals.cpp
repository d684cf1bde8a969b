#include "uiwidgets/stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe the stop signals write to; the handler may only make async-signal-safe calls.
int g_stopPipe[2] = {-1, -1};

void WriteStopByte(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int CatchStopSignals()
{
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    struct sigaction action {};
    action.sa_handler = &WriteStopByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return g_stopPipe[0];
}

QSocketNotifier* WatchStopSignals(QObject* owner, int stopFd, std::function<void()> stop)
{
    if (stopFd < 0)
        return nullptr;
    auto* notifier = new QSocketNotifier(stopFd, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [stopFd, stop = std::move(stop)] {
        char bytes[16];
        while (::read(stopFd, bytes, sizeof bytes) > 0) {
        }
        stop();
    });
    return notifier;
}
