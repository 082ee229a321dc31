// The socket component core: creation and destruction, the settings and their writers, opening
// (Connect, Listen, Accept, Dup), closing (Close, CloseDelayed, Abort, DoClose), the socket-event
// message, the reporting of errors and the events.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "transport/AsyncSocket.h"

#include <cstring>

#include "platform/win/winbase.h"
#include "transport/AsyncSocket/Internal.h"

using namespace asyncsocket;

TCustomAsyncSocket::TCustomAsyncSocket(TComponent* AOwner) : TComponent(AOwner) {
    FWindowHandle = CreateSocketWindow();
    FDnsResultList = std::make_unique<TStringList>();
    TCustomAsyncSocket::ResetDefaults();
    SocketCreated();
    FCounted = true;
}

void TCustomAsyncSocket::MarkDestroying() { SetComponentState(csDestroying, true); }

TCustomAsyncSocket::~TCustomAsyncSocket() {
    MarkDestroying();
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    if (FState != wsClosed) {
        try {
            TCustomAsyncSocket::DoClose(true, 0);
        } catch (...) {
        }
    } else if (FHSocket != INVALID_SOCKET) {
        try {
            closesocket_(FHSocket);
        } catch (...) {
        }
        FHSocket = INVALID_SOCKET;
    }
    if (FCounted) SocketDestroyed();
    FreeSendQueue();
    if (FWindowHandle) {
        // The window forgets its socket first: nothing that still reaches it comes here.
        SetWindowLongA(FWindowHandle, 0, 0);
        DestroyWindow(FWindowHandle);
    }
}

void TCustomAsyncSocket::ResetDefaults() {
    FHSocket = INVALID_SOCKET;
    FState = wsClosed;
    FAllSent = true;
    FPaused = false;
    FCloseInvoked = false;
    FReadCount = 0;
    FAddrAssigned = false;
    FAddrResolved = false;
    FPortAssigned = false;
    FPortResolved = false;
    FProtoStr = "tcp";
    FProtoAssigned = true;
    FProtoResolved = false;
    FProto = 6;
    FType = WS_SOCK_STREAM;
    FLocalAddr = "0.0.0.0";
    FLocalPortStr = "0";
    FLocalPortResolved = false;
    // A reset socket closes gracefully: lingering off lets queued data go out before the end.
    LingerOnOff = wsLingerOff;
    LingerTimeout = 0;
    FlushTimeout = 60;
    std::memset(&FSin, 0, sizeof FSin);
    FSin.sin_family = WS_AF_INET;
}

// The writer rule of Addr, Port and Proto: only while closed; the trimmed value is marked assigned
// when not empty and not resolved; the same text while assigned changes nothing.
void TCustomAsyncSocket::WriteTarget(const char* Name, const std::string& Value, std::string& Text,
                                     bool& Assigned, bool& Resolved) {
    if (FState != wsClosed) {
        RaiseError(std::string("Cannot change ") + Name + " if not closed");
        return;
    }
    std::string v = Trim(Value);
    if (v == Text && Assigned) return;
    Text = v;
    Assigned = !v.empty();
    Resolved = false;
}

void TCustomAsyncSocket::SetAddr(const std::string& Value) {
    WriteTarget("Addr", Value, FAddrStr, FAddrAssigned, FAddrResolved);
}

void TCustomAsyncSocket::WritePort(const std::string& Value) {
    WriteTarget("Port", Value, FPortStr, FPortAssigned, FPortResolved);
}

void TCustomAsyncSocket::WriteProto(const std::string& Value) {
    WriteTarget("Proto", Value, FProtoStr, FProtoAssigned, FProtoResolved);
}

void TCustomAsyncSocket::SetLocalAddr(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change LocalAddr if not closed");
        return;
    }
    std::string v = Trim(Value);
    if (v.empty()) v = "0.0.0.0";
    ULONG a = inet_addr_(v);
    if (a == WS_INADDR_NONE && v != "255.255.255.255") {
        RaiseError("SetLocalAddr(): Invalid IP address");
        return;
    }
    FLocalAddr = inet_ntoa_(a);
}

void TCustomAsyncSocket::SetLocalPort(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change LocalPort if not closed");
        return;
    }
    FLocalPortStr = Value;
    FLocalPortResolved = false;
}

TSocketSendFlags TCustomAsyncSocket::SendFlags() const {
    if (FSendFlags == 0) return wsSendNormal;
    if (FSendFlags == WS_MSG_OOB) return wsSendUrgent;
    const_cast<TCustomAsyncSocket*>(this)->RaiseError("Invalid internal SendFlags");
    return wsSendNormal;
}

void TCustomAsyncSocket::SetSendFlags(TSocketSendFlags Value) {
    switch (Value) {
        case wsSendNormal: FSendFlags = 0; break;
        case wsSendUrgent: FSendFlags = WS_MSG_OOB; break;
        default: RaiseError("Invalid SendFlags");
    }
}

void TCustomAsyncSocket::ChangeState(TSocketState NewState) {
    TSocketState old = FState;
    FState = NewState;
    FireChangeState(old, NewState);
}

void TCustomAsyncSocket::RaiseError(const std::string& Msg) {
    if (OnError) {
        FireError();
        return;
    }
    throw ESocketException(Msg);
}

void TCustomAsyncSocket::RaiseErrorFmt(const std::string& Fmt, std::initializer_list<FormatArg> Args) {
    RaiseError(Format(Fmt, Args));
}

void TCustomAsyncSocket::ReportSocketError(const std::string& FuncName) {
    int code = WSAGetLastError_();
    std::string msg = "Error " + IntToStr(code) + " in function " + FuncName + "\r\n" + SocketErrorText(code);
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        bool hadConnection = FHSocket != INVALID_SOCKET;
        if (FHSocket != INVALID_SOCKET) closesocket_(FHSocket);
        FHSocket = INVALID_SOCKET;
        ChangeState(wsClosed);
        // The connection is gone: its owner hears of it once, as with any other close.
        if (hadConnection && !FCloseInvoked && !Destroying()) {
            FCloseInvoked = true;
            FLastError = code;
            FireSessionClosed(static_cast<WORD>(code));
        }
    }
    FLastError = code;
    RaiseError(msg);
}

void TCustomAsyncSocket::SetLingerOption() {
    if (LingerOnOff == wsLingerNoSet) return;
    if (FHSocket == INVALID_SOCKET) {
        RaiseError("Cannot set linger option at this time");
        return;
    }
    LINGER l{static_cast<u_short>(LingerOnOff), static_cast<u_short>(LingerTimeout)};
    if (setsockopt_(FHSocket, WS_SOL_SOCKET, WS_SO_LINGER, &l, sizeof l) != 0) ReportSocketError("setsockopt(SO_LINGER)");
}

void TCustomAsyncSocket::FreeSendQueue() {
    FSendQueue.clear();
    FAllSent = true;
}


// Resolves what is not resolved yet, in the order protocol, port, local port (for a connect),
// address; each success is marked. Raises the resolution's exception.
void TCustomAsyncSocket::ResolveTarget(bool LocalPort) {
    if (!FProtoResolved) {
        FProto = SocketResolveProto(FProtoStr);
        FType = FProto == WS_IPPROTO_UDP ? WS_SOCK_DGRAM : WS_SOCK_STREAM;
        FProtoResolved = true;
    }
    if (!FPortResolved) {
        FPortNum = SocketResolvePort(FPortStr, FProtoStr);
        FSin.sin_port = htons_(FPortNum);
        FPortResolved = true;
    }
    if (LocalPort && !FLocalPortResolved) {
        FLocalPortNum = SocketResolvePort(FLocalPortStr, FProtoStr);
        FLocalPortResolved = true;
    }
    if (!FAddrResolved) {
        FSin.sin_addr.s_addr = SocketResolveHost(FAddrStr);
        FAddrResolved = true;
    }
}

void TCustomAsyncSocket::Connect() {
    if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
        RaiseError("Connect: Socket already in use");
        return;
    }
    if (!FPortAssigned) {
        RaiseError("Connect: No Port Specified");
        return;
    }
    if (!FAddrAssigned) {
        RaiseError("Connect: No IP Address Specified");
        return;
    }
    if (!FProtoAssigned) {
        RaiseError("Connect: No Protocol Specified");
        return;
    }
    try {
        ResolveTarget(true);
    } catch (Exception& E) {
        RaiseError("connect: " + E.Message);
        return;
    }
    FreeSendQueue();
    FHSocket = socket_(WS_AF_INET, FType, FProto);
    if (FHSocket == INVALID_SOCKET) {
        ReportSocketError("Connect (socket)");
        return;
    }
    FCloseInvoked = false;  // a new connection: its close is reported again
    ChangeState(wsOpened);
    if (FType == WS_SOCK_DGRAM) {
        BindLocal();
        if (FHSocket == INVALID_SOCKET) return;
        if (FSin.sin_addr.s_addr == WS_INADDR_NONE) {
            int on = 1;
            if (setsockopt_(FHSocket, WS_SOL_SOCKET, WS_SO_BROADCAST, &on, sizeof on) != 0) {
                ReportSocketError("setsockopt(SO_BROADCAST)");
                return;
            }
        }
    } else {
        if (FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") {
            BindLocal();
            if (FHSocket == INVALID_SOCKET) return;
        }
        SetLingerOption();
        int on = -1;
        if (setsockopt_(FHSocket, WS_SOL_SOCKET, WS_SO_KEEPALIVE, &on, sizeof on) != 0) {
            ReportSocketError("setsockopt(SO_KEEPALIVE)");
            return;
        }
        if (setsockopt_(FHSocket, WS_SOL_SOCKET, WS_SO_REUSEADDR, &on, sizeof on) != 0) {
            ReportSocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
    }
    FSelectMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect_(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectMask) != 0) {
        ReportSocketError("WSAAsyncSelect");
        return;
    }
    if (FType == WS_SOCK_DGRAM) {
        ChangeState(wsConnected);
        FireSessionConnected(0);
        return;
    }
    if (connect_(FHSocket, &FSin) != 0) {
        int code = WSAGetLastError_();
        if (code != WSAEWOULDBLOCK) {
            FLastError = code;
            ReportSocketError("Connect");
            return;
        }
    }
    ChangeState(wsConnecting);
}

void TCustomAsyncSocket::Listen() {
    if (!FPortAssigned) {
        WSASetLastError_(WSAEINVAL);
        ReportSocketError("listen: port not assigned");
        return;
    }
    if (!FProtoAssigned) {
        WSASetLastError_(WSAEINVAL);
        ReportSocketError("listen: protocol not assigned");
        return;
    }
    if (!FAddrAssigned) {
        WSASetLastError_(WSAEINVAL);
        ReportSocketError("listen: address not assigned");
        return;
    }
    try {
        ResolveTarget(false);
    } catch (Exception& E) {
        RaiseError("listen: " + E.Message);
        return;
    }
    FreeSendQueue();
    FHSocket = socket_(WS_AF_INET, FType, FProto);
    if (FHSocket == INVALID_SOCKET) {
        ReportSocketError("socket");
        return;
    }
    FCloseInvoked = false;
    if (bind_(FHSocket, &FSin) != 0) {
        // Close the unbound handle before reporting, so a raise leaves no handle behind.
        int code = WSAGetLastError_();
        closesocket_(FHSocket);
        FHSocket = INVALID_SOCKET;
        WSASetLastError_(code);
        ReportSocketError("Bind");
        return;
    }
    ChangeState(wsBound);
    if (FType == WS_SOCK_DGRAM) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        FireSessionConnected(0);
    } else {
        if (listen_(FHSocket, 5) != 0) {
            ReportSocketError("Listen");
            return;
        }
        ChangeState(wsListening);
    }
    FSelectMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (WSAAsyncSelect_(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectMask) != 0) ReportSocketError("WSAASyncSelect");
}

SOCKET TCustomAsyncSocket::Accept() {
    if (FState != wsListening) {
        WSASetLastError_(WSAEINVAL);
        ReportSocketError("not a listening socket");
        return INVALID_SOCKET;
    }
    int len = sizeof FSin;
    SOCKET s = accept_(FHSocket, &FSin, &len);
    if (s == INVALID_SOCKET) {
        ReportSocketError("Accept");
        return INVALID_SOCKET;
    }
    return s;
}

void TCustomAsyncSocket::Dup(SOCKET NewHSocket) {
    if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
        WSASetLastError_(WSAEINVAL);
        ReportSocketError("Dup");
        return;
    }
    if (FState != wsClosed && FHSocket != INVALID_SOCKET) {
        if (closesocket_(FHSocket) != 0) {
            ReportSocketError("Dup (closesocket)");
            return;
        }
        ChangeState(wsClosed);
    }
    FHSocket = NewHSocket;
    FCloseInvoked = false;
    SetLingerOption();
    FSelectMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect_(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectMask) != 0) {
        ReportSocketError("WSAAsyncSelect");
        return;
    }
    ChangeState(wsConnected);
}

void TCustomAsyncSocket::Close() {
    if (FHSocket != INVALID_SOCKET && FState == wsConnected && !FAllSent) {
        const DWORD limit = FlushTimeout > 0 ? static_cast<DWORD>(FlushTimeout) * 1000 : 0;
        if (!FlushQueue(limit) && FHSocket != INVALID_SOCKET && FState != wsClosed) {
            // The peer did not take what was queued in time: say so instead of dropping it quietly.
            FreeSendQueue();
            FLastError = WSAETIMEDOUT;
            DoClose(true, WSAETIMEDOUT);
            return;
        }
    }
    DoClose(true, 0);
}

void TCustomAsyncSocket::CloseDelayed() { PostMessageA(FWindowHandle, WM_CLOSE_DELAYED, 0, 0); }

void TCustomAsyncSocket::Release() { PostMessageA(FWindowHandle, WM_WSOCKET_RELEASE, 0, 0); }

void TCustomAsyncSocket::Abort() {
    CancelDnsLookup();
    FreeSendQueue();
    if (FState == wsConnected && FProto == WS_IPPROTO_TCP) {
        LingerOnOff = wsLingerOff;
        SetLingerOption();
    }
    DoClose(false, 0);
}

void TCustomAsyncSocket::Shutdown(int How) {
    if (FHSocket != INVALID_SOCKET) shutdown_(FHSocket, How);
}

int TCustomAsyncSocket::Pause() {
    FPaused = true;
    return WSAAsyncSelect_(FHSocket, FWindowHandle, 0, 0);
}

int TCustomAsyncSocket::Resume() {
    FPaused = false;
    return WSAAsyncSelect_(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectMask);
}

void TCustomAsyncSocket::DoClose(bool Shut, int Error) {
    if (FHSocket == INVALID_SOCKET) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            ResetDefaults();
        }
        return;
    }
    if (FState == wsClosed) return;
    if (Shut) Shutdown(SD_SEND);
    const SOCKET closing = FHSocket;
    for (;;) {
        if (closesocket_(closing) == 0) break;
        int code = WSAGetLastError_();
        if (code == WSAEWOULDBLOCK) {
            // Lingering: the close completes once the peer has the data or the linger time is up.
            // Meanwhile the thread keeps serving its messages, and a handler may close us itself.
            FLastError = code;
            PumpPending();
            if (FHSocket != closing) return;
            WaitForEvent(LingerPollMs);
            if (FHSocket != closing) return;
            continue;
        }
        if (code == WSANOTINITIALISED) break;
        FLastError = code;
        ReportSocketError("Disconnect (closesocket)");
        return;
    }
    FHSocket = INVALID_SOCKET;
    ChangeState(wsClosed);
    if (!Destroying() && !FCloseInvoked) {
        FCloseInvoked = true;
        FireSessionClosed(static_cast<WORD>(Error));
    }
    try {
        ResetDefaults();
    } catch (...) {
    }
}

bool TCustomAsyncSocket::TimeValueIsSet(const long* tv) { return tv && (tv[0] != 0 || tv[1] != 0); }
void TCustomAsyncSocket::TimeValueClear(long* tv) {
    if (tv) tv[0] = tv[1] = 0;
}
bool TCustomAsyncSocket::TimeValueCompare(const long* a, const long* b, bool Equal) {
    bool same = a[0] == b[0] && a[1] == b[1];
    return Equal ? same : !same;
}

[[gnu::hot]] void TCustomAsyncSocket::HandleSocketEvent(TMessage& Msg) {
    if (static_cast<SOCKET>(Msg.WParam) != FHSocket || FPaused) return;
    WORD ev = WSAGETSELECTEVENT(Msg.LParam);
    WORD err = WSAGETSELECTERROR(Msg.LParam);
    if (ev & FD_CONNECT) {
        ChangeState(wsConnected);
        FireSessionConnected(err);
        if (err != 0 && FState != wsClosed) Close();
    }
    if ((ev & FD_READ) && static_cast<SOCKET>(Msg.WParam) == FHSocket) ReceiveLoop(err);
    if ((ev & FD_WRITE) && static_cast<SOCKET>(Msg.WParam) == FHSocket) {
        TryToSend();
        if (FAllSent) FireDataSent(err);
    }
    if (ev & FD_ACCEPT) FireSessionAvailable(err);
    if ((ev & FD_CLOSE) && FState != wsConnecting) {
        ReceiveLoop(0);
        FreeSendQueue();  // the peer is gone: what is still queued is never sent
        if (!FCloseInvoked) {
            FCloseInvoked = true;
            FireSessionClosed(err);
        }
        if (FState != wsClosed) Close();
    }
}

[[gnu::hot]] bool TCustomAsyncSocket::FireDataAvailable(WORD Error) {
    if (!OnDataAvailable) return false;
    OnDataAvailable(this, Error);
    return true;
}
void TCustomAsyncSocket::FireSessionAvailable(WORD Error) {
    if (OnSessionAvailable) OnSessionAvailable(this, Error);
}
void TCustomAsyncSocket::FireSessionConnected(WORD Error) {
    if (OnSessionConnected) OnSessionConnected(this, Error);
}
void TCustomAsyncSocket::FireSessionClosed(WORD Error) {
    if (OnSessionClosed) OnSessionClosed(this, Error);
}
[[gnu::hot]] void TCustomAsyncSocket::FireDataSent(WORD Error) {
    if (OnDataSent) OnDataSent(this, Error);
}
void TCustomAsyncSocket::FireChangeState(TSocketState OldState, TSocketState NewState) {
    if (OnChangeState) OnChangeState(this, OldState, NewState);
}
void TCustomAsyncSocket::FireDnsLookupDone(WORD Error) {
    if (OnDnsLookupDone) OnDnsLookupDone(this, Error);
}
void TCustomAsyncSocket::FireError() {
    if (OnError) OnError(this);
}
