#include "platform/wininet/header.h"

#include <strings.h>

#include <cstring>

#include "platform/wininet/wininet.h"

namespace wininet {

namespace {

bool IsFollowedRedirect(int code) { return code == 301 || code == 302 || code == 303 || code == 307 || code == 308; }

bool HasLocation(const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        if (strncasecmp(l.c_str(), "location:", 9) == 0) return true;
    return false;
}

// The value of header `name`, trimmed; false when the header has none.
bool HeaderValue(const std::vector<std::string>& lines, const char* name, std::string& value) {
    const size_t n = std::strlen(name);
    for (const auto& l : lines) {
        if (l.size() > n && strncasecmp(l.c_str(), name, n) == 0 && l[n] == ':') {
            size_t b = l.find_first_not_of(" \t", n + 1);
            size_t e = l.find_last_not_of(" \t");
            value = b == std::string::npos ? "" : l.substr(b, e - b + 1);
            return true;
        }
    }
    return false;
}

}  // namespace

int StatusOf(const std::string& statusLine) {
    size_t sp = statusLine.find(' ');
    if (sp == std::string::npos) return 0;
    int code = 0;
    for (size_t i = sp + 1; i < sp + 4; ++i) {
        if (i >= statusLine.size() || statusLine[i] < '0' || statusLine[i] > '9') return 0;
        code = code * 10 + (statusLine[i] - '0');
    }
    if (sp + 4 < statusLine.size() && statusLine[sp + 4] != ' ') return 0;
    return code;
}

bool HeaderReader::Line(const std::string& line) {
    if (FDone) return true;
    if (line.compare(0, 5, "HTTP/") == 0) {
        FBlockStatus = line;
        FBlockLines.clear();
    } else if (line.empty()) {
        const int code = StatusOf(FBlockStatus);
        const bool interim = code >= 100 && code < 200;
        const bool redirected = IsFollowedRedirect(code) && HasLocation(FBlockLines);
        if (!interim && !redirected) Finish();
    } else {
        FBlockLines.push_back(line);
    }
    return FDone;
}

void HeaderReader::Finish() {
    if (FDone) return;
    FDone = true;
    FStatusLine = FBlockStatus;
    FLines = FBlockLines;
}

DWORD QueryHeader(const std::string& statusLine, const std::vector<std::string>& lines, DWORD level,
                  std::string& value) {
    value.clear();
    switch (level) {
        case HTTP_QUERY_CONTENT_TYPE:
            return HeaderValue(lines, "Content-Type", value) ? 0 : ERROR_HTTP_HEADER_NOT_FOUND;
        case HTTP_QUERY_CONTENT_LENGTH:
            return HeaderValue(lines, "Content-Length", value) ? 0 : ERROR_HTTP_HEADER_NOT_FOUND;
        case HTTP_QUERY_LOCATION:
            return HeaderValue(lines, "Location", value) ? 0 : ERROR_HTTP_HEADER_NOT_FOUND;
        case HTTP_QUERY_STATUS_CODE: {
            const int code = StatusOf(statusLine);
            if (!code) return ERROR_HTTP_HEADER_NOT_FOUND;
            value = std::to_string(code);
            return 0;
        }
        case HTTP_QUERY_STATUS_TEXT: {
            size_t sp = statusLine.find(' ');
            sp = sp == std::string::npos ? sp : statusLine.find(' ', sp + 1);
            if (sp != std::string::npos) value = statusLine.substr(sp + 1);
            return 0;
        }
        case HTTP_QUERY_RAW_HEADERS_CRLF:
            value = statusLine + "\r\n";
            for (const auto& l : lines) value += l + "\r\n";
            value += "\r\n";
            return 0;
        default: return ERROR_HTTP_INVALID_QUERY_REQUEST;
    }
}

}  // namespace wininet
