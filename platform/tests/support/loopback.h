// A listening socket on the loopback interface, for the stand-in servers and devices of the tests
// and benchmarks.
#pragma once

namespace qelta::test {

/// A TCP socket (with the socket flags given, e.g. SOCK_NONBLOCK) listening on 127.0.0.1 at a port
/// the system chose, which port receives; -1 (the socket closed) when none can be made.
int listenOnLoopback(int backlog, int& port, int flags = 0);

} // namespace qelta::test
