// The receive buffer and the reading of status lines and response header fields.
#include <cctype>
#include <cstring>

#include "transport/HttpClient/Protocol.h"

namespace http {

bool ParseDecimal(const std::string& Text, int& Value) {
    size_t i = 0;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
    if (i == Text.size()) return false;
    std::int64_t v = 0;
    for (; i < Text.size(); ++i) {
        if (Text[i] < '0' || Text[i] > '9') return false;
        v = v * 10 + (Text[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return false;
    Value = static_cast<int>(v);
    return true;
}

TStatusLine ParseStatusLine(const std::string& Line) {
    TStatusLine s;
    s.IsStatus = Line.compare(0, 8, "HTTP/1.0") == 0 || Line.compare(0, 8, "HTTP/1.1") == 0;
    if (!s.IsStatus) return s;
    std::string code = Line.size() > 9 ? Line.substr(9, 3) : std::string();
    s.CodeValid = ParseDecimal(code, s.Code);
    if (Line.size() > 13) s.Reason = Line.substr(13);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    s.WellFormed = Line.size() >= 12 && Line[8] == ' ' && digit(Line[9]) && digit(Line[10]) && digit(Line[11]) &&
                   (Line.size() == 12 || Line[12] == ' ') && s.Code >= 100;
    return s;
}

THeaderField ParseHeaderField(const std::string& Line) {
    THeaderField f;
    size_t colon = Line.find(':');
    if (colon == std::string::npos) return f;
    f.HasColon = true;
    f.Name = Line.substr(0, colon);
    for (char& c : f.Name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t i = colon + 1;
    while (i + 1 < Line.size() && Line[i] == ' ') ++i;
    f.Value = Line.substr(std::min(i, Line.size()));
    return f;
}

void SplitContentRange(const std::string& Value, std::string& First, std::string& Last) {
    size_t dash = Value.find('-');
    size_t firstEnd = dash == std::string::npos ? Value.size() : dash;
    First = firstEnd > 6 ? Value.substr(6, firstEnd - 6) : std::string();
    Last.clear();
    if (dash == std::string::npos) return;
    size_t slash = Value.find('/', dash + 1);
    Last = Value.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
}

bool IsHeaderlessStart(const std::string& Line) {
    static const char Tag[] = "<HTML>";
    if (Line.size() < 6) return false;
    for (int i = 0; i < 6; ++i)
        if (std::toupper(static_cast<unsigned char>(Line[i])) != Tag[i]) return false;
    return true;
}

char* TReceiveBuffer::WritePointer() {
    if (FStart > 0) {
        std::memmove(FData, FData + FStart, static_cast<size_t>(Count()));
        FEnd -= FStart;
        FStart = 0;
    }
    return FData + FEnd;
}

void TReceiveBuffer::Commit(int N) {
    if (N <= 0) return;
    FEnd += std::min(N, Capacity - FEnd);
    FData[FEnd] = 0;
}

bool TReceiveBuffer::TakeLine(std::string& Line) {
    const char* start = FData + FStart;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(Count())));
    if (!lf) return false;
    size_t len = static_cast<size_t>(lf - start);
    if (len > 0 && start[len - 1] == '\r') --len;
    Line.assign(start, len);
    FStart = static_cast<int>(lf + 1 - FData);
    if (FStart == FEnd) Clear();
    return true;
}

void TReceiveBuffer::TakeAll(std::string& Data) {
    Data.assign(FData + FStart, static_cast<size_t>(Count()));
    Clear();
}

}  // namespace http
