// The stop signals of a program with a window: SIGTERM and SIGINT end it as its own exit would, so
// that what it cleans up at its end (published values, private temporary files) goes with it.
#pragma once

#include <functional>

class QObject;
class QSocketNotifier;

/// Catches SIGTERM and SIGINT for the process from now on: each writes to a pipe, whose reading end
/// is returned (-1 when none could be made; the signals then keep their default action).
int CatchStopSignals();
/// Calls stop on owner's thread each time the pipe CatchStopSignals gave has something to read. The
/// watch (returned, a child of owner) goes with owner; null for stopFd -1.
QSocketNotifier* WatchStopSignals(QObject* owner, int stopFd, std::function<void()> stop);
