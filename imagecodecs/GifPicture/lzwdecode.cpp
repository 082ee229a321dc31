// The LZW decoder of GIF table-based image data. Codes are read least significant bit first from the
// data sub-blocks. Every string of the table is a run of pixels already written: entry k is the
// previous string followed by the first pixel of the next one, which lie side by side in the output,
// so a code is expanded by copying its run from where it was last written. The table can only refer
// backwards (a code past the next free one stops the decoding), so every string is finite.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imagecodecs/GifPicture.h"

namespace {

constexpr int kMaxCodes = 4096;

class CodeReader {
public:
    CodeReader(TStream* stream, const TGIFWarnProc& warn) : Stream(stream), WarnProc(warn) {}

    // The next code of width bits; -1 when the data ends first.
    int Read(int width) {
        if (Bits < width && !Refill(width)) return -1;
        const int code = static_cast<int>(Acc & ((1u << width) - 1));
        Acc >>= width;
        Bits -= width;
        return code;
    }

    bool SawTerminator = false;
    bool StreamEnded = false;

    // Skips what is left of the data through the terminator.
    void SkipRest() {
        if (SawTerminator || StreamEnded) return;
        if (!SkipSubBlocks(Stream)) Warn(TGIFMessageId::PrematureEnd);
        SawTerminator = true;
    }

    void Warn(TGIFMessageId id) {
        if (WarnProc) WarnProc(1, GIFMessage(id));
    }

private:
    bool Refill(int width) {
        while (Bits < width) {
            if (Pos < Len) {
                while (Bits <= 56 && Pos < Len) {
                    Acc |= static_cast<std::uint64_t>(Block[Pos++]) << Bits;
                    Bits += 8;
                }
            } else if (!NextBlock()) {
                return false;
            }
        }
        return true;
    }

    bool NextBlock() {
        if (SawTerminator || StreamEnded) return false;
        BYTE n = 0;
        if (!TryGetByte(Stream, n)) {
            StreamEnded = true;
            Warn(TGIFMessageId::PrematureEnd);
            return false;
        }
        if (n == 0) {
            SawTerminator = true;
            return false;
        }
        const std::int64_t got = Stream->Read(Block, n);
        Pos = 0;
        Len = static_cast<int>(std::max<std::int64_t>(got, 0));
        if (got < n) {
            StreamEnded = true;
            Warn(TGIFMessageId::PrematureEnd);
        }
        return Len > 0;
    }

    TStream* Stream;
    const TGIFWarnProc& WarnProc;
    BYTE Block[255] = {};
    int Pos = 0, Len = 0;
    std::uint64_t Acc = 0;
    int Bits = 0;
};

// Copies len bytes from src to dst (src + len <= dst, both inside a buffer with at least 16 bytes
// after dst when fast is set).
inline void CopyRun(BYTE* dst, const BYTE* src, int len, bool fast) {
    if (fast && len <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + 8, &b, 8);
        return;
    }
    std::memcpy(dst, src, static_cast<std::size_t>(len));
}

// Decodes into out (total bytes, rows in stream order). Returns when the pixels are full, the end
// code is read, or the data ends or turns corrupt.
void DecodeLinear(CodeReader& in, int minCodeSize, BYTE* out, std::int64_t total) {
    const int clearCode = 1 << minCodeSize, endCode = clearCode + 1;
    std::vector<std::uint32_t> offset(kMaxCodes, 0);  // where the entry's run was written
    std::vector<std::uint16_t> length(kMaxCodes, 1);
    int codeWidth = minCodeSize + 1, nextFree = clearCode + 2, widthLimit = 2 * clearCode;
    int oldCode = -1;
    std::int64_t pos = 0;
    while (pos < total) {
        const int code = in.Read(codeWidth);
        if (code < 0) {
            if (in.SawTerminator) in.Warn(TGIFMessageId::BitBufferUnderrun);
            return;
        }
        if (code == clearCode) {
            codeWidth = minCodeSize + 1;
            nextFree = clearCode + 2;
            widthLimit = 2 * clearCode;
            oldCode = -1;
            continue;
        }
        if (code == endCode) return;
        if (oldCode < 0) {
            // The first code after a clear is a single pixel.
            if (code > clearCode) {
                in.Warn(TGIFMessageId::CircularTableEntry);
                return;
            }
            offset[code] = static_cast<std::uint32_t>(pos);
            out[pos++] = static_cast<BYTE>(code);
            oldCode = code;
            continue;
        }
        const std::int64_t start = pos;
        if (code < clearCode) {
            out[pos++] = static_cast<BYTE>(code);
        } else if (code < nextFree) {
            const int len = length[code];
            const std::int64_t room = total - pos;
            if (len <= room) {
                CopyRun(out + pos, out + offset[code], len, room >= 16);
                pos += len;
            } else {
                std::memcpy(out + pos, out + offset[code], static_cast<std::size_t>(room));
                pos = total;
            }
        } else if (code == nextFree) {
            // The string of the previous code followed by its own first pixel.
            const int len = length[oldCode] + 1;
            const std::int64_t room = total - pos;
            const BYTE* src = out + offset[oldCode];
            if (len <= room) {
                CopyRun(out + pos, src, len - 1, room >= 16);
                out[pos + len - 1] = *src;
                pos += len;
            } else {
                std::memcpy(out + pos, src, static_cast<std::size_t>(room));
                pos = total;
            }
        } else {
            in.Warn(TGIFMessageId::CircularTableEntry);
            return;
        }
        if (nextFree < kMaxCodes) {
            // The new entry: the previous string and the first pixel of this one, side by side.
            offset[nextFree] = offset[oldCode];
            length[nextFree] = static_cast<std::uint16_t>(length[oldCode] + 1);
            ++nextFree;
            if (nextFree >= widthLimit && widthLimit < kMaxCodes) {
                widthLimit *= 2;
                ++codeWidth;
            }
        }
        offset[code] = static_cast<std::uint32_t>(start);
        oldCode = code;
    }
}

// Puts rows stored in pass order (0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...) in place, moving
// each row once along the cycles of the permutation.
void Deinterlace(BYTE* pixels, int width, int height) {
    std::vector<int> source(static_cast<std::size_t>(height));  // stored position of each image row
    int k = 0;
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int row = kStart[pass]; row < height; row += kStep[pass]) source[static_cast<std::size_t>(row)] = k++;
    std::vector<bool> done(static_cast<std::size_t>(height), false);
    std::vector<BYTE> held(static_cast<std::size_t>(width));
    const auto rowAt = [&](int r) { return pixels + static_cast<std::int64_t>(r) * width; };
    for (int start = 0; start < height; ++start) {
        if (done[static_cast<std::size_t>(start)]) continue;
        if (source[static_cast<std::size_t>(start)] == start) {
            done[static_cast<std::size_t>(start)] = true;
            continue;
        }
        std::memcpy(held.data(), rowAt(start), static_cast<std::size_t>(width));
        int slot = start;
        for (;;) {
            done[static_cast<std::size_t>(slot)] = true;
            const int from = source[static_cast<std::size_t>(slot)];
            if (from == start) {
                std::memcpy(rowAt(slot), held.data(), static_cast<std::size_t>(width));
                break;
            }
            std::memcpy(rowAt(slot), rowAt(from), static_cast<std::size_t>(width));
            slot = from;
        }
    }
}

}  // namespace

void DecodeGIFPixels(TStream* stream, BYTE* pixels, int width, int height, bool interlaced, BYTE fill,
                     const TGIFWarnProc& warn) {
    const std::int64_t total = width > 0 && height > 0 ? static_cast<std::int64_t>(width) * height : 0;
    if (total > GIFMaxPixels) RaiseGIFError(TGIFMessageId::InvalidDimensions);
    if (total > 0) std::memset(pixels, fill, static_cast<std::size_t>(total));
    CodeReader in(stream, warn);
    BYTE minCodeSize = 0;
    if (!TryGetByte(stream, minCodeSize)) {
        in.Warn(TGIFMessageId::PrematureEnd);
        return;
    }
    if (minCodeSize > 11) {
        in.Warn(TGIFMessageId::InvalidData);
        in.SkipRest();
        return;
    }
    if (total > 0) {
        DecodeLinear(in, minCodeSize, pixels, total);
        if (interlaced && height > 1) Deinterlace(pixels, width, height);
    }
    in.SkipRest();
}
