// The CUT reader and its palette file: 512-byte blocks, a 40-byte header, entries of three 16-bit
// values that never cross a block.
#include "imagecodecs/PictureReaders/CutGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"
#include "platform/classlib/filecase.h"

using namespace picturereaders;

namespace {

// The colours of a palette file, or nullptr when it cannot be found or read.
HPALETTE ReadPaletteFile(const std::string& name) {
    if (name.empty()) return nullptr;
    const std::string found = FindFileIgnoringCase(name);
    if (found.empty()) return nullptr;
    std::vector<std::uint8_t> bytes;
    try {
        TFileStream f(found, fmOpenRead | fmShareDenyNone);
        TInput in(&f);
        // 256 entries fill fewer than four blocks.
        bytes = in.ReadRest(4 * 512);
    } catch (const Exception&) {
        return nullptr;
    }
    if (bytes.size() < 40) return nullptr;
    const int count = std::min(GetWord(bytes.data() + 12, false) + 1, 256);
    std::vector<PALETTEENTRY> pe(static_cast<std::size_t>(count));
    std::size_t at = 40;
    for (int i = 0; i < count; ++i) {
        if (512 - at % 512 < 6) at = (at / 512 + 1) * 512;
        if (at + 6 > bytes.size()) break;
        pe[static_cast<std::size_t>(i)] = PALETTEENTRY{bytes[at], bytes[at + 2], bytes[at + 4], 0};
        at += 6;
    }
    return MakePalette(pe);
}

}  // namespace

void TCUTGraphic::LoadFromFile(const std::string& FileName) {
    FPaletteFile = ChangeFileExt(FileName, ".pal");
    TBitmap::LoadFromFile(FileName);
}

void TCUTGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    std::uint8_t h[6];
    in.Read(h, 6);
    const std::int64_t width = GetWord(h, false), height = GetWord(h + 2, false);
    HPALETTE palette = ReadPaletteFile(FPaletteFile);
    if (!palette) palette = GreyPalette();
    MakeImage(this, pf8bit, palette, width, height, in.Size(), "Invalid image dimensions");
    const std::vector<std::uint8_t> packed = in.ReadRest();
    const TRows rows = RowsOf(this);
    TCUTRLE decoder;
    const std::uint8_t* src = packed.data();
    const std::uint8_t* end = packed.data() + packed.size();
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint8_t* line = rows.Row(static_cast<int>(y));
        std::memset(line, 0, static_cast<std::size_t>(width));
        decoder.Decode(src, line, static_cast<std::uint32_t>(end - src), static_cast<std::uint32_t>(width));
    }
    Finished(this);
}
