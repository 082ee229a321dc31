// Windows Sockets 1.1 as "wsock32.dll": our own declarations of the types, constants and the 30
// entry points the transport looks up by name, served over POSIX sockets.
//
// The library is a module of the in-process module table (win/modules.h). Callers load it with
// LoadLibraryA("wsock32.dll") and find every entry point with GetProcAddress; the function pointer
// types below give each entry point its signature.
//
// Constants whose names collide with macros of the POSIX headers carry a WS_ prefix
// (WS_AF_INET, WS_SOL_SOCKET, WS_FIONREAD, ...); their values are the Windows ones.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

using SOCKET = UINT_PTR;
using u_short = std::uint16_t;

constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

constexpr int WS_AF_INET = 2;
constexpr int WS_SOCK_STREAM = 1;
constexpr int WS_SOCK_DGRAM = 2;
constexpr int WS_IPPROTO_TCP = 6;
constexpr int WS_IPPROTO_UDP = 17;
constexpr ULONG WS_INADDR_ANY = 0;
constexpr ULONG WS_INADDR_NONE = 0xFFFFFFFFu;
constexpr int WS_MSG_OOB = 1;
constexpr int WS_MSG_PEEK = 2;

constexpr int WS_SOL_SOCKET = 0xFFFF;
constexpr int WS_SO_REUSEADDR = 0x0004;
constexpr int WS_SO_KEEPALIVE = 0x0008;
constexpr int WS_SO_BROADCAST = 0x0020;
constexpr int WS_SO_LINGER = 0x0080;
constexpr int WS_SO_DONTLINGER = ~0x0080;
constexpr int WS_SO_SNDBUF = 0x1001;
constexpr int WS_SO_RCVBUF = 0x1002;
constexpr int WS_SO_ERROR = 0x1007;
constexpr int WS_TCP_NODELAY = 0x0001;

constexpr long WS_FIONREAD = 0x4004667F;
constexpr long WS_FIONBIO = static_cast<long>(0x8004667Eu);

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// WSAAsyncSelect events.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;
constexpr int MAXGETHOSTSTRUCT = 1024;

// Error codes.
constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

struct WS_IN_ADDR {
    ULONG s_addr;  // network order
};

struct SOCKADDR {
    u_short sa_family;
    char sa_data[14];
};

struct SOCKADDR_IN {
    std::int16_t sin_family;
    u_short sin_port;  // network order
    WS_IN_ADDR sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(SOCKADDR_IN) == 16);

struct HOSTENT {
    char* h_name;
    char** h_aliases;
    std::int16_t h_addrtype;
    std::int16_t h_length;
    char** h_addr_list;
};

struct SERVENT {
    char* s_name;
    char** s_aliases;
    std::int16_t s_port;  // network order
    char* s_proto;
};

struct PROTOENT {
    char* p_name;
    char** p_aliases;
    std::int16_t p_proto;
};

struct LINGER {
    u_short l_onoff;
    u_short l_linger;
};

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

// The reply of an asynchronous lookup: lParam = buffer length needed (low word) and error (high word).
constexpr LPARAM WSAMAKEASYNCREPLY(WORD buflen, WORD error) { return MAKELPARAM(buflen, error); }
constexpr WORD WSAGETASYNCERROR(LPARAM l) { return HIWORD(static_cast<DWORD_PTR>(l)); }
constexpr WORD WSAGETSELECTEVENT(LPARAM l) { return LOWORD(static_cast<DWORD_PTR>(l)); }
constexpr WORD WSAGETSELECTERROR(LPARAM l) { return HIWORD(static_cast<DWORD_PTR>(l)); }
constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) { return MAKELPARAM(event, error); }

// Entry point signatures, one per exported name.
using LPFN_WSASTARTUP = int (*)(WORD version, WSADATA* data);
using LPFN_WSACLEANUP = int (*)();
using LPFN_WSASETLASTERROR = void (*)(int error);
using LPFN_WSAGETLASTERROR = int (*)();
using LPFN_WSACANCELASYNCREQUEST = int (*)(HANDLE request);
using LPFN_WSAASYNCGETHOSTBYNAME = HANDLE (*)(HWND wnd, UINT msg, const char* name, char* buf, int buflen);
using LPFN_WSAASYNCGETHOSTBYADDR = HANDLE (*)(HWND wnd, UINT msg, const char* addr, int len, int type, char* buf,
                                             int buflen);
using LPFN_WSAASYNCSELECT = int (*)(SOCKET s, HWND wnd, UINT msg, long events);
using LPFN_GETSERVBYNAME = SERVENT* (*)(const char* name, const char* proto);
using LPFN_GETPROTOBYNAME = PROTOENT* (*)(const char* name);
using LPFN_GETHOSTBYNAME = HOSTENT* (*)(const char* name);
using LPFN_GETHOSTNAME = int (*)(char* name, int namelen);
using LPFN_SOCKET = SOCKET (*)(int af, int type, int protocol);
using LPFN_BIND = int (*)(SOCKET s, const SOCKADDR* addr, int namelen);
using LPFN_LISTEN = int (*)(SOCKET s, int backlog);
using LPFN_ACCEPT = SOCKET (*)(SOCKET s, SOCKADDR* addr, int* addrlen);
using LPFN_CONNECT = int (*)(SOCKET s, const SOCKADDR* name, int namelen);
using LPFN_SHUTDOWN = int (*)(SOCKET s, int how);
using LPFN_CLOSESOCKET = int (*)(SOCKET s);
using LPFN_SEND = int (*)(SOCKET s, const char* buf, int len, int flags);
using LPFN_SENDTO = int (*)(SOCKET s, const char* buf, int len, int flags, const SOCKADDR* to, int tolen);
using LPFN_RECV = int (*)(SOCKET s, char* buf, int len, int flags);
using LPFN_RECVFROM = int (*)(SOCKET s, char* buf, int len, int flags, SOCKADDR* from, int* fromlen);
using LPFN_IOCTLSOCKET = int (*)(SOCKET s, long cmd, ULONG* argp);
using LPFN_SETSOCKOPT = int (*)(SOCKET s, int level, int optname, const char* optval, int optlen);
using LPFN_GETSOCKNAME = int (*)(SOCKET s, SOCKADDR* name, int* namelen);
using LPFN_GETPEERNAME = int (*)(SOCKET s, SOCKADDR* name, int* namelen);
using LPFN_INET_ADDR = ULONG (*)(const char* cp);
using LPFN_INET_NTOA = char* (*)(WS_IN_ADDR in);
using LPFN_HTONS = u_short (*)(u_short v);
using LPFN_NTOHS = u_short (*)(u_short v);

namespace winsock {

constexpr const char* kLibraryName = "wsock32.dll";

// Makes sure the module is in the module table (a static registrar alone may be dropped by the
// linker when nothing else references this unit). Cheap; call it before the first LoadLibraryA.
void EnsureRegistered();

// Name table consulted before the system resolver. While one is installed, names that are not in
// it fail with 11001 (addresses with 11004) and no query goes to a name server; "localhost" and
// dotted text are always answered directly.
struct TestHost {
    std::vector<std::string> addresses;  // dotted IPv4 addresses, in order
    int error = 0;                       // a lookup error to answer instead (11001-11004)
    DWORD delayMs = 0;                   // asynchronous lookups wait this long before answering
};
void SetTestHosts(std::map<std::string, TestHost> hosts);
void ClearTestHosts();

// The name gethostname answers instead of the machine's own (tests); empty goes back to the
// machine's name.
void SetTestHostName(const std::string& name);

// Number of sockets open in the library (for tests of leaks and cleanup).
int OpenSocketCount();

}  // namespace winsock
