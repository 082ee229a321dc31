// The size limits shared by every reader of picture files (BMP, icons, JPEG and the picture readers
// of the codecs) and by the bitmaps they make: a file may describe at most kMaxPicturePixels pixels,
// whatever its depth, and no side longer than kMaxPictureSide, so a hostile header never makes a
// reader ask for gigabytes and every picture a reader accepts can be made as a bitmap. Readers
// check the size against these limits and against the bytes that are there before they allocate.
#pragma once

#include <cstdint>

namespace gdi {

// 2^26 pixels: 8192 x 8192, 256 MB at 32 bits.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;

// The longest side of a picture and of a device-independent bitmap: 65536 pixels, above every side
// a 16-bit size field can give.
constexpr std::int64_t kMaxPictureSide = 65536;

// True when a side of `length` pixels can be made: positive and no longer than kMaxPictureSide.
constexpr bool PictureSideAllowed(std::int64_t length) { return length > 0 && length <= kMaxPictureSide; }

// True when a picture of width x height has sides PictureSideAllowed and no more than
// kMaxPicturePixels.
constexpr bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return PictureSideAllowed(width) && PictureSideAllowed(height) &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxPicturePixels;
}

}  // namespace gdi
