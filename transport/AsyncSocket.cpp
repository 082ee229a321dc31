#include "transport/AsyncSocket.h"

#include "platform/classlib/apppump.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/win/winbase.h"

// ---------------------------------------------------------------------------------------------
// The library binding: "wsock32.dll" loaded on first use, 30 entry points found by name.

namespace {

const char* const kWinsockName = "wsock32.dll";

enum ProcIndex {
    pWSAStartup, pWSACleanup, pWSASetLastError, pWSAGetLastError, pWSACancelAsyncRequest,
    pWSAAsyncGetHostByName, pWSAAsyncGetHostByAddr, pWSAAsyncSelect, pgetservbyname, pgetprotobyname,
    pgethostbyname, psocket, pbind, plisten, paccept, pconnect, pshutdown, pclosesocket, psend, psendto,
    precv, precvfrom, pioctlsocket, psetsockopt, pgetsockname, pgetpeername, pinet_addr, pinet_ntoa,
    phtons, pntohs, pCount
};

const char* const kProcNames[pCount] = {
    "WSAStartup", "WSACleanup", "WSASetLastError", "WSAGetLastError", "WSACancelAsyncRequest",
    "WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr", "WSAAsyncSelect", "getservbyname", "getprotobyname",
    "gethostbyname", "socket", "bind", "listen", "accept", "connect", "shutdown", "closesocket", "send",
    "sendto", "recv", "recvfrom", "ioctlsocket", "setsockopt", "getsockname", "getpeername", "inet_addr",
    "inet_ntoa", "htons", "ntohs"};

HMODULE gLib = nullptr;
WSADATA gWSAData{};
std::array<FARPROC, pCount> gProcs{};
int gSocketCount = 0;
bool gAppTerminated = false;

template <class F>
F Proc(ProcIndex i) {
    if (!gProcs[i]) gProcs[i] = GetWinsockProc(kProcNames[i]);
    return reinterpret_cast<F>(gProcs[i]);
}

int WSAStartup_(WORD v, WSADATA* d) { return Proc<LPFN_WSASTARTUP>(pWSAStartup)(v, d); }
int WSACleanup_() { return Proc<LPFN_WSACLEANUP>(pWSACleanup)(); }
void WSASetLastError_(int e) { Proc<LPFN_WSASETLASTERROR>(pWSASetLastError)(e); }
int WSAGetLastError_() { return Proc<LPFN_WSAGETLASTERROR>(pWSAGetLastError)(); }
int WSACancelAsyncRequest_(HANDLE h) { return Proc<LPFN_WSACANCELASYNCREQUEST>(pWSACancelAsyncRequest)(h); }
HANDLE WSAAsyncGetHostByName_(HWND w, UINT m, const char* n, char* b, int l) {
    return Proc<LPFN_WSAASYNCGETHOSTBYNAME>(pWSAAsyncGetHostByName)(w, m, n, b, l);
}
HANDLE WSAAsyncGetHostByAddr_(HWND w, UINT m, const char* a, int len, int t, char* b, int l) {
    return Proc<LPFN_WSAASYNCGETHOSTBYADDR>(pWSAAsyncGetHostByAddr)(w, m, a, len, t, b, l);
}
int WSAAsyncSelect_(SOCKET s, HWND w, UINT m, long e) { return Proc<LPFN_WSAASYNCSELECT>(pWSAAsyncSelect)(s, w, m, e); }
SERVENT* getservbyname_(const char* n, const char* p) { return Proc<LPFN_GETSERVBYNAME>(pgetservbyname)(n, p); }
PROTOENT* getprotobyname_(const char* n) { return Proc<LPFN_GETPROTOBYNAME>(pgetprotobyname)(n); }
HOSTENT* gethostbyname_(const char* n) { return Proc<LPFN_GETHOSTBYNAME>(pgethostbyname)(n); }
SOCKET socket_(int a, int t, int p) { return Proc<LPFN_SOCKET>(psocket)(a, t, p); }
int bind_(SOCKET s, const SOCKADDR_IN* a) {
    return Proc<LPFN_BIND>(pbind)(s, reinterpret_cast<const SOCKADDR*>(a), sizeof(SOCKADDR_IN));
}
int listen_(SOCKET s, int b) { return Proc<LPFN_LISTEN>(plisten)(s, b); }
SOCKET accept_(SOCKET s, SOCKADDR_IN* a, int* l) { return Proc<LPFN_ACCEPT>(paccept)(s, reinterpret_cast<SOCKADDR*>(a), l); }
int connect_(SOCKET s, const SOCKADDR_IN* a) {
    return Proc<LPFN_CONNECT>(pconnect)(s, reinterpret_cast<const SOCKADDR*>(a), sizeof(SOCKADDR_IN));
}
int shutdown_(SOCKET s, int h) { return Proc<LPFN_SHUTDOWN>(pshutdown)(s, h); }
int closesocket_(SOCKET s) { return Proc<LPFN_CLOSESOCKET>(pclosesocket)(s); }
int send_(SOCKET s, const void* b, int l, int f) { return Proc<LPFN_SEND>(psend)(s, static_cast<const char*>(b), l, f); }
int sendto_(SOCKET s, const void* b, int l, int f, const SOCKADDR_IN* to, int tl) {
    return Proc<LPFN_SENDTO>(psendto)(s, static_cast<const char*>(b), l, f, reinterpret_cast<const SOCKADDR*>(to), tl);
}
int recv_(SOCKET s, void* b, int l, int f) { return Proc<LPFN_RECV>(precv)(s, static_cast<char*>(b), l, f); }
int recvfrom_(SOCKET s, void* b, int l, int f, SOCKADDR_IN* from, int* fl) {
    return Proc<LPFN_RECVFROM>(precvfrom)(s, static_cast<char*>(b), l, f, reinterpret_cast<SOCKADDR*>(from), fl);
}
int ioctlsocket_(SOCKET s, long c, ULONG* a) { return Proc<LPFN_IOCTLSOCKET>(pioctlsocket)(s, c, a); }
int setsockopt_(SOCKET s, int lv, int o, const void* v, int l) {
    return Proc<LPFN_SETSOCKOPT>(psetsockopt)(s, lv, o, static_cast<const char*>(v), l);
}
int getsockname_(SOCKET s, SOCKADDR_IN* a, int* l) {
    return Proc<LPFN_GETSOCKNAME>(pgetsockname)(s, reinterpret_cast<SOCKADDR*>(a), l);
}
int getpeername_(SOCKET s, SOCKADDR_IN* a, int* l) {
    return Proc<LPFN_GETPEERNAME>(pgetpeername)(s, reinterpret_cast<SOCKADDR*>(a), l);
}
ULONG inet_addr_(const std::string& s) { return Proc<LPFN_INET_ADDR>(pinet_addr)(s.c_str()); }
std::string inet_ntoa_(ULONG a) {
    WS_IN_ADDR in{a};
    const char* p = Proc<LPFN_INET_NTOA>(pinet_ntoa)(in);
    return p ? p : "";
}
u_short htons_(u_short v) { return Proc<LPFN_HTONS>(phtons)(v); }
u_short ntohs_(u_short v) { return Proc<LPFN_NTOHS>(pntohs)(v); }

// The socket unit frees the library at program end.
struct WinsockUnit {
    ~WinsockUnit() { UnloadWinsock(); }
} gWinsockUnit;

const char* const kWindowClass = "XSocketWindowClass";

}  // namespace

FARPROC GetWinsockProc(const std::string& Name) {
    if (!gLib) {
        winsock::EnsureRegistered();
        gLib = LoadLibraryA(kWinsockName);
        if (!gLib)
            throw ESocketException("Unable to load " + std::string(kWinsockName) + " Error #" +
                                   IntToStr(GetLastError()));
        int rc = WSAStartup_(0x0101, &gWSAData);
        if (rc != 0) throw ESocketException(Format("%s: WSAStartup error #%d", {std::string(kWinsockName), rc}));
    }
    if (Name.empty()) return nullptr;
    FARPROC p = GetProcAddress(gLib, Name.c_str());
    if (!p)
        throw ESocketException("Procedure " + Name + " not found in " + kWinsockName + " Error #" +
                               IntToStr(GetLastError()));
    return p;
}

void UnloadWinsock() {
    if (gLib) {
        try {
            WSACleanup_();
        } catch (Exception&) {
            // The entry point could not be found: nothing more to release than the library.
        }
        FreeLibrary(gLib);
        gLib = nullptr;
        gProcs.fill(nullptr);
    }
    gSocketCount = 0;
}

bool WinsockLoaded() { return gLib != nullptr; }
int SocketObjectCount() { return gSocketCount; }

void ProcessApplicationMessages() {
    if (ProcessApplicationQueue()) return;  // a WM_QUIT there ends the application loop, as it should
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            gAppTerminated = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
bool ApplicationTerminated() { return gAppTerminated || ApplicationQueueTerminated(); }
void ClearApplicationTerminated() { gAppTerminated = false; }

// ---------------------------------------------------------------------------------------------
// Texts and resolution.

std::string SocketErrorText(int ErrCode) {
    switch (ErrCode) {
        case 0: return "No Error";
        case 10004: return "Interrupted system call";
        case 10009: return "Bad file number";
        case 10013: return "Permission denied";
        case 10014: return "Bad address";
        case 10022: return "Invalid argument";
        case 10024: return "Too many open files";
        case 10035: return "Operation would block";
        case 10036: return "Operation now in progress";
        case 10037: return "Operation already in progress";
        case 10038: return "Socket operation on non-socket";
        case 10039: return "Destination address required";
        case 10040: return "Message too long";
        case 10041: return "Protocol wrong type for socket";
        case 10042: return "Protocol not available";
        case 10043: return "Protocol not supported";
        case 10044: return "Socket type not supported";
        case 10045: return "Operation not supported on socket";
        case 10046: return "Protocol family not supported";
        case 10047: return "Address family not supported by protocol family";
        case 10048: return "Address already in use";
        case 10049: return "Address not available";
        case 10050: return "Network is down";
        case 10051: return "Network is unreachable";
        case 10052: return "Network dropped connection on reset";
        case 10053: return "Connection aborted";
        case 10054: return "Connection reset by peer";
        case 10055: return "No buffer space available";
        case 10056: return "Socket is already connected";
        case 10057: return "Socket is not connected";
        case 10058: return "Can't send after socket shutdown";
        case 10059: return "Too many references: can't splice";
        case 10060: return "Connection timed out";
        case 10061: return "Connection refused";
        case 10062: return "Too many levels of symbolic links";
        case 10063: return "File name too long";
        case 10064: return "Host is down";
        case 10065: return "No route to host";
        case 10066: return "Directory not empty";
        case 10067: return "Too many processes";
        case 10068: return "Too many users";
        case 10069: return "Disc quota exceeded";
        case 10070: return "Stale NFS file handle";
        case 10071: return "Too many levels of remote in path";
        case 10091: return "Network sub-system is unusable";
        case 10092: return "WinSock DLL cannot support this application";
        case 10093: return "WinSock not initialized";
        case 11001: return "Host not found";
        case 11002: return "Non-authoritative host not found";
        case 11003: return "Non-recoverable error";
        case 11004: return "No Data";
        default: return "Not a WinSock error";
    }
}

int LeadingNumber(const std::string& S) {
    size_t i = 0;
    while (i < S.size() && S[i] == ' ') ++i;
    long long v = 0;
    while (i < S.size() && S[i] >= '0' && S[i] <= '9') {
        v = v * 10 + (S[i] - '0');
        if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
        ++i;
    }
    return static_cast<int>(v);
}

bool IsDottedAddress(const std::string& S) {
    size_t i = 0;
    while (i < S.size() && S[i] == ' ') ++i;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (i >= S.size() || S[i] != '.') return false;
            ++i;
        }
        int digits = 0, value = 0;
        while (i < S.size() && S[i] >= '0' && S[i] <= '9') {
            value = value * 10 + (S[i] - '0');
            if (value > 255) return false;
            ++digits;
            ++i;
        }
        if (digits == 0) return false;
    }
    while (i < S.size() && S[i] == ' ') ++i;
    return i == S.size();
}

ULONG SocketResolveHost(const std::string& InAddr) {
    if (InAddr.empty() || InAddr.size() > 256)
        throw ESocketException("SocketResolveHost: '" + InAddr + "' Invalid Hostname.");
    std::string t = Trim(InAddr);
    if (IsDottedAddress(InAddr)) {
        ULONG a = inet_addr_(t);
        if (a == WS_INADDR_NONE && t != "255.255.255.255")
            throw ESocketException("SocketResolveHost: '" + InAddr + "' Invalid IP address.");
        return a;
    }
    HOSTENT* h = gethostbyname_(t.c_str());
    if (!h || !h->h_addr_list || !h->h_addr_list[0])
        throw ESocketException(Format("SocketResolveHost: Cannot convert host address '%s', Error #%d",
                                      {InAddr, WSAGetLastError_()}));
    ULONG a;
    std::memcpy(&a, h->h_addr_list[0], 4);
    return a;
}

u_short SocketResolvePort(const std::string& Port, const std::string& Proto) {
    if (Port.empty() || Port.size() >= 32) throw ESocketException("SocketResolvePort: Invalid Port.");
    if (Port[0] >= '0' && Port[0] <= '9') return static_cast<u_short>(LeadingNumber(Port));
    std::string pr = Trim(Proto);
    SERVENT* s = getservbyname_(Trim(Port).c_str(), pr.empty() ? nullptr : pr.c_str());
    if (!s)
        throw ESocketException(
            Format("SocketResolvePort: Cannot convert port '%s', Error #%d", {Port, WSAGetLastError_()}));
    return ntohs_(static_cast<u_short>(s->s_port));
}

int SocketResolveProto(const std::string& Proto) {
    if (Proto.empty() || Proto.size() >= 32) throw ESocketException("SocketResolveProto: Invalid Protocol.");
    std::string t = Trim(Proto);
    if (!t.empty() && t[0] >= '0' && t[0] <= '9') return LeadingNumber(t);
    PROTOENT* p = getprotobyname_(t.c_str());
    if (!p)
        throw ESocketException(
            Format("SocketResolveProto: Cannot convert protocol '%s', Error #%d", {t, WSAGetLastError_()}));
    return p->p_proto;
}

// ---------------------------------------------------------------------------------------------
// The socket window.

LRESULT SocketWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* obj = reinterpret_cast<TObject*>(GetWindowLongA(hwnd, 0));
    auto* sock = dynamic_cast<TCustomAsyncSocket*>(obj);
    if (!sock) return DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    try {
        sock->HandleMessage(m);
    } catch (Exception& E) {
        // Only reached when the object is still alive: WM_WSOCKET_RELEASE never throws after delete.
        sock->HandleBgException(E);
    }
    return m.Result;
}

namespace {

HWND CreateSocketWindow(TObject* Owner) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &SocketWindowProc;
    wc.cbWndExtra = 4;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    WNDCLASSA found{};
    if (!GetClassInfoA(wc.hInstance, kWindowClass, &found)) {
        if (!RegisterClassA(&wc)) return nullptr;
    }
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             wc.hInstance, nullptr);
    if (h && Owner) SetWindowLongA(h, 0, reinterpret_cast<LONG_PTR>(Owner));
    return h;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomAsyncSocket

TCustomAsyncSocket::TCustomAsyncSocket(TComponent* AOwner) : TComponent(AOwner) {
    FWindowHandle = CreateSocketWindow(this);
    FDnsResultList = std::make_unique<TStringList>();
    TCustomAsyncSocket::ResetDefaults();
    ++gSocketCount;
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
    if (FCounted) {
        --gSocketCount;
        if (gSocketCount < 1) UnloadWinsock();
    }
    FreeSendQueue();
    if (FWindowHandle) {
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

void TCustomAsyncSocket::SetAddr(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change Addr if not closed");
        return;
    }
    std::string v = Trim(Value);
    if (v == FAddrStr && FAddrAssigned) return;
    FAddrStr = v;
    FAddrAssigned = !v.empty();
    FAddrResolved = false;
}

void TCustomAsyncSocket::WritePort(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change Port if not closed");
        return;
    }
    std::string v = Trim(Value);
    if (v == FPortStr && FPortAssigned) return;
    FPortStr = v;
    FPortAssigned = !v.empty();
    FPortResolved = false;
}

void TCustomAsyncSocket::WriteProto(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change Proto if not closed");
        return;
    }
    std::string v = Trim(Value);
    if (v == FProtoStr && FProtoAssigned) return;
    FProtoStr = v;
    FProtoAssigned = !v.empty();
    FProtoResolved = false;
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

void TCustomAsyncSocket::FreeSendQueue() { FSendQueue.clear(); }

void TCustomAsyncSocket::BindLocal() {
    SOCKADDR_IN la{};
    la.sin_family = WS_AF_INET;
    la.sin_port = htons_(FLocalPortNum);
    la.sin_addr.s_addr = SocketResolveHost(FLocalAddr);
    if (bind_(FHSocket, &la) != 0) {
        int code = WSAGetLastError_();
        // The socket that could not be bound is of no further use: drop it before reporting.
        closesocket_(FHSocket);
        FHSocket = INVALID_SOCKET;
        if (FState != wsClosed) ChangeState(wsClosed);
        FLastError = code;
        RaiseErrorFmt("winsock.bind failed, error #%d", {code});
        return;
    }
    int len = sizeof la;
    if (getsockname_(FHSocket, &la, &len) != 0) {
        RaiseErrorFmt("winsock.getsockname failed, error #%d", {WSAGetLastError_()});
        return;
    }
    FLocalPortNum = ntohs_(la.sin_port);
    FLocalPortStr = IntToStr(FLocalPortNum);
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
        if (!FLocalPortResolved) {
            FLocalPortNum = SocketResolvePort(FLocalPortStr, FProtoStr);
            FLocalPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = SocketResolveHost(FAddrStr);
            FAddrResolved = true;
        }
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
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = SocketResolveHost(FAddrStr);
            FAddrResolved = true;
        }
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
    SetLingerOption();
    FSelectMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect_(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectMask) != 0) {
        ReportSocketError("WSAAsyncSelect");
        return;
    }
    ChangeState(wsConnected);
}

void TCustomAsyncSocket::Close() { DoClose(true, 0); }

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
    for (;;) {
        if (closesocket_(FHSocket) == 0) break;
        int code = WSAGetLastError_();
        if (code == WSAEWOULDBLOCK) {
            FLastError = code;
            PumpPending();
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

int TCustomAsyncSocket::GetPeerSockAddr(SOCKADDR_IN& Name, int& NameLen) {
    if (FState != wsConnected) return -1;
    return getpeername_(FHSocket, &Name, &NameLen);
}

int TCustomAsyncSocket::GetLocalSockAddr(SOCKADDR_IN& Name, int& NameLen) {
    return getsockname_(FHSocket, &Name, &NameLen);
}

std::string TCustomAsyncSocket::ReadPeerAddr() {
    if (FState != wsConnected) return "error";
    SOCKADDR_IN a{};
    int len = sizeof a;
    if (getpeername_(FHSocket, &a, &len) != 0) {
        ReportSocketError("GetPeerName");
        return "error";
    }
    return inet_ntoa_(a.sin_addr.s_addr);
}

std::string TCustomAsyncSocket::GetPeerPort() {
    if (FState != wsConnected) return "error";
    SOCKADDR_IN a{};
    int len = sizeof a;
    if (getpeername_(FHSocket, &a, &len) != 0) {
        ReportSocketError("GetPeerPort");
        return "error";
    }
    return IntToStr(ntohs_(a.sin_port));
}

std::string TCustomAsyncSocket::GetLocalPortText() {
    if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
    SOCKADDR_IN a{};
    int len = sizeof a;
    if (getsockname_(FHSocket, &a, &len) != 0) return "error";
    return IntToStr(ntohs_(a.sin_port));
}

bool TCustomAsyncSocket::TimeValueIsSet(const long* tv) { return tv && (tv[0] != 0 || tv[1] != 0); }
void TCustomAsyncSocket::TimeValueClear(long* tv) {
    if (tv) tv[0] = tv[1] = 0;
}
bool TCustomAsyncSocket::TimeValueCompare(const long* a, const long* b, bool Equal) {
    bool same = a[0] == b[0] && a[1] == b[1];
    return Equal ? same : !same;
}

// ---- lookups ----

void TCustomAsyncSocket::DnsLookup(const std::string& HostName) {
    if (HostName.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        FireDnsLookupDone(WSAEINVAL);
        return;
    }
    if (FLookupHandle) WSACancelAsyncRequest_(FLookupHandle);
    FLookupHandle = nullptr;
    FDnsResult.clear();
    FDnsResultList->Clear();
    ULONG a = inet_addr_(HostName);
    if (a != WS_INADDR_NONE || Trim(HostName) == "255.255.255.255") {
        FDnsResult = inet_ntoa_(a);
        FireDnsLookupDone(0);
        return;
    }
    FLookupHandle = WSAAsyncGetHostByName_(FWindowHandle, WM_ASYNCGETHOSTBYNAME, HostName.c_str(), FDnsBuffer,
                                           sizeof FDnsBuffer);
    if (!FLookupHandle) RaiseErrorFmt("%s: can't start DNS lookup, error #%d", {HostName, WSAGetLastError_()});
}

void TCustomAsyncSocket::ReverseDnsLookup(const std::string& HostAddr) {
    if (HostAddr.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        FireDnsLookupDone(WSAEINVAL);
        return;
    }
    if (FLookupHandle) WSACancelAsyncRequest_(FLookupHandle);
    FLookupHandle = nullptr;
    FDnsResult.clear();
    FDnsResultList->Clear();
    ULONG a = inet_addr_(HostAddr);
    FLookupHandle = WSAAsyncGetHostByAddr_(FWindowHandle, WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char*>(&a), 4,
                                           WS_AF_INET, FDnsBuffer, sizeof FDnsBuffer);
    if (!FLookupHandle) RaiseErrorFmt("%s: can't start DNS lookup, error #%d", {HostAddr, WSAGetLastError_()});
}

void TCustomAsyncSocket::CancelDnsLookup() {
    if (!FLookupHandle) return;
    int rc = WSACancelAsyncRequest_(FLookupHandle);
    FLookupHandle = nullptr;
    if (rc != 0) {
        ReportSocketError("WSACancelAsyncRequest");
        return;
    }
    if (!Destroying()) FireDnsLookupDone(WSAEINTR);
}

void TCustomAsyncSocket::HandleLookupReply(TMessage& Msg, bool ByName) {
    if (!FLookupHandle || reinterpret_cast<HANDLE>(Msg.WParam) != FLookupHandle) return;
    FLookupHandle = nullptr;
    WORD err = WSAGETASYNCERROR(Msg.LParam);
    if (err == 0) {
        HOSTENT h;
        std::memcpy(&h, FDnsBuffer, sizeof h);
        FDnsResultList->Clear();
        if (ByName) {
            for (char** p = h.h_addr_list; p && *p; ++p) {
                ULONG a;
                std::memcpy(&a, *p, 4);
                FDnsResultList->Add(inet_ntoa_(a));
            }
            FDnsResult = FDnsResultList->Count() > 0 ? FDnsResultList->Strings(0) : std::string();
        } else {
            FDnsResult = h.h_name ? h.h_name : "";
            FDnsResultList->Add(FDnsResult);
        }
    }
    FireDnsLookupDone(err);
}

// ---- messages ----

void TCustomAsyncSocket::HandleMessage(TMessage& Msg) {
    switch (Msg.Msg) {
        case WM_ASYNCSELECT: HandleSocketEvent(Msg); break;
        case WM_ASYNCGETHOSTBYNAME: HandleLookupReply(Msg, true); break;
        case WM_ASYNCGETHOSTBYADDR: HandleLookupReply(Msg, false); break;
        case WM_CLOSE_DELAYED: Close(); break;
        case WM_WSOCKET_RELEASE: delete this; return;
        case WM_TRIGGER_EXCEPTION: throw ESocketException("Test exception in AsyncSocket");
        default: Msg.Result = DefWindowProcA(FWindowHandle, Msg.Msg, Msg.WParam, Msg.LParam);
    }
}

void TCustomAsyncSocket::HandleSocketEvent(TMessage& Msg) {
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
        if (!FCloseInvoked) {
            FCloseInvoked = true;
            FireSessionClosed(err);
        }
        if (FState != wsClosed) Close();
    }
}

void TCustomAsyncSocket::HandleBgException(Exception& E) {
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, E, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

bool TCustomAsyncSocket::PumpOne() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TCustomAsyncSocket::PumpMessages() {
    while (PumpOne()) {
    }
}

void TCustomAsyncSocket::PumpPending() {
    if (MultiThreaded) PumpMessages();
    else ProcessApplicationMessages();
}

// ---- events ----

bool TCustomAsyncSocket::FireDataAvailable(WORD Error) {
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
void TCustomAsyncSocket::FireDataSent(WORD Error) {
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

// ---- sending ----

void TCustomAsyncSocket::QueueData(const void* Data, int Len) {
    if (Len <= 0) return;
    const char* p = static_cast<const char*>(Data);
    if (FSendQueue.empty()) FSendQueue.push_back(std::make_unique<TBuffer>(FChunkSize));
    int n = FSendQueue.back()->Write(p, Len);
    while (n < Len) {
        FSendQueue.push_back(std::make_unique<TBuffer>(FChunkSize));
        n += FSendQueue.back()->Write(p + n, Len - n);
    }
}

int TCustomAsyncSocket::Send(const void* Data, int Len) {
    if (FState != wsConnected) {
        WSASetLastError_(WSAENOTCONN);
        ReportSocketError("Send");
        return -1;
    }
    FAllSent = false;
    int result = 0;
    if (Len > 0) {
        QueueData(Data, Len);
        result = Len;
    }
    TryToSend();
    if (FAllSent)
        PostMessageA(FWindowHandle, WM_ASYNCSELECT, FHSocket, WSAMAKESELECTREPLY(static_cast<WORD>(FD_WRITE), 0));
    return result;
}

int TCustomAsyncSocket::SendStr(const std::string& S) { return Send(S.data(), static_cast<int>(S.size())); }

int TCustomAsyncSocket::SendTo(const SOCKADDR_IN& Dest, int DestLen, const void* Data, int Len) {
    SOCKADDR_IN copy = Dest;
    int r = sendto_(FHSocket, Data, Len, FSendFlags, &copy, DestLen);
    if (r > 0 && OnSendData) OnSendData(this, r);
    return r;
}

int TCustomAsyncSocket::SendRaw(const void* Data, int Len) {
    int r = FType == WS_SOCK_DGRAM ? sendto_(FHSocket, Data, Len, FSendFlags, &FSin, sizeof FSin)
                                   : send_(FHSocket, Data, Len, FSendFlags);
    if (r > 0 && OnSendData) OnSendData(this, r);
    return r;
}

void TCustomAsyncSocket::TryToSend() {
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
        int n = SendRaw(p, count);
        if (n == 0) return;
        if (n < 0) {
            int code = WSAGetLastError_();
            if (code == WSAEWOULDBLOCK) return;
            if (code == WSAEINVAL || code == WSAENOTSOCK || code == WSAECONNABORTED || code == WSAECONNRESET ||
                code == WSAENOTCONN) {
                FCloseInvoked = true;
                Close();
                FireSessionClosed(static_cast<WORD>(code));
                return;
            }
            ReportSocketError("TryToSend failed");
            return;
        }
        b->Remove(n);
        if (n < count) return;
    }
}

void TCustomAsyncSocket::Flush() {
    while (FHSocket != INVALID_SOCKET && !FAllSent) {
        TryToSend();
        PumpPending();
    }
}

// ---- receiving ----

int TCustomAsyncSocket::RecvRaw(void* Buffer, int Size, int Flags) { return recv_(FHSocket, Buffer, Size, Flags); }

int TCustomAsyncSocket::RecvRawFrom(void* Buffer, int Size, int Flags, SOCKADDR_IN& From, int& FromLen) {
    return recvfrom_(FHSocket, Buffer, Size, Flags, &From, &FromLen);
}

int TCustomAsyncSocket::Receive(void* Buffer, int Size) {
    int n = RecvRaw(Buffer, Size, 0);
    if (n < 0) FLastError = WSAGetLastError_();
    else FReadCount += n;
    return n;
}

std::string TCustomAsyncSocket::ReceiveStr() {
    int n = ReadRcvdCount();
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
    else FReadCount += n;
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

void TCustomAsyncSocket::ReceiveLoop(WORD Error) {
    for (;;) {
        FLastError = 0;
        try {
            const int readBefore = FReadCount;
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
                if (n == 0) return;  // the end of the stream; FD_CLOSE follows
            }
            if (ComponentOptions & wsoNoReceiveLoop) return;
            if (FLastError != 0) return;
            if (FHSocket == INVALID_SOCKET) return;
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
        char c;
        int r = RecvRaw(&c, 0, 0);
        if (r == 0) break;  // the peer ended the stream
        if (r < 0) {
            FLastError = WSAGetLastError_();
            if (FLastError != WSAEWOULDBLOCK) break;
        }
        PumpPending();
    }
}

// ---------------------------------------------------------------------------------------------
// TCustomSocksSocket

TCustomSocksSocket::TCustomSocksSocket(TComponent* AOwner) : TCustomAsyncSocket(AOwner) { ResetSocks(); }

void TCustomSocksSocket::ResetSocks() {
    FSocksServer.clear();
    FSocksPort.clear();
    FSocksLevel = "5";
    FSocksState = 0;
    FRcvCnt = 0;
    FLeftCount = 0;
    FLeftPos = 0;
}

void TCustomSocksSocket::ResetDefaults() {
    TCustomAsyncSocket::ResetDefaults();
    ResetSocks();
}

void TCustomSocksSocket::WriteSocksServer(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks server if not closed");
        return;
    }
    FSocksServer = Trim(Value);
}

void TCustomSocksSocket::WriteSocksPort(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks port if not closed");
        return;
    }
    FSocksPort = Trim(Value);
}

void TCustomSocksSocket::SetSocksLevel(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks level if not closed");
        return;
    }
    if (Value != "4" && Value != "5" && Value != "4A" && Value != "4a") {
        RaiseError("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    FSocksLevel = UpperCase(Value);
}

void TCustomSocksSocket::Connect() {
    if (FSocksServer.empty()) {
        TCustomAsyncSocket::Connect();
        return;
    }
    if (LowerCase(Proto()) != "tcp") {
        RaiseError("tcp is the only protocol supported thru socks server");
        return;
    }
    try {
        if (!FPortResolved) {
            FSin.sin_port = htons_(SocketResolvePort(FSocksPort, Proto()));
            FPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = SocketResolveHost(FSocksServer);
            FAddrResolved = true;
        }
        FTargetPort = SocketResolvePort(Port(), Proto());
    } catch (Exception& E) {
        RaiseError("connect: " + E.Message);
        return;
    }
    FSocksState = 1;
    FRcvCnt = 0;
    TCustomAsyncSocket::Connect();
}

void TCustomSocksSocket::Listen() {
    if (!FSocksServer.empty()) {
        RaiseError("Listening is not supported thru socks server");
        return;
    }
    TCustomAsyncSocket::Listen();
}

void TCustomSocksSocket::FireSocksConnected(WORD Error) {
    if (OnSocksConnected) OnSocksConnected(this, Error);
}

void TCustomSocksSocket::FireSocksError(int Error, const std::string& Msg) {
    if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksSocket::FireSocksAuthState(TSocksAuthState AuthState) {
    if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}

void TCustomSocksSocket::FireSessionConnected(WORD Error) {
    if (FSocksState != 1) {
        TCustomAsyncSocket::FireSessionConnected(Error);
        return;
    }
    FireSocksConnected(Error);
    if (Error != 0) {
        TCustomAsyncSocket::FireSessionConnected(Error);
        return;
    }
    if (!FSocksLevel.empty() && FSocksLevel[0] == '4') {
        SendSocksRequest();
    } else {
        FSocksMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
        const unsigned char offer[3] = {5, 1, static_cast<unsigned char>(FSocksMethod)};
        try {
            Send(offer, 3);
        } catch (...) {
        }
    }
}

void TCustomSocksSocket::FireSessionClosed(WORD Error) {
    if (FSocksState == 2) FireSocksAuthState(socksAuthClosed);
    TCustomAsyncSocket::FireSessionClosed(Error);
}

int TCustomSocksSocket::ReadRcvdCount() {
    if (FLeftCount > 0) return FLeftCount;
    return TCustomAsyncSocket::ReadRcvdCount();
}

int TCustomSocksSocket::RecvRaw(void* Buffer, int Size, int Flags) {
    if (FLeftCount > 0) {
        int n = std::min(std::max(Size, 0), FLeftCount);
        std::memcpy(Buffer, FRcvBuf + FLeftPos, static_cast<size_t>(n));
        FLeftPos += n;
        FLeftCount -= n;
        return n;
    }
    return TCustomAsyncSocket::RecvRaw(Buffer, Size, Flags);
}

void TCustomSocksSocket::SocksFail(int Code, const std::string& Msg) {
    FireSocksError(Code, Msg);
    TCustomAsyncSocket::FireSessionConnected(static_cast<WORD>(Code));
    DoClose(true, Code);
}

void TCustomSocksSocket::SendAuthRequest() {
    FSocksState = 2;
    FireSocksAuthState(socksAuthStarted);
    if (SocksUsercode.size() > 255 || SocksPassword.size() > 255) {
        SocksFail(20014, "socks request too long");
        return;
    }
    std::string req;
    req += '\x01';
    req += static_cast<char>(SocksUsercode.size());
    req += SocksUsercode;
    req += static_cast<char>(SocksPassword.size());
    req += SocksPassword;
    if (req.size() > static_cast<size_t>(SocksBufferSize)) {
        SocksFail(20014, "socks request too long");
        return;
    }
    try {
        SendStr(req);
    } catch (...) {
    }
}

void TCustomSocksSocket::SendSocksRequest() {
    FSocksState = 3;
    std::string req;
    const std::string addr = Addr();
    if (!FSocksLevel.empty() && FSocksLevel[0] == '4') {
        ULONG ip = 0;
        if (FSocksLevel == "4A") {
            const unsigned char b[4] = {0, 0, 0, 1};
            std::memcpy(&ip, b, 4);
        } else {
            try {
                ip = SocketResolveHost(addr);
            } catch (Exception& E) {
                FireSocksError(20017, std::string(E.ClassName()) + " " + E.Message);
                DoClose(true, 20017);
                return;
            }
        }
        req += '\x04';
        req += '\x01';
        req += static_cast<char>(FTargetPort >> 8);
        req += static_cast<char>(FTargetPort & 0xFF);
        req.append(reinterpret_cast<const char*>(&ip), 4);
        req += SocksUsercode;
        req += '\0';
        if (FSocksLevel == "4A") {
            req += addr;
            req += '\0';
        }
    } else {
        if (addr.size() > 255) {
            SocksFail(20014, "socks request too long");
            return;
        }
        req += '\x05';
        req += '\x01';
        req += '\0';
        req += '\x03';
        req += static_cast<char>(addr.size());
        req += addr;
        req += static_cast<char>(FTargetPort >> 8);
        req += static_cast<char>(FTargetPort & 0xFF);
    }
    if (req.size() > static_cast<size_t>(SocksBufferSize)) {
        // The request would not fit its block: refuse it rather than send it cut short.
        SocksFail(20014, "socks request too long");
        return;
    }
    try {
        SendStr(req);
    } catch (...) {
    }
}

// Reads into the reply buffer, at most Max bytes in all; returns the count read (< 0 on error).
int TCustomSocksSocket::ReceiveReply(int Max) {
    int room = std::min(Max, SocksBufferSize) - FRcvCnt;
    if (room <= 0) return 0;
    int n = Receive(FRcvBuf + FRcvCnt, room);
    if (n > 0) FRcvCnt += n;
    return n;
}

bool TCustomSocksSocket::FireDataAvailable(WORD Error) {
    if (FSocksState == 0) return TCustomAsyncSocket::FireDataAvailable(Error);
    if (Error != 0) {
        SocksFail(Error, "data receive error");
        return false;
    }
    if (FSocksState == 1) {
        if (ReceiveReply(SocksBufferSize - 1) < 0) return true;
        if (!FSocksLevel.empty() && FSocksLevel[0] == '4') {
            SocksFail(20001, "TAsyncSocket logic error");
            return false;
        }
        if (FRcvCnt < 2) return true;
        FRcvCnt = 0;
        if (FRcvBuf[0] != 5) {
            SocksFail(20002, "socks version error");
            return false;
        }
        if (FRcvBuf[1] == 0) {
            if (FSocksMethod == 2) FireSocksAuthState(socksAuthSkipped);
            SendSocksRequest();
        } else if (FRcvBuf[1] == 2) {
            SendAuthRequest();
        } else {
            SocksFail(20003, "authentification method not acceptable");
            return false;
        }
        return true;
    }
    if (FSocksState == 2) {
        if (ReceiveReply(SocksBufferSize - 1) < 0) return true;
        if (FRcvCnt >= 1 && FRcvBuf[0] != 1) {
            SocksFail(20002, "socks version error");
            return false;
        }
        if (FRcvCnt < 2) return true;
        if (FRcvCnt > 2) {
            SocksFail(20001, "too much data availaible");
            return false;
        }
        if (FRcvBuf[1] != 0) {
            SocksFail(20015, "socks authentication failed");
            return false;
        }
        FRcvCnt = 0;
        FireSocksAuthState(socksAuthSucceeded);
        SendSocksRequest();
        return true;
    }
    if (FSocksState == 3) {
        bool v4 = !FSocksLevel.empty() && FSocksLevel[0] == '4';
        if (v4) {
            if (ReceiveReply(8) < 0) return true;
            if (FRcvCnt < 8) return true;
            FRcvCnt = 0;
            if (FRcvBuf[0] != 0) {
                SocksFail(20002, "socks version error");
                return false;
            }
            int code = FRcvBuf[1];
            if (code == 91) {
                SocksFail(20016, "request rejected or failed");
                return false;
            }
            if (code == 92) {
                SocksFail(20008, "connection refused");
                return false;
            }
            if (code == 93) {
                SocksFail(20015, "authentification failed");
                return false;
            }
            if (code != 90) {
                SocksFail(20012, "unassigned error #" + IntToStr(code));
                return false;
            }
            FSocksState = 0;
            TCustomAsyncSocket::FireSessionConnected(0);
            return FireDataAvailable(0);
        }
        if (ReceiveReply(SocksBufferSize) < 0) return true;
        if (FRcvCnt >= 1 && FRcvBuf[0] != 5) {
            SocksFail(20002, "socks version error");
            return false;
        }
        if (FRcvCnt >= 2 && FRcvBuf[1] != 0) {
            static const char* const texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                                                "network unreachable", "host unreachable", "connection refused",
                                                "time to live expired", "command not supported",
                                                "address type not supported"};
            int code = FRcvBuf[1];
            if (code >= 1 && code <= 8) SocksFail(20003 + code, texts[code - 1]);
            else SocksFail(20012, "unassigned error #" + IntToStr(code));
            return false;
        }
        if (FRcvCnt < 5) return true;
        int need = FRcvBuf[3] == 1 ? 10 : FRcvBuf[3] == 3 ? 7 + FRcvBuf[4] : 5;
        if (FRcvCnt < need) return true;
        if (FRcvBuf[3] != 1 && FRcvBuf[3] != 3) {
            SocksFail(20011, "address type not supported");
            return false;
        }
        int left = FRcvCnt - need;
        FRcvCnt = 0;
        FSocksState = 0;
        TCustomAsyncSocket::FireSessionConnected(0);
        if (FState != wsConnected) return false;  // closed by the handler
        FLeftPos = need;
        FLeftCount = left;
        // Offered through the virtual path so a line socket cuts the early data into lines too.
        return FireDataAvailable(0);
    }
    SocksFail(20013, "internal error");
    return false;
}

// ---------------------------------------------------------------------------------------------
// TCustomLineSocket

TCustomLineSocket::TCustomLineSocket(TComponent* AOwner) : TCustomSocksSocket(AOwner) {
    LineEnd = "\r\n";
    FLineMode = false;
}

TCustomLineSocket::~TCustomLineSocket() {
    MarkDestroying();
    FRcvBuf.clear();
    FHaveBuf = false;
}

void TCustomLineSocket::WriteLineMode(bool Value) {
    if (Value == FLineMode) return;
    FLineMode = Value;
    if (!FRcvBuf.empty() || FLineLength > 0) PostMessageA(WindowHandle(), WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineSocket::HandleMessage(TMessage& Msg) {
    if (Msg.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksSocket::HandleMessage(Msg);
        return;
    }
    try {
        // Offer the buffered bytes again under the current mode; stop when a pass takes nothing.
        while (!FRcvBuf.empty()) {
            size_t before = FRcvBuf.size();
            int lineBefore = FLineLength;
            FireDataAvailable(0);
            if (FRcvBuf.size() == before && FLineLength == lineBefore) break;
        }
    } catch (Exception& E) {
        HandleBgException(E);
    }
}

int TCustomLineSocket::ReadRcvdCount() {
    if (FLineMode) return FLineLength;
    // Bytes left from line mode are handed out first, so they count as received.
    int inherited = TCustomSocksSocket::ReadRcvdCount();
    if (FRcvBuf.empty()) return inherited;
    return static_cast<int>(FRcvBuf.size()) + std::max(inherited, 0);
}

int TCustomLineSocket::RecvRaw(void* Buffer, int Size, int Flags) {
    if (FLineMode && FLineLength > 0) {
        int n = std::min(std::max(Size, 0), FLineLength);
        std::memcpy(Buffer, FRcvBuf.data(), static_cast<size_t>(n));
        FRcvBuf.erase(0, static_cast<size_t>(n));
        FLineLength -= n;
        return n;
    }
    if (!FLineMode && !FRcvBuf.empty()) {
        int n = std::min(std::max(Size, 0), static_cast<int>(FRcvBuf.size()));
        std::memcpy(Buffer, FRcvBuf.data(), static_cast<size_t>(n));
        FRcvBuf.erase(0, static_cast<size_t>(n));
        return n;
    }
    return TCustomSocksSocket::RecvRaw(Buffer, Size, Flags);
}

void TCustomLineSocket::EditLine(int& N) {
    const size_t held = FRcvBuf.size() - static_cast<size_t>(N);
    std::string out = FRcvBuf.substr(0, held);
    size_t lowest = held;
    bool edited = false;
    for (size_t i = held; i < FRcvBuf.size(); ++i) {
        char c = FRcvBuf[i];
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
    FRcvBuf = out;
    N = static_cast<int>(out.size() - lowest);
    // The caller treats [size - N, size) as new, so a backspace over held bytes rescans from there.
}

bool TCustomLineSocket::FireDataAvailable(WORD Error) {
    if (!FLineMode || LineEnd.empty() || SocksState() != 0) return TCustomSocksSocket::FireDataAvailable(Error);
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
            FRcvBuf.append(chunk.data(), static_cast<size_t>(got));
            FHaveBuf = true;
            newCount = got;
            if (LineEdit) EditLine(newCount);
            else if (LineEcho) Send(chunk.data(), got);
        }
    }
    if (FRcvBuf.empty()) return true;
    const size_t le = LineEnd.size();
    // Start where a terminator split over two reads can begin.
    const size_t oldHeld = FRcvBuf.size() - static_cast<size_t>(newCount);
    size_t searchStart = oldHeld >= le ? oldHeld - le : 0;
    while (FLineMode) {
        if (FLineLength == 0) {
            size_t pos = FRcvBuf.find(LineEnd, searchStart);
            if (pos == std::string::npos) break;
            FLineLength = static_cast<int>(pos + le);
        }
        while (FLineMode && FLineLength > 0) {
            int before = FLineLength;
            size_t sizeBefore = FRcvBuf.size();
            if (!TCustomSocksSocket::FireDataAvailable(0)) {
                // Nobody takes lines: drop it.
                FRcvBuf.erase(0, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(FLineLength), FRcvBuf.size())));
                FLineLength = 0;
                break;
            }
            if (FLineLength == before && FRcvBuf.size() == sizeBefore) break;  // the handler took nothing
        }
        if (FLineLength > 0) break;  // still pending: offered again with the next data
        searchStart = 0;
        if (FRcvBuf.empty()) break;
    }
    return true;
}

void TCustomLineSocket::FireSessionClosed(WORD Error) {
    if (FLineMode && !FRcvBuf.empty()) {
        FLineLength = static_cast<int>(FRcvBuf.size());
        while (FLineMode && FLineLength > 0) {
            int before = FLineLength;
            if (!TCustomSocksSocket::FireDataAvailable(0)) break;
            if (FLineLength == before) break;
        }
    }
    FRcvBuf.clear();
    FHaveBuf = false;
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
        if (ApplicationTerminated() || Terminated()) return 12001;
        PumpPending();
        Sleep(0);
    }
    return 0;
}
