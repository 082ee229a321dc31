// The handles of "wininet.dll" and its entry points; the exchange itself is in exchange.cpp.
#include "platform/wininet/wininet.h"

#include <strings.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/modules.h"
#include "platform/win/winbase.h"
#include "platform/wininet/exchange.h"
#include "platform/wininet/names.h"

namespace {

enum class Kind { Session, Connection, Request };

struct Handle {
    Kind kind;
    std::uintptr_t parent = 0;
    DWORD connectTimeoutMs = 60000;
    DWORD receiveTimeoutMs = 60000;
    // Session.
    std::string agent;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy, proxyBypass;
    // Connection.
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string userName, password;
    // Request.
    std::string verb, object, referrer;
    bool http10 = false;
    std::vector<std::string> accept;
    DWORD flags = 0;
    bool sent = false;
    std::unique_ptr<wininet::Exchange> exchange;
    explicit Handle(Kind k) : kind(k) {}
};

// What a new handle takes over from the handle it is made from.
void Inherit(Handle& to, const Handle& from) {
    to.connectTimeoutMs = from.connectTimeoutMs;
    to.receiveTimeoutMs = from.receiveTimeoutMs;
    to.agent = from.agent;
    to.accessType = from.accessType;
    to.proxy = from.proxy;
    to.proxyBypass = from.proxyBypass;
    to.host = from.host;
    to.port = from.port;
    to.userName = from.userName;
    to.password = from.password;
}

// Never destroyed: a worker may still close its handles while the process exits.
struct Table {
    std::mutex mutex;
    std::map<std::uintptr_t, std::shared_ptr<Handle>> handles;
    std::uintptr_t next = 0x1000;
};
Table& T() {
    static Table* t = new Table;
    return *t;
}

HINTERNET Add(std::shared_ptr<Handle> h) {
    std::lock_guard lock(T().mutex);
    std::uintptr_t id = T().next;
    T().next += 4;
    T().handles[id] = std::move(h);
    return reinterpret_cast<HINTERNET>(id);
}

// The open handle of the kind asked for, or null with the error set.
std::shared_ptr<Handle> Find(HINTERNET h, Kind kind) {
    std::lock_guard lock(T().mutex);
    auto it = T().handles.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == T().handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<Handle> FindAny(HINTERNET h) {
    std::lock_guard lock(T().mutex);
    auto it = T().handles.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == T().handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::string Text(const char* s) { return s ? s : ""; }

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

// The header lines of the extra headers given to HttpSendRequestA.
std::vector<std::string> SplitHeaders(const char* headers, DWORD length) {
    std::vector<std::string> out;
    if (!headers) return out;
    std::string all = length == static_cast<DWORD>(-1) ? std::string(headers) : std::string(headers, length);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string::npos) end = all.size();
        if (end > start) out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD) {
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
        accessType != INTERNET_OPEN_TYPE_PROXY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto h = std::make_shared<Handle>(Kind::Session);
    h->agent = Text(agent);
    h->accessType = accessType;
    h->proxy = Text(proxy);
    h->proxyBypass = Text(proxyBypass);
    return Add(std::move(h));
}

HINTERNET InternetConnectA(HINTERNET session, const char* serverName, INTERNET_PORT port, const char* userName,
                           const char* password, DWORD service, DWORD, DWORD_PTR) {
    auto s = Find(session, Kind::Session);
    if (!s) return nullptr;
    if (service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto h = std::make_shared<Handle>(Kind::Connection);
    {
        std::lock_guard lock(T().mutex);
        Inherit(*h, *s);
    }
    h->parent = reinterpret_cast<std::uintptr_t>(session);
    h->host = Text(serverName);
    h->port = port == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_HTTP_PORT : port;
    h->userName = Text(userName);
    h->password = Text(password);
    return Add(std::move(h));
}

HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR) {
    auto c = Find(connection, Kind::Connection);
    if (!c) return nullptr;
    auto h = std::make_shared<Handle>(Kind::Request);
    {
        std::lock_guard lock(T().mutex);
        Inherit(*h, *c);
    }
    h->parent = reinterpret_cast<std::uintptr_t>(connection);
    h->verb = verb && *verb ? verb : "GET";
    h->object = Text(objectName);
    if (h->object.empty() || h->object[0] != '/') h->object.insert(0, "/");
    h->http10 = version && strcasecmp(version, "HTTP/1.0") == 0;
    h->referrer = Text(referrer);
    for (const char** a = acceptTypes; a && *a; ++a) h->accept.emplace_back(*a);
    h->flags = flags;
    h->exchange = std::make_unique<wininet::Exchange>();
    return Add(std::move(h));
}

BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength) {
    auto r = Find(request, Kind::Request);
    if (!r) return FALSE;
    if (r->host.empty()) return Fail(ERROR_INTERNET_NAME_NOT_RESOLVED);
    wininet::ExchangeSettings s;
    std::unique_lock lock(T().mutex);
    s.url = "http://" + r->host;
    if (r->port != INTERNET_DEFAULT_HTTP_PORT) s.url += ":" + std::to_string(r->port);
    s.url += r->object;
    s.verb = r->verb;
    s.http10 = r->http10;
    s.agent = r->agent;
    s.userName = r->userName;
    s.password = r->password;
    s.accessType = r->accessType;
    s.proxy = r->proxy;
    s.proxyBypass = r->proxyBypass;
    s.connectTimeoutMs = r->connectTimeoutMs;
    s.receiveTimeoutMs = r->receiveTimeoutMs;
    if (r->accept.empty()) {
        s.headers.push_back("Accept:");
    } else {
        std::string line = "Accept: ";
        for (size_t i = 0; i < r->accept.size(); ++i) line += (i ? ", " : "") + r->accept[i];
        s.headers.push_back(line);
    }
    if (!r->referrer.empty()) s.headers.push_back("Referer: " + r->referrer);
    if (r->flags & INTERNET_FLAG_RELOAD) s.headers.push_back("Pragma: no-cache");
    for (auto& h : SplitHeaders(headers, headersLength)) s.headers.push_back(h);
    if (optional) {
        s.body.assign(static_cast<const char*>(optional), optionalLength);
        s.hasBody = true;
    }
    const std::string host = r->host;
    const INTERNET_PORT port = r->port;
    const bool viaProxy = r->accessType == INTERNET_OPEN_TYPE_PROXY && !r->proxy.empty();
    lock.unlock();
    if (!viaProxy) {  // a proxy looks the name up itself
        std::string address;
        if (DWORD err = wininet::ResolveHost(host, address)) return Fail(err);
        if (!address.empty() && address != host) s.resolve = host + ":" + std::to_string(port) + ":" + address;
    }
    r->sent = false;
    DWORD err = r->exchange->Send(s);
    if (err) return Fail(err);
    r->sent = true;
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD*) {
    auto r = Find(request, Kind::Request);
    if (!r) return FALSE;
    if (!r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
    std::string value;
    if (DWORD err = wininet::QueryHeader(r->exchange->StatusLine(), r->exchange->HeaderLines(), infoLevel & 0xFFFFu, value))
        return Fail(err);
    if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
            return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
        if (*bufferLength < sizeof(DWORD) || !buffer) {
            *bufferLength = sizeof(DWORD);
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        DWORD n = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        std::memcpy(buffer, &n, sizeof n);
        *bufferLength = sizeof n;
        return TRUE;
    }
    if (!buffer || *bufferLength < value.size() + 1) {
        *bufferLength = static_cast<DWORD>(value.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *bufferLength = static_cast<DWORD>(value.size());
    return TRUE;
}

BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read) {
    if (read) *read = 0;
    auto r = Find(request, Kind::Request);
    if (!r) return FALSE;
    if (!read || (!buffer && toRead)) return Fail(ERROR_INVALID_PARAMETER);
    if (!r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    DWORD err = r->exchange->Read(static_cast<char*>(buffer), toRead, read);
    if (err) return Fail(err);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    std::vector<std::shared_ptr<Handle>> closed;
    {
        std::lock_guard lock(T().mutex);
        auto it = T().handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == T().handles.end()) return Fail(ERROR_INVALID_HANDLE);
        // The handle and every handle made from it, at any depth.
        std::vector<std::uintptr_t> ids{it->first};
        for (size_t i = 0; i < ids.size(); ++i)
            for (auto& [id, h] : T().handles)
                if (h->parent == ids[i]) ids.push_back(id);
        for (auto id : ids) {
            auto f = T().handles.find(id);
            closed.push_back(std::move(f->second));
            T().handles.erase(f);
        }
    }
    // Calls still running on these handles hold them; they return at once and free the last copy.
    for (auto& h : closed)
        if (h->exchange) h->exchange->Cancel();
    return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength) {
    auto h = FindAny(handle);
    if (!h) return FALSE;
    if (option != INTERNET_OPTION_CONNECT_TIMEOUT && option != INTERNET_OPTION_RECEIVE_TIMEOUT)
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    if (!buffer || bufferLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD v;
    std::memcpy(&v, buffer, sizeof v);
    std::lock_guard lock(T().mutex);
    (option == INTERNET_OPTION_CONNECT_TIMEOUT ? h->connectTimeoutMs : h->receiveTimeoutMs) = v;
    return TRUE;
}

namespace {

win::ModuleDefinition Definition() {
    win::ModuleDefinition d;
    d.name = wininet::kLibraryName;
    d.exports = {
        win::Export("InternetOpenA", &InternetOpenA),
        win::Export("InternetConnectA", &InternetConnectA),
        win::Export("HttpOpenRequestA", &HttpOpenRequestA),
        win::Export("HttpSendRequestA", &HttpSendRequestA),
        win::Export("HttpQueryInfoA", &HttpQueryInfoA),
        win::Export("InternetReadFile", &InternetReadFile),
        win::Export("InternetCloseHandle", &InternetCloseHandle),
        win::Export("InternetSetOptionA", &InternetSetOptionA),
    };
    return d;
}

}  // namespace

namespace wininet {

void EnsureRegistered() {
    static std::once_flag once;
    std::call_once(once, [] { win::RegisterModule(Definition()); });
}

int OpenHandleCount() {
    std::lock_guard lock(T().mutex);
    return static_cast<int>(T().handles.size());
}

}  // namespace wininet
