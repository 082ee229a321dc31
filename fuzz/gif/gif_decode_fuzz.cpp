// Fuzz target of the GIF decoder: the header, every image's descriptor, local colour table and LZW
// data read from the input. Each small frame decoded is then written by both encoders and read back,
// which must give the same pixels.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/imagecodecs/gif/gif_walk.h"

namespace {

void RoundTrip(const giftest::Frame& f) {
    if (f.Pixels.empty() || f.Pixels.size() > 65536) return;
    for (int coder = 0; coder < 2; ++coder) {
        TStringStream out;
        if (coder == 0) {
            TLZWEncoder e;
            e.Encode(&out, 8, 256, f.Pixels.data(), f.Interlaced, f.Height, f.Width);
        } else {
            TRLEEncoder e;
            e.Encode(&out, 8, 256, f.Pixels.data(), f.Interlaced, f.Height, f.Width);
        }
        out.SetPosition(0);
        std::string back(f.Pixels.size(), '\0');
        bool warned = false;
        DecodeGIFPixels(&out, reinterpret_cast<BYTE*>(back.data()), f.Width, f.Height, f.Interlaced, 0,
                        [&](int, const std::string&) { warned = true; });
        if (warned || back != std::string(f.Pixels.begin(), f.Pixels.end())) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // A small pixel budget keeps each input fast; larger frames are refused like oversized ones.
    const giftest::Walk w = giftest::WalkGif(bytes, std::int64_t{1} << 22);
    for (const giftest::Frame& f : w.Frames) RoundTrip(f);
    return 0;
}
