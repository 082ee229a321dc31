// Windows-1254 text: the single-byte code page of every user text (a library below the registry and
// the class library, which both use it). Strings inside the programs are
// std::string of 1254 bytes; UTF-8 is used only at the edges (terminal, display, file names).
//
// Literals: write Turkish text in UTF-8 in the source and add _w: "Çıkış"_w is a std::string of
// Windows-1254 bytes, converted at compile time (a character outside the code page does not compile).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cp1254 {

// Unicode code point of a 1254 byte (0xFFFD for the seven unassigned bytes 81, 8D-90, 9D, 9E).
char32_t ToUnicode(unsigned char byte);
// 1254 byte of a code point; -1 when the code page has no such character.
constexpr int FromUnicode(char32_t cp);

std::string ToUtf8(std::string_view cp1254);
// Unmappable characters become '?'. Malformed UTF-8 bytes are taken as Latin-1.
std::string FromUtf8(std::string_view utf8);

// File names. A program path reaches the file system as UTF-8, every byte as its character of the
// code page (ToUnicode), so "Artist \x96 Title.mp3" is the file "Artist – Title.mp3". The seven
// unassigned bytes (81, 8D-90, 9D, 9E) stand for the C1 control characters of the same number (0x81
// is U+0081), as the system's own conversion takes them: two different paths never name one file.
std::string PathToUtf8(std::string_view cp1254);
// The way back: the program path of a file name of the file system, exactly the bytes that
// PathToUtf8 turns into that name. False when there is none: the name holds a character the code
// page has no byte for (Cyrillic, Japanese, a letter written as a base and a combining mark) or
// bytes that are no UTF-8.
bool PathFromUtf8(std::string_view utf8, std::string& cp1254);
// A file system name as a person is shown it: the UTF-8 kept, each byte that is no UTF-8 shown as
// U+FFFD.
std::string ShownUtf8(std::string_view name);

// Case folding of the code page: ASCII, the accented letters, and both Turkish i's fold to I.
unsigned char FoldUpper(unsigned char c);
// The one name comparison of the platform: the code page's case folding, byte by byte. Names of
// registry keys and values, ini sections and keys, components and forms compare this way.
int CompareFolded(std::string_view a, std::string_view b);
inline bool SameFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareFolded(a, b) == 0;
}
std::string Folded(std::string_view s);  // every byte folded (a key for maps of names)

constexpr int FromUnicode(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    switch (cp) {
        case 0x20AC: return 0x80; case 0x201A: return 0x82; case 0x0192: return 0x83; case 0x201E: return 0x84;
        case 0x2026: return 0x85; case 0x2020: return 0x86; case 0x2021: return 0x87; case 0x02C6: return 0x88;
        case 0x2030: return 0x89; case 0x0160: return 0x8A; case 0x2039: return 0x8B; case 0x0152: return 0x8C;
        case 0x2018: return 0x91; case 0x2019: return 0x92; case 0x201C: return 0x93; case 0x201D: return 0x94;
        case 0x2022: return 0x95; case 0x2013: return 0x96; case 0x2014: return 0x97; case 0x02DC: return 0x98;
        case 0x2122: return 0x99; case 0x0161: return 0x9A; case 0x203A: return 0x9B; case 0x0153: return 0x9C;
        case 0x0178: return 0x9F;
        case 0x011E: return 0xD0; case 0x0130: return 0xDD; case 0x015E: return 0xDE;
        case 0x011F: return 0xF0; case 0x0131: return 0xFD; case 0x015F: return 0xFE;
        default: break;
    }
    if (cp >= 0xA0 && cp <= 0xFF) {
        if (cp == 0xD0 || cp == 0xDD || cp == 0xDE || cp == 0xF0 || cp == 0xFD || cp == 0xFE) return -1;
        return static_cast<int>(cp);
    }
    return -1;
}

template <std::size_t N>
struct Utf8Literal {
    char data[N]{};
    consteval Utf8Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) data[i] = s[i];
    }
};

template <std::size_t N>
struct Encoded {
    std::array<char, N> bytes{};
    std::size_t size = 0;
};

template <std::size_t N>
consteval Encoded<N> Encode(const char (&s)[N]) {
    Encoded<N> out;
    std::size_t i = 0;
    while (i + 1 < N) {
        auto b = static_cast<unsigned char>(s[i]);
        char32_t cp;
        std::size_t len;
        if (b < 0x80) { cp = b; len = 1; }
        else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; len = 2; }
        else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; len = 3; }
        else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; len = 4; }
        else throw "malformed UTF-8 in a 1254 literal";
        if (i + len > N - 1) throw "truncated UTF-8 in a 1254 literal";
        for (std::size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) throw "malformed UTF-8 in a 1254 literal";
            cp = (cp << 6) | (c & 0x3F);
        }
        int enc = FromUnicode(cp);
        if (enc < 0) throw "character outside Windows-1254";
        out.bytes[out.size++] = static_cast<char>(static_cast<unsigned char>(enc));
        i += len;
    }
    return out;
}

template <Utf8Literal S>
struct Literal {
    static constexpr Encoded<sizeof(S.data)> value = Encode(S.data);
};

}  // namespace cp1254

template <cp1254::Utf8Literal S>
std::string operator""_w() {
    const auto& e = cp1254::Literal<S>::value;
    return std::string(e.bytes.data(), e.size);
}
