// Name lookup and addresses: the blocking resolution of hosts, ports and protocols, the
// asynchronous lookups and their reply messages, the local binding and the address readers.
#include "transport/AsyncSocket.h"

#include <cstring>

#include "transport/AsyncSocket/Internal.h"

using namespace asyncsocket;

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
    if (Port[0] >= '0' && Port[0] <= '9') {
        // A number that does not fit a port is refused, never cut to 16 bits.
        const int n = LeadingNumber(Port);
        if (n > 65535) {
            WSASetLastError_(WSAEINVAL);
            throw ESocketException("SocketResolvePort: Invalid Port.");
        }
        return static_cast<u_short>(n);
    }
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

// The start shared by both lookups: an empty text is refused; otherwise the pending lookup is
// cancelled and the results are cleared. False when the lookup does not go on.
bool TCustomAsyncSocket::StartLookup(const std::string& Text) {
    if (Text.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        FireDnsLookupDone(WSAEINVAL);
        return false;
    }
    if (FLookupHandle) WSACancelAsyncRequest_(FLookupHandle);
    FLookupHandle = nullptr;
    FDnsResult.clear();
    FDnsResultList->Clear();
    return true;
}

void TCustomAsyncSocket::DnsLookup(const std::string& HostName) {
    if (!StartLookup(HostName)) return;
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
    if (!StartLookup(HostAddr)) return;
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
