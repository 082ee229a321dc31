// The first-frame GIF reader: screen and colour tables, skipped extensions, the image's data
// sub-blocks gathered to their terminator and decoded, interlaced rows put in their places.
#include "imagecodecs/PictureReaders/GifGraphic.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {

HPALETTE ReadColourTable(TInput& in, int packed) {
    const int n = 2 << (packed & 7);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(n) * 3);
    in.Read(rgb.data(), static_cast<std::int64_t>(rgb.size()));
    std::vector<PALETTEENTRY> pe(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) pe[static_cast<std::size_t>(i)] = PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
    return MakePalette(pe);
}

void SkipSubBlocks(TInput& in) {
    std::uint8_t block[255];
    for (std::uint8_t n = in.Byte(); n != 0; n = in.Byte()) in.Read(block, n);
}

}  // namespace

void TGIFGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    char sig[6] = {};
    if (in.ReadSome(sig, 6) != 6 || std::toupper(sig[0]) != 'G' || std::toupper(sig[1]) != 'I' || std::toupper(sig[2]) != 'F')
        throw Exception("Not a valid GIF file.");
    std::uint8_t screen[7];
    in.Read(screen, 7);
    HPALETTE palette = nullptr;
    try {
        if (screen[4] & 0x80) palette = ReadColourTable(in, screen[4]);
        for (;;) {
            const std::uint8_t b = in.Byte();
            if (b == ';') {
                if (palette) DeleteObject(ToGdiObj(palette));
                return;
            }
            if (b == '!') {
                in.Byte();  // the label
                SkipSubBlocks(in);
            } else if (b == ',') {
                break;
            }
        }
        std::uint8_t d[9];
        in.Read(d, 9);
        if (d[8] & 0x80) {
            if (palette) DeleteObject(ToGdiObj(palette));
            palette = nullptr;
            palette = ReadColourTable(in, d[8]);
        }
        std::int64_t width = GetWord(d + 4, false), height = GetWord(d + 6, false);
        if (width == 0) width = GetWord(screen, false);
        if (height == 0) height = GetWord(screen + 2, false);
        const std::uint8_t codeSize = in.Byte();
        // The data sub-blocks with their size bytes, up to the terminator or the end of the stream.
        std::vector<std::uint8_t> data;
        for (;;) {
            std::uint8_t n = 0;
            if (in.ReadSome(&n, 1) != 1) break;
            data.push_back(n);
            if (n == 0) break;
            const std::size_t at = data.size();
            data.resize(at + n);
            const std::int64_t got = in.ReadSome(data.data() + at, n);
            data.resize(at + static_cast<std::size_t>(got));
            if (got < n) break;
        }
        HPALETTE p = palette;
        palette = nullptr;
        // The image's own data pays for its pixels, not what else the stream holds.
        MakeImage(this, pf8bit, p, width, height, static_cast<std::int64_t>(data.size()), "Not a valid GIF file.");
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height), 0);
        TGIFLZW decoder;
        decoder.InitialCodeSize = codeSize;
        const std::uint8_t* src = data.data();
        // Pixels the data does not reach are 0.
        const std::size_t decoded =
            decoder.Decode(src, pixels.data(), static_cast<std::uint32_t>(data.size()), static_cast<std::uint32_t>(pixels.size()));
        std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(decoded), pixels.end(), std::uint8_t{0});
        const TRows rows = RowsOf(this);
        const bool interlaced = (d[8] & 0x40) != 0;
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        std::int64_t r = 0;
        for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
            for (std::int64_t y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1, ++r)
                std::memcpy(rows.Row(static_cast<int>(y)), pixels.data() + r * width, static_cast<std::size_t>(width));
        }
    } catch (...) {
        if (palette) DeleteObject(ToGdiObj(palette));
        throw;
    }
    Finished(this);
}
