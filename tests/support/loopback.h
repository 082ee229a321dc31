// A raw POSIX listener on a free loopback port, for tests and benchmarks that need a peer of
// plain sockets beside the component under test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

// Listens on 127.0.0.1 at a port the system picks; returns the descriptor and sets port. A
// receive buffer size above 0 is set before listening, so accepted connections start with it.
inline int ListenLoopback(int& port, int rcvbuf = 0, int backlog = 8) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (rcvbuf > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, backlog);
    socklen_t l = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l);
    port = ntohs(a.sin_port);
    return fd;
}

// The listener as an object that closes itself.
struct LoopbackListener {
    int port = 0;  // before fd: the listener's start writes it
    int fd = -1;
    explicit LoopbackListener(int rcvbuf = 0, int backlog = 8) : fd(ListenLoopback(port, rcvbuf, backlog)) {}
    ~LoopbackListener() { ::close(fd); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
};

// A loopback port that nothing listens on (bound once, closed again at once).
inline int FreePort() {
    LoopbackListener l;
    return l.port;
}

// A connected blocking client socket to 127.0.0.1:port (-1 on failure).
inline int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace testsupport
