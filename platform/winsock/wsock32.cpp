// "wsock32.dll" over POSIX sockets.
//
// SOCKET values and lookup handles come from counters and are never reused, unlike descriptor
// numbers, so a late message that names an old socket or request can always be told apart.
// Asynchronous selection rides on the message wait of the window's thread (win::WatchFd): the
// watch callback turns readiness into one posted message per event and then stops asking for that
// event until the matching call (recv, send, accept) re-arms it. On a datagram socket an empty
// datagram is signalled as data (FD_READ), never as a close. A nonblocking stream socket with
// linger on and a linger time closes as on Windows: closesocket fails with WSAEWOULDBLOCK while
// sent data is unacknowledged, and resets the connection once the linger time is up.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "platform/winsock/winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/win/modules.h"
#include "platform/win/msgwait.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace {

thread_local int tLastError = 0;

int MapErrno(int e) {
    switch (e) {
        case 0: return 0;
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;
        case EACCES: case EPERM: return WSAEACCES;
        case EFAULT: return WSAEFAULT;
        case EINVAL: return WSAEINVAL;
        case EMFILE: case ENFILE: return WSAEMFILE;
        case EAGAIN: return WSAEWOULDBLOCK;
        case EINPROGRESS: return WSAEWOULDBLOCK;
        case EALREADY: return WSAEALREADY;
        case ENOTSOCK: return WSAENOTSOCK;
        case EDESTADDRREQ: return WSAEDESTADDRREQ;
        case EMSGSIZE: return WSAEMSGSIZE;
        case EPROTOTYPE: return WSAEPROTOTYPE;
        case ENOPROTOOPT: return WSAENOPROTOOPT;
        case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
        case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
        case EOPNOTSUPP: return WSAEOPNOTSUPP;
        case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
        case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETDOWN: return WSAENETDOWN;
        case ENETUNREACH: return WSAENETUNREACH;
        case ENETRESET: return WSAENETRESET;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET: case EPIPE: return WSAECONNRESET;
        case ENOBUFS: case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ESHUTDOWN: return WSAESHUTDOWN;
        case ETOOMANYREFS: return WSAETOOMANYREFS;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case ELOOP: return WSAELOOP;
        case ENAMETOOLONG: return WSAENAMETOOLONG;
        case EHOSTDOWN: return WSAEHOSTDOWN;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        case ENOTEMPTY: return WSAENOTEMPTY;
        case EUSERS: return WSAEUSERS;
        case EDQUOT: return WSAEDQUOT;
        case ESTALE: return WSAESTALE;
        case EREMOTE: return WSAEREMOTE;
        default: return WSAEINVAL;
    }
}

struct Sock {
    int fd = -1;
    int type = SOCK_STREAM;
    HWND wnd = nullptr;
    UINT msg = 0;
    long mask = 0;
    int watch = 0;
    short armed = 0;  // the poll events the watch asks for; setting the same events again is a no-op
    bool connecting = false;   // connect issued, FD_CONNECT not yet posted
    bool connected = false;
    bool listening = false;
    bool readSignalled = false;
    bool acceptSignalled = false;
    bool closeSignalled = false;
    bool writeArmed = false;
    bool lingerOn = false;      // SO_LINGER with a time: a nonblocking close waits for the data
    int lingerSeconds = 0;
    bool closing = false;       // a close was refused with WSAEWOULDBLOCK and is being retried
    DWORD closeDeadline = 0;
};

std::mutex gMutex;  // never taken twice by one thread: no call below re-enters an entry point
std::atomic<int> gStartups{0};  // changed under gMutex; read without it by every call
std::uintptr_t gNextSocket = 0x100;
std::unordered_map<SOCKET, Sock> gSockets;

struct Lookup {
    bool cancelled = false;
    bool done = false;
};
std::uintptr_t gNextRequest = 0x1000;
std::unordered_map<std::uintptr_t, std::shared_ptr<Lookup>> gLookups;

bool gHaveTestHosts = false;
std::map<std::string, winsock::TestHost> gTestHosts;
std::string gTestHostName;

bool Fail(int code) {
    tLastError = code;
    return false;
}

[[gnu::hot]] bool Started() {
    if (gStartups.load(std::memory_order_acquire) > 0) return true;
    return Fail(WSANOTINITIALISED);
}

// The socket found last (gMutex held): a program that keeps calling for one socket finds it
// without the table. Records stay where they are until erased, and erasing forgets this.
SOCKET gLastFound = INVALID_SOCKET;
Sock* gLastFoundSock = nullptr;

[[gnu::hot]] Sock* Find(SOCKET s) {
    if (s == gLastFound && gLastFoundSock) return gLastFoundSock;
    auto it = gSockets.find(s);
    if (it == gSockets.end()) {
        tLastError = WSAENOTSOCK;
        return nullptr;
    }
    gLastFound = s;
    gLastFoundSock = &it->second;
    return &it->second;
}

// Removes a socket's record (gMutex held).
void EraseSocket(SOCKET s) {
    if (s == gLastFound) gLastFoundSock = nullptr;
    gSockets.erase(s);
}

[[gnu::hot]] void Post(const Sock& k, SOCKET s, long event, int error) {
    if (k.wnd && k.msg) PostMessageA(k.wnd, k.msg, s, WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)));
}

// The poll events the socket needs now, from its mask and what is outstanding.
[[gnu::hot]] short WantedEvents(const Sock& k) {
    short ev = 0;
    if (!k.wnd || k.mask == 0) return 0;
    if (k.connecting) return POLLOUT;
    if (k.listening) {
        if ((k.mask & FD_ACCEPT) && !k.acceptSignalled) ev |= POLLIN;
        return ev;
    }
    if (!k.closeSignalled && !k.readSignalled && (k.mask & (FD_READ | FD_CLOSE))) ev |= POLLIN | POLLRDHUP;
    if (k.writeArmed && (k.mask & FD_WRITE)) ev |= POLLOUT;
    return ev;
}

[[gnu::hot]] void Rearm(Sock& k) {
    if (!k.watch) return;
    const short ev = WantedEvents(k);
    if (ev == k.armed) return;
    k.armed = ev;
    win::SetFdEvents(k.watch, ev);
}

[[gnu::hot]] void OnReady(SOCKET s, short revents) {
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return;
    if (k->connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(k->fd, SOL_SOCKET, SO_ERROR, &err, &len);
        k->connecting = false;
        if (k->mask & FD_CONNECT) Post(*k, s, FD_CONNECT, MapErrno(err));
        if (err == 0) {
            k->connected = true;
            if (k->mask & FD_WRITE) Post(*k, s, FD_WRITE, 0);
        } else {
            k->closeSignalled = true;  // nothing more to report on a failed connect
        }
        Rearm(*k);
        return;
    }
    if (k->listening) {
        if (revents & POLLIN) {
            k->acceptSignalled = true;
            Post(*k, s, FD_ACCEPT, 0);
        }
        Rearm(*k);
        return;
    }
    if ((revents & POLLOUT) && k->writeArmed) {
        k->writeArmed = false;
        Post(*k, s, FD_WRITE, 0);
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR | POLLRDHUP)) && !k->readSignalled && !k->closeSignalled) {
        // Readable with no end and no error pending is data; otherwise a peek tells data that is
        // still in front of the end from the end itself.
        char c;
        ssize_t n = 1;
        if (revents & (POLLHUP | POLLERR | POLLRDHUP)) n = ::recv(k->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        // A datagram socket has no end of stream: an empty datagram is data like any other.
        if (n > 0 || (n == 0 && k->type == SOCK_DGRAM)) {
            if (k->mask & FD_READ) {
                k->readSignalled = true;
                Post(*k, s, FD_READ, 0);
            } else if (!(k->mask & FD_CLOSE)) {
                k->readSignalled = true;
            }
            // With FD_CLOSE but no FD_READ selected the data is not signalled; keep polling for the end.
            if (!(k->mask & FD_READ) && (k->mask & FD_CLOSE)) k->readSignalled = true;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            int err = n == 0 ? 0 : MapErrno(errno);
            k->closeSignalled = true;
            if (k->mask & FD_CLOSE) Post(*k, s, FD_CLOSE, err);
        }
    }
    Rearm(*k);
}

void StopWatch(Sock& k) {
    if (k.watch) win::UnwatchFd(k.watch);
    k.watch = 0;
}

void ToNative(const SOCKADDR* a, sockaddr_in& out) {
    std::memset(&out, 0, sizeof out);
    SOCKADDR_IN in;
    std::memcpy(&in, a, sizeof in);
    out.sin_family = static_cast<sa_family_t>(in.sin_family == WS_AF_INET ? AF_INET : in.sin_family);
    out.sin_port = in.sin_port;
    out.sin_addr.s_addr = in.sin_addr.s_addr;
}

int FromNative(const sockaddr_in& in, SOCKADDR* out, int* len) {
    if (!out || !len || *len < static_cast<int>(sizeof(SOCKADDR_IN))) {
        tLastError = WSAEFAULT;
        return SOCKET_ERROR;
    }
    SOCKADDR_IN a{};
    a.sin_family = WS_AF_INET;
    a.sin_port = in.sin_port;
    a.sin_addr.s_addr = in.sin_addr.s_addr;
    std::memcpy(out, &a, sizeof a);
    *len = sizeof a;
    return 0;
}

// Host resolution shared by gethostbyname and the asynchronous lookups.
struct HostResult {
    int error = 0;
    std::string name;
    std::vector<std::uint32_t> addrs;  // network order
};

bool ParseDotted(const std::string& s, std::uint32_t& out) {
    in_addr a{};
    if (inet_pton(AF_INET, s.c_str(), &a) != 1) return false;
    out = a.s_addr;
    return true;
}

HostResult ResolveName(const std::string& name, DWORD* delay) {
    HostResult r;
    r.name = name;
    std::uint32_t a;
    if (ParseDotted(name, a)) {
        r.addrs.push_back(a);
        return r;
    }
    if (strcasecmp(name.c_str(), "localhost") == 0) {
        r.addrs.push_back(htonl(INADDR_LOOPBACK));
        return r;
    }
    {
        std::lock_guard lock(gMutex);
        if (gHaveTestHosts) {
            auto it = gTestHosts.find(name);
            if (it == gTestHosts.end()) {
                r.error = WSAHOST_NOT_FOUND;
                return r;
            }
            if (delay) *delay = it->second.delayMs;
            r.error = it->second.error;
            for (auto& t : it->second.addresses)
                if (ParseDotted(t, a)) r.addrs.push_back(a);
            if (!r.error && r.addrs.empty()) r.error = WSANO_DATA;
            return r;
        }
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (rc != 0) {
        r.error = rc == EAI_AGAIN ? WSATRY_AGAIN : rc == EAI_FAIL ? WSANO_RECOVERY
                  : rc == EAI_NODATA ? WSANO_DATA : WSAHOST_NOT_FOUND;
        return r;
    }
    if (res && res->ai_canonname) r.name = res->ai_canonname;
    for (addrinfo* p = res; p; p = p->ai_next) {
        auto v = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        if (std::find(r.addrs.begin(), r.addrs.end(), v) == r.addrs.end()) r.addrs.push_back(v);
    }
    freeaddrinfo(res);
    if (r.addrs.empty()) r.error = WSANO_DATA;
    return r;
}

HostResult ResolveAddr(std::uint32_t addr, DWORD* delay) {
    HostResult r;
    r.addrs.push_back(addr);
    if (addr == htonl(INADDR_LOOPBACK)) {
        r.name = "localhost";
        return r;
    }
    {
        std::lock_guard lock(gMutex);
        if (gHaveTestHosts) {
            for (auto& [name, host] : gTestHosts) {
                for (auto& t : host.addresses) {
                    std::uint32_t a;
                    if (ParseDotted(t, a) && a == addr) {
                        if (delay) *delay = host.delayMs;
                        r.name = name;
                        return r;
                    }
                }
            }
            r.error = WSANO_DATA;
            return r;
        }
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = addr;
    char host[NI_MAXHOST];
    int rc = getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) {
        r.error = rc == EAI_AGAIN ? WSATRY_AGAIN : WSAHOST_NOT_FOUND;
        return r;
    }
    r.name = host;
    return r;
}

// Lays a host entry out inside [buf, buf+len): the record, the alias list (empty), the address
// pointer list, the addresses and the name. Returns the size needed; nothing is written when it
// does not fit.
int PackHostEntry(const HostResult& r, char* buf, int len) {
    const std::size_t P = sizeof(char*);
    std::size_t need = sizeof(HOSTENT);
    need = (need + P - 1) / P * P;
    std::size_t aliasOff = need;
    need += P;
    std::size_t listOff = need;
    need += P * (r.addrs.size() + 1);
    std::size_t addrOff = need;
    need += 4 * r.addrs.size();
    std::size_t nameOff = need;
    need += r.name.size() + 1;
    if (need > static_cast<std::size_t>(len) || !buf) return static_cast<int>(need);
    std::memset(buf, 0, need);
    char* nullp = nullptr;
    std::memcpy(buf + aliasOff, &nullp, P);
    for (std::size_t i = 0; i < r.addrs.size(); ++i) {
        char* p = buf + addrOff + 4 * i;
        std::memcpy(p, &r.addrs[i], 4);
        std::memcpy(buf + listOff + P * i, &p, P);
    }
    std::memcpy(buf + listOff + P * r.addrs.size(), &nullp, P);
    std::memcpy(buf + nameOff, r.name.c_str(), r.name.size() + 1);
    HOSTENT h{};
    h.h_name = buf + nameOff;
    h.h_aliases = reinterpret_cast<char**>(buf + aliasOff);
    h.h_addrtype = WS_AF_INET;
    h.h_length = 4;
    h.h_addr_list = reinterpret_cast<char**>(buf + listOff);
    std::memcpy(buf, &h, sizeof h);
    return static_cast<int>(need);
}

// ---- the entry points ----

int WSAStartup_(WORD version, WSADATA* data) {
    const int major = version & 0xFF, minor = (version >> 8) & 0xFF;
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
    if (!data) return WSAEFAULT;
    std::lock_guard lock(gMutex);
    ++gStartups;
    std::memset(data, 0, sizeof *data);
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    std::strcpy(data->szDescription, "Sockets over POSIX");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 1024;
    data->iMaxUdpDg = 65467;
    return 0;
}

int WSACleanup_() {
    std::lock_guard lock(gMutex);
    if (gStartups <= 0) return Fail(WSANOTINITIALISED), SOCKET_ERROR;
    if (--gStartups == 0) {
        for (auto& [s, k] : gSockets) {
            StopWatch(k);
            ::close(k.fd);
        }
        gSockets.clear();
        gLastFoundSock = nullptr;
        for (auto& [h, l] : gLookups) l->cancelled = true;
        gLookups.clear();
    }
    return 0;
}

void WSASetLastError_(int e) { tLastError = e; }
[[gnu::hot]] int WSAGetLastError_() { return tLastError; }

HANDLE StartLookup(HWND wnd, UINT msg, char* buf, int buflen, std::function<HostResult(DWORD*)> work) {
    if (!Started()) return nullptr;
    if (!buf || buflen <= 0) return Fail(WSAEFAULT), nullptr;
    auto req = std::make_shared<Lookup>();
    std::uintptr_t h;
    {
        std::lock_guard lock(gMutex);
        h = gNextRequest++;
        gLookups[h] = req;
    }
    std::thread([=] {
        DWORD delay = 0;
        HostResult r = work(&delay);
        if (delay) Sleep(delay);
        std::lock_guard lock(gMutex);
        if (req->cancelled) return;
        req->done = true;
        gLookups.erase(h);
        int err = r.error;
        int need = 0;
        if (!err) {
            need = PackHostEntry(r, buf, buflen);
            if (need > buflen) err = WSAENOBUFS;
        }
        PostMessageA(wnd, msg, h, WSAMAKEASYNCREPLY(static_cast<WORD>(need), static_cast<WORD>(err)));
    }).detach();
    return reinterpret_cast<HANDLE>(h);
}

HANDLE WSAAsyncGetHostByName_(HWND wnd, UINT msg, const char* name, char* buf, int buflen) {
    if (!name) return Fail(WSAEFAULT), nullptr;
    std::string n = name;
    return StartLookup(wnd, msg, buf, buflen, [n](DWORD* d) { return ResolveName(n, d); });
}

HANDLE WSAAsyncGetHostByAddr_(HWND wnd, UINT msg, const char* addr, int len, int type, char* buf, int buflen) {
    if (!addr || len != 4) return Fail(WSAEFAULT), nullptr;
    if (type != WS_AF_INET) return Fail(WSAEAFNOSUPPORT), nullptr;
    std::uint32_t a;
    std::memcpy(&a, addr, 4);
    return StartLookup(wnd, msg, buf, buflen, [a](DWORD* d) { return ResolveAddr(a, d); });
}

int WSACancelAsyncRequest_(HANDLE request) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    auto it = gLookups.find(reinterpret_cast<std::uintptr_t>(request));
    if (it == gLookups.end()) {
        // Unknown, already answered or already cancelled.
        return Fail(request ? WSAEALREADY : WSAEINVAL), SOCKET_ERROR;
    }
    it->second->cancelled = true;
    gLookups.erase(it);
    return 0;
}

int WSAAsyncSelect_(SOCKET s, HWND wnd, UINT msg, long events) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (events != 0 && (!wnd || !IsWindow(wnd))) return Fail(WSAEINVAL), SOCKET_ERROR;
    int fl = fcntl(k->fd, F_GETFL);
    fcntl(k->fd, F_SETFL, fl | O_NONBLOCK);
    StopWatch(*k);
    k->wnd = events ? wnd : nullptr;
    k->msg = events ? msg : 0;
    k->mask = events;
    k->readSignalled = false;
    k->acceptSignalled = false;
    if (events == 0) return 0;
    // A connected socket that is writable announces it once, as the system does after a select.
    if (k->connected && !k->connecting) k->writeArmed = true;
    k->armed = WantedEvents(*k);
    k->watch = win::WatchFd(wnd, k->fd, k->armed, [s](int, short rev) { OnReady(s, rev); });
    if (!k->watch) return Fail(WSAEINVAL), SOCKET_ERROR;
    return 0;
}

// Called with gMutex held.
SOCKET NewSocketLocked(int fd, int type) {
    SOCKET s = gNextSocket;
    gNextSocket += 4;
    Sock k;
    k.fd = fd;
    k.type = type;
    gSockets[s] = k;
    return s;
}

SOCKET socket_(int af, int type, int protocol) {
    if (!Started()) return INVALID_SOCKET;
    if (af != WS_AF_INET) return Fail(WSAEAFNOSUPPORT), INVALID_SOCKET;
    int t = type == WS_SOCK_STREAM ? SOCK_STREAM : type == WS_SOCK_DGRAM ? SOCK_DGRAM : -1;
    if (t < 0) return Fail(WSAESOCKTNOSUPPORT), INVALID_SOCKET;
    int fd = ::socket(AF_INET, t | SOCK_CLOEXEC, protocol);
    if (fd < 0) return Fail(MapErrno(errno)), INVALID_SOCKET;
    std::lock_guard lock(gMutex);
    return NewSocketLocked(fd, t);
}

int bind_(SOCKET s, const SOCKADDR* addr, int len) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (!addr || len < static_cast<int>(sizeof(SOCKADDR_IN))) return Fail(WSAEFAULT), SOCKET_ERROR;
    sockaddr_in sa;
    ToNative(addr, sa);
    if (::bind(k->fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    return 0;
}

int listen_(SOCKET s, int backlog) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (k->type != SOCK_STREAM) return Fail(WSAEOPNOTSUPP), SOCKET_ERROR;
    if (::listen(k->fd, backlog) != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    k->listening = true;
    Rearm(*k);
    return 0;
}

SOCKET accept_(SOCKET s, SOCKADDR* addr, int* len) {
    if (!Started()) return INVALID_SOCKET;
    std::unique_lock lock(gMutex);
    Sock* k = Find(s);
    if (!k) return INVALID_SOCKET;
    if (!k->listening) return Fail(WSAEINVAL), INVALID_SOCKET;
    sockaddr_in sa{};
    socklen_t sl = sizeof sa;
    int fd = ::accept4(k->fd, reinterpret_cast<sockaddr*>(&sa), &sl, SOCK_CLOEXEC);
    int e = errno;
    k->acceptSignalled = false;
    Rearm(*k);
    if (fd < 0) return Fail(MapErrno(e)), INVALID_SOCKET;
    if (addr && len) {
        if (FromNative(sa, addr, len) != 0) {
            ::close(fd);
            return INVALID_SOCKET;
        }
    }
    SOCKET ns = NewSocketLocked(fd, SOCK_STREAM);
    gSockets[ns].connected = true;
    return ns;
}

int connect_(SOCKET s, const SOCKADDR* name, int len) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (!name || len < static_cast<int>(sizeof(SOCKADDR_IN))) return Fail(WSAEFAULT), SOCKET_ERROR;
    if (k->connecting) return Fail(WSAEALREADY), SOCKET_ERROR;
    sockaddr_in sa;
    ToNative(name, sa);
    int rc = ::connect(k->fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int e = rc == 0 ? 0 : errno;
    if (k->type == SOCK_DGRAM || k->mask == 0) {
        if (rc != 0) return Fail(MapErrno(e)), SOCKET_ERROR;
        k->connected = true;
        return 0;
    }
    // Selected stream socket: the outcome always comes as FD_CONNECT.
    if (rc == 0 || e == EINPROGRESS) {
        k->connecting = true;
        Rearm(*k);
    } else {
        if (k->mask & FD_CONNECT) Post(*k, s, FD_CONNECT, MapErrno(e));
        k->closeSignalled = true;
        Rearm(*k);
    }
    return Fail(WSAEWOULDBLOCK), SOCKET_ERROR;
}

int shutdown_(SOCKET s, int how) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    int h = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : how == SD_BOTH ? SHUT_RDWR : -1;
    if (h < 0) return Fail(WSAEINVAL), SOCKET_ERROR;
    if (::shutdown(k->fd, h) != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    return 0;
}

int closesocket_(SOCKET s) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (k->type == SOCK_STREAM && k->lingerOn && k->lingerSeconds > 0 && (fcntl(k->fd, F_GETFL) & O_NONBLOCK)) {
        // A lingering close of a nonblocking socket does not block the thread: while sent data is
        // not yet acknowledged it fails with WSAEWOULDBLOCK, and the caller tries again. When the
        // linger time is up the connection is reset, as a blocking close would do.
        int unsent = 0;
        if (ioctl(k->fd, TIOCOUTQ, &unsent) == 0 && unsent > 0) {
            if (!k->closing) {
                k->closing = true;
                k->closeDeadline = GetTickCount() + static_cast<DWORD>(k->lingerSeconds) * 1000;
            }
            if (static_cast<int>(GetTickCount() - k->closeDeadline) < 0) return Fail(WSAEWOULDBLOCK), SOCKET_ERROR;
            linger reset{1, 0};
            ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        } else {
            linger off{0, 0};  // all acknowledged: nothing left to wait for
            ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
        }
    }
    StopWatch(*k);
    ::close(k->fd);  // the linger option set on the descriptor decides between graceful and reset
    EraseSocket(s);
    return 0;
}

// Called with gMutex held.
[[gnu::hot]] int SendLocked(Sock* k, const char* buf, int len, int flags) {
    if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT), SOCKET_ERROR;
    int f = MSG_NOSIGNAL | ((flags & WS_MSG_OOB) ? MSG_OOB : 0);
    ssize_t n = ::send(k->fd, buf, static_cast<size_t>(len), f);
    if (n < 0) {
        int e = errno;
        if (e == EAGAIN || e == EWOULDBLOCK) {
            k->writeArmed = true;
            Rearm(*k);
        }
        return Fail(MapErrno(e)), SOCKET_ERROR;
    }
    if (n < len) {
        k->writeArmed = true;
        Rearm(*k);
    }
    return static_cast<int>(n);
}

[[gnu::hot]] int send_(SOCKET s, const char* buf, int len, int flags) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    return SendLocked(k, buf, len, flags);
}

int sendto_(SOCKET s, const char* buf, int len, int flags, const SOCKADDR* to, int tolen) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (k->type == SOCK_STREAM || !to) return SendLocked(k, buf, len, flags);
    if (tolen < static_cast<int>(sizeof(SOCKADDR_IN))) return Fail(WSAEFAULT), SOCKET_ERROR;
    sockaddr_in sa;
    ToNative(to, sa);
    ssize_t n = ::sendto(k->fd, buf, static_cast<size_t>(std::max(len, 0)), MSG_NOSIGNAL,
                         reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n < 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    return static_cast<int>(n);
}

[[gnu::hot]] int recvCommon(SOCKET s, char* buf, int len, int flags, SOCKADDR* from, int* fromlen) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT), SOCKET_ERROR;
    int f = ((flags & WS_MSG_OOB) ? MSG_OOB : 0) | ((flags & WS_MSG_PEEK) ? MSG_PEEK : 0);
    sockaddr_in sa{};
    socklen_t sl = sizeof sa;
    ssize_t n;
    if (len == 0 && k->type == SOCK_STREAM) {
        // A zero-byte read reports whether the stream is still readable without taking anything.
        char c;
        n = ::recv(k->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) n = 0;
        else if (n == 0) n = 0;
    } else {
        n = ::recvfrom(k->fd, buf, static_cast<size_t>(len), f, reinterpret_cast<sockaddr*>(&sa), &sl);
    }
    int e = errno;
    if (!(flags & WS_MSG_PEEK)) {
        k->readSignalled = false;  // every read re-arms FD_READ
        Rearm(*k);
    }
    if (n < 0) return Fail(MapErrno(e)), SOCKET_ERROR;
    if (from && fromlen && k->type == SOCK_DGRAM) FromNative(sa, from, fromlen);
    return static_cast<int>(n);
}

[[gnu::hot]] int recv_(SOCKET s, char* buf, int len, int flags) { return recvCommon(s, buf, len, flags, nullptr, nullptr); }
int recvfrom_(SOCKET s, char* buf, int len, int flags, SOCKADDR* from, int* fromlen) {
    return recvCommon(s, buf, len, flags, from, fromlen);
}

[[gnu::hot]] int ioctlsocket_(SOCKET s, long cmd, ULONG* argp) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (!argp) return Fail(WSAEFAULT), SOCKET_ERROR;
    if (cmd == WS_FIONREAD) {
        int n = 0;
        if (k->listening) n = 0;
        else if (ioctl(k->fd, FIONREAD, &n) != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
        *argp = static_cast<ULONG>(n);
        return 0;
    }
    if (cmd == WS_FIONBIO) {
        if (*argp == 0 && k->mask != 0) return Fail(WSAEINVAL), SOCKET_ERROR;
        int fl = fcntl(k->fd, F_GETFL);
        fcntl(k->fd, F_SETFL, *argp ? (fl | O_NONBLOCK) : (fl & ~O_NONBLOCK));
        return 0;
    }
    return Fail(WSAEINVAL), SOCKET_ERROR;
}

int setsockopt_(SOCKET s, int level, int opt, const char* val, int len) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    if (!val) return Fail(WSAEFAULT), SOCKET_ERROR;
    auto intValue = [&](int& out) {
        if (len < 1) return false;
        if (len >= 4) {
            std::int32_t v;
            std::memcpy(&v, val, 4);
            out = v;
        } else {
            out = static_cast<unsigned char>(val[0]);
        }
        return true;
    };
    int rc = -1;
    int v = 0;
    if (level == WS_SOL_SOCKET) {
        switch (opt) {
            case WS_SO_LINGER: {
                if (len < static_cast<int>(sizeof(LINGER))) return Fail(WSAEFAULT), SOCKET_ERROR;
                LINGER l;
                std::memcpy(&l, val, sizeof l);
                linger nl{l.l_onoff ? 1 : 0, l.l_linger};
                rc = ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, &nl, sizeof nl);
                if (rc == 0) {
                    k->lingerOn = l.l_onoff != 0;
                    k->lingerSeconds = l.l_linger;
                }
                break;
            }
            case WS_SO_DONTLINGER: {
                if (!intValue(v)) return Fail(WSAEFAULT), SOCKET_ERROR;
                linger nl{v ? 0 : 1, 0};
                rc = ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, &nl, sizeof nl);
                if (rc == 0) {
                    k->lingerOn = !v;
                    k->lingerSeconds = 0;
                }
                break;
            }
            case WS_SO_KEEPALIVE:
            case WS_SO_REUSEADDR:
            case WS_SO_BROADCAST: {
                if (!intValue(v)) return Fail(WSAEFAULT), SOCKET_ERROR;
                int on = v ? 1 : 0;
                int n = opt == WS_SO_KEEPALIVE ? SO_KEEPALIVE : opt == WS_SO_REUSEADDR ? SO_REUSEADDR : SO_BROADCAST;
                rc = ::setsockopt(k->fd, SOL_SOCKET, n, &on, sizeof on);
                break;
            }
            case WS_SO_SNDBUF:
            case WS_SO_RCVBUF: {
                if (!intValue(v)) return Fail(WSAEFAULT), SOCKET_ERROR;
                rc = ::setsockopt(k->fd, SOL_SOCKET, opt == WS_SO_SNDBUF ? SO_SNDBUF : SO_RCVBUF, &v, sizeof v);
                break;
            }
            default: return Fail(WSAENOPROTOOPT), SOCKET_ERROR;
        }
    } else if (level == WS_IPPROTO_TCP && opt == WS_TCP_NODELAY) {
        if (!intValue(v)) return Fail(WSAEFAULT), SOCKET_ERROR;
        int on = v ? 1 : 0;
        rc = ::setsockopt(k->fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    } else {
        return Fail(WSAENOPROTOOPT), SOCKET_ERROR;
    }
    if (rc != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    return 0;
}

int sockName(SOCKET s, SOCKADDR* name, int* len, bool peer) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard lock(gMutex);
    Sock* k = Find(s);
    if (!k) return SOCKET_ERROR;
    sockaddr_in sa{};
    socklen_t sl = sizeof sa;
    int rc = peer ? ::getpeername(k->fd, reinterpret_cast<sockaddr*>(&sa), &sl)
                  : ::getsockname(k->fd, reinterpret_cast<sockaddr*>(&sa), &sl);
    if (rc != 0) return Fail(MapErrno(errno)), SOCKET_ERROR;
    return FromNative(sa, name, len);
}
int getsockname_(SOCKET s, SOCKADDR* name, int* len) { return sockName(s, name, len, false); }
int getpeername_(SOCKET s, SOCKADDR* name, int* len) { return sockName(s, name, len, true); }

ULONG inet_addr_(const char* cp) {
    if (!cp || !*cp) return WS_INADDR_NONE;
    in_addr a{};
    if (inet_aton(cp, &a) == 0) return WS_INADDR_NONE;
    return a.s_addr;
}

char* inet_ntoa_(WS_IN_ADDR in) {
    thread_local char buf[16];
    const auto* b = reinterpret_cast<const unsigned char*>(&in.s_addr);
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

u_short htons_(u_short v) { return htons(v); }
u_short ntohs_(u_short v) { return ntohs(v); }

HOSTENT* gethostbyname_(const char* name) {
    if (!Started()) return nullptr;
    if (!name) return Fail(WSAEFAULT), nullptr;
    HostResult r = ResolveName(name, nullptr);
    if (r.error) return Fail(r.error), nullptr;
    thread_local std::vector<char> store;
    int need = PackHostEntry(r, nullptr, 0);
    store.assign(static_cast<size_t>(need) + 8, 0);
    PackHostEntry(r, store.data(), need);
    return reinterpret_cast<HOSTENT*>(store.data());
}

// The machine's name (or the test name), zero-terminated; WSAEFAULT when it does not fit.
int gethostname_(char* name, int namelen) {
    if (!Started()) return SOCKET_ERROR;
    if (!name || namelen <= 0) return Fail(WSAEFAULT), SOCKET_ERROR;
    std::string own;
    {
        std::lock_guard lock(gMutex);
        own = gTestHostName;
    }
    if (own.empty()) {
        char buf[256] = {};
        if (::gethostname(buf, sizeof buf - 1) != 0) return Fail(WSAENETDOWN), SOCKET_ERROR;
        own = buf;
    }
    if (own.size() + 1 > static_cast<size_t>(namelen)) return Fail(WSAEFAULT), SOCKET_ERROR;
    std::memcpy(name, own.c_str(), own.size() + 1);
    return 0;
}

SERVENT* getservbyname_(const char* name, const char* proto) {
    if (!Started()) return nullptr;
    if (!name) return Fail(WSAEFAULT), nullptr;
    thread_local std::string sName, sProto;
    thread_local char* noAliases[1] = {nullptr};
    thread_local SERVENT ent{};
    int port = -1;
    std::string pr = proto ? proto : "";
    servent se{};
    servent* res = nullptr;
    char buf[1024];
    if (getservbyname_r(name, proto && *proto ? proto : nullptr, &se, buf, sizeof buf, &res) == 0 && res) {
        port = ntohs(static_cast<u_short>(res->s_port));
        if (pr.empty() && res->s_proto) pr = res->s_proto;
    } else if (strcasecmp(name, "http") == 0 && (pr.empty() || pr == "tcp")) {
        port = 80;
        if (pr.empty()) pr = "tcp";
    }
    if (port < 0) return Fail(WSANO_DATA), nullptr;
    sName = name;
    sProto = pr;
    ent.s_name = sName.data();
    ent.s_aliases = noAliases;
    ent.s_port = static_cast<std::int16_t>(htons(static_cast<u_short>(port)));
    ent.s_proto = sProto.data();
    return &ent;
}

PROTOENT* getprotobyname_(const char* name) {
    if (!Started()) return nullptr;
    if (!name) return Fail(WSAEFAULT), nullptr;
    thread_local std::string pName;
    thread_local char* noAliases[1] = {nullptr};
    thread_local PROTOENT ent{};
    int num = -1;
    protoent pe{};
    protoent* res = nullptr;
    char buf[1024];
    if (getprotobyname_r(name, &pe, buf, sizeof buf, &res) == 0 && res) num = res->p_proto;
    else if (strcasecmp(name, "tcp") == 0) num = 6;
    else if (strcasecmp(name, "udp") == 0) num = 17;
    if (num < 0) return Fail(WSANO_DATA), nullptr;
    pName = name;
    ent.p_name = pName.data();
    ent.p_aliases = noAliases;
    ent.p_proto = static_cast<std::int16_t>(num);
    return &ent;
}

win::ModuleDefinition Definition() {
    win::ModuleDefinition d;
    d.name = winsock::kLibraryName;
    d.exports = {
        win::Export("WSAStartup", &WSAStartup_),
        win::Export("WSACleanup", &WSACleanup_),
        win::Export("WSASetLastError", &WSASetLastError_),
        win::Export("WSAGetLastError", &WSAGetLastError_),
        win::Export("WSACancelAsyncRequest", &WSACancelAsyncRequest_),
        win::Export("WSAAsyncGetHostByName", &WSAAsyncGetHostByName_),
        win::Export("WSAAsyncGetHostByAddr", &WSAAsyncGetHostByAddr_),
        win::Export("WSAAsyncSelect", &WSAAsyncSelect_),
        win::Export("getservbyname", &getservbyname_),
        win::Export("getprotobyname", &getprotobyname_),
        win::Export("gethostbyname", &gethostbyname_),
        win::Export("gethostname", &gethostname_),
        win::Export("socket", &socket_),
        win::Export("bind", &bind_),
        win::Export("listen", &listen_),
        win::Export("accept", &accept_),
        win::Export("connect", &connect_),
        win::Export("shutdown", &shutdown_),
        win::Export("closesocket", &closesocket_),
        win::Export("send", &send_),
        win::Export("sendto", &sendto_),
        win::Export("recv", &recv_),
        win::Export("recvfrom", &recvfrom_),
        win::Export("ioctlsocket", &ioctlsocket_),
        win::Export("setsockopt", &setsockopt_),
        win::Export("getsockname", &getsockname_),
        win::Export("getpeername", &getpeername_),
        win::Export("inet_addr", &inet_addr_),
        win::Export("inet_ntoa", &inet_ntoa_),
        win::Export("htons", &htons_),
        win::Export("ntohs", &ntohs_),
    };
    return d;
}

win::ModuleRegistrar gRegistrar{Definition()};

}  // namespace

namespace winsock {

void EnsureRegistered() {
    static std::once_flag once;
    std::call_once(once, [] { win::RegisterModule(Definition()); });
}

void SetTestHosts(std::map<std::string, TestHost> hosts) {
    std::lock_guard lock(gMutex);
    gTestHosts = std::move(hosts);
    gHaveTestHosts = true;
}

void ClearTestHosts() {
    std::lock_guard lock(gMutex);
    gTestHosts.clear();
    gHaveTestHosts = false;
}

void SetTestHostName(const std::string& name) {
    std::lock_guard lock(gMutex);
    gTestHostName = name;
}

int OpenSocketCount() {
    std::lock_guard lock(gMutex);
    return static_cast<int>(gSockets.size());
}

}  // namespace winsock
