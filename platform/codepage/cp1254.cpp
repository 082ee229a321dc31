#include "platform/codepage/cp1254.h"

namespace cp1254 {

namespace {
constexpr char32_t kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0xFFFD, 0x0178,
};
}  // namespace

char32_t ToUnicode(unsigned char b) {
    if (b < 0x80) return b;
    if (b < 0xA0) return kHigh[b - 0x80];
    switch (b) {
        case 0xD0: return 0x011E;
        case 0xDD: return 0x0130;
        case 0xDE: return 0x015E;
        case 0xF0: return 0x011F;
        case 0xFD: return 0x0131;
        case 0xFE: return 0x015F;
        default: return b;
    }
}

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The character of a byte in a file name: an unassigned byte is the C1 control of its number.
char32_t PathChar(unsigned char b) {
    const char32_t cp = ToUnicode(b);
    return cp == 0xFFFD ? b : cp;
}

// The code point of the UTF-8 sequence at s[i] and its length; length 0 when the bytes there are
// no sequence (a stray or missing continuation byte, a sequence cut by the end).
char32_t DecodeAt(std::string_view s, size_t i, size_t& len) {
    const auto b = static_cast<unsigned char>(s[i]);
    len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        len = 0;
        return 0;
    }
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            len = 0;
            return 0;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    return cp;
}

// As DecodeAt, but only a character's one spelling is a sequence: an overlong one, a surrogate or
// a code point past U+10FFFF gives length 0.
char32_t DecodeShortestAt(std::string_view s, size_t i, size_t& len) {
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // by sequence length
    const char32_t cp = DecodeAt(s, i, len);
    if (len > 1 && (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) len = 0;
    return len == 0 ? 0 : cp;
}

}  // namespace

std::string ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char b : s) AppendUtf8(out, ToUnicode(b));
    return out;
}

std::string FromUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 0;
        const char32_t cp = DecodeAt(s, i, len);
        if (len == 0) {
            const auto b = static_cast<unsigned char>(s[i]);
            int e = FromUnicode(b);  // a stray byte: take it as Latin-1 where the page agrees
            out += e >= 0 ? static_cast<char>(e) : '?';
            ++i;
            continue;
        }
        int e = FromUnicode(cp);
        out += e >= 0 ? static_cast<char>(static_cast<unsigned char>(e)) : '?';
        i += len;
    }
    return out;
}

std::string PathToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char b : s) AppendUtf8(out, PathChar(b));
    return out;
}

bool PathFromUtf8(std::string_view s, std::string& path) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 0;
        const char32_t cp = DecodeShortestAt(s, i, len);
        if (len == 0) return false;
        int e = FromUnicode(cp);
        if (e < 0 && cp >= 0x80 && cp < 0xA0 && ToUnicode(static_cast<unsigned char>(cp)) == 0xFFFD)
            e = static_cast<int>(cp);
        if (e < 0) return false;
        out += static_cast<char>(static_cast<unsigned char>(e));
        i += len;
    }
    path = std::move(out);
    return true;
}

std::string ShownUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 0;
        DecodeShortestAt(s, i, len);
        if (len > 0) {
            out += s.substr(i, len);
            i += len;
        } else {
            AppendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
}

unsigned char FoldUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0xFD: return 'I';  // dotless i
        case 0xDD: return 'I';  // dotted capital I
        case 0x9A: return 0x8A;
        case 0x9C: return 0x8C;
        case 0xFF: return 0x9F;
        default: break;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    return c;
}

int CompareFolded(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const int x = FoldUpper(static_cast<unsigned char>(a[i]));
        const int y = FoldUpper(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::string Folded(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(FoldUpper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace cp1254
