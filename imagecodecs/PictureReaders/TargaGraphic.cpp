// The Targa reader and writer.
#include "imagecodecs/PictureReaders/TargaGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"
#include "platform/classlib/dialogs.h"

using namespace picturereaders;

namespace {
constexpr const char* kInvalid = "Targa: invalid image";
constexpr const char* kWriteError = "Targa: could not write image data";
constexpr const char* kAskConvert = "Targa image: 1 or 4 bit color depth not allowed. Convert to 256 colors?";

void WriteAll(TStream* s, const void* data, std::size_t n) {
    if (n == 0) return;
    if (s->Write(data, static_cast<std::int64_t>(n)) != static_cast<std::int64_t>(n)) throw Exception(kWriteError);
}
}  // namespace

void TTargaGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    std::uint8_t h[18];
    if (in.ReadSome(h, 18) != 18) throw Exception(kInvalid);
    const bool topFirst = (h[17] & 0x20) != 0;
    FImageID.assign(h[0], '\0');
    if (h[0] > 0) FImageID.resize(static_cast<std::size_t>(in.ReadSome(FImageID.data(), h[0])));
    const int mapType = h[1], imageType = h[2];
    const int firstIndex = GetWord(h + 3, false), mapLength = GetWord(h + 5, false), entryBits = h[7];
    const std::int64_t width = GetWord(h + 12, false), height = GetWord(h + 14, false);
    const int depth = h[16];

    TPixelFormat format;
    switch (depth) {
        case 8: format = pf8bit; break;
        case 15:
        case 16: format = pf15bit; break;
        case 24: format = pf24bit; break;
        case 32: format = pf32bit; break;
        default: throw Exception(kInvalid);
    }
    const bool grey = imageType == 3 || imageType == 11;

    // The colour map: entries by their size, placed from the first index; read past in grey files.
    std::vector<PALETTEENTRY> pe;
    if (mapType == 1) {
        const int entryBytes = (entryBits + 7) / 8;
        std::vector<std::uint8_t> map(static_cast<std::size_t>(mapLength) * static_cast<std::size_t>(entryBytes));
        map.resize(static_cast<std::size_t>(in.ReadSome(map.data(), static_cast<std::int64_t>(map.size()))));
        if (!grey) {
            pe.assign(256, PALETTEENTRY{});
            std::size_t used = 0;
            for (int k = 0; k < mapLength && firstIndex + k < 256; ++k) {
                const std::uint8_t* e = map.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(entryBytes);
                if (static_cast<std::size_t>(k + 1) * static_cast<std::size_t>(entryBytes) > map.size()) break;
                PALETTEENTRY& p = pe[static_cast<std::size_t>(firstIndex + k)];
                if (entryBytes >= 3) {
                    p = PALETTEENTRY{e[2], e[1], e[0], 0};
                } else if (entryBytes == 2) {
                    const unsigned w = GetWord(e, false);
                    p = PALETTEENTRY{static_cast<BYTE>((w & 0x7C00u) >> 7), static_cast<BYTE>((w & 0x3E0u) >> 2),
                                     static_cast<BYTE>((w & 0x1Fu) << 3), 0};
                } else if (entryBytes == 1) {
                    p = PALETTEENTRY{e[0], e[0], e[0], 0};
                }
                used = static_cast<std::size_t>(firstIndex + k + 1);
            }
            pe.resize(std::max<std::size_t>(used, 1));
        }
    }
    HPALETTE palette = nullptr;
    if (format == pf8bit) {
        if (grey) palette = GreyPalette();
        else if (!pe.empty()) palette = MakePalette(pe);
    }
    MakeImage(this, format, palette, width, height, in.Size(), kInvalid);

    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(depth == 15 ? 2 : depth / 8);
    const TRows rows = RowsOf(this);
    auto lineOf = [&](std::int64_t i) { return rows.Row(static_cast<int>(topFirst ? i : height - 1 - i)); };
    if (imageType == 1 || imageType == 2 || imageType == 3) {
        for (std::int64_t i = 0; i < height; ++i)
            if (in.ReadSome(lineOf(i), static_cast<std::int64_t>(rowBytes)) != static_cast<std::int64_t>(rowBytes))
                throw Exception(kInvalid);
    } else if (imageType == 9 || imageType == 10 || imageType == 11) {
        // Packets may run on from one row into the next: the rows are decoded as one stream.
        const std::int64_t start = Stream->Position();
        const std::vector<std::uint8_t> packed = in.ReadRest();
        std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(height), 0);
        const std::size_t used = DecodeTargaRLE(packed.data(), packed.size(), pixels.data(), pixels.size(), depth);
        for (std::int64_t i = 0; i < height; ++i)
            std::memcpy(lineOf(i), pixels.data() + static_cast<std::size_t>(i) * rowBytes, rowBytes);
        Stream->SetPosition(start + static_cast<std::int64_t>(used));
    }
    Finished(this);
}

void TTargaGraphic::SaveToStream(TStream* Stream) { WriteTarga(Stream, true); }

void TTargaGraphic::WriteTarga(TStream* Stream, bool Compressed) {
    if (Empty()) return;
    int bytesPerPixel;
    switch (PixelFormat()) {
        case pf1bit:
        case pf4bit:
            if (MessageBoxA(nullptr, kAskConvert, "Warning", MB_OKCANCEL | MB_ICONWARNING) != IDOK) return;
            SetPixelFormat(pf8bit);
            bytesPerPixel = 1;
            break;
        case pf8bit: bytesPerPixel = 1; break;
        case pf15bit:
        case pf16bit: bytesPerPixel = 2; break;
        case pf24bit: bytesPerPixel = 3; break;
        default: bytesPerPixel = BitsPerPixel() / 8; break;
    }
    const int width = Width(), height = Height();
    std::uint8_t h[18] = {};
    h[0] = static_cast<std::uint8_t>(FImageID.size());
    h[1] = bytesPerPixel == 1 ? 1 : 0;
    h[2] = static_cast<std::uint8_t>(bytesPerPixel == 1 ? (Compressed ? 9 : 1) : (Compressed ? 10 : 2));
    h[5] = 0x00;  // colour map length 256
    h[6] = 0x01;
    h[7] = 24;
    h[12] = static_cast<std::uint8_t>(width);
    h[13] = static_cast<std::uint8_t>(width >> 8);
    h[14] = static_cast<std::uint8_t>(height);
    h[15] = static_cast<std::uint8_t>(height >> 8);
    h[16] = static_cast<std::uint8_t>(bytesPerPixel * 8);
    h[17] = 0x20;  // rows are written top first
    WriteAll(Stream, h, sizeof h);
    WriteAll(Stream, FImageID.data(), FImageID.size());
    if (bytesPerPixel == 1) {
        std::vector<PALETTEENTRY> pe(256);
        if (HPALETTE pal = Palette()) GetPaletteEntries(pal, 0, 256, pe.data());
        std::uint8_t map[768];
        for (int i = 0; i < 256; ++i) {
            map[3 * i] = pe[static_cast<std::size_t>(i)].peBlue;
            map[3 * i + 1] = pe[static_cast<std::size_t>(i)].peGreen;
            map[3 * i + 2] = pe[static_cast<std::size_t>(i)].peRed;
        }
        WriteAll(Stream, map, sizeof map);
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    const bool from565 = PixelFormat() == pf16bit;
    std::vector<std::uint8_t> row(rowBytes), packed(TargaRLEBound(static_cast<std::size_t>(width), bytesPerPixel));
    for (int y = 0; y < height; ++y) {
        std::memcpy(row.data(), ScanLine(y), rowBytes);
        if (from565) {
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
                const unsigned v = GetWord(row.data() + 2 * x, false);
                const unsigned w = ((v >> 1) & 0x7FE0u) | (v & 0x1Fu);
                row[2 * x] = static_cast<std::uint8_t>(w);
                row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
            }
        }
        if (Compressed) {
            const std::size_t n = EncodeTargaRLE(row.data(), packed.data(), static_cast<std::size_t>(width), bytesPerPixel);
            WriteAll(Stream, packed.data(), n);
        } else {
            WriteAll(Stream, row.data(), rowBytes);
        }
    }
}
