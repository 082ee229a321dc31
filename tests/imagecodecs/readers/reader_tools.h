// Test helpers for the picture readers: running the reference tools, plain RGB images, reading
// their PNM output, and turning a loaded bitmap into RGB for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/graphics.h"

namespace readertest {

struct Image {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> RGB;  // red, green, blue per pixel, top row first
    std::vector<std::uint8_t> Alpha;  // one per pixel, when the source had one
    const std::uint8_t* At(int x, int y) const { return RGB.data() + 3 * (static_cast<std::size_t>(y) * Width + x); }
};

// Runs a shell command; fails the test (and returns false) when it does not exit with 0.
bool Shell(const std::string& command);
// The system python that carries Pillow.
std::string Python();

// A w x h picture of varied colours (pseudo-random from seed, with flat runs so run-length coders
// make runs); colours limits it to that many distinct colours when above 0; grey makes it grey.
Image Pattern(int w, int h, unsigned seed, int colours = 0, bool grey = false);
void WritePNM(const std::string& path, const Image& image, bool grey = false);
// Reads P4, P5 or P6 (16-bit samples give their high byte).
Image ReadPNM(const std::string& path);

// The bitmap's pixels as RGB (palette looked up); 32-bit bitmaps also give Alpha.
Image FromBitmap(TBitmap* bitmap);

// Loads a file through a reader class's LoadFromStream.
template <class T>
void LoadInto(T& graphic, const std::string& path) {
    TFileStream f(path, fmOpenRead);
    graphic.LoadFromStream(&f);
}

// Largest difference of any sample; -1 when the sizes differ.
int Difference(const Image& a, const Image& b);

// Little- and big-endian byte writers for hand-built files.
void Put16(std::string& s, unsigned v, bool big = false);
void Put32(std::string& s, std::uint32_t v, bool big = false);

}  // namespace readertest
