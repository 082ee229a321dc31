// The readers' shared stream, byte-order, palette and bitmap routines.
#include "imagecodecs/PictureReaders/ReaderBase.h"

#include <algorithm>

#include "platform/gdi/picturelimits.h"

namespace picturereaders {

TInput::TInput(TStream* stream) : FStream(stream), FBase(stream->Position()), FEnd(stream->Size()) {
    if (FEnd < FBase) FEnd = FBase;
}

std::int64_t TInput::Left() { return std::max<std::int64_t>(0, FEnd - FStream->Position()); }

void TInput::Seek(std::int64_t offset) { FStream->SetPosition(FBase + offset); }

void TInput::Read(void* buffer, std::int64_t count) { FStream->ReadBuffer(buffer, count); }

std::int64_t TInput::ReadSome(void* buffer, std::int64_t count) {
    std::int64_t total = 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (total < count) {
        std::int64_t n = FStream->Read(p + total, count - total);
        if (n <= 0) break;
        total += n;
    }
    return total;
}

std::vector<std::uint8_t> TInput::ReadRest(std::int64_t limit) {
    std::int64_t n = Left();
    if (limit >= 0) n = std::min(n, limit);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    bytes.resize(static_cast<std::size_t>(ReadSome(bytes.data(), n)));
    return bytes;
}

std::uint8_t TInput::Byte() {
    std::uint8_t b;
    Read(&b, 1);
    return b;
}

std::uint16_t TInput::Word(bool bigEndian) {
    std::uint8_t b[2];
    Read(b, 2);
    return GetWord(b, bigEndian);
}

std::uint32_t TInput::Long(bool bigEndian) {
    std::uint8_t b[4];
    Read(b, 4);
    return GetLong(b, bigEndian);
}

void SwapShorts(std::uint16_t* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<std::uint16_t>((values[i] >> 8) | (values[i] << 8));
}

void SwapLongs(std::uint32_t* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) values[i] = SwapLong(values[i]);
}

std::uint32_t SwapLong(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries) {
    const std::size_t n = std::min<std::size_t>(entries.size(), 256);
    std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + std::max<std::size_t>(n, 1) * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(n);
    for (std::size_t i = 0; i < n; ++i) lp->palPalEntry[i] = PALETTEENTRY{entries[i].peRed, entries[i].peGreen, entries[i].peBlue, 0};
    return CreatePalette(lp);
}

HPALETTE GreyPalette() { return GreyPalette(256, 1, false); }

HPALETTE GreyPalette(int count, int step, bool inverted) {
    std::vector<PALETTEENTRY> e(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int v = inverted ? (count - 1 - i) * step : i * step;
        const BYTE g = static_cast<BYTE>(std::clamp(v, 0, 255));
        e[static_cast<std::size_t>(i)] = PALETTEENTRY{g, g, g, 0};
    }
    return MakePalette(e);
}

void ReleaseImage(TBitmap* bitmap) { bitmap->Assign(nullptr); }

void MakeImage(TBitmap* bitmap, TPixelFormat format, HPALETTE palette, std::int64_t width, std::int64_t height,
              std::int64_t inputBytes, const std::string& emptyMessage) {
    if (width <= 0 || height <= 0) {
        if (palette) DeleteObject(ToGdiObj(palette));
        throw Exception(emptyMessage);
    }
    // No format here packs more than a few thousand output bytes into one input byte.
    constexpr std::int64_t kMostBytesPerInputByte = 4096;
    const std::int64_t bytesPerPixel = format == pf32bit ? 4 : format == pf24bit ? 3 : format == pf15bit || format == pf16bit ? 2 : 1;
    if (!gdi::PictureSizeAllowed(width, height) ||
        width * height * bytesPerPixel > (std::max<std::int64_t>(inputBytes, 0) + 256) * kMostBytesPerInputByte) {
        if (palette) DeleteObject(ToGdiObj(palette));
        throw Exception("Invalid image dimensions");
    }
    bitmap->SetPixelFormat(format);
    if (palette) bitmap->SetPalette(palette);
    bitmap->SetSize(static_cast<int>(width), static_cast<int>(height));
}

void Finished(TBitmap* bitmap) {
    TGraphic* g = bitmap;
    g->Changed(bitmap);
}

TRows RowsOf(TBitmap* bitmap) {
    TRows r;
    if (bitmap->Empty()) return r;
    r.Top = static_cast<std::uint8_t*>(bitmap->ScanLine(0));
    r.Stride = bitmap->Height() > 1 ? static_cast<std::uint8_t*>(bitmap->ScanLine(1)) - r.Top : bitmap->ScanLineBytes();
    return r;
}

}  // namespace picturereaders
