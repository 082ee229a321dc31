// TIFF pictures: the first image of a file, uncompressed, LZW or PackBits strips with the
// horizontal predictor, bilevel, grey, palette, RGB(A), CMYK, CIE L*a*b* and YCbCr. Not written.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/classlib/graphics.h"

class TTIFFGraphic : public TBitmap {
public:
    TTIFFGraphic();
    const char* ClassName() const override { return "TTIFFGraphic"; }
    void LoadFromStream(TStream* Stream) override;
    // TIFF is not written: raises EInvalidGraphicOperation "Saving TIFF images is not supported".
    void SaveToStream(TStream* Stream) override;

    // One directory entry as stored: tag, field type, value count and the four value bytes in the
    // file's byte order.
    struct TEntry {
        std::uint16_t Tag = 0;
        std::uint16_t Type = 0;
        std::uint32_t Count = 0;
        std::uint8_t Value[4] = {};
    };

private:
    bool FBigEndian = false;
    std::uint16_t FVersion = 0;
    std::uint32_t FFirstIFD = 0;
    std::vector<TEntry> FEntries;  // sorted by tag
    std::int64_t FBasePosition = 0;
    std::array<std::uint16_t, 3 * 256> FColorMap{};
};
