// SGI images (".sgi", ".rgb", ".rgba", ".bw"): verbatim or run-length rows of one- or two-byte
// samples, grey, RGB or RGBA.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/graphics.h"

class TSGIGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TSGIGraphic"; }
    void LoadFromStream(TStream* Stream) override;

private:
    std::int64_t FStartPosition = 0;
    TCardinalArray FRowStart, FRowSize;
    std::vector<std::uint8_t> FBuffer;  // one packed or verbatim row
    TStream* FStream = nullptr;
    std::unique_ptr<TSGIRLE> FDecoder;  // nullptr for verbatim files
    std::uint8_t FBytesPerSample = 1;
};
