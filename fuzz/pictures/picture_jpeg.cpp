// Fuzz target: TJPEGImage reading a stream and decoding it (libjpeg under its error jump).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classlib/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TStringStream s(std::string(reinterpret_cast<const char*>(data), size));
        TJPEGImage j;
        j.LoadFromStream(&s);
        j.Bitmap();
    } catch (const Exception&) {
    }
    return 0;
}
