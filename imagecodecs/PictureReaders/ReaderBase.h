// What the picture readers share: bounded reading from the stream, the byte-order routines,
// palettes, and making the bitmap a picture of a given size and format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/graphics.h"

namespace picturereaders {

// The stream of one load: its start position (the base of the format's offsets) and its end.
class TInput {
public:
    explicit TInput(TStream* stream);
    TStream* Stream() const { return FStream; }
    std::int64_t Base() const { return FBase; }
    // Bytes from the base to the end of the stream.
    std::int64_t Size() const { return FEnd - FBase; }
    // Bytes from the position to the end.
    std::int64_t Left();
    // To base + offset.
    void Seek(std::int64_t offset);
    // Exactly count bytes, else the class library's "Stream read error".
    void Read(void* buffer, std::int64_t count);
    // Up to count bytes; returns how many were read.
    std::int64_t ReadSome(void* buffer, std::int64_t count);
    // Up to limit bytes from the position (all of the rest when limit < 0).
    std::vector<std::uint8_t> ReadRest(std::int64_t limit = -1);
    std::uint8_t Byte();
    std::uint16_t Word(bool bigEndian);
    std::uint32_t Long(bool bigEndian);

private:
    TStream* FStream;
    std::int64_t FBase;
    std::int64_t FEnd;
};

// Byte order: swap the two bytes of each of count 16-bit values, the four of each of count 32-bit
// values, in place; one 32-bit value reversed.
void SwapShorts(std::uint16_t* values, std::size_t count);
void SwapLongs(std::uint32_t* values, std::size_t count);
std::uint32_t SwapLong(std::uint32_t value);

inline std::uint16_t GetWord(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? static_cast<std::uint16_t>((p[0] << 8) | p[1]) : static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetLong(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3]
                     : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// A logical palette (version 0x300) of the entries; owned by the caller until handed to a bitmap.
HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries);
// The 256-entry ramp, entry i = (i, i, i).
HPALETTE GreyPalette();
// Entry i = (i * step, ...) for count entries, or ((count - 1 - i) * step, ...) when inverted.
HPALETTE GreyPalette(int count, int step, bool inverted);

// Releases the bitmap's image (size 0 x 0).
void ReleaseImage(TBitmap* bitmap);

// Makes the bitmap a width x height picture of the format, with the palette when one is given
// (the bitmap takes it over). Refuses, before any memory is taken, a size with a side of 0 or less
// (message emptyMessage), and one above the readers' pixel cap or more than a file of inputBytes
// bytes can describe ("Invalid image dimensions").
void MakeImage(TBitmap* bitmap, TPixelFormat format, HPALETTE palette, std::int64_t width, std::int64_t height,
              std::int64_t inputBytes, const std::string& emptyMessage);

// Tells the bitmap's listeners that its pixels were written.
void Finished(TBitmap* bitmap);

// The first row address and the distance between rows, to fill the scan lines of a new image.
struct TRows {
    std::uint8_t* Top = nullptr;
    std::ptrdiff_t Stride = 0;
    std::uint8_t* Row(int y) const { return Top + Stride * y; }
};
TRows RowsOf(TBitmap* bitmap);

}  // namespace picturereaders
