// URL splitting, a request's first target (direct or through a proxy), document names and the
// targets that location headers point to.
#include <algorithm>
#include <cctype>

#include "transport/HttpClient/Protocol.h"

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

// ":" + port, or nothing for the default port.
std::string PortSuffix(const std::string& Port) { return Port.empty() || Port == "80" ? std::string() : ":" + Port; }

// The folder of a request target: up to and including its last "/" before any query.
std::string FolderOf(const std::string& Path) {
    std::string p = Path.substr(0, Path.find('?'));
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string("/") : p.substr(0, slash + 1);
}

}  // namespace

namespace http {

TUrlParts SplitUrlParts(const std::string& Url) {
    TUrlParts u;
    if (Url.empty()) return u;
    std::string rest;
    size_t p = Url.find("://");
    if (p != std::string::npos) {
        u.Scheme = Url.substr(0, p);
        rest = Url.substr(p + 3);
    } else if (Url[0] == '/') {
        u.Scheme = "http";
        if (Url.size() > 1 && Url[1] != '/') {
            u.Path = Url;
            return u;
        }
        rest = Url.substr(1);
    } else if (StartsWithNoCase(Url, "http:")) {
        u.Scheme = "http";
        if (Url.size() > 6 && Url[6] != '/') {
            u.Path = Url.substr(5);
            return u;
        }
        rest = Url.size() > 6 ? Url.substr(6) : std::string();
    } else if (StartsWithNoCase(Url, "mailto:")) {
        u.Scheme = "mailto";
        rest = Url.substr(Url.find(':') + 1);
    } else {
        rest = Url;
    }
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos) u.Path = rest.substr(slash);
    size_t at = authority.rfind('@');
    size_t colon = authority.rfind(':');
    std::string userInfo;
    bool hasUserInfo = false;
    if (at == std::string::npos && colon == std::string::npos) {
        u.Host = authority;
    } else if (colon != std::string::npos && (at == std::string::npos || colon > at)) {
        u.Port = authority.substr(colon + 1);
        size_t hostStart = at == std::string::npos ? 0 : at + 1;
        u.Host = authority.substr(hostStart, colon - hostStart);
        if (at != std::string::npos && at > 0) {
            userInfo = authority.substr(0, at);
            hasUserInfo = true;
        }
    } else {
        u.Host = authority.substr(at + 1);
        userInfo = authority.substr(0, at);
        hasUserInfo = true;
    }
    if (hasUserInfo) {
        size_t c = userInfo.find(':');
        if (c == std::string::npos) {
            u.User = userInfo;
        } else {
            u.User = userInfo.substr(0, c);
            u.Password = userInfo.substr(c + 1);
        }
    }
    return u;
}

std::string DocumentNameOf(const std::string& Path) {
    if (Path.empty() || Path == "/") return "document.htm";
    std::string s = Path;
    if (s.back() == '/') s.pop_back();
    size_t slash = s.rfind('/');
    if (slash != std::string::npos) s = s.substr(slash + 1);
    s = s.substr(0, 255);
    return s.substr(0, s.find('?'));
}

std::string ReplaceFileExt(const std::string& Name, const std::string& Ext) {
    size_t dot = Name.rfind('.');
    if (dot == std::string::npos) return Name + "." + Ext;
    return Name.substr(0, dot + 1) + Ext;
}

TRequestPlan PlanRequest(const std::string& Url, const std::string& Proxy, const std::string& ProxyPort) {
    TRequestPlan plan;
    TUrlParts u = SplitUrlParts(Url);
    plan.User = u.User;
    plan.Password = u.Password;
    TTarget& t = plan.Target;
    t.HostHeader = u.Host;
    t.Location = Url;
    if (Proxy.empty()) {
        t.HostName = u.Host;
        t.Port = u.Port.empty() ? "80" : u.Port;
        t.Path = u.Path;
    } else {
        // The proxy is told the whole target, without the user and password.
        t.Path = (u.Scheme.empty() ? "http" : u.Scheme) + "://" + u.Host + (u.Port.empty() ? "" : ":" + u.Port) +
                 (u.Path.empty() ? "/" : u.Path);
        TUrlParts p = SplitUrlParts(Proxy);
        t.HostName = p.Host;
        t.Port = p.Port.empty() ? ProxyPort : p.Port;
    }
    plan.DocumentName = DocumentNameOf(u.Path);
    if (t.Path.empty()) t.Path = "/";
    return plan;
}

std::string SchemeOf(const std::string& Value) {
    if (Value.empty() || !std::isalpha(static_cast<unsigned char>(Value[0]))) return {};
    size_t i = 1;
    while (i < Value.size()) {
        const auto c = static_cast<unsigned char>(Value[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') break;
        ++i;
    }
    if (i == Value.size() || Value[i] != ':') return {};
    const bool slashes = Value.compare(i + 1, 2, "//") == 0;
    if (!slashes && i + 1 < Value.size() && std::isdigit(static_cast<unsigned char>(Value[i + 1]))) return {};
    std::string scheme = Value.substr(0, i);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

void ResolveLocation(const std::string& Value, bool ViaProxy, TTarget& Target) {
    if (Value.empty()) return;
    const bool rooted = Value[0] == '/';
    TUrlParts v = SplitUrlParts(Value);
    const bool absolute = !rooted && !v.Scheme.empty() && !v.Host.empty();
    const bool hostless = !rooted && !v.Scheme.empty() && v.Host.empty();
    if (!ViaProxy) {
        if (rooted) {
            Target.Path = Value;
            Target.Location = "http://" + Target.HostName + PortSuffix(Target.Port) + Value;
        } else if (absolute) {
            Target.HostName = v.Host;
            Target.HostHeader = v.Host;
            Target.Port = v.Port.empty() ? "80" : v.Port;
            Target.Path = v.Path.empty() ? "/" : v.Path;
            Target.Location = v.Scheme + "://" + v.Host + (v.Port.empty() ? "" : ":" + v.Port) + v.Path;
        } else if (hostless) {
            Target.HostName = Target.HostHeader;
            Target.Path = v.Path.empty() ? "/" : v.Path;
            Target.Location = "http://" + Target.HostHeader + PortSuffix(Target.Port) + v.Path;
        } else {
            // A relative reference: beside the current document, sent as an absolute target.
            std::string current = Target.Path.find("://") != std::string::npos ? SplitUrlParts(Target.Path).Path
                                                                                 : Target.Path;
            Target.HostName = Target.HostHeader;
            Target.Location = "http://" + Target.HostHeader + PortSuffix(Target.Port) + FolderOf(current) + Value;
            Target.Path = Target.Location;
        }
        return;
    }
    // Through a proxy the connection keeps naming the proxy; the target URL changes.
    TUrlParts cur = SplitUrlParts(Target.Path);
    std::string origin = (cur.Scheme.empty() ? "http" : cur.Scheme) + "://" + cur.Host +
                         (cur.Port.empty() ? "" : ":" + cur.Port);
    if (rooted) {
        Target.Path = origin + Value;
        Target.Location = Target.Path;
    } else if (absolute) {
        Target.HostHeader = v.Host;
        std::string base = v.Scheme + "://" + v.Host + (v.Port.empty() ? "" : ":" + v.Port);
        Target.Path = base + (v.Path.empty() ? "/" : v.Path);
        Target.Location = base + v.Path;
    } else if (hostless) {
        Target.Path = origin + (v.Path.empty() ? "/" : v.Path);
        Target.Location = Target.Path;
    } else {
        Target.Path = origin + FolderOf(cur.Path.empty() ? "/" : cur.Path) + Value;
        Target.Location = Target.Path;
    }
}

}  // namespace http

void SplitUrl(const std::string& Url, std::string& Scheme, std::string& User, std::string& Password,
              std::string& Host, std::string& Port, std::string& Path) {
    http::TUrlParts u = http::SplitUrlParts(Url);
    Scheme = u.Scheme;
    User = u.User;
    Password = u.Password;
    Host = u.Host;
    Port = u.Port;
    Path = u.Path;
}
