// The Autodesk reader.
#include "imagecodecs/PictureReaders/AutodeskGraphic.h"

#include <algorithm>
#include <vector>

#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

void TAutodeskGraphic::LoadFromStream(TStream* Stream) {
    constexpr const char* kInvalid = "Cannot load image. Only old style Autodesk images are supported.";
    ReleaseImage(this);
    TInput in(Stream);
    std::uint8_t h[32];
    in.Read(h, 2);
    if (GetWord(h, false) != 0x9119) throw Exception(kInvalid);
    in.Read(h + 2, 30);
    std::uint8_t raw[768] = {};
    in.ReadSome(raw, 768);
    std::vector<PALETTEENTRY> pe(256);
    for (int i = 0; i < 256; ++i)
        pe[static_cast<std::size_t>(i)] = PALETTEENTRY{static_cast<BYTE>(raw[3 * i] << 2), static_cast<BYTE>(raw[3 * i + 1] << 2),
                                                       static_cast<BYTE>(raw[3 * i + 2] << 2), 0};
    const std::int64_t width = GetWord(h + 2, false), height = GetWord(h + 4, false);
    MakeImage(this, pf8bit, MakePalette(pe), width, height, in.Size(), kInvalid);
    const TRows rows = RowsOf(this);
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint8_t* line = rows.Row(static_cast<int>(y));
        std::fill(line, line + width, std::uint8_t{0});
        in.ReadSome(line, width);
    }
    Finished(this);
}
