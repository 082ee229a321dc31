// The first frame of a GIF file as an 8-bit picture (".gif" through the picture-format list).
#pragma once

#include "platform/classlib/graphics.h"

class TGIFGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TGIFGraphic"; }
    void LoadFromStream(TStream* Stream) override;
};
