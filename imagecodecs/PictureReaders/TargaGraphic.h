// Targa pictures (".tga", ".win", ".vst", ".vda", ".icb"): colour-mapped, true-colour and grey
// images, raw or run-length, of 8, 15, 16, 24 and 32 bits; written run-length compressed.
#pragma once

#include <string>

#include "platform/classlib/graphics.h"

class TTargaGraphic : public TBitmap {
public:
    const char* ClassName() const override { return "TTargaGraphic"; }
    void LoadFromStream(TStream* Stream) override;
    // Writes the bitmap as a run-length Targa file (WriteTarga with compression).
    void SaveToStream(TStream* Stream) override;
    // Writes the bitmap as a Targa file, run-length (image types 9, 10) or raw (1, 2). A 1- or 4-bit
    // bitmap is first offered a conversion to 256 colours (a warning box, OK and Cancel); anything
    // but OK writes nothing. Raises "Targa: could not write image data" when the stream takes
    // fewer bytes than given.
    void WriteTarga(TStream* Stream, bool Compressed);

    // The identification text of the last picture read, written back when saving.
    const std::string& ImageID() const { return FImageID; }
    void SetImageID(const std::string& id) { FImageID = id.substr(0, 255); }

private:
    std::string FImageID;
};
