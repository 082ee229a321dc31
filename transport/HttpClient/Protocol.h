// The HTTP/1.0 client's pure core: URL splitting and request targets, the request header lines,
// dates and Base64, the receive buffer that cuts answers into lines, status and header-field
// parsing, and where a location header sends the next attempt.
//
// Nothing here touches a socket or a window: bytes and texts in, values out. THttpClient
// (transport/HttpClient.h) drives these from its socket events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Days since 30 December 1899; the fraction is the time of day (its absolute value for dates
// before that day).
using TDateTime = double;

// Splits Url into its parts, each kept as typed (no case change, no decoding). Every output starts
// empty; an empty Url gives nothing.
void SplitUrl(const std::string& Url, std::string& Scheme, std::string& User, std::string& Password,
              std::string& Host, std::string& Port, std::string& Path);

// "Tue, 05 Mar 2002 14:03:09": day name, day, month name, year and time of D as it stands.
std::string RFC1123Date(TDateTime D);

// Standard Base64 with "=" padding and no line breaks.
std::string EncodeBase64(const std::string& Data);

namespace http {

struct TUrlParts {
    std::string Scheme, User, Password, Host, Port, Path;
};
TUrlParts SplitUrlParts(const std::string& Url);

// Where one attempt of a request goes: the host to look up and connect to (the target or the
// proxy) with its port, the Host line, the request target and the URL the attempt stands for.
struct TTarget {
    std::string HostName;
    std::string HostHeader;
    std::string Port;
    std::string Path;
    std::string Location;
};

// A request's first attempt, from the URL and the proxy settings. User and Password are those
// found in the URL (empty when it names none).
struct TRequestPlan {
    TTarget Target;
    std::string DocumentName;
    std::string User;
    std::string Password;
};
TRequestPlan PlanRequest(const std::string& Url, const std::string& Proxy, const std::string& ProxyPort);

// The document name of a request target: the last path segment without its query, at most 255
// characters; "document.htm" for an empty target or "/".
std::string DocumentNameOf(const std::string& Path);

// Replaces the text after the last "." of Name with Ext, or appends "." + Ext without a ".".
std::string ReplaceFileExt(const std::string& Name, const std::string& Ext);

// The scheme a location value names, lower-cased, or empty when it names none: a name (a letter,
// then letters, digits, "+", "-" or ".") followed by "://", or by a ":" that does not begin a port
// (so "host:8080/x" names no scheme, "mailto:x" and "https:x" do).
std::string SchemeOf(const std::string& Value);

// Moves Target to where the location header value Value points. On a direct connection the
// host, Host line, port and request target follow the value; through a proxy the host and port
// keep naming the proxy and the request target becomes the new absolute URL. A value without a
// scheme that does not begin with "/" is resolved against the folder of the current target.
void ResolveLocation(const std::string& Value, bool ViaProxy, TTarget& Target);

// Everything the request header is made of.
struct TRequestHead {
    std::string Method;
    std::string Path;
    std::string Version = "1.0";
    std::string Sender;
    std::string Accept;
    std::string Reference;
    std::string ContentTypePost;
    std::string Agent;
    std::string HostHeader;
    bool NoCache = false;
    std::int64_t ContentLength = 0;  // sent with "POST" only
    TDateTime ModifiedSince = 0;
    std::string Username;
    std::string Password;
    bool ViaProxy = false;
    std::string ProxyUsername;
    std::string ProxyPassword;
    std::string Cookie;
    std::string RangeBegin;
    std::string RangeEnd;
};
// The header lines in the order they are sent, without line ends and without the empty line
// that closes the header.
std::vector<std::string> RequestHeaderLines(const TRequestHead& Head);

// Count + N for a non-negative N, stopping at the largest 32-bit value instead of overflowing.
inline int AddSaturated(int Count, int N) {
    return static_cast<std::int64_t>(Count) + N > INT32_MAX ? INT32_MAX : Count + N;
}

// A decimal number with an optional sign and nothing else around it, within 32 bits.
bool ParseDecimal(const std::string& Text, int& Value);

// A status line begins with "HTTP/1.0" or "HTTP/1.1" (exact case). Its code is characters 10 to
// 12, its reason the text from character 14 on; CodeValid is false when the code is no number.
// WellFormed holds for a status line that can open an answer: the version, one space, three
// digits making a code of 100 or more, then the end of the line or a space.
struct TStatusLine {
    bool IsStatus = false;
    bool CodeValid = false;
    bool WellFormed = false;
    int Code = 0;
    std::string Reason;
};
TStatusLine ParseStatusLine(const std::string& Line);

// "Name: value": the name lower-cased, the value from the first character after the ":" that is
// not a space (the last character of the line is never skipped).
struct THeaderField {
    bool HasColon = false;
    std::string Name;
    std::string Value;
};
THeaderField ParseHeaderField(const std::string& Line);

// "bytes 100-199/500" gives 100 and 199.
void SplitContentRange(const std::string& Value, std::string& First, std::string& Last);

// True when the line opens an answer that has no header (its first six characters, upper-cased,
// are "<HTML>").
bool IsHeaderlessStart(const std::string& Line);

// The receive buffer: at most Capacity bytes of an answer not yet handed on. Lines are found by
// length, so a zero byte hides nothing behind it.
class TReceiveBuffer {
public:
    static constexpr int Capacity = 8192;

    int Count() const { return FEnd - FStart; }
    int Free() const { return Capacity - Count(); }
    bool Full() const { return Count() >= Capacity; }
    // Room for Free() bytes right after the data; Commit(n) adds the n bytes written there.
    char* WritePointer();
    void Commit(int Count);
    // Takes the first line ended by LF (without the LF and a CR right before it); false when the
    // data holds no LF.
    bool TakeLine(std::string& Line);
    // Takes every byte as it stands.
    void TakeAll(std::string& Data);
    void Clear() { FStart = FEnd = 0; }

private:
    char FData[Capacity + 1] = {};  // the data is always followed by a zero byte
    int FStart = 0;
    int FEnd = 0;
};

}  // namespace http
