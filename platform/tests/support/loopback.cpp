#include "platform/tests/support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qelta::test {

int listenOnLoopback(int backlog, int& port, int flags)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::listen(listener, backlog) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        if (listener >= 0)
            ::close(listener);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return listener;
}

} // namespace qelta::test
