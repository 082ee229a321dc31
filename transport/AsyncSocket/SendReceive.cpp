// The send queue and receiving: Send offers the kernel the caller's bytes at once when nothing is
// queued, copies what it does not take into fixed-size chunks, and pushes those out on FD_WRITE.
// A stream socket hands the kernel up to MaxGather bytes of queued chunks in one call; a datagram
// is always one chunk and one sendto.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "transport/AsyncSocket.h"

#include <algorithm>
#include <cstring>

#include "platform/win/winbase.h"
#include "transport/AsyncSocket/Internal.h"

using namespace asyncsocket;

namespace {

constexpr int MaxGather = 64 * 1024;

// Count + N modulo 2^32: a count past 2^31 - 1 goes on from the most negative value.
int AddWrapping(int Count, int N) { return static_cast<int>(static_cast<unsigned>(Count) + static_cast<unsigned>(N)); }

}  // namespace

[[gnu::hot]] void TCustomAsyncSocket::QueueData(const void* Data, int Len) {
    if (Len <= 0) return;
    const char* p = static_cast<const char*>(Data);
    if (FType == WS_SOCK_DGRAM) {
        // One datagram, one chunk: the send of a chunk is the datagram on the wire.
        if (!FSendQueue.empty() && FSendQueue.back()->Written() == 0) {
            if (FSendQueue.back()->Capacity() >= Len) {
                FSendQueue.back()->Write(p, Len);
                return;
            }
            FSendQueue.pop_back();  // the emptied chunk kept for reuse is too small for this one
        }
        FSendQueue.push_back(std::make_unique<TBuffer>(std::max(FChunkSize, Len)));
        FSendQueue.back()->Write(p, Len);
        return;
    }
    if (FSendQueue.empty()) FSendQueue.push_back(std::make_unique<TBuffer>(FChunkSize));
    int n = FSendQueue.back()->Write(p, Len);
    while (n < Len) {
        FSendQueue.push_back(std::make_unique<TBuffer>(FChunkSize));
        n += FSendQueue.back()->Write(p + n, Len - n);
    }
}

[[gnu::hot]] int TCustomAsyncSocket::Send(const void* Data, int Len) {
    if (FState != wsConnected) {
        WSASetLastError_(WSAENOTCONN);
        ReportSocketError("Send");
        return -1;
    }
    FAllSent = false;
    int result = 0;
    bool full = false;
    if (Len > 0) {
        const char* p = static_cast<const char*>(Data);
        int left = Len;
        if (FType != WS_SOCK_DGRAM && NothingQueued()) {
            // Nothing waits in front of these bytes: the kernel takes what it can straight from
            // the caller's buffer, and only the rest is copied into the queue. A failure is met
            // again, and handled, by the send of the queue below; a short send means the socket
            // buffer is full, and the rest goes out on FD_WRITE as after a short send of the queue.
            const int n = SendRaw(p, left);
            if (n > 0) {
                p += n;
                left -= n;
                full = left > 0;
            }
        }
        QueueData(p, left);
        result = Len;
    }
    if (!full) TryToSend();
    if (FAllSent)
        PostMessageA(FWindowHandle, WM_ASYNCSELECT, FHSocket, WSAMAKESELECTREPLY(static_cast<WORD>(FD_WRITE), 0));
    return result;
}

[[gnu::hot]] bool TCustomAsyncSocket::NothingQueued() const {
    for (const auto& chunk : FSendQueue) {
        int count = 0;
        chunk->Peek(count);
        if (count > 0) return false;
    }
    return true;
}

int TCustomAsyncSocket::SendStr(const std::string& S) { return Send(S.data(), static_cast<int>(S.size())); }

int TCustomAsyncSocket::SendTo(const SOCKADDR_IN& Dest, int DestLen, const void* Data, int Len) {
    SOCKADDR_IN copy = Dest;
    int r = sendto_(FHSocket, Data, Len, FSendFlags, &copy, DestLen);
    if (r > 0 && OnSendData) OnSendData(this, r);
    return r;
}

[[gnu::hot]] int TCustomAsyncSocket::SendRaw(const void* Data, int Len) {
    int r = FType == WS_SOCK_DGRAM ? sendto_(FHSocket, Data, Len, FSendFlags, &FSin, sizeof FSin)
                                   : send_(FHSocket, Data, Len, FSendFlags);
    if (r > 0 && OnSendData) OnSendData(this, r);
    return r;
}

[[gnu::hot]] void TCustomAsyncSocket::TryToSend() {
    if (FHSocket == INVALID_SOCKET) return;
    if (FSendQueue.empty()) {
        // Nothing was ever queued: nothing waits, so the queue counts as drained.
        FAllSent = true;
        return;
    }
    for (;;) {
        TBuffer* b = FSendQueue.front().get();
        int count = 0;
        const char* p = b->Peek(count);
        if (count == 0) {
            if (FSendQueue.size() > 1) {
                FSendQueue.pop_front();
                continue;
            }
            FAllSent = true;
            return;
        }
        int offered = count;
        if (FType != WS_SOCK_DGRAM && FSendQueue.size() > 1 && count < MaxGather) {
            // Gather the following chunks behind this one: one call instead of one per chunk.
            FGatherBuf.resize(MaxGather);
            std::memcpy(FGatherBuf.data(), p, static_cast<size_t>(count));
            for (auto it = std::next(FSendQueue.begin()); it != FSendQueue.end() && offered < MaxGather; ++it) {
                int n = 0;
                const char* q = (*it)->Peek(n);
                n = std::min(n, MaxGather - offered);
                if (n <= 0) continue;
                std::memcpy(FGatherBuf.data() + offered, q, static_cast<size_t>(n));
                offered += n;
            }
            p = FGatherBuf.data();
        }
        int n = SendRaw(p, offered);
        if (n == 0) return;
        if (n < 0) {
            int code = WSAGetLastError_();
            if (code == WSAEWOULDBLOCK) return;
            if (code == WSAEINVAL || code == WSAENOTSOCK || code == WSAECONNABORTED || code == WSAECONNRESET ||
                code == WSAENOTCONN) {
                FCloseInvoked = true;
                FreeSendQueue();  // the connection is gone; the close below must not wait for it
                Close();
                FireSessionClosed(static_cast<WORD>(code));
                return;
            }
            ReportSocketError("TryToSend failed");
            return;
        }
        // Take what went out from the chunks in order; emptied chunks are freed on the next pass.
        int left = n;
        for (auto& chunk : FSendQueue) {
            if (left <= 0) break;
            left -= chunk->Remove(left);
        }
        if (n < offered) return;
    }
}

void TCustomAsyncSocket::Flush() {
    while (FHSocket != INVALID_SOCKET && !FAllSent) {
        TryToSend();
        PumpPending();
        if (FHSocket == INVALID_SOCKET || FAllSent || QuitSeen()) break;
        WaitForEvent();
    }
}

bool TCustomAsyncSocket::FlushQueue(DWORD TimeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (FHSocket == INVALID_SOCKET || FState != wsConnected) return true;
        TryToSend();
        if (FHSocket == INVALID_SOCKET || FAllSent) return true;
        PumpPending();
        if (FHSocket == INVALID_SOCKET || FAllSent) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= TimeoutMs || QuitSeen()) return false;
        WaitForEvent(TimeoutMs - spent);
    }
}

// ---- receiving ----

[[gnu::hot]] int TCustomAsyncSocket::RecvRaw(void* Buffer, int Size, int Flags) {
    const int n = recv_(FHSocket, Buffer, Size, Flags);
    FReadDrained = FType != WS_SOCK_DGRAM && Flags == 0 && n >= 0 && n < Size;
    return n;
}

int TCustomAsyncSocket::RecvRawFrom(void* Buffer, int Size, int Flags, SOCKADDR_IN& From, int& FromLen) {
    return recvfrom_(FHSocket, Buffer, Size, Flags, &From, &FromLen);
}

[[gnu::hot]] int TCustomAsyncSocket::Receive(void* Buffer, int Size) {
    int n = RecvRaw(Buffer, Size, 0);
    if (n < 0) FLastError = WSAGetLastError_();
    else FReadCount = AddWrapping(FReadCount, n);
    return n;
}

std::string TCustomAsyncSocket::ReceiveStr() {
    int n = ReadRcvdCount();
    if (n == 0 && FType == WS_SOCK_DGRAM && FHSocket != INVALID_SOCKET) {
        // An empty datagram counts 0 bytes but is there: take it, or it blocks every later one.
        char none;
        Receive(&none, 0);
        return {};
    }
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    int got = Receive(s.data(), n);
    if (got <= 0) return {};
    s.resize(static_cast<size_t>(got));
    return s;
}

int TCustomAsyncSocket::ReceiveFrom(void* Buffer, int Size, SOCKADDR_IN& From, int& FromLen) {
    int n = RecvRawFrom(Buffer, Size, 0, From, FromLen);
    if (n < 0) FLastError = WSAGetLastError_();
    else FReadCount = AddWrapping(FReadCount, n);
    return n;
}

int TCustomAsyncSocket::ReadRcvdCount() {
    if (FHSocket == INVALID_SOCKET) return 0;
    ULONG n = 0;
    if (ioctlsocket_(FHSocket, WS_FIONREAD, &n) != 0) {
        ReportSocketError("ioctlSocket");
        return -1;
    }
    return static_cast<int>(n);
}

[[gnu::hot]] void TCustomAsyncSocket::ReceiveLoop(WORD Error) {
    for (;;) {
        FLastError = 0;
        try {
            const int readBefore = FReadCount;
            FReadDrained = false;
            bool handled = FireDataAvailable(Error);
            if (handled && FReadCount == readBefore && FHSocket != INVALID_SOCKET) {
                // The handler took nothing: offering the same bytes again would never end.
                ULONG pending = 0;
                if (ioctlsocket_(FHSocket, WS_FIONREAD, &pending) == 0 && pending > 0) return;
            }
            if (!handled) {
                char buf[1024];
                int n = RecvRaw(buf, sizeof buf, 0);
                if (n < 0) {
                    FLastError = WSAGetLastError_();
                    if (FLastError == WSAEWOULDBLOCK) {
                        FLastError = 0;
                        return;
                    }
                }
                if (n == 0 && FType != WS_SOCK_DGRAM) return;  // the end of the stream; FD_CLOSE follows
            }
            if (ComponentOptions & wsoNoReceiveLoop) return;
            if (FLastError != 0) return;
            if (FHSocket == INVALID_SOCKET) return;
            // A short read just emptied the queue: asking for the count now would only say 0 or
            // count bytes that came after it, and those are announced by an FD_READ of their own.
            if (FReadDrained) return;
            ULONG pending = 0;
            if (ioctlsocket_(FHSocket, WS_FIONREAD, &pending) != 0) {
                FLastError = WSAGetLastError_();
                return;
            }
            if (pending == 0) return;
        } catch (...) {
            return;
        }
    }
}

void TCustomAsyncSocket::WaitForClose() {
    while (FHSocket != INVALID_SOCKET && FState != wsClosed) {
        PumpPending();
        if (FHSocket == INVALID_SOCKET) break;
        ULONG n = 0;
        if (ioctlsocket_(FHSocket, WS_FIONREAD, &n) != 0) break;
        if (n > 0) FireDataAvailable(0);
        if (FHSocket == INVALID_SOCKET) break;
        if (FType != WS_SOCK_DGRAM) {
            // A zero-byte read tells the end of a stream; a datagram socket has no end to wait for,
            // and there it would take a datagram away.
            char c;
            int r = RecvRaw(&c, 0, 0);
            if (r == 0) break;  // the peer ended the stream
            if (r < 0) {
                FLastError = WSAGetLastError_();
                if (FLastError != WSAEWOULDBLOCK) break;
            }
        }
        PumpPending();
        if (FHSocket == INVALID_SOCKET || FState == wsClosed || QuitSeen()) break;
        WaitForEvent();
    }
}
