// The bytes a picture reader reads from a stream (not a public header): the rest of the stream in
// one buffer, fetched with one read. The buffer is the thread's reading buffer, reused from one
// read to the next (pictures up to kKeptBytes keep it), so that reading a large file does not
// first fault in fresh memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/streams.h"

namespace graphics_detail {

constexpr std::size_t kKeptBytes = std::size_t{32} << 20;

// Valid until the next ReadRest on the same thread.
struct StreamBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::string AsString() const { return size ? std::string(reinterpret_cast<const char*>(data), size) : std::string(); }
};

inline StreamBytes ReadRest(TStream* stream) {
    thread_local std::vector<std::uint8_t> buffer;
    StreamBytes out;
    const std::int64_t left = stream->Size() - stream->Position();
    if (left <= 0) return out;
    if (buffer.capacity() > kKeptBytes) std::vector<std::uint8_t>().swap(buffer);
    buffer.resize(static_cast<std::size_t>(left));
    const std::int64_t got = stream->Read(buffer.data(), left);
    out.data = buffer.data();
    out.size = got > 0 ? static_cast<std::size_t>(got) : 0;
    return out;
}

}  // namespace graphics_detail
