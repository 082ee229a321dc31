// The PPM/PGM reader: a buffered character reader for the text header and the plain kinds, bulk
// copies for the binary kinds.
#include "imagecodecs/PictureReaders/PpmGraphic.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {
constexpr const char* kReadError = "PPM: Stream read error.";
constexpr const char* kInvalid = "Not a valid ppm file.";
inline bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
}  // namespace

void TPPMGraphic::Fill() {
    const std::int64_t n = FStream->Read(FBuffer, sizeof FBuffer);
    if (n <= 0) throw Exception(kReadError);
    FCount = static_cast<std::size_t>(n);
    FIndex = 0;
}

int TPPMGraphic::Peek() {
    if (FIndex >= FCount) {
        const std::int64_t n = FStream->Read(FBuffer, sizeof FBuffer);
        if (n <= 0) return -1;
        FCount = static_cast<std::size_t>(n);
        FIndex = 0;
    }
    return FBuffer[FIndex];
}

void TPPMGraphic::SkipSpace() {
    for (;;) {
        const int c = Peek();
        if (c == '#') {
            while (Peek() >= 0 && Peek() != '\n' && Peek() != '\r') ++FIndex;
        } else if (c >= 0 && IsSpace(c)) {
            ++FIndex;
        } else {
            return;
        }
    }
}

int TPPMGraphic::NextDigit() {
    for (;;) {
        const int c = Peek();
        if (c < 0) throw Exception(kReadError);
        if (c >= '0' && c <= '9') return c;
        if (c == '#') SkipSpace();
        else ++FIndex;
    }
}

std::uint32_t TPPMGraphic::Number() {
    int c = NextDigit();
    std::uint64_t v = 0;
    while ((c = Peek()) >= '0' && c <= '9') {
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(c - '0'), 0xFFFFFFFFu);
        ++FIndex;
    }
    if (c >= 0) ++FIndex;  // the character that ended the number
    return static_cast<std::uint32_t>(v);
}

void TPPMGraphic::ReadBilevel(bool Plain, std::int64_t Width, std::int64_t Height, std::int64_t InputBytes) {
    // Bit 1 is black, as in the file: entry 0 white, entry 1 black.
    MakeImage(this, pf1bit, GreyPalette(2, 255, true), Width, Height, InputBytes, kInvalid);
    const std::size_t rowBytes = static_cast<std::size_t>((Width + 7) / 8);
    std::vector<std::uint8_t> row(rowBytes);
    const TRows rows = RowsOf(this);
    for (std::int64_t y = 0; y < Height; ++y) {
        if (Plain) {
            // One digit a pixel, blanks and comments between them or none.
            std::fill(row.begin(), row.end(), 0);
            for (std::int64_t x = 0; x < Width; ++x) {
                const int c = NextDigit();
                ++FIndex;
                if (c != '0') row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        } else {
            std::size_t got = 0;
            while (got < rowBytes) {
                if (FIndex >= FCount) Fill();
                const std::size_t n = std::min(rowBytes - got, FCount - FIndex);
                std::memcpy(row.data() + got, FBuffer + FIndex, n);
                FIndex += n;
                got += n;
            }
        }
        std::memcpy(rows.Row(static_cast<int>(y)), row.data(), rowBytes);
    }
}

void TPPMGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    FStream = Stream;
    FIndex = FCount = 0;

    SkipSpace();
    std::string magic;
    for (int c = Peek(); c >= 0 && !IsSpace(c) && c != '#'; c = Peek()) {
        magic += static_cast<char>(c);
        ++FIndex;
        if (magic.size() > 16) break;
    }
    if (magic.empty() || magic[0] != 'P') throw Exception(kInvalid);
    const int kind = StrToInt(magic.substr(1));
    if (kind < 1 || kind > 6) return;

    const std::int64_t width = Number(), height = Number();
    if (kind == 1 || kind == 4) {
        ReadBilevel(kind == 1, width, height, in.Size());
        Stream->Seek(-static_cast<std::int64_t>(FCount - FIndex), soFromCurrent);
        FIndex = FCount = 0;
        Finished(this);
        return;
    }
    const std::uint32_t maxValue = Number();
    if (maxValue == 0 || maxValue > 65535) throw Exception(kInvalid);
    const bool colour = kind == 3 || kind == 6;
    MakeImage(this, colour ? pf24bit : pf8bit, colour ? nullptr : GreyPalette(), width, height, in.Size(), kInvalid);

    // Samples of another range are scaled to 0..255.
    std::vector<std::uint8_t> scale;
    if (maxValue != 255) {
        scale.resize(std::size_t{maxValue} + 1);
        for (std::uint32_t v = 0; v <= maxValue; ++v)
            scale[v] = static_cast<std::uint8_t>((std::uint64_t{v} * 255 + maxValue / 2) / maxValue);
    }
    auto level = [&](std::uint32_t v) -> std::uint8_t {
        if (v > maxValue) v = maxValue;
        return scale.empty() ? static_cast<std::uint8_t>(v) : scale[v];
    };
    const std::size_t samples = static_cast<std::size_t>(width) * (colour ? 3 : 1);
    const bool wide = maxValue > 255;
    std::vector<std::uint8_t> row(samples * (wide ? 2 : 1));
    const TRows rows = RowsOf(this);
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint8_t* line = rows.Row(static_cast<int>(y));
        if (kind == 2 || kind == 3) {
            for (std::size_t i = 0; i < samples; ++i) row[i] = level(Number());
        } else {
            std::size_t got = 0;
            while (got < row.size()) {
                if (FIndex >= FCount) Fill();
                const std::size_t n = std::min(row.size() - got, FCount - FIndex);
                std::memcpy(row.data() + got, FBuffer + FIndex, n);
                FIndex += n;
                got += n;
            }
            if (wide) {
                for (std::size_t i = 0; i < samples; ++i) row[i] = level((std::uint32_t{row[2 * i]} << 8) | row[2 * i + 1]);
            } else if (!scale.empty()) {
                for (std::size_t i = 0; i < samples; ++i) row[i] = level(row[i]);
            }
        }
        if (colour) {
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
                line[3 * x] = row[3 * x + 2];
                line[3 * x + 1] = row[3 * x + 1];
                line[3 * x + 2] = row[3 * x];
            }
        } else {
            std::memcpy(line, row.data(), samples);
        }
    }
    // The stream stands after the last byte used.
    Stream->Seek(-static_cast<std::int64_t>(FCount - FIndex), soFromCurrent);
    FIndex = FCount = 0;
    Finished(this);
}
