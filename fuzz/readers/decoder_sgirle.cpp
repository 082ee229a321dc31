// Fuzz target: the TSGIRLE decompressor.
#include "fuzz/readers/decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzDecoder<TSGIRLE>(data, size, [](auto& d, std::uint8_t k) {
        (void)d;
        (void)k;
        d.SampleSize = static_cast<std::uint8_t>(1 + k % 2);
    });
}
