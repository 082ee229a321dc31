// The encoder's info tag at the head of an MPEG audio file (a "Xing" or "Info" block in the first
// Layer III frame, after any ID3v2 tags): where the stream it describes ends, so that a whole file
// can be told without reading it through from one cut shorter than its tag says or one joined to
// more audio behind it.
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

// The offset just past a file's audio: its size, less an ID3v1 tag at its end.
std::uint64_t AudioEnd(const ReadAt& read, std::uint64_t size);

// True when the info tag of the file at a local path counts its audio exactly: the stream the tag
// counts ends where the file's audio ends. False for a file cut short, one with more audio behind
// (files joined end to end), and one whose tag's extent cannot be told: only a scan of the stream
// gives their length.
bool InfoTagCountsTheFile(const std::string& path);

}  // namespace xaudio
