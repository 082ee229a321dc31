// Line mode (cutting the received bytes into lines, with echo and backspace/tab editing) and the
// synchronous waits of TCustomSyncSocket.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "transport/AsyncSocket.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/application.h"
#include "platform/win/winbase.h"
#include "transport/AsyncSocket/Internal.h"

using namespace asyncsocket;

TCustomLineSocket::TCustomLineSocket(TComponent* AOwner) : TCustomSocksSocket(AOwner) {
    LineEnd = "\r\n";
    FLineMode = false;
}

TCustomLineSocket::~TCustomLineSocket() {
    MarkDestroying();
    FLineBuf.clear();
}

void TCustomLineSocket::WriteLineMode(bool Value) {
    if (Value == FLineMode) return;
    FLineMode = Value;
    if (!FLineBuf.empty() || FLineLength > 0) PostMessageA(WindowHandle(), WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

[[gnu::hot]] void TCustomLineSocket::HandleMessage(TMessage& Msg) {
    if (Msg.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksSocket::HandleMessage(Msg);
        return;
    }
    try {
        // Offer the buffered bytes again under the current mode; stop when a pass takes nothing.
        while (!FLineBuf.empty()) {
            size_t before = FLineBuf.size();
            int lineBefore = FLineLength;
            FireDataAvailable(0);
            if (FLineBuf.size() == before && FLineLength == lineBefore) break;
        }
    } catch (Exception& E) {
        HandleBgException(E);
    }
}

int TCustomLineSocket::ReadRcvdCount() {
    if (FLineMode) return FLineLength;
    // Bytes left from line mode are handed out first, so they count as received.
    int inherited = TCustomSocksSocket::ReadRcvdCount();
    if (FLineBuf.empty()) return inherited;
    return static_cast<int>(FLineBuf.size()) + std::max(inherited, 0);
}

[[gnu::hot]] int TCustomLineSocket::RecvRaw(void* Buffer, int Size, int Flags) {
    if (FLineMode && FLineLength > 0) {
        int n = std::min(std::max(Size, 0), FLineLength);
        std::memcpy(Buffer, FLineBuf.data(), static_cast<size_t>(n));
        FLineBuf.erase(0, static_cast<size_t>(n));
        FLineLength -= n;
        return n;
    }
    if (!FLineMode && !FLineBuf.empty()) {
        int n = std::min(std::max(Size, 0), static_cast<int>(FLineBuf.size()));
        std::memcpy(Buffer, FLineBuf.data(), static_cast<size_t>(n));
        FLineBuf.erase(0, static_cast<size_t>(n));
        return n;
    }
    return TCustomSocksSocket::RecvRaw(Buffer, Size, Flags);
}

void TCustomLineSocket::EditLine(int& N) {
    const size_t held = FLineBuf.size() - static_cast<size_t>(N);
    std::string out = FLineBuf.substr(0, held);
    size_t lowest = held;
    bool edited = false;
    for (size_t i = held; i < FLineBuf.size(); ++i) {
        char c = FLineBuf[i];
        if (c == 8) {
            edited = true;
            if (LineEcho && !out.empty()) SendStr(std::string("\x08\x20\x08", 3));
            if (!out.empty()) {
                out.pop_back();
                lowest = std::min(lowest, out.size());
            }
        } else if (c == 9) {
            edited = true;
            do {
                out += ' ';
                if (LineEcho) SendStr(" ");
            } while (out.size() % 8 != 0);
        } else {
            if (LineEcho) SendStr(std::string(1, c));
            out += c;
        }
    }
    if (!edited) return;
    FLineBuf = out;
    N = static_cast<int>(out.size() - lowest);
    // The caller treats [size - N, size) as new, so a backspace over held bytes rescans from there.
}

[[gnu::hot]] bool TCustomLineSocket::FireDataAvailable(WORD Error) {
    if (!FLineMode || LineEnd.empty() || SocksPhase() != TSocksPhase::Ready) return TCustomSocksSocket::FireDataAvailable(Error);
    int n = TCustomSocksSocket::ReadRcvdCount();
    int newCount = 0;
    if (n > 0) {
        std::string chunk(static_cast<size_t>(n), '\0');
        // Read straight from below the line buffer: the buffered bytes are not handed out here.
        int got = TCustomSocksSocket::RecvRaw(chunk.data(), n, 0);
        if (got < 0) {
            FLastError = WSAGetLastError_();
            return true;
        }
        if (got > 0) {
            FLineBuf.append(chunk.data(), static_cast<size_t>(got));
            newCount = got;
            if (LineEdit) EditLine(newCount);
            else if (LineEcho) Send(chunk.data(), got);
        }
    }
    if (FLineBuf.empty()) return true;
    const size_t le = LineEnd.size();
    // Start where a terminator split over two reads can begin.
    const size_t oldHeld = FLineBuf.size() - static_cast<size_t>(newCount);
    size_t searchStart = oldHeld >= le ? oldHeld - le : 0;
    while (FLineMode) {
        if (FLineLength == 0) {
            size_t pos = FLineBuf.find(LineEnd, searchStart);
            if (pos == std::string::npos) break;
            FLineLength = static_cast<int>(pos + le);
        }
        while (FLineMode && FLineLength > 0) {
            int before = FLineLength;
            size_t sizeBefore = FLineBuf.size();
            if (!TCustomSocksSocket::FireDataAvailable(0)) {
                // Nobody takes lines: drop it.
                FLineBuf.erase(0, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(FLineLength), FLineBuf.size())));
                FLineLength = 0;
                break;
            }
            if (FLineLength == before && FLineBuf.size() == sizeBefore) break;  // the handler took nothing
        }
        if (FLineLength > 0) break;  // still pending: offered again with the next data
        searchStart = 0;
        if (FLineBuf.empty()) break;
    }
    return true;
}

void TCustomLineSocket::FireSessionClosed(WORD Error) {
    if (FLineMode && !FLineBuf.empty()) {
        FLineLength = static_cast<int>(FLineBuf.size());
        while (FLineMode && FLineLength > 0) {
            int before = FLineLength;
            if (!TCustomSocksSocket::FireDataAvailable(0)) break;
            if (FLineLength == before) break;
        }
    }
    FLineBuf.clear();
    FLineLength = 0;
    TCustomSocksSocket::FireSessionClosed(Error);
}

// ---------------------------------------------------------------------------------------------
// TCustomSyncSocket

int TCustomSyncSocket::RunAndWait(const std::function<void()>& Proc, bool& Done) {
    Done = false;
    if (Proc) Proc();
    return WaitUntilDone(Done);
}

int TCustomSyncSocket::WaitUntilDone(bool& Done) {
    FTimeStop = GetTickCount() + FTimeout;
    while (!Done) {
        if (FTimeout > 0 && static_cast<int>(GetTickCount() - FTimeStop) > 0) return 12001;
        if (QuitSeen()) return 12001;
        PumpPending();
        if (Done) break;
        // Nothing left to dispatch: sleep in the queue's wait until the next message, timer or
        // socket event, or the time limit.
        WaitForEvent(FTimeout > 0 ? static_cast<DWORD>(std::max<int>(static_cast<int>(FTimeStop - GetTickCount()), 1))
                                  : INFINITE);
    }
    return 0;
}
