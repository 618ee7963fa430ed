#pragma once
// The little the program's own sockets share: an owner that closes the
// descriptor once, and waits that a signal does not cut short.

#include <utility>

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    ~SocketFd() { reset(); }
    SocketFd(SocketFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    SocketFd& operator=(SocketFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int fd() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Waits until fd has one of events (poll's POLLIN, POLLOUT) or timeoutMs
// passed (-1: no end). A signal restarts the wait with the time that is
// left. The returned events (POLLERR and POLLHUP come whatever was asked),
// 0 when the time passed, -1 with errno when poll fails.
int WaitForSocket(int fd, short events, int timeoutMs);
