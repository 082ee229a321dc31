// PNG files of 32-bit pictures: the headless render of a window and a reader for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/wingdi.h"

namespace gdi {

// Writes a 32-bit bitmap (any other depth is converted) as an 8-bit RGBA PNG. Pixels inside `rgn`
// are opaque (alpha 255), pixels outside alpha 0 with colour 0; with rgn nullptr every pixel is
// opaque. `path` is a program path (Windows-1254; see win::LocalPath). Returns false and sets the
// last error when the bitmap is unknown or the file cannot be written.
bool WritePng(const std::string& path, HBITMAP bmp, HRGN rgn = nullptr);

// Paints nothing itself: writes the window's backing surface (GetWindowSurface) with the window's
// region (SetWindowRgn) as the PNG.
bool WriteWindowPng(const std::string& path, HWND hwnd);

// A decoded PNG: pixels row by row from the top, each 0xAARRGGBB.
struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
// Reads any PNG (palette, grey, 16-bit, interlaced are expanded). False on a missing or broken file.
bool ReadPng(const std::string& path, PngImage& out);

}  // namespace gdi
