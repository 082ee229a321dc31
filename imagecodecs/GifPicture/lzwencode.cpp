// The encoders' common parts: the sub-block writer, the bit packer and the pixel walk of the
// driver, and the LZW encoder with its string table (open addressing over 8009 slots).
#include <algorithm>
#include <cstring>

#include "imagecodecs/GifPicture.h"

// ---- String table ------------------------------------------------------------------------------------

THashTable::THashTable() : Slots(std::make_unique<std::uint32_t[]>(Size)) { ResetTable(); }

void THashTable::ResetTable() { std::fill_n(Slots.get(), Size, Empty); }

void THashTable::StoreCode(std::uint32_t key, int code) {
    int h = HashOf(key);
    const int step = ProbeStep(h);
    for (int tries = 0; tries < Size && Slots[h] != Empty; ++tries) h = NextProbe(h, step);
    Slots[h] = (key << 12) | (static_cast<std::uint32_t>(code) & 0xFFF);
}

// ---- Streams -----------------------------------------------------------------------------------------

std::int64_t TGIFStream::Read(void*, std::int64_t) { throw Exception(GIFMessage(TGIFMessageId::InvalidStreamOperation)); }
std::int64_t TGIFStream::Write(const void*, std::int64_t) {
    throw Exception(GIFMessage(TGIFMessageId::InvalidStreamOperation));
}
std::int64_t TGIFStream::Seek(std::int64_t, int) { throw Exception(GIFMessage(TGIFMessageId::InvalidStreamOperation)); }

TGIFWriter::~TGIFWriter() {
    if (!Dirty) return;
    try {
        FlushSubBlock();
    } catch (...) {
        // The target refused the last bytes; its error was already reported to the encoder's caller.
    }
}

std::int64_t TGIFWriter::Write(const void* buffer, std::int64_t count) {
    const BYTE* p = static_cast<const BYTE*>(buffer);
    std::int64_t left = count;
    while (left > 0) {
        const int n = static_cast<int>(std::min<std::int64_t>(left, 256 - FillCount));
        std::memcpy(Buffer + FillCount, p, static_cast<std::size_t>(n));
        FillCount += n;
        Dirty = true;  // after a flush inside this write, the bytes that follow are pending again
        p += n;
        left -= n;
        if (FillCount > 255) FlushSubBlock();
    }
    return count;
}

void TGIFWriter::FlushSubBlock() {
    if (FillCount > 1) {
        Buffer[0] = static_cast<BYTE>(FillCount - 1);
        Target->WriteBuffer(Buffer, FillCount);
    }
    FillCount = 1;
    Dirty = false;
}

// ---- Driver ------------------------------------------------------------------------------------------

TGIFEncoder::~TGIFEncoder() = default;

void TGIFEncoder::Encode(TStream* stream, int codeSize, int colorLimit, const BYTE* pixels, bool interlaced,
                         int height, int width) {
    CodeSize = std::clamp(codeSize, 2, 8);
    ColorLimit = std::min(colorLimit, 1 << CodeSize);
    TargetStream = stream;
    FrameWidth = width;
    FrameHeight = height;
    Interlaced = interlaced;
    PixelBase = pixels;
    const bool hasPixels = pixels && width > 0 && height > 0;
    if (hasPixels) {
        const std::int64_t total = static_cast<std::int64_t>(width) * height;
        if (total > GIFMaxPixels) RaiseGIFError(TGIFMessageId::InvalidDimensions);
        // Every pixel is checked before the first byte goes out, so a bad one leaves no partial frame.
        const BYTE top = *std::max_element(pixels, pixels + total);
        if (top >= ColorLimit) RaiseGIFError(TGIFMessageId::ColorNotInTable);
    }
    ::PutByte(stream, static_cast<BYTE>(CodeSize));
    InitialCodeWidth = CodeSize + 1;
    CodeWidth = InitialCodeWidth;
    LargestCode = MaxCodeFor(CodeWidth);
    ClearCode = 1 << CodeSize;
    EndCode = ClearCode + 1;
    FirstFreeCode = ClearCode + 2;
    Bucket = 0;
    BucketBits = 0;
    ClearPending = false;
    Cursor = pixels;
    PixelsLeft = interlaced ? width : static_cast<std::int64_t>(width) * height;
    CurrentRow = 0;
    CurrentPass = 0;
    WalkEnded = !hasPixels;
    Writer = std::make_unique<TGIFWriter>(stream, Warning);
    if (hasPixels) Compress();
    PutCode(EndCode);
    while (BucketBits > 0) {
        Writer->PutByte(static_cast<BYTE>(Bucket & 0xFF));
        Bucket >>= 8;
        BucketBits = std::max(BucketBits - 8, 0);
    }
    Writer->FlushSubBlock();
    Writer.reset();
    ::PutByte(stream, 0);
}

void TGIFEncoder::PackCode(int code) {
    Bucket = BucketBits ? (static_cast<std::uint32_t>(code) << BucketBits) | (Bucket & ((1u << BucketBits) - 1))
                        : static_cast<std::uint32_t>(code);
    BucketBits += CodeWidth;
    while (BucketBits >= 8) {
        Writer->PutByte(static_cast<BYTE>(Bucket & 0xFF));
        Bucket >>= 8;
        BucketBits -= 8;
    }
}

void TGIFEncoder::PutCode(int code) { PackCode(code); }

void TGIFEncoder::EmitClear() {
    ClearPending = true;
    PutCode(ClearCode);
}

bool TGIFEncoder::NextPixel(int& pixel) {
    if (WalkEnded) return false;
    pixel = *Cursor++;
    if (--PixelsLeft > 0) return true;
    if (!Interlaced) {
        WalkEnded = true;
        return true;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    PixelsLeft = FrameWidth;
    CurrentRow += kStep[CurrentPass];
    while (CurrentRow >= FrameHeight) {
        if (CurrentPass == 3) {
            WalkEnded = true;
            return true;
        }
        ++CurrentPass;
        CurrentRow = kStart[CurrentPass];
    }
    Cursor = PixelBase + static_cast<std::int64_t>(CurrentRow) * FrameWidth;
    return true;
}

// ---- LZW -----------------------------------------------------------------------------------------------

void TLZWEncoder::PutCode(int code) {
    PackCode(code);
    if (NextCode > LargestCode || ClearPending) {
        if (ClearPending) {
            CodeWidth = InitialCodeWidth;
            LargestCode = MaxCodeFor(InitialCodeWidth);
            ClearPending = false;
        } else {
            ++CodeWidth;
            LargestCode = CodeWidth == 12 ? 4096 : MaxCodeFor(CodeWidth);
        }
    }
}

void TLZWEncoder::EmitClear() {
    TGIFEncoder::EmitClear();
    Table->ResetTable();
    NextCode = ClearCode + 2;
}

void TLZWEncoder::Compress() {
    Table = std::make_unique<THashTable>();
    struct Release {
        std::unique_ptr<THashTable>& table;
        ~Release() { table.reset(); }
    } release{Table};
    NextCode = 0;
    EmitClear();
    int pixel = 0;
    if (!NextPixel(pixel)) return;
    Prefix = pixel;
    while (NextPixel(pixel)) {
        const std::uint32_t key = (static_cast<std::uint32_t>(Prefix) << 8) | static_cast<std::uint32_t>(pixel);
        const int code = Table->FindCode(key);
        if (code >= 0) {
            Prefix = code;
            continue;
        }
        PutCode(Prefix);
        Prefix = pixel;
        if (NextCode >= 4095) {
            EmitClear();
        } else {
            Table->StoreCode(key, NextCode);
            ++NextCode;
        }
    }
    PutCode(Prefix);
}
