// The TIFF and GIF LZW decoders: one decoding loop over two code readers (most significant bit
// first for TIFF, least significant bit first in sub-blocks for GIF) and the two rules for when the
// code width grows. A table entry is a place in the output already written, so a string is copied,
// never walked byte by byte through prefix links; no entry can reach past the output written.
#include <algorithm>
#include <cstring>

#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/sysutils.h"

namespace {

// TIFF: codes most significant bit first, straight from the packed bytes.
struct TMsbCodes {
    const std::uint8_t* In;
    const std::uint8_t* End;
    std::uint64_t Acc = 0;
    std::uint32_t Bits = 0;
    bool Next(std::uint32_t width, std::uint32_t& code) {
        if (Bits < width) {
            while (Bits <= 56 && In != End) {
                Acc = (Acc << 8) | *In++;
                Bits += 8;
            }
            if (Bits < width) return false;
        }
        Bits -= width;
        code = static_cast<std::uint32_t>(Acc >> Bits) & ((1u << width) - 1);
        return true;
    }
};

// GIF: codes least significant bit first, over data sub-blocks (a length byte, that many bytes),
// ending at the zero-length block or the end of the packed bytes.
struct TLsbBlockCodes {
    const std::uint8_t* In;
    const std::uint8_t* End;
    std::uint64_t Acc = 0;
    std::uint32_t Bits = 0;
    std::uint32_t BlockLeft = 0;
    bool Done = false;
    bool Next(std::uint32_t width, std::uint32_t& code) {
        while (Bits < width) {
            if (BlockLeft == 0) {
                if (Done || In == End || *In == 0) {
                    Done = true;
                    return false;
                }
                BlockLeft = *In++;
            }
            if (In == End) {
                Done = true;
                return false;
            }
            Acc |= static_cast<std::uint64_t>(*In++) << Bits;
            Bits += 8;
            --BlockLeft;
        }
        code = static_cast<std::uint32_t>(Acc) & ((1u << width) - 1);
        Acc >>= width;
        Bits -= width;
        return true;
    }
};

// Decodes codes of codeSize-bit literals into Dest, at most UnpackedSize bytes. TIFF's width grows
// when the next free code reaches the mask (one code early), GIF's when it passes it.
template <bool EarlyChange, class Codes>
std::uint32_t DecodeLZW(TLZWTable& t, Codes& codes, std::uint32_t codeSize, std::uint8_t* Dest, std::uint32_t UnpackedSize,
                        const char* error) {
    const std::uint32_t clear = 1u << codeSize, end = clear + 1, first = clear + 2;
    std::uint32_t width = codeSize + 1, next = first;
    bool haveOld = false;
    std::uint8_t* out = Dest;
    std::uint8_t* const outEnd = Dest + UnpackedSize;
    // Where the last code's string was written, and its length.
    std::uint32_t lastAt = 0, lastLength = 0;
    std::uint32_t code;
    while (out != outEnd && codes.Next(width, code)) {
        const std::uint32_t at = static_cast<std::uint32_t>(out - Dest);
        std::uint32_t length;
        if (code < clear) {
            *out++ = static_cast<std::uint8_t>(code);
            length = 1;
        } else if (code > end) {
            if (!haveOld || code > next) throw Exception(error);
            // code == next: the last string and its own first byte, which the copy writes first.
            const TLZWTable::TEntry e = code == next ? TLZWTable::TEntry{lastAt, lastLength + 1} : t.Entries[code];
            const std::uint8_t* from = Dest + e.Offset;
            length = e.Length;
            const std::uint32_t n = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(outEnd - out));
            // Most strings are short: eight bytes at once where they do not overlap and fit (the
            // bytes past the string are written again by the strings that follow), a call for long
            // ones, else forward byte by byte, so the overlap of the code == next case copies the
            // byte it has just written.
            if (n <= 8 && from + 8 <= out && outEnd - out >= 8) {
                std::memcpy(out, from, 8);
            } else if (n >= 32 && from + n <= out) {
                std::memcpy(out, from, n);
            } else {
                for (std::uint32_t i = 0; i < n; ++i) out[i] = from[i];
            }
            out += n;
        } else if (code == clear) {
            width = codeSize + 1;
            next = first;
            haveOld = false;
            continue;
        } else {
            break;  // the end code
        }
        if (haveOld && next < TLZWTable::kSize) {
            t.Entries[next] = {lastAt, lastLength + 1};
            ++next;
            if (width < 12 && next == (1u << width) - (EarlyChange ? 1u : 0u)) ++width;
        }
        haveOld = true;
        lastAt = at;
        lastLength = length;
    }
    return static_cast<std::uint32_t>(out - Dest);
}

}  // namespace

std::uint32_t TTIFFLZW::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                               std::uint32_t UnpackedSize) {
    TMsbCodes codes{Source, Source + PackedSize};
    return DecodeLZW<true>(FTable, codes, 8, Dest, UnpackedSize, "TIF LZW: invalid opcode.");
}

std::uint32_t TGIFLZW::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                              std::uint32_t UnpackedSize) {
    if (InitialCodeSize > 11) throw Exception("GIF LZW: invalid opcode.");
    TLsbBlockCodes codes{Source, Source + PackedSize};
    return DecodeLZW<false>(FTable, codes, InitialCodeSize < 2 ? 2u : InitialCodeSize, Dest, UnpackedSize, "GIF LZW: invalid opcode.");
}
