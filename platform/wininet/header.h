// The answer's header as WinInet keeps it: the blocks arriving line by line (interim answers and
// followed redirects passed over) and the values HttpQueryInfoA gives from the final one.
#pragma once

#include <string>
#include <vector>

#include "platform/win/wintypes.h"

namespace wininet {

class HeaderReader {
public:
    // One received header line without its line end (a status line starts a block, an empty line
    // ends it). True once the final block is complete.
    bool Line(const std::string& line);
    // The body began or the transfer ended: the block read last is the final one, if none was.
    void Finish();
    bool Done() const { return FDone; }
    const std::string& StatusLine() const { return FStatusLine; }
    const std::vector<std::string>& Lines() const { return FLines; }

private:
    std::string FBlockStatus;
    std::vector<std::string> FBlockLines;
    std::string FStatusLine;
    std::vector<std::string> FLines;
    bool FDone = false;
};

// The status code of a status line ("HTTP/1.1 200 OK" gives 200), 0 when it has none.
int StatusOf(const std::string& statusLine);

// The text of query `level` (an HTTP_QUERY_ value, flags masked off) in a header: 0, or
// ERROR_HTTP_HEADER_NOT_FOUND / ERROR_HTTP_INVALID_QUERY_REQUEST.
DWORD QueryHeader(const std::string& statusLine, const std::vector<std::string>& lines, DWORD level,
                  std::string& value);

}  // namespace wininet
