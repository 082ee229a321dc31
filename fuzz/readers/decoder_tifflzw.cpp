// Fuzz target: the TTIFFLZW decompressor.
#include "fuzz/readers/decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzDecoder<TTIFFLZW>(data, size, [](auto& d, std::uint8_t k) {
        (void)d;
        (void)k;
        
    });
}
