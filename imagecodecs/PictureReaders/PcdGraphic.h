// Kodak Photo-CD pictures (".pcd"): one of the three base resolutions, turned by the file's
// orientation. Not written.
#pragma once

#include <cstdint>

#include "platform/classlib/graphics.h"

class TPCDGraphic : public TBitmap {
public:
    TPCDGraphic();
    const char* ClassName() const override { return "TPCDGraphic"; }
    void LoadFromStream(TStream* Stream) override;
    // Photo-CD is not written: raises EInvalidGraphicOperation "Saving Photo-CD images is not supported".
    void SaveToStream(TStream* Stream) override;
    // 0: 192 x 128, 1: 384 x 256, 2: 768 x 512 (the default); set before loading.
    std::uint8_t Resolution = 2;

private:
    std::int64_t FStartPosition = 0;
};
