// Fuzz target: the Targa run-length decoder, and the encoder's round trip of what it decoded.
#include <algorithm>
#include <cstring>

#include "fuzz/readers/decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const int kDepths[5] = {8, 15, 16, 24, 32};
    const int depth = kDepths[data[0] % 5];
    const int bpp = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
    const std::size_t pixels = std::size_t{data[0]} * 5 + 1;
    const std::size_t outSize = pixels * static_cast<std::size_t>(bpp);
    std::vector<std::uint8_t> packed(data + 1, data + size);
    std::vector<std::uint8_t> out(outSize + 64, 0xA5);
    std::memset(out.data(), 0, outSize);
    const std::size_t used = DecodeTargaRLE(packed.data(), packed.size(), out.data(), outSize, depth);
    if (used > packed.size()) std::abort();
    CheckGuard(out, outSize);
    // Row by row, with the packets that cross a row carried over, gives the same pixels.
    const std::size_t rowPixels = static_cast<std::size_t>(data[0] % 7) + 1;
    std::vector<std::uint8_t> rows(outSize + 64, 0xA5);
    std::memset(rows.data(), 0, outSize);
    TTargaRLEState carry;
    std::size_t at = 0;
    for (std::size_t done = 0; done < outSize;) {
        const std::size_t n = std::min(rowPixels * static_cast<std::size_t>(bpp), outSize - done);
        at += DecodeTargaRLE(packed.data() + at, packed.size() - at, rows.data() + done, n, depth, &carry);
        if (at > packed.size()) std::abort();
        done += n;
    }
    CheckGuard(rows, outSize);
    if (std::memcmp(rows.data(), out.data(), outSize) != 0) std::abort();
    // Encoding the decoded row and decoding it again gives the row back.
    std::vector<std::uint8_t> enc(TargaRLEBound(pixels, bpp) + 64, 0xA5);
    const std::size_t n = EncodeTargaRLE(out.data(), enc.data(), pixels, bpp);
    if (n > TargaRLEBound(pixels, bpp)) std::abort();
    CheckGuard(enc, TargaRLEBound(pixels, bpp));
    std::vector<std::uint8_t> back(outSize);
    if (DecodeTargaRLE(enc.data(), n, back.data(), outSize, depth) != n) std::abort();
    if (std::memcmp(back.data(), out.data(), outSize) != 0) std::abort();
    return 0;
}
