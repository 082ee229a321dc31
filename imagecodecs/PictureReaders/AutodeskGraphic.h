// Old-style Autodesk pictures (".pic", ".cel"): a 256-colour palette of 6-bit components and one
// byte per pixel, top row first.
#pragma once

#include "platform/classlib/graphics.h"

class TAutodeskGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TAutodeskGraphic"; }
    void LoadFromStream(TStream* Stream) override;
};
