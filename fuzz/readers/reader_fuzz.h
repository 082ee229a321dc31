// The body of every picture reader's fuzz target: the bytes as a memory stream into the reader's
// LoadFromStream, and, when a picture came out, every scan line touched and the bitmap saved, so a
// wrong size or palette shows under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imagecodecs/PictureReaders.h"

template <class T>
int FuzzReader(const std::uint8_t* data, std::size_t size) {
    T g;
    try {
        TStringStream s(std::string(reinterpret_cast<const char*>(data), size));
        g.LoadFromStream(&s);
    } catch (const Exception&) {
        return 0;
    }
    if (g.Empty()) return 0;
    unsigned sum = 0;
    const int bytes = g.ScanLineBytes();
    for (int y = 0; y < g.Height(); ++y) {
        const auto* row = static_cast<const std::uint8_t*>(g.ScanLine(y));
        sum += row[0] + row[bytes - 1];
    }
    TMemoryStream out;
    try {
        g.SaveToStream(&out);
    } catch (const Exception&) {
    }
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
