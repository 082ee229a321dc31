// Fuzz target: the GDI's BMP reader (file and packed DIB), its icon reader, and TBitmap and TIcon
// loading from a stream, with the first byte choosing nothing: every input goes through all four.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classlib/graphics.h"
#include "platform/gdi/bmpcodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    for (bool fileHeader : {true, false}) {
        std::size_t used = 0;
        if (HBITMAP b = gdi::ReadBmp(data, size, fileHeader, &used, &why)) DeleteObject(ToGdiObj(b));
    }
    HBITMAP image = nullptr, mask = nullptr;
    if (gdi::ReadIcon(data, size, &image, &mask, &why)) {
        DeleteObject(ToGdiObj(image));
        DeleteObject(ToGdiObj(mask));
    }
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        TStringStream s(bytes);
        TBitmap b;
        b.LoadFromStream(&s);
        if (!b.Empty()) b.Canvas()->Pixel(0, 0);
    } catch (const Exception&) {
    }
    try {
        TStringStream s(bytes);
        TIcon icon;
        icon.LoadFromStream(&s);
    } catch (const Exception&) {
    }
    return 0;
}
