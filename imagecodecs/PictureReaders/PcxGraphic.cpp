// The PCX reader: header, palette (header, grey, the 16 system colours or the 256-colour palette
// at the end of the file), run-length data and the plane layouts.
#include "imagecodecs/PictureReaders/PcxGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {

// The class library's 16-colour system palette.
constexpr BYTE kSystem16[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
                                   {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                   {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

HPALETTE System16() {
    std::vector<PALETTEENTRY> pe(16);
    for (int i = 0; i < 16; ++i) pe[static_cast<std::size_t>(i)] = PALETTEENTRY{kSystem16[i][0], kSystem16[i][1], kSystem16[i][2], 0};
    return MakePalette(pe);
}

HPALETTE FromTriplets(const std::uint8_t* rgb, int count) {
    std::vector<PALETTEENTRY> pe(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) pe[static_cast<std::size_t>(i)] = PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
    return MakePalette(pe);
}

}  // namespace

void TPCXGraphic::SaveToStream(TStream*) { throw EInvalidGraphicOperation("Saving PCX images is not supported"); }

void TPCXGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    std::uint8_t h[128];
    in.Read(h, 128);
    if (h[0] != 10 && h[0] != 205) throw Exception("Not a PCX or SCR file.");
    const int version = h[1], encoding = h[2], bits = h[3], planes = h[65];
    const std::int64_t bytesPerLine = GetWord(h + 66, false);
    const int paletteKind = GetWord(h + 68, false);
    TPixelFormat format;
    if (bits == 1 && planes == 1) format = pf1bit;
    else if (bits == 1 && planes == 4) format = pf4bit;
    else if (bits == 8 && planes == 1) format = pf8bit;
    else if (bits == 8 && planes == 3) format = pf24bit;
    else throw Exception("PCX: wrong pixel format");

    HPALETTE palette = nullptr;
    bool endPalette = false;
    if (format != pf24bit) {
        if (version == 3 && format != pf1bit) {
            palette = System16();
        } else if (format == pf1bit) {
            palette = GreyPalette(2, 255, false);
        } else if (format == pf4bit) {
            palette = paletteKind == 2 ? GreyPalette(16, 17, false) : FromTriplets(h + 16, 16);  // grey: 0, 17, ..., 255
        } else {
            // The 256-colour palette is the last 769 bytes when they start with the 0x0C mark.
            const std::int64_t at = in.Size() - 769;
            std::uint8_t tail[769];
            if (at >= 128) {
                const std::int64_t keep = Stream->Position();
                in.Seek(at);
                endPalette = in.ReadSome(tail, 769) == 769 && tail[0] == 12;
                Stream->SetPosition(keep);
            }
            if (endPalette) palette = FromTriplets(tail + 1, 256);
            else if (paletteKind == 2) palette = GreyPalette();
            else palette = MakePalette(std::vector<PALETTEENTRY>(256));
        }
    }
    const std::int64_t width = std::int64_t{GetWord(h + 8, false)} - GetWord(h + 4, false) + 1;
    const std::int64_t height = std::int64_t{GetWord(h + 10, false)} - GetWord(h + 6, false) + 1;
    const std::int64_t rowSize = planes * bytesPerLine;
    MakeImage(this, format, palette, width, height, in.Size(), "Not a PCX or SCR file.");

    std::vector<std::uint8_t> packed = in.ReadRest(endPalette ? std::max<std::int64_t>(0, in.Left() - 769) : -1);
    // The rows hold no more than the packed bytes can describe (a run of 63 from two bytes); a
    // header that claims long lines does not make a buffer beyond that, and the rows past the
    // data read as zero.
    const std::int64_t most = encoding == 1 ? (static_cast<std::int64_t>(packed.size()) + 1) / 2 * 63
                                            : static_cast<std::int64_t>(packed.size());
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::min(rowSize * height, most)), 0);
    if (encoding == 1) {
        TPCXRLE decoder;
        const std::uint8_t* src = packed.data();
        decoder.Decode(src, data.data(), static_cast<std::uint32_t>(packed.size()), static_cast<std::uint32_t>(data.size()));
    } else {
        if (!packed.empty() && !data.empty()) std::memcpy(data.data(), packed.data(), std::min(packed.size(), data.size()));
    }

    const TRows rows = RowsOf(this);
    const std::size_t scan = static_cast<std::size_t>(ScanLineBytes());
    const std::size_t bpl = static_cast<std::size_t>(bytesPerLine);
    const std::size_t w = static_cast<std::size_t>(width);
    // Lines of no bytes leave the picture as it was made, and so do the lines past the data.
    std::vector<std::uint8_t> lastRow;
    for (std::int64_t y = 0; y < height && rowSize > 0 && y * rowSize < static_cast<std::int64_t>(data.size()); ++y) {
        const std::uint8_t* src = data.data() + static_cast<std::size_t>(y * rowSize);
        if ((y + 1) * rowSize > static_cast<std::int64_t>(data.size())) {
            // The data ends inside this line: the rest of it is zero.
            lastRow.assign(static_cast<std::size_t>(rowSize), 0);
            std::copy(data.begin() + static_cast<std::ptrdiff_t>(y * rowSize), data.end(), lastRow.begin());
            src = lastRow.data();
        }
        std::uint8_t* line = rows.Row(static_cast<int>(y));
        switch (format) {
            case pf1bit: std::memcpy(line, src, std::min({(w + 7) / 8, bpl, scan})); break;
            case pf8bit: std::memcpy(line, src, std::min(w, bpl)); break;
            case pf24bit:
                for (std::size_t x = 0; x < std::min(w, bpl); ++x) {
                    line[3 * x] = src[2 * bpl + x];
                    line[3 * x + 1] = src[bpl + x];
                    line[3 * x + 2] = src[x];
                }
                break;
            default:
                // Four planes of one bit each make a 4-bit pixel, two pixels a byte.
                for (std::size_t x = 0; x < std::min(w, bpl * 8); ++x) {
                    const std::size_t byte = x / 8;
                    const int bit = 7 - static_cast<int>(x % 8);
                    unsigned v = 0;
                    for (std::size_t p = 0; p < 4; ++p) v |= ((src[p * bpl + byte] >> bit) & 1u) << p;
                    std::uint8_t& out = line[x / 2];
                    out = (x % 2 == 0) ? static_cast<std::uint8_t>((out & 0x0F) | (v << 4)) : static_cast<std::uint8_t>((out & 0xF0) | v);
                }
                break;
        }
    }
    Finished(this);
}
