// ZSoft PCX pictures and Word 5.x screen captures (".pcx", ".pcc", ".scr"): 1, 4 (four planes),
// 8 and 24 (three planes) bits, run-length or raw. Not written.
#pragma once

#include "platform/classlib/graphics.h"

class TPCXGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TPCXGraphic"; }
    void LoadFromStream(TStream* Stream) override;
    // PCX is not written: raises EInvalidGraphicOperation "Saving PCX images is not supported".
    void SaveToStream(TStream* Stream) override;
};
