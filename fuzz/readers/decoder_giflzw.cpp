// Fuzz target: the TGIFLZW decompressor.
#include "fuzz/readers/decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzDecoder<TGIFLZW>(data, size, [](auto& d, std::uint8_t k) {
        (void)d;
        (void)k;
        d.InitialCodeSize = static_cast<std::uint8_t>(k % 13);
    });
}
