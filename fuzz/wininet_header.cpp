// Fuzzes how "wininet.dll" reads an answer's header: the blocks arriving line by line (interim
// answers and redirects passed over) and every query HttpQueryInfoA answers from the final block.
// The input is the header bytes; lines end at LF (a CR before it is dropped, as the exchange does).
#include <cstdint>
#include <string>

#include "platform/wininet/header.h"
#include "platform/wininet/wininet.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    wininet::HeaderReader header;
    size_t start = 0;
    while (start <= in.size() && !header.Done()) {
        size_t end = in.find('\n', start);
        if (end == std::string::npos) end = in.size();
        std::string line = in.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        const bool done = header.Line(line);
        Check(done == header.Done());
        start = end + 1;
    }
    header.Finish();
    Check(header.Done());
    const int code = wininet::StatusOf(header.StatusLine());
    Check(code >= 0 && code <= 999);
    for (DWORD level : {HTTP_QUERY_CONTENT_TYPE, HTTP_QUERY_CONTENT_LENGTH, HTTP_QUERY_STATUS_CODE,
                        HTTP_QUERY_STATUS_TEXT, HTTP_QUERY_RAW_HEADERS_CRLF, HTTP_QUERY_LOCATION, DWORD{77}}) {
        std::string value;
        DWORD err = wininet::QueryHeader(header.StatusLine(), header.Lines(), level, value);
        if (level == 77) Check(err == ERROR_HTTP_INVALID_QUERY_REQUEST);
        if (err) Check(value.empty());
        if (!err && level != HTTP_QUERY_RAW_HEADERS_CRLF && level != HTTP_QUERY_STATUS_TEXT && !value.empty()) {
            Check(value.front() != ' ' && value.front() != '\t');
            Check(value.back() != ' ' && value.back() != '\t');
        }
        if (!err && level == HTTP_QUERY_STATUS_CODE) Check(value == std::to_string(code));
    }
    return 0;
}
