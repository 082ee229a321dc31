// The run-length decoders: PackBits, PCX, SGI, CUT and RLA. Each stops at the end of its packed
// bytes or of its output, whichever comes first; a packet that crosses either end is cut there.
#include <algorithm>
#include <cstring>

#include "imagecodecs/PictureDecoders.h"

namespace {

// A bounded reader and writer over the two buffers.
struct Cursor {
    const std::uint8_t* in;
    const std::uint8_t* inEnd;
    std::uint8_t* out;
    std::uint8_t* outEnd;
    std::size_t InLeft() const { return static_cast<std::size_t>(inEnd - in); }
    std::size_t OutLeft() const { return static_cast<std::size_t>(outEnd - out); }
    // Copies n bytes (cut to what is there and what fits; the input still moves by n where it can).
    void Copy(std::size_t n) {
        std::size_t avail = std::min(n, InLeft());
        std::size_t k = std::min(avail, OutLeft());
        std::memcpy(out, in, k);
        out += k;
        in += avail;
    }
    void Fill(std::uint8_t value, std::size_t n) {
        std::size_t k = std::min(n, OutLeft());
        std::memset(out, value, k);
        out += k;
    }
};

}  // namespace

void TPackbitsRLE::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                          std::uint32_t UnpackedSize) {
    Cursor c{Source, Source + PackedSize, Dest, Dest + UnpackedSize};
    while (c.InLeft() > 0 && c.OutLeft() > 0) {
        const int h = static_cast<std::int8_t>(*c.in++);
        if (h >= 0) {
            c.Copy(static_cast<std::size_t>(h) + 1);
        } else if (h != -128) {
            if (c.InLeft() == 0) break;
            c.Fill(*c.in++, static_cast<std::size_t>(1 - h));
        }
    }
}

void TPCXRLE::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                     std::uint32_t UnpackedSize) {
    Cursor c{Source, Source + PackedSize, Dest, Dest + UnpackedSize};
    while (c.OutLeft() > 0 && c.InLeft() > 0) {
        const std::uint8_t b = *c.in++;
        if (b >= 192) {
            if (c.InLeft() == 0) break;
            c.Fill(*c.in++, b & 63u);
        } else {
            *c.out++ = b;
        }
    }
}

void TSGIRLE::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                     std::uint32_t UnpackedSize) {
    Cursor c{Source, Source + PackedSize, Dest, Dest + UnpackedSize};
    if (SampleSize == 2) {
        // 16-bit big-endian counts and samples; the high byte of each sample is kept.
        while (c.InLeft() >= 2 && c.OutLeft() > 0) {
            const unsigned word = (static_cast<unsigned>(c.in[0]) << 8) | c.in[1];
            c.in += 2;
            const std::size_t count = word & 127u;
            if (count == 0) break;
            if (word & 128u) {
                for (std::size_t i = 0; i < count && c.InLeft() >= 2; ++i) {
                    if (c.OutLeft() > 0) *c.out++ = c.in[0];
                    c.in += 2;
                }
            } else {
                if (c.InLeft() < 2) break;
                const std::uint8_t v = c.in[0];
                c.in += 2;
                c.Fill(v, count);
            }
        }
        return;
    }
    while (c.InLeft() > 0 && c.OutLeft() > 0) {
        const std::uint8_t b = *c.in++;
        const std::size_t count = b & 127u;
        if (count == 0) break;
        if (b & 128u) {
            c.Copy(count);
        } else {
            if (c.InLeft() == 0) break;
            c.Fill(*c.in++, count);
        }
    }
}

void TCUTRLE::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                     std::uint32_t UnpackedSize) {
    Cursor c{Source, Source + PackedSize, Dest, Dest + UnpackedSize};
    c.in += std::min<std::size_t>(2, c.InLeft());
    while (c.InLeft() > 0) {
        const std::uint8_t b = *c.in++;
        if (b == 0) break;
        const std::size_t count = b & 127u;
        if (b & 128u) {
            if (c.InLeft() == 0) break;
            c.Fill(*c.in++, count);
        } else {
            c.Copy(count);
        }
    }
    Source = c.in;
}

void TRLADecoder::Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) {
    Cursor c{Source, Source + PackedSize, Dest, Dest + UnpackedSize};
    while (c.InLeft() > 0 && c.OutLeft() > 0) {
        const int h = static_cast<std::int8_t>(*c.in++);
        if (h >= 0) {
            if (c.InLeft() == 0) break;
            c.Fill(*c.in++, static_cast<std::size_t>(h) + 1);
        } else {
            c.Copy(static_cast<std::size_t>(-h));
        }
    }
}
