// Dr. Halo CUT pictures (".cut"): 8-bit run-length rows, with the colours in a ".pal" file beside
// the picture (a grey ramp when there is none).
#pragma once

#include <string>

#include "platform/classlib/graphics.h"

class TCUTGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TCUTGraphic"; }
    void LoadFromStream(TStream* Stream) override;
    // Remembers FileName with the extension ".pal" as the palette file, then loads the file.
    void LoadFromFile(const std::string& FileName) override;
    const std::string& PaletteFileName() const { return FPaletteFile; }

private:
    std::string FPaletteFile;
};
