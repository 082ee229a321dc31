// Throughput and connection rate of the asynchronous socket on loopback, against plain blocking
// POSIX sockets doing the same work.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <string>
#include <thread>

#include "transport/AsyncSocket.h"

namespace {

int ListenLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 64);
    socklen_t l = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l);
    port = ntohs(a.sin_port);
    return fd;
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

template <class P>
void PumpUntil(P pred) {
    while (!pred()) {
        Pump();
        if (!pred()) {
            pollfd none{};
            ::poll(&none, 0, 0);
        }
    }
}

constexpr size_t kTotal = 32 * 1024 * 1024;

// One TAsyncSocket sends kTotal bytes to another TAsyncSocket, both on this thread.
void BM_AsyncSocketPair(benchmark::State& state) {
    const std::string block(static_cast<size_t>(state.range(0)), 'b');
    for (auto _ : state) {
        TAsyncSocket server(nullptr), sender(nullptr), receiver(nullptr);
        server.SetAddr("127.0.0.1");
        server.SetPort("0");
        server.Listen();
        std::string port = server.GetLocalPortText();
        server.OnSessionAvailable = [&](TObject*, WORD) { receiver.Dup(server.Accept()); };
        size_t got = 0;
        std::string buf(65536, '\0');
        receiver.OnDataAvailable = [&](TObject*, WORD) {
            int n = receiver.Receive(buf.data(), static_cast<int>(buf.size()));
            if (n > 0) got += static_cast<size_t>(n);
        };
        bool up = false;
        size_t queued = 0;
        auto feed = [&] {
            // Keep a bounded amount queued, as a caller pacing on OnDataSent does.
            while (queued < kTotal && sender.SendQueueChunks() < 64) {
                sender.Send(block.data(), static_cast<int>(block.size()));
                queued += block.size();
            }
        };
        sender.OnSessionConnected = [&](TObject*, WORD) { up = true; };
        sender.OnDataSent = [&](TObject*, WORD) { feed(); };
        sender.SetAddr("127.0.0.1");
        sender.SetPort(port);
        sender.Connect();
        PumpUntil([&] { return up && receiver.State() == wsConnected; });
        feed();
        PumpUntil([&] {
            if (sender.AllSent()) feed();
            return got >= kTotal;
        });
        sender.Close();
        receiver.Close();
        server.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_AsyncSocketPair)->Arg(1514)->Arg(16384)->Unit(benchmark::kMillisecond);

// The same transfer over plain blocking POSIX sockets, the reader on a second thread.
void BM_BlockingPosixPair(benchmark::State& state) {
    const std::string block(static_cast<size_t>(state.range(0)), 'b');
    for (auto _ : state) {
        int port = 0;
        int lfd = ListenLoopback(port);
        std::thread reader([&] {
            int fd = ::accept(lfd, nullptr, nullptr);
            std::string buf(65536, '\0');
            size_t got = 0;
            while (got < kTotal) {
                ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            ::close(fd);
        });
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        for (size_t sent = 0; sent < kTotal;) {
            ssize_t n = ::send(fd, block.data(), std::min(block.size(), kTotal - sent), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::close(fd);
        reader.join();
        ::close(lfd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_BlockingPosixPair)->Arg(1514)->Arg(16384)->Unit(benchmark::kMillisecond);

// Connections per second: connect, accept, close, through the component.
void BM_AsyncConnects(benchmark::State& state) {
    TAsyncSocket server(nullptr);
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    std::string port = server.GetLocalPortText();
    int accepted = 0;
    server.OnSessionAvailable = [&](TObject*, WORD) {
        SOCKET s = server.Accept();
        TAsyncSocket peer(nullptr);
        peer.Dup(s);
        peer.Close();
        ++accepted;
    };
    TAsyncSocket client(nullptr);
    for (auto _ : state) {
        bool up = false;
        int before = accepted;
        client.OnSessionConnected = [&](TObject*, WORD) { up = true; };
        client.SetAddr("127.0.0.1");
        client.SetPort(port);
        client.Connect();
        PumpUntil([&] { return up && accepted > before; });
        client.Close();
    }
    server.Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AsyncConnects);

void BM_BlockingConnects(benchmark::State& state) {
    int port = 0;
    int lfd = ListenLoopback(port);
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int c = ::accept(lfd, nullptr, nullptr);
        ::close(c);
        ::close(fd);
    }
    ::close(lfd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BlockingConnects);

}  // namespace

BENCHMARK_MAIN();
