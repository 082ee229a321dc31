// The reference: the C GIF library (libgif) reading and writing GIF streams in memory, used by the
// tests and the benchmark only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

struct RefFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlaced = false;
    int LocalColors = 0;
    std::vector<std::uint8_t> Pixels;  // rows top to bottom
};

struct RefGif {
    int Error = 0;  // the library's error code; 0 when it read the whole stream
    int Width = 0, Height = 0, GlobalColors = 0;
    std::vector<RefFrame> Frames;
};

// DGifSlurp on the bytes.
RefGif RefDecode(const std::string& bytes);
// EGifSpew of one frame with a global table of 2^bits grey entries.
std::string RefEncode(int width, int height, const std::vector<std::uint8_t>& pixels, int bits, bool interlaced);

}  // namespace giftest
