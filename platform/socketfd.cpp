#include "platform/socketfd.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

void SocketFd::reset(int fd) {
    // close is not retried on EINTR: on Linux the descriptor is gone
    // whatever it returned, and a retry could close another thread's file.
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int WaitForSocket(int fd, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready > 0) return p.revents;
        if (ready == 0) return 0;
        if (errno != EINTR) return -1;
    }
}
