// Colour lookups: the nearest entry of a palette (cached per 5-5-5 cell), the 216-colour cube, 256
// greys and black and white.
#include <cstdlib>

#include "imagecodecs/GifPicture.h"

namespace {
int CellKey(BYTE r, BYTE g, BYTE b) { return (r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10); }
}  // namespace

TFastColorLookup::TFastColorLookup(HPALETTE palette) : TColorLookup(0), NearestCache(32768, -1) {
    PaletteSize = ReadPaletteEntries(palette, PaletteCopy.data());
    for (int i = 0; i < PaletteSize; ++i) {
        const PALETTEENTRY& e = PaletteCopy[i];
        std::int16_t& cell = NearestCache[CellKey(e.peRed, e.peGreen, e.peBlue)];
        if (cell < 0) cell = static_cast<std::int16_t>(i);
    }
}

BYTE TFastColorLookup::Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    std::int16_t& cell = NearestCache[CellKey(red, green, blue)];
    if (cell < 0) {
        int best = 0, bestDistance = 0x30000;
        for (int i = 0; i < PaletteSize; ++i) {
            const PALETTEENTRY& e = PaletteCopy[i];
            const int d = std::abs(red - e.peRed) + std::abs(green - e.peGreen) + std::abs(blue - e.peBlue);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        cell = static_cast<std::int16_t>(best);
    }
    const PALETTEENTRY& e = PaletteCopy[cell];
    outRed = e.peRed;
    outGreen = e.peGreen;
    outBlue = e.peBlue;
    return static_cast<BYTE>(cell);
}

BYTE TNetscapeColorLookup::Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    // Nearest level: 25 and below go down, 26 and above go up.
    const int r = (red + 25) / 51, g = (green + 25) / 51, b = (blue + 25) / 51;
    outRed = static_cast<BYTE>(51 * r);
    outGreen = static_cast<BYTE>(51 * g);
    outBlue = static_cast<BYTE>(51 * b);
    return static_cast<BYTE>(36 * r + 6 * g + b);
}

BYTE TGrayScaleLookup::Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    const BYTE grey = static_cast<BYTE>((77 * red + 150 * green + 29 * blue) >> 8);
    outRed = outGreen = outBlue = grey;
    return grey;
}

BYTE TMonochromeLookup::Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    const bool white = 77 * red + 150 * green + 29 * blue > 32512;
    outRed = outGreen = outBlue = white ? 255 : 0;
    return white ? 1 : 0;
}
