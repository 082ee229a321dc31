// The binding of the socket unit: "wsock32.dll" loaded on first use with its entry points found
// by name, the live-socket count, the socket window with its message dispatch and exception trap,
// and the message pumps and the blocking wait that every waiting loop of the socket uses.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "transport/AsyncSocket.h"

#include <algorithm>
#include <array>

#include "platform/classlib/application.h"
#include "platform/win/winbase.h"
#include "transport/AsyncSocket/Internal.h"

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

template <class F>
[[gnu::hot]] F Proc(ProcIndex i) {
    if (!gProcs[i]) gProcs[i] = GetWinsockProc(kProcNames[i]);
    return reinterpret_cast<F>(gProcs[i]);
}

}  // namespace

namespace asyncsocket {

int WSAStartup_(WORD v, WSADATA* d) { return Proc<LPFN_WSASTARTUP>(pWSAStartup)(v, d); }
int WSACleanup_() { return Proc<LPFN_WSACLEANUP>(pWSACleanup)(); }
void WSASetLastError_(int e) { Proc<LPFN_WSASETLASTERROR>(pWSASetLastError)(e); }
[[gnu::hot]] int WSAGetLastError_() { return Proc<LPFN_WSAGETLASTERROR>(pWSAGetLastError)(); }
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
[[gnu::hot]] int send_(SOCKET s, const void* b, int l, int f) { return Proc<LPFN_SEND>(psend)(s, static_cast<const char*>(b), l, f); }
int sendto_(SOCKET s, const void* b, int l, int f, const SOCKADDR_IN* to, int tl) {
    return Proc<LPFN_SENDTO>(psendto)(s, static_cast<const char*>(b), l, f, reinterpret_cast<const SOCKADDR*>(to), tl);
}
[[gnu::hot]] int recv_(SOCKET s, void* b, int l, int f) { return Proc<LPFN_RECV>(precv)(s, static_cast<char*>(b), l, f); }
int recvfrom_(SOCKET s, void* b, int l, int f, SOCKADDR_IN* from, int* fl) {
    return Proc<LPFN_RECVFROM>(precvfrom)(s, static_cast<char*>(b), l, f, reinterpret_cast<SOCKADDR*>(from), fl);
}
[[gnu::hot]] int ioctlsocket_(SOCKET s, long c, ULONG* a) { return Proc<LPFN_IOCTLSOCKET>(pioctlsocket)(s, c, a); }
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

void SocketCreated() { ++gSocketCount; }

void SocketDestroyed() {
    --gSocketCount;
    if (gSocketCount < 1) UnloadWinsock();
}

}  // namespace asyncsocket

using namespace asyncsocket;

namespace {

// The socket unit frees the library at program end.
struct WinsockUnit {
    ~WinsockUnit() { UnloadWinsock(); }
} gWinsockUnit;

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

// The socket window: every message goes to the socket's HandleMessage inside the trap that hands an
// Exception to HandleBgException.
HWND TCustomAsyncSocket::CreateSocketWindow() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, SocketWindowClass, &wc)) {
        wc = WNDCLASSA{};
        wc.lpfnWndProc = &SocketWindowProc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = instance;
        wc.lpszClassName = SocketWindowClass;
        // Another thread may have registered it meanwhile.
        if (!RegisterClassA(&wc) && !GetClassInfoA(instance, SocketWindowClass, &wc)) return nullptr;
    }
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, SocketWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                             nullptr);
    if (h) SetWindowLongA(h, 0, reinterpret_cast<LONG_PTR>(this));
    return h;
}

// Window long 0 holds the socket; a window whose socket is gone (or not yet set) answers by default.
[[gnu::hot]] LRESULT TCustomAsyncSocket::SocketWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* socket = reinterpret_cast<TCustomAsyncSocket*>(GetWindowLongA(Wnd, 0));
    if (!socket) return DefWindowProcA(Wnd, Msg, WParam, LParam);
    TMessage m{Msg, WParam, LParam, 0};
    socket->DispatchSocketMessage(m);
    return m.Result;
}

[[gnu::hot]] void TCustomAsyncSocket::DispatchSocketMessage(TMessage& Msg) {
    try {
        HandleMessage(Msg);
    } catch (Exception& E) {
        // Only reached while the object is alive: WM_WSOCKET_RELEASE never throws after delete.
        HandleBgException(E);
    }
}

[[gnu::hot]] void TCustomAsyncSocket::HandleMessage(TMessage& Msg) {
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
    // Without an application object the thread's own queue is the application's queue.
    if (MultiThreaded || !Application) PumpMessages();
    else Application->ProcessMessages();
}

bool TCustomAsyncSocket::QuitSeen() const { return FTerminated || (Application && Application->Terminated()); }

void TCustomAsyncSocket::WaitForEvent(DWORD TimeoutMs) {
    if (QuitSeen()) return;  // the quit message is consumed: nothing would wake the wait
    MsgWaitForMultipleObjects(0, nullptr, FALSE, TimeoutMs, QS_ALLINPUT);
}
