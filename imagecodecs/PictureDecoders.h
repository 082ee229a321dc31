// The decompressors of the multi-format picture readers: TIFF LZW, GIF LZW, PackBits, PCX, SGI,
// CUT and RLA run-length decoders behind one TDecoder interface, and the Targa run-length scan line
// decoder and encoder.
//
// Every decoder reads no more than PackedSize bytes from Source and writes no more than
// UnpackedSize bytes to Dest; output it does not reach is left as the caller had it, but for the
// LZW decoders, which may write over up to 7 bytes past the count they return. Only TCUTRLE
// moves Source (past the row it decoded); the others leave it and the caller advances its own
// pointer. Decoding allocates nothing: the LZW tables sit inside the decoder objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A growable array of 32-bit unsigned values (row, strip and offset tables).
using TCardinalArray = std::vector<std::uint32_t>;

class TDecoder {
public:
    virtual ~TDecoder() = default;
    // Returns the bytes written to Dest.
    virtual std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                                 std::uint32_t UnpackedSize) = 0;
    // The encoding slot: no decompressor encodes.
    virtual void Encode(const std::uint8_t* Source, std::uint8_t* Target, std::uint32_t Count) = 0;
};

// The string table shared by both LZW decoders. Every string of the table was written to the
// output before it is needed (an entry is the string of one code and the first byte of the next),
// so an entry keeps only where in the output that string stands and its length, and is expanded by
// copying those bytes.
struct TLZWTable {
    static constexpr std::uint32_t kSize = 4096;
    struct TEntry {
        std::uint32_t Offset;
        std::uint32_t Length;
    };
    TEntry Entries[kSize];
};

// TIFF LZW (compression 5): codes most significant bit first, the width growing one code early.
// Raises Exception "TIF LZW: invalid opcode." for a code above the next free code.
class TTIFFLZW : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}

private:
    TLZWTable FTable;
};

// GIF LZW over data sub-blocks (the first packed byte is the first sub-block's length), codes least
// significant bit first. Set InitialCodeSize (the image's minimum code size) before decoding.
// Raises Exception "GIF LZW: invalid opcode." for a code above the next free code or a code size
// above 11.
class TGIFLZW : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
    std::uint8_t InitialCodeSize = 8;

private:
    TLZWTable FTable;
};

// PackBits (TIFF compression 32773).
class TPackbitsRLE : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
};

// PCX run-length coding: a byte with both top bits set is a count of the byte that follows.
class TPCXRLE : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
};

// SGI run-length rows of SampleSize (1 or 2) byte samples; two-byte samples give their most
// significant byte, so the output holds one byte per sample.
class TSGIRLE : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
    std::uint8_t SampleSize = 1;
};

// One Dr. Halo CUT row: a 2-byte length, packets, a 0 byte. Source is left just past the 0 byte (or
// at the end of the packed bytes when the row has no terminator).
class TCUTRLE : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
};

// One Wavefront RLA channel of a row.
class TRLADecoder : public TDecoder {
public:
    std::uint32_t Decode(const std::uint8_t*& Source, std::uint8_t* Dest, std::uint32_t PackedSize,
                         std::uint32_t UnpackedSize) override;
    void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t) override {}
};

// A Targa packet cut at the end of one call's output, carried into the next call (the next scan
// line): the pixels of a run still to write, or the raw pixels still to copy.
struct TTargaRLEState {
    std::size_t RunLeft = 0;
    std::size_t RawLeft = 0;
    std::uint8_t Pixel[4] = {};
};

// Decodes Targa run-length packets from Source (SourceSize bytes) until Count bytes are written to
// Target. BitsPerPixel 8, 15, 16, 24 or 32; any other depth decodes nothing. Without State a packet
// that crosses Count is cut there and its source bytes count whole; with State (Count a whole
// number of pixels) the rest of the packet is kept for the next call, which writes it first.
// Returns the source bytes used.
std::size_t DecodeTargaRLE(const std::uint8_t* Source, std::size_t SourceSize, std::uint8_t* Target,
                           std::size_t Count, int BitsPerPixel, TTargaRLEState* State = nullptr);

// Encodes PixelCount pixels of BytesPerPixel (1 to 4) bytes as Targa run-length packets into Target,
// which holds at least TargaRLEBound bytes. Returns the bytes written.
std::size_t EncodeTargaRLE(const std::uint8_t* Source, std::uint8_t* Target, std::size_t PixelCount,
                           int BytesPerPixel);
// The most bytes EncodeTargaRLE writes for PixelCount pixels.
constexpr std::size_t TargaRLEBound(std::size_t PixelCount, int BytesPerPixel) {
    return PixelCount * static_cast<std::size_t>(BytesPerPixel) + PixelCount;
}

// The encoder's helpers: a pixel's bytes as one big-endian number; the raw and run counts of the
// pixels ahead (m of them).
std::uint32_t ReadPixelValue(const std::uint8_t* Pixel, int Bytes);
std::size_t CountRawPixels(const std::uint8_t* Pixels, std::size_t m, int Bytes);
std::size_t CountRunPixels(const std::uint8_t* Pixels, std::size_t m, int Bytes);
