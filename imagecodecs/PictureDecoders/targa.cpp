// The Targa run-length packets: the scan line decoder and the encoder with its pixel counts.
#include <algorithm>
#include <cstring>

#include "imagecodecs/PictureDecoders.h"

namespace {

int TargaBytesPerPixel(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8: return 1;
        case 15:
        case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        default: return 0;
    }
}

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b, int bytes) { return std::memcmp(a, b, static_cast<std::size_t>(bytes)) == 0; }

}  // namespace

std::size_t DecodeTargaRLE(const std::uint8_t* Source, std::size_t SourceSize, std::uint8_t* Target,
                           std::size_t Count, int BitsPerPixel) {
    const int bpp = TargaBytesPerPixel(BitsPerPixel);
    if (bpp == 0) return 0;
    const std::size_t b = static_cast<std::size_t>(bpp);
    std::size_t used = 0, written = 0;
    while (written < Count && used < SourceSize) {
        const std::uint8_t h = Source[used++];
        const std::size_t n = (h & 127u) + 1;
        if (h & 128u) {
            if (SourceSize - used < b) {
                used = SourceSize;
                break;
            }
            const std::uint8_t* pixel = Source + used;
            used += b;
            for (std::size_t i = 0; i < n && written < Count; ++i) {
                const std::size_t k = std::min(b, Count - written);
                std::memcpy(Target + written, pixel, k);
                written += k;
            }
        } else {
            const std::size_t want = n * b;
            const std::size_t avail = std::min(want, SourceSize - used);
            const std::size_t k = std::min(avail, Count - written);
            std::memcpy(Target + written, Source + used, k);
            written += k;
            used += avail;
        }
    }
    return used;
}

std::uint32_t ReadPixelValue(const std::uint8_t* Pixel, int Bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i) v = (v << 8) | Pixel[i];
    return v;
}

std::size_t CountRawPixels(const std::uint8_t* Pixels, std::size_t m, int Bytes) {
    if (m <= 1) return m;
    const std::size_t b = static_cast<std::size_t>(Bytes);
    for (std::size_t i = 0; i + 1 < m; ++i)
        if (SamePixel(Pixels + i * b, Pixels + (i + 1) * b, Bytes)) return i;
    return m - 1;
}

std::size_t CountRunPixels(const std::uint8_t* Pixels, std::size_t m, int Bytes) {
    const std::size_t b = static_cast<std::size_t>(Bytes);
    std::size_t n = 1;
    while (n < m && SamePixel(Pixels, Pixels + n * b, Bytes)) ++n;
    return std::min(n, m);
}

std::size_t EncodeTargaRLE(const std::uint8_t* Source, std::uint8_t* Target, std::size_t PixelCount,
                           int BytesPerPixel) {
    const std::size_t b = static_cast<std::size_t>(BytesPerPixel);
    std::size_t m = PixelCount, written = 0;
    while (m > 0) {
        // Counted only as far as a packet can hold: the rest is looked at in the next round.
        const std::size_t window = std::min<std::size_t>(m, 129);
        std::size_t raw = std::min<std::size_t>(CountRawPixels(Source, window, BytesPerPixel), 128);
        std::size_t run = std::min<std::size_t>(CountRunPixels(Source, window, BytesPerPixel), 128);
        if (raw > 0) {
            Target[written++] = static_cast<std::uint8_t>(raw - 1);
            std::memcpy(Target + written, Source, raw * b);
            written += raw * b;
            Source += raw * b;
            m -= raw;
        } else if (run >= 2) {
            Target[written++] = static_cast<std::uint8_t>((run - 1) | 128u);
            std::memcpy(Target + written, Source, b);
            written += b;
            Source += run * b;
            m -= run;
        }
    }
    return written;
}
