// The C GIF library reading a stream held in memory: the read position and the library's opener
// over it, shared by the reference adapters and the benchmark.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace giftest {

struct RefMemorySource {
    const std::string* Bytes;
    std::size_t Pos = 0;
};

// DGifOpen over the source's bytes; the source must outlive the handle. nullptr (and the library's
// code in error) when the library refuses the start of the stream.
inline GifFileType* RefOpenMemory(RefMemorySource& source, int* error) {
    return DGifOpen(
        &source,
        [](GifFileType* gif, GifByteType* buf, int n) {
            auto* src = static_cast<RefMemorySource*>(gif->UserData);
            const std::size_t take = std::min<std::size_t>(src->Bytes->size() - src->Pos, static_cast<std::size_t>(n));
            std::memcpy(buf, src->Bytes->data() + src->Pos, take);
            src->Pos += take;
            return static_cast<int>(take);
        },
        error);
}

}  // namespace giftest
