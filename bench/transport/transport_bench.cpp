// Throughput and connection rate of the asynchronous socket on loopback, against plain blocking
// POSIX sockets doing the same work. Like for like: the far end is always a plain blocking socket
// on its own thread, the time is wall time, and each run is labelled with its write size.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <string>
#include <thread>

#include "support/loopback.h"
#include "transport/AsyncSocket.h"

namespace {

using testsupport::ConnectLoopback;
using testsupport::ListenLoopback;

constexpr size_t kTotal = 64 * 1024 * 1024;

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

template <class P>
void PumpUntil(P pred) {
    while (!pred()) {
        Pump();
        if (!pred()) WaitMessage();
    }
}

std::string Label(int64_t chunk) { return "writes of " + std::to_string(chunk) + " B"; }

// Reads until the end of the stream on its own thread; returns the count read.
size_t DrainBlocking(int fd) {
    std::string buf(65536, '\0');
    size_t got = 0;
    for (;;) {
        ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// Writes kTotal bytes in writes of `chunk` bytes.
void WriteBlocking(int fd, size_t chunk) {
    const std::string block(chunk, 'b');
    for (size_t sent = 0; sent < kTotal;) {
        ssize_t n = ::send(fd, block.data(), std::min(block.size(), kTotal - sent), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
}

// Accepts one connection on lfd and runs work with it on a thread of its own.
template <class F>
std::thread ServeOne(int lfd, F work) {
    return std::thread([lfd, work] {
        int fd = ::accept(lfd, nullptr, nullptr);
        work(fd);
        ::close(fd);
    });
}

// Sending: a TAsyncSocket writes kTotal bytes with Send(chunk), one write per OnDataSent as the
// HTTP client feeds a request body; a blocking reader thread takes them.
void BM_SendAsyncSocket(benchmark::State& state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    const std::string block(chunk, 'b');
    for (auto _ : state) {
        int port = 0;
        int lfd = ListenLoopback(port, 0, 64);
        size_t got = 0;
        std::thread reader = ServeOne(lfd, [&got](int fd) { got = DrainBlocking(fd); });
        TAsyncSocket sender(nullptr);
        bool up = false;
        size_t queued = 0;
        auto feed = [&] {
            if (queued >= kTotal) return;
            const size_t n = std::min(chunk, kTotal - queued);
            sender.Send(block.data(), static_cast<int>(n));
            queued += n;
        };
        sender.OnSessionConnected = [&](TObject*, WORD) { up = true; };
        sender.OnDataSent = [&](TObject*, WORD) { feed(); };
        sender.SetAddr("127.0.0.1");
        sender.SetPort(std::to_string(port));
        sender.Connect();
        PumpUntil([&] { return up; });
        feed();
        PumpUntil([&] { return queued >= kTotal && sender.AllSent(); });
        sender.Close();
        reader.join();
        ::close(lfd);
        if (got != kTotal) state.SkipWithError("bytes lost");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.SetLabel(Label(state.range(0)));
}
BENCHMARK(BM_SendAsyncSocket)->Arg(1514)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same transfer written by a plain blocking socket.
void BM_SendBlockingPosix(benchmark::State& state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        int port = 0;
        int lfd = ListenLoopback(port, 0, 64);
        size_t got = 0;
        std::thread reader = ServeOne(lfd, [&got](int fd) { got = DrainBlocking(fd); });
        int fd = ConnectLoopback(port);
        WriteBlocking(fd, chunk);
        ::close(fd);
        reader.join();
        ::close(lfd);
        if (got != kTotal) state.SkipWithError("bytes lost");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.SetLabel(Label(state.range(0)));
}
BENCHMARK(BM_SendBlockingPosix)->Arg(1514)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

// Receiving: a blocking writer thread sends kTotal bytes; a TAsyncSocket reads them in its
// OnDataAvailable handler with Receive into a 64 KiB block.
void BM_ReceiveAsyncSocket(benchmark::State& state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        int port = 0;
        int lfd = ListenLoopback(port, 0, 64);
        std::thread writer = ServeOne(lfd, [chunk](int fd) { WriteBlocking(fd, chunk); });
        TAsyncSocket receiver(nullptr);
        size_t got = 0;
        bool closed = false;
        std::string buf(65536, '\0');
        receiver.OnDataAvailable = [&](TObject*, WORD) {
            int n = receiver.Receive(buf.data(), static_cast<int>(buf.size()));
            if (n > 0) got += static_cast<size_t>(n);
        };
        receiver.OnSessionClosed = [&](TObject*, WORD) { closed = true; };
        receiver.SetAddr("127.0.0.1");
        receiver.SetPort(std::to_string(port));
        receiver.Connect();
        PumpUntil([&] { return closed; });
        writer.join();
        ::close(lfd);
        if (got != kTotal) state.SkipWithError("bytes lost");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.SetLabel(Label(state.range(0)));
}
BENCHMARK(BM_ReceiveAsyncSocket)->Arg(1514)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same transfer read by a plain blocking socket.
void BM_ReceiveBlockingPosix(benchmark::State& state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        int port = 0;
        int lfd = ListenLoopback(port, 0, 64);
        std::thread writer = ServeOne(lfd, [chunk](int fd) { WriteBlocking(fd, chunk); });
        int fd = ConnectLoopback(port);
        size_t got = DrainBlocking(fd);
        ::close(fd);
        writer.join();
        ::close(lfd);
        if (got != kTotal) state.SkipWithError("bytes lost");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.SetLabel(Label(state.range(0)));
}
BENCHMARK(BM_ReceiveBlockingPosix)->Arg(1514)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

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
BENCHMARK(BM_AsyncConnects)->UseRealTime();

void BM_BlockingConnects(benchmark::State& state) {
    int port = 0;
    int lfd = ListenLoopback(port, 0, 64);
    for (auto _ : state) {
        int fd = ConnectLoopback(port);
        int c = ::accept(lfd, nullptr, nullptr);
        ::close(c);
        ::close(fd);
    }
    ::close(lfd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BlockingConnects)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
