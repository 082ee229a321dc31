// Windows bitmap files (.bmp): reading every common variant and writing the plain one; icon files
// (.ico), whose images are bitmaps with an AND mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/wingdi.h"

namespace gdi {

// Reads a BMP file image (starting with the 14-byte file header) or, with `hasFileHeader` false, a
// packed DIB (header, colour table, pixels). Accepted: core (12-byte), info (40), v2/v3 (52/56),
// v4 (108) and v5 (124) headers; 1, 4, 8, 16, 24 and 32 bits; BI_RGB, BI_RLE4, BI_RLE8 and
// BI_BITFIELDS (masks after an info header or inside v4/v5); bottom-up and top-down rows.
// The result is a bitmap of the file's depth (16 and 32 bits with masks other than 5-5-5, 5-6-5 or
// 8-8-8 are widened to 32 bits; RLE pictures become 4 or 8 bits; pixels an RLE stream skips take
// colour index 0). `bytesUsed` receives the length of the picture in the data.
// On a broken or truncated file, or one beyond the size limits of picturelimits.h, returns nullptr
// with `error` set to a short English reason; the size is checked against the data before anything
// is allocated. When memory runs out anyway, std::bad_alloc passes on.
HBITMAP ReadBmp(const std::uint8_t* data, std::size_t size, bool hasFileHeader, std::size_t* bytesUsed,
                std::string* error);

// Reads an icon (or cursor) file: of its directory's images the one with the most pixels, then the
// most bits per pixel. `image` receives a bitmap of the image's depth, `mask` the AND mask as a
// monochrome device bitmap (1: transparent), both owned by the caller. A missing AND mask reads
// as all 0. On a broken or truncated file, a PNG-compressed image, or one beyond the pixel cap,
// returns false with `error` set to a short English reason and nothing made.
bool ReadIcon(const std::uint8_t* data, std::size_t size, HBITMAP* image, HBITMAP* mask, std::string* error);

// Writes a bitmap as a BMP file: 40-byte info header, bottom-up rows, BI_RGB for 1, 4, 8, 24 and
// 32 bits, BI_BITFIELDS with its three masks for 16 bits in 5-6-5 (5-5-5 is written as BI_RGB),
// the full colour table for 8 bits and fewer, 0 pixels per metre. With `fileHeader` false the
// 14-byte file header is left out (a packed DIB).
std::vector<std::uint8_t> WriteBmp(HBITMAP bmp, bool fileHeader = true);

}  // namespace gdi
