// The body of every decompressor's fuzz target: the first byte chooses the output size (and a
// decoder's parameter), the rest is the packed data, copied to a buffer of exactly its size so an
// overread shows; guard bytes after the output show an overwrite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/sysutils.h"

inline void CheckGuard(const std::vector<std::uint8_t>& out, std::size_t size) {
    for (std::size_t i = size; i < out.size(); ++i)
        if (out[i] != 0xA5) std::abort();
}

template <class D, class Setup>
int FuzzDecoder(const std::uint8_t* data, std::size_t size, Setup setup) {
    if (size < 1) return 0;
    const std::size_t outSize = std::size_t{data[0]} * 37;
    std::vector<std::uint8_t> packed(data + 1, data + size);
    std::vector<std::uint8_t> out(outSize + 64, 0xA5);
    D d;
    setup(d, data[0]);
    const std::uint8_t* src = packed.data();
    try {
        d.Decode(src, out.data(), static_cast<std::uint32_t>(packed.size()), static_cast<std::uint32_t>(outSize));
    } catch (const Exception&) {
    }
    if (src < packed.data() || src > packed.data() + packed.size()) std::abort();
    CheckGuard(out, outSize);
    return 0;
}
