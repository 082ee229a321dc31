// What the files of the socket unit share and callers never see: the thin wrappers over the
// entry points of "wsock32.dll" (each finds its entry point on first use, then calls it with the
// arguments unchanged), the live-socket count, and the table of SOCKS failure codes and texts.
#pragma once

#include <string>

#include "platform/winsock/winsock.h"

namespace asyncsocket {

int WSAStartup_(WORD v, WSADATA* d);
int WSACleanup_();
void WSASetLastError_(int e);
int WSAGetLastError_();
int WSACancelAsyncRequest_(HANDLE h);
HANDLE WSAAsyncGetHostByName_(HWND w, UINT m, const char* n, char* b, int l);
HANDLE WSAAsyncGetHostByAddr_(HWND w, UINT m, const char* a, int len, int t, char* b, int l);
int WSAAsyncSelect_(SOCKET s, HWND w, UINT m, long e);
SERVENT* getservbyname_(const char* n, const char* p);
PROTOENT* getprotobyname_(const char* n);
HOSTENT* gethostbyname_(const char* n);
SOCKET socket_(int a, int t, int p);
int bind_(SOCKET s, const SOCKADDR_IN* a);
int listen_(SOCKET s, int b);
SOCKET accept_(SOCKET s, SOCKADDR_IN* a, int* l);
int connect_(SOCKET s, const SOCKADDR_IN* a);
int shutdown_(SOCKET s, int h);
int closesocket_(SOCKET s);
int send_(SOCKET s, const void* b, int l, int f);
int sendto_(SOCKET s, const void* b, int l, int f, const SOCKADDR_IN* to, int tl);
int recv_(SOCKET s, void* b, int l, int f);
int recvfrom_(SOCKET s, void* b, int l, int f, SOCKADDR_IN* from, int* fl);
int ioctlsocket_(SOCKET s, long c, ULONG* a);
int setsockopt_(SOCKET s, int lv, int o, const void* v, int l);
int getsockname_(SOCKET s, SOCKADDR_IN* a, int* l);
int getpeername_(SOCKET s, SOCKADDR_IN* a, int* l);
ULONG inet_addr_(const std::string& s);
std::string inet_ntoa_(ULONG a);
u_short htons_(u_short v);
u_short ntohs_(u_short v);

// The live socket objects: a constructor adds one, a destructor removes one and releases the
// library when none is left.
void SocketCreated();
void SocketDestroyed();

// The failures of a SOCKS negotiation (ErrorTexts.cpp holds their codes and texts).
enum class TSocksFailure {
    LogicError,          // 20001 a method reply on a SOCKS 4 socket
    TooMuchData,         // 20001 more than 2 bytes as user/password reply
    VersionError,        // 20002
    MethodNotAcceptable, // 20003
    GeneralFailure,      // 20004 SOCKS 5 reply codes 1-8 follow in order
    NotAllowed,          // 20005
    NetworkUnreachable,  // 20006
    HostUnreachable,     // 20007
    ConnectionRefused,   // 20008 (also SOCKS 4 reply 92)
    TtlExpired,          // 20009
    CommandNotSupported, // 20010
    AddressTypeNotSupported,  // 20011
    Unassigned,          // 20012 the text is followed by the reply code
    InternalError,       // 20013
    RequestTooLong,      // 20014 a request that does not fit its block
    AuthenticationFailed,     // 20015 user/password status not 0
    Socks4AuthFailed,    // 20015 SOCKS 4 reply 93
    RequestRejected,     // 20016 SOCKS 4 reply 91
    Unresolvable,        // 20017 the text is the exception's class name and message
};
int SocksFailureCode(TSocksFailure F);
const char* SocksFailureText(TSocksFailure F);

}  // namespace asyncsocket
