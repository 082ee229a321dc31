// Fuzz target: the TRLADecoder decompressor.
#include "fuzz/readers/decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzDecoder<TRLADecoder>(data, size, [](auto& d, std::uint8_t k) {
        (void)d;
        (void)k;
        
    });
}
