// Drawing steps shared by the picture classes of platform/classlib/graphics/ (not a public header).
#pragma once

#include "platform/gdi/wingdi.h"

namespace graphics_detail {

// Copies the srcWidth x srcHeight picture of `src` into R of `dst` (stretched, mirrored when R is)
// where the monochrome `mask` (of the picture's size) is 0, and leaves the target where it is 1.
void DrawMasked(HDC dst, const RECT& R, HDC src, int srcWidth, int srcHeight, HBITMAP mask);

}  // namespace graphics_detail
