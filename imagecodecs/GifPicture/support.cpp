// The GIF module's low layer: its exception, the picture size cap, the byte and sub-block routines
// of GIF streams, their buffered reading, row arithmetic and the 216-colour cube palette.
#include <algorithm>
#include <vector>

#include "imagecodecs/GifPicture.h"
#include "platform/win/winbase.h"

void RaiseGIFError(const std::string& text) { throw GIFException(text); }

void CheckImageDimensions(std::int64_t width, std::int64_t height) {
    if (!gdi::PictureSizeAllowed(width, height)) RaiseGIFError(TGIFMessageId::InvalidDimensions);
}

std::int64_t GIFPixelsFromBytes(std::int64_t bytes) {
    return std::max<std::int64_t>(bytes, 0) * GIFMaxPixelsPerByte + GIFUnpaidPixels;
}

void PutByte(TStream* stream, BYTE b) { stream->WriteBuffer(&b, 1); }

BYTE GetByte(TStream* stream) {
    BYTE b = 0;
    if (stream->Read(&b, 1) != 1) RaiseGIFError(TGIFMessageId::PrematureEnd);
    return b;
}

bool TryGetByte(TStream* stream, BYTE& b) { return stream->Read(&b, 1) == 1; }

void ReadExact(TStream* stream, void* buffer, std::int64_t n) {
    if (n <= 0) return;
    if (stream->Read(buffer, n) != n) RaiseGIFError(TGIFMessageId::PrematureEnd);
}

void WriteTextBlocks(TStream* stream, TStrings* lines) {
    for (int i = 0; i < lines->Count(); ++i) {
        const std::string line = lines->Strings(i);
        for (std::size_t at = 0; at < line.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, line.size() - at);
            PutByte(stream, static_cast<BYTE>(n));
            stream->WriteBuffer(line.data() + at, static_cast<std::int64_t>(n));
        }
    }
    PutByte(stream, 0);
}

void ReadTextBlocks(TStream* stream, TStrings* lines) {
    lines->Clear();
    BYTE n = 0;
    while (TryGetByte(stream, n) && n != 0) {
        std::string line(n, '\0');
        ReadExact(stream, line.data(), n);
        lines->Add(line);
    }
}

bool SkipSubBlocks(TStream* stream) {
    BYTE n = 0;
    BYTE skip[255];
    for (;;) {
        if (!TryGetByte(stream, n)) return false;
        if (n == 0) return true;
        if (stream->Read(skip, n) != n) return false;
    }
}

std::int64_t PeekImageDataBytes(TStream* stream, std::int64_t enough) {
    const std::int64_t start = stream->Position();
    std::int64_t bytes = 0;
    BYTE n = 0, skip[255];
    if (TryGetByte(stream, n))  // the code size
        while (bytes < enough && TryGetByte(stream, n) && n != 0) {
            const std::int64_t got = stream->Read(skip, n);
            bytes += std::max<std::int64_t>(got, 0);
            if (got < n) break;
        }
    stream->SetPosition(start);
    return bytes;
}

// ---- Buffered reading --------------------------------------------------------------------------------

namespace {
constexpr std::int64_t kReadBufferBytes = 64 * 1024;
}

TGIFReadBuffer::TGIFReadBuffer(TStream* source)
    : Source(source), Buffer(static_cast<std::size_t>(kReadBufferBytes)), Pos(source->Position()), SourcePos(Pos),
      SourceSize(source->Size()) {}

TGIFReadBuffer::~TGIFReadBuffer() {
    if (SourcePos != Pos) Source->Seek(Pos, soFromBeginning);
}

std::int64_t TGIFReadBuffer::ReadSource(void* dst, std::int64_t count) {
    if (SourcePos != Pos) SourcePos = Source->Seek(Pos, soFromBeginning);
    const std::int64_t got = std::max<std::int64_t>(Source->Read(dst, count), 0);
    SourcePos += got;
    return got;
}

std::int64_t TGIFReadBuffer::Read(void* buffer, std::int64_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        if (Pos >= BufferStart && Pos < BufferStart + BufferLength) {
            const std::int64_t n = std::min(count - done, BufferStart + BufferLength - Pos);
            std::copy_n(Buffer.data() + (Pos - BufferStart), n, out + done);
            Pos += n;
            done += n;
            continue;
        }
        if (Pos < 0 || Pos >= SourceSize) break;
        if (count - done >= kReadBufferBytes) {
            // A large read goes straight to its destination.
            const std::int64_t got = ReadSource(out + done, count - done);
            Pos += got;
            done += got;
            break;
        }
        BufferStart = Pos;
        BufferLength = ReadSource(Buffer.data(), kReadBufferBytes);
        if (BufferLength == 0) break;
    }
    return done;
}

std::int64_t TGIFReadBuffer::Seek(std::int64_t offset, int origin) {
    const std::int64_t base = origin == soFromCurrent ? Pos : origin == soFromEnd ? SourceSize : 0;
    // A position before the start is refused, as by a file.
    if (base + offset < 0) return -1;
    Pos = base + offset;
    return Pos;
}

HGDIOBJ CheckGDIHandle(HGDIOBJ handle) {
    // The platform keeps no message table, so every failure reads as the class library's text.
    if (!handle) throw EOutOfResources("Out of system resources");
    return handle;
}

std::int64_t AlignedRowBytes(std::int64_t pixels, int bits, int alignment) {
    const std::int64_t total = pixels * bits + alignment - 1;
    return (total - total % alignment) / 8;
}

int BitsForColors(int n) {
    if (n <= 0) return 0;
    int b = 1;
    while ((1 << b) < n) ++b;
    return b;
}

HPALETTE MakeLogPalette(const PALETTEENTRY* entries, int count) {
    std::vector<BYTE> mem(sizeof(LOGPALETTE) + static_cast<std::size_t>(std::max(count, 1)) * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(mem.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(count);
    std::copy_n(entries, count, static_cast<PALETTEENTRY*>(lp->palPalEntry));
    return CheckGDIHandle(CreatePalette(lp));
}

int ReadPaletteEntries(HPALETTE palette, PALETTEENTRY* out) {
    if (!palette) return 0;
    const UINT n = std::min<UINT>(GetPaletteEntries(palette, 0, 0, nullptr), 256);
    return n ? static_cast<int>(GetPaletteEntries(palette, 0, n, out)) : 0;
}

HPALETTE MakeCubePalette() {
    PALETTEENTRY entries[216];
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries[36 * r + 6 * g + b] = {static_cast<BYTE>(51 * r), static_cast<BYTE>(51 * g),
                                               static_cast<BYTE>(51 * b), 0};
    return MakeLogPalette(entries, 216);
}
