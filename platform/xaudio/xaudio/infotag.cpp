// Finding the info tag of an MPEG audio file: the ID3v2 tags skipped by their sizes, the first
// frame header read for its version and channel mode (which place the tag after the side
// information), and the tag's byte count read from its flagged fields; the file's audio ends
// before an ID3v1 tag.
#include "platform/xaudio/xaudio/infotag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace xaudio {

namespace {

constexpr int kMostId3Tags = 8;  // ID3v2 tags in a row before the first frame
constexpr std::uint64_t kId3v1Bytes = 128;
constexpr std::uint32_t kFramesFlag = 0x1, kBytesFlag = 0x2;

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The bytes of the side information of a Layer III frame: MPEG-1 has 17 (one channel) or 32,
// MPEG-2 and 2.5 have 9 or 17.
std::size_t SideInfoBytes(bool mpeg1, bool mono) { return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17); }

}  // namespace

std::optional<std::uint64_t> InfoTagStreamEnd(const ReadAt& read) {
    std::uint64_t at = 0;
    std::uint8_t id3[10];
    for (int i = 0; i < kMostId3Tags; ++i) {
        if (read(at, id3, sizeof id3) != sizeof id3 || std::memcmp(id3, "ID3", 3) != 0) break;
        if (id3[3] == 0xFF || id3[4] == 0xFF || (id3[6] | id3[7] | id3[8] | id3[9]) & 0x80) return std::nullopt;
        const std::uint32_t size = std::uint32_t{id3[6]} << 21 | std::uint32_t{id3[7]} << 14 | std::uint32_t{id3[8]} << 7 | id3[9];
        const bool footer = (id3[5] & 0x10) != 0;
        at += 10 + size + (footer ? 10 : 0);
    }
    // Header, the largest side information, the tag's name and flags, frames and bytes.
    std::uint8_t frame[4 + 32 + 4 + 4 + 4 + 4];
    if (read(at, frame, sizeof frame) != sizeof frame) return std::nullopt;
    if (frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version = (frame[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (frame[1] >> 1) & 3;    // 1 Layer III
    if (version == 1 || layer != 1) return std::nullopt;
    const bool mono = (frame[3] >> 6) == 3;
    const std::uint8_t* tag = frame + 4 + SideInfoBytes(version == 3, mono);
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0) return std::nullopt;
    const std::uint32_t flags = BigEndian32(tag + 4);
    const std::uint8_t* field = tag + 8;
    if (flags & kFramesFlag) field += 4;
    if (!(flags & kBytesFlag)) return std::nullopt;
    return at + BigEndian32(field);
}

std::uint64_t AudioEnd(const ReadAt& read, std::uint64_t size) {
    std::uint8_t id3v1[3];
    if (size >= kId3v1Bytes && read(size - kId3v1Bytes, id3v1, sizeof id3v1) == sizeof id3v1 &&
        std::memcmp(id3v1, "TAG", 3) == 0)
        return size - kId3v1Bytes;
    return size;
}

bool InfoTagCountsTheFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ReadAt read = [fd](std::uint64_t offset, std::uint8_t* to, std::size_t n) -> std::size_t {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd, to + got, n - got, static_cast<off_t>(offset + got));
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        return got;
    };
    struct stat st {};
    bool counts = false;
    if (::fstat(fd, &st) == 0) {
        const std::optional<std::uint64_t> end = InfoTagStreamEnd(read);
        counts = end && *end == AudioEnd(read, static_cast<std::uint64_t>(st.st_size));
    }
    ::close(fd);
    return counts;
}

}  // namespace xaudio
