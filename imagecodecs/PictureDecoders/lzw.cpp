// The TIFF and GIF LZW decoders. Each table entry keeps its string's length and first byte, so a
// string is written straight into the output from its last byte back; an entry's prefix is always
// an older entry, so no chain can loop and no string is longer than the table.
#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/sysutils.h"

namespace {

constexpr std::uint32_t kNone = TLZWTable::kNone;

void InitLiterals(TLZWTable& t, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        t.Prefix[i] = static_cast<std::uint16_t>(kNone);
        t.Length[i] = 1;
        t.Suffix[i] = static_cast<std::uint8_t>(i);
        t.First[i] = static_cast<std::uint8_t>(i);
    }
}

// Writes the string of code at out, at most room bytes of it (its head); returns the bytes written.
inline std::uint32_t WriteString(const TLZWTable& t, std::uint32_t code, std::uint8_t* out, std::uint32_t room) {
    std::uint32_t len = t.Length[code];
    if (len == 1 && room > 0) {
        *out = t.Suffix[code];
        return 1;
    }
    if (len > room) {
        for (std::uint32_t skip = len - room; skip > 0; --skip) code = t.Prefix[code];
        len = room;
    }
    std::uint8_t* p = out + len;
    while (p > out) {
        *--p = t.Suffix[code];
        code = t.Prefix[code];
    }
    return len;
}

// The common step after a code was read: writes its string (or, for the code about to be defined,
// the old string and its first byte), cut at end. Returns the new output position and, in
// *firstOut, the byte that ends the entry to be defined next.
inline std::uint8_t* Expand(TLZWTable& t, std::uint32_t code, std::uint32_t old, std::uint32_t next,
                            std::uint8_t* out, std::uint8_t* end, std::uint8_t* firstOut) {
    std::uint32_t room = static_cast<std::uint32_t>(end - out);
    if (code < next) {
        out += WriteString(t, code, out, room);
        *firstOut = t.First[code];
    } else {
        std::uint32_t n = WriteString(t, old, out, room);
        out += n;
        if (n < room) *out++ = t.First[old];
        *firstOut = t.First[old];
    }
    return out;
}

inline void Define(TLZWTable& t, std::uint32_t next, std::uint32_t old, std::uint8_t first) {
    t.Prefix[next] = static_cast<std::uint16_t>(old);
    t.Suffix[next] = first;
    t.Length[next] = static_cast<std::uint16_t>(t.Length[old] + 1);
    t.First[next] = t.First[old];
}

}  // namespace

void TTIFFLZW::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                      std::uint32_t UnpackedSize) {
    constexpr std::uint32_t kClear = 256, kEnd = 257;
    TLZWTable& t = FTable;
    InitLiterals(t, 256);
    std::uint32_t width = 9, mask = 511, next = 258, old = kNone;
    const std::uint8_t* in = Source;
    const std::uint8_t* inEnd = Source + PackedSize;
    std::uint8_t* out = Dest;
    std::uint8_t* outEnd = Dest + UnpackedSize;
    std::uint64_t acc = 0;
    std::uint32_t bits = 0;
    for (;;) {
        while (bits < width) {
            if (in == inEnd) return;
            acc = (acc << 8) | *in++;
            bits += 8;
        }
        bits -= width;
        const std::uint32_t code = static_cast<std::uint32_t>(acc >> bits) & mask;
        if (code == kEnd || out == outEnd) return;
        if (code == kClear) {
            width = 9;
            mask = 511;
            next = 258;
            old = kNone;
            continue;
        }
        if (old == kNone) {
            if (code >= kClear) throw Exception("TIF LZW: invalid opcode.");
            *out++ = static_cast<std::uint8_t>(code);
            old = code;
            continue;
        }
        if (code > next) throw Exception("TIF LZW: invalid opcode.");
        std::uint8_t first;
        out = Expand(t, code, old, next, out, outEnd, &first);
        if (next < TLZWTable::kSize) {
            Define(t, next, old, first);
            ++next;
            if (next == mask && width < 12) {
                ++width;
                mask = (1u << width) - 1;
            }
        }
        old = code;
    }
}

void TGIFLZW::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                     std::uint32_t UnpackedSize) {
    if (InitialCodeSize > 11) throw Exception("GIF LZW: invalid opcode.");
    const std::uint32_t codeSize = InitialCodeSize < 2 ? 2 : InitialCodeSize;
    const std::uint32_t clear = 1u << codeSize, end = clear + 1;
    TLZWTable& t = FTable;
    InitLiterals(t, clear);
    std::uint32_t width = codeSize + 1, mask = (1u << width) - 1, next = clear + 2, old = kNone;
    const std::uint8_t* in = Source;
    const std::uint8_t* inEnd = Source + PackedSize;
    std::uint8_t* out = Dest;
    std::uint8_t* outEnd = Dest + UnpackedSize;
    std::uint64_t acc = 0;
    std::uint32_t bits = 0;
    std::uint32_t blockLeft = 0;
    for (;;) {
        while (bits < width) {
            while (blockLeft == 0) {
                if (in == inEnd) return;
                blockLeft = *in++;
                if (blockLeft == 0) return;  // the block terminator
            }
            if (in == inEnd) return;
            acc |= static_cast<std::uint64_t>(*in++) << bits;
            bits += 8;
            --blockLeft;
        }
        const std::uint32_t code = static_cast<std::uint32_t>(acc) & mask;
        acc >>= width;
        bits -= width;
        if (code == end || out == outEnd) return;
        if (code == clear) {
            width = codeSize + 1;
            mask = (1u << width) - 1;
            next = clear + 2;
            old = kNone;
            continue;
        }
        if (old == kNone) {
            if (code >= clear) throw Exception("GIF LZW: invalid opcode.");
            *out++ = static_cast<std::uint8_t>(code);
            old = code;
            continue;
        }
        if (code > next) throw Exception("GIF LZW: invalid opcode.");
        std::uint8_t first;
        out = Expand(t, code, old, next, out, outEnd, &first);
        if (next < TLZWTable::kSize) {
            Define(t, next, old, first);
            if (next == mask && width < 12) {
                ++width;
                mask = (1u << width) - 1;
            }
            ++next;
        }
        old = code;
    }
}
