// Portable pixel and grey maps (".ppm", ".pgm"): P2, P3, P5 and P6, any maximum value, and the
// bilevel maps P1 and P4 that tools write under these names for 1-bit pictures (a 1-bit bitmap,
// 1 is black). Other kinds load as an empty picture.
#pragma once

#include <cstdint>

#include "platform/classlib/graphics.h"

class TPPMGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TPPMGraphic"; }
    void LoadFromStream(TStream* Stream) override;

private:
    // Refills the buffer; "PPM: Stream read error." when the stream has nothing more.
    void Fill();
    std::uint8_t Next() {
        if (FIndex >= FCount) Fill();
        return FBuffer[FIndex++];
    }
    // The next character, or -1 at the end of the stream.
    int Peek();
    // Skips blanks and comments.
    void SkipSpace();
    // Steps over blanks and comments to the next digit, which it returns unread.
    int NextDigit();
    // A decimal number after blanks and comments; the character after it is consumed. The end of
    // the stream ends a number that has begun.
    std::uint32_t Number();
    // The rows of a P1 (plain) or P4 (packed) bilevel map after its size.
    void ReadBilevel(bool Plain, std::int64_t Width, std::int64_t Height, std::int64_t InputBytes);

    TStream* FStream = nullptr;
    std::uint8_t FBuffer[4098] = {};
    std::size_t FIndex = 0;
    std::size_t FCount = 0;
};
