// Wavefront RLA pictures (".rla"): run-length channels of red, green, blue and an optional matte.
#pragma once

#include "platform/classlib/graphics.h"

class TRLAGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TRLAGraphic"; }
    void LoadFromStream(TStream* Stream) override;
};
