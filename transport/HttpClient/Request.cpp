// The request header lines in their fixed order, the If-Modified-Since date and Base64.
#include <cmath>
#include <cstdio>

#include "transport/HttpClient/Protocol.h"

namespace {

// Year, month and day of a count of days since 1 January 1970 (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

}  // namespace

std::string RFC1123Date(TDateTime D) {
    // The dates of years 1 to 9999 (what a date value can hold).
    constexpr double MinDate = -693593.0, MaxDate = 2958465.999999;
    if (!std::isfinite(D)) D = 0;
    D = std::fmin(std::fmax(D, MinDate), MaxDate);
    const std::int64_t days = static_cast<std::int64_t>(std::trunc(D));
    std::int64_t ms = std::llround(std::fabs(D - std::trunc(D)) * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    std::int64_t year;
    int month, day;
    CivilFromDays(days - 25569, year, month, day);  // 25569: 1 January 1970
    static const char DayNames[] = "MonTueWedThuFriSatSun";
    static const char MonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const int weekday = static_cast<int>(((days - 2) % 7 + 7) % 7);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d", DayNames + 3 * weekday, day,
                  MonthNames + 3 * (month - 1), static_cast<int>(year), static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60));
    return buf;
}

std::string EncodeBase64(const std::string& Data) {
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((Data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < Data.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(Data[i]) << 16 | static_cast<unsigned char>(Data[i + 1]) << 8 |
                     static_cast<unsigned char>(Data[i + 2]);
        out += Alphabet[v >> 18];
        out += Alphabet[v >> 12 & 63];
        out += Alphabet[v >> 6 & 63];
        out += Alphabet[v & 63];
    }
    if (i < Data.size()) {
        unsigned v = static_cast<unsigned char>(Data[i]) << 16;
        if (i + 1 < Data.size()) v |= static_cast<unsigned char>(Data[i + 1]) << 8;
        out += Alphabet[v >> 18];
        out += Alphabet[v >> 12 & 63];
        out += i + 1 < Data.size() ? Alphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

namespace http {

std::vector<std::string> RequestHeaderLines(const TRequestHead& H) {
    const bool post = H.Method == "POST";
    std::vector<std::string> lines;
    lines.push_back(H.Method + " " + H.Path + " HTTP/" + H.Version);
    if (!H.Sender.empty()) lines.push_back("From: " + H.Sender);
    if (!H.Accept.empty()) lines.push_back("Accept: " + H.Accept);
    if (!H.Reference.empty()) lines.push_back("Referer: " + H.Reference);
    if (post && !H.ContentTypePost.empty()) lines.push_back("Content-Type: " + H.ContentTypePost);
    if (!H.Agent.empty()) lines.push_back("User-Agent: " + H.Agent);
    lines.push_back("Host: " + H.HostHeader);
    if (H.NoCache) lines.push_back("Pragma: no-cache");
    if (post) lines.push_back("Content-Length: " + std::to_string(H.ContentLength));
    if (H.ModifiedSince != 0) lines.push_back("If-Modified-Since: " + RFC1123Date(H.ModifiedSince) + " GMT");
    if (!H.Username.empty()) lines.push_back("Authorization: Basic " + EncodeBase64(H.Username + ":" + H.Password));
    if (H.ViaProxy && !H.ProxyUsername.empty())
        lines.push_back("Proxy-Authorization: Basic " + EncodeBase64(H.ProxyUsername + ":" + H.ProxyPassword));
    if (!H.Cookie.empty()) lines.push_back("Cookie: " + H.Cookie);
    if (!H.RangeBegin.empty() || !H.RangeEnd.empty())
        lines.push_back("Range: bytes=" + H.RangeBegin + "-" + H.RangeEnd);
    return lines;
}

}  // namespace http
