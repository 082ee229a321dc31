// The size limit shared by every reader of picture files (BMP, icons, JPEG and the picture readers
// of the codecs): a file may describe at most kMaxPicturePixels pixels, whatever its depth, so a
// hostile header never makes a reader ask for gigabytes. Readers check the size against this cap
// and against the bytes that are there before they allocate.
#pragma once

#include <cstdint>

namespace gdi {

// 2^26 pixels: 8192 x 8192, 256 MB at 32 bits.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;

// True when a picture of width x height has positive sides and no more than kMaxPicturePixels.
constexpr bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= static_cast<std::int64_t>(kMaxPicturePixels) &&
           height <= static_cast<std::int64_t>(kMaxPicturePixels) &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxPicturePixels;
}

}  // namespace gdi
