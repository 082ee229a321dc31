// Fuzz target: the TGIFGraphic reader.
#include "fuzz/readers/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { return FuzzReader<TGIFGraphic>(data, size); }
