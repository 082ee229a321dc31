// The encoder's info tag at the head of an MPEG audio file (a "Xing" or "Info" block in the first
// Layer III frame, after any ID3v2 tags): where the stream it describes ends, so that a file cut
// shorter than its tag says can be told from a whole one without reading it through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace xaudio {

// Reads up to n bytes at an offset of the file; returns how many it read.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::uint8_t* to, std::size_t n)>;

// The offset just past the stream the info tag counts: the tag's frame offset plus its byte count.
// Nothing when the first frame is no Layer III info frame or its tag counts no bytes.
std::optional<std::uint64_t> InfoTagStreamEnd(const ReadAt& read);

// True when the file at a local path is shorter than its info tag says, or its tag's extent cannot
// be told (then only a scan of the stream gives its length).
bool ShorterThanItsInfoTag(const std::string& path);

}  // namespace xaudio
