// Byte-level builders of GIF streams for the block-structure fixtures: a header with a grey global
// table, image blocks with their LZW data (the codec's own encoder, checked against the C library
// elsewhere), and raw extension blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imagecodecs/GifPicture.h"

namespace giftest {

// A picture loaded from bytes, with the warnings it gave and the message of the exception that
// ended the load (empty when none), and where the stream stood after a failed load.
struct Loaded {
    std::unique_ptr<TGIFPicture> Picture = std::make_unique<TGIFPicture>();
    std::vector<std::string> Warnings;
    std::string Error;
    std::int64_t PositionAfterFailure = -1;
};

inline Loaded Load(const std::string& bytes) {
    Loaded l;
    l.Picture->OnGIFWarning = [&w = l.Warnings](TObject*, int, const std::string& m) { w.push_back(m); };
    TStringStream s(bytes);
    try {
        l.Picture->LoadFromStream(&s);
    } catch (const Exception& e) {
        l.Error = e.Message;
        l.PositionAfterFailure = s.Position();
    }
    return l;
}

inline std::string Le16(int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }

// "GIF89a" (or the given version), the logical screen and a global table of 2^bits greys
// (bits 0: no table).
inline std::string GifHeader(int w, int h, int bits, const std::string& version = "89a", int background = 0,
                             int aspect = 0) {
    std::string s = "GIF" + version + Le16(w) + Le16(h);
    s += static_cast<char>(bits > 0 ? 0x80 | ((bits - 1) << 4) | (bits - 1) : 0);
    s += static_cast<char>(background);
    s += static_cast<char>(aspect);
    if (bits > 0)
        for (int i = 0; i < (1 << bits); ++i) {
            const char g = static_cast<char>(i * 255 / ((1 << bits) - 1));
            s += std::string{g, g, g};
        }
    return s;
}

// LZW image data of the pixels (minimum code size byte, sub-blocks, terminator).
inline std::string ImageData(int w, int h, const std::vector<std::uint8_t>& px, int bits, bool interlaced = false) {
    TStringStream out;
    TLZWEncoder e;
    e.Encode(&out, bits, 1 << bits, px.data(), interlaced, h, w);
    return out.DataString();
}

// An image descriptor (no local table unless localBits > 0: then 2^localBits red shades follow)
// and its data.
inline std::string ImageBlock(int left, int top, int w, int h, const std::vector<std::uint8_t>& px, int bits,
                              bool interlaced = false, int localBits = 0) {
    std::string s = "," + Le16(left) + Le16(top) + Le16(w) + Le16(h);
    s += static_cast<char>((interlaced ? 0x40 : 0) | (localBits > 0 ? 0x80 | (localBits - 1) : 0));
    if (localBits > 0)
        for (int i = 0; i < (1 << localBits); ++i) s += std::string{static_cast<char>(i * 255 / ((1 << localBits) - 1)), 0, 0};
    return s + ImageData(w, h, px, localBits > 0 ? localBits : bits, interlaced);
}

// A graphic control extension with block size 4.
inline std::string Gce(int disposal, int delay, int transparent = -1, bool userInput = false) {
    std::string s = "\x21\xF9\x04";
    s += static_cast<char>((disposal << 2) | (userInput ? 2 : 0) | (transparent >= 0 ? 1 : 0));
    s += Le16(delay);
    s += static_cast<char>(transparent >= 0 ? transparent : 0);
    s += '\0';
    return s;
}

// The looping block under an identifier ("NETSCAPE2.0").
inline std::string LoopBlock(int count, const std::string& id = "NETSCAPE2.0", int subId = 1) {
    return std::string("\x21\xFF\x0B") + id + "\x03" + static_cast<char>(subId) + Le16(count) + std::string(1, '\0');
}

inline std::string Comment(const std::string& text) {
    std::string s = "\x21\xFE";
    for (std::size_t at = 0; at < text.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, text.size() - at);
        s += static_cast<char>(n);
        s += text.substr(at, n);
    }
    return s + std::string(1, '\0');
}

// Pixels of a w x h frame: (x + 3y + seed) mod colors.
inline std::vector<std::uint8_t> Pattern(int w, int h, int colors, int seed = 0) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>((x + 3 * y + seed) % colors);
    return px;
}

// The frame's index pixels as a vector.
inline std::vector<std::uint8_t> FramePixels(TGIFSubImage* f) {
    if (!f->IndexData) return {};
    return std::vector<std::uint8_t>(f->IndexData.get(), f->IndexData.get() + f->IndexDataSize);
}

}  // namespace giftest
