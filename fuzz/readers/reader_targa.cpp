// Fuzz target: the TTargaGraphic reader.
#include "fuzz/readers/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { return FuzzReader<TTargaGraphic>(data, size); }
