// Row access to bitmaps as device-independent bitmaps: the reader converts a bitmap in place and
// reads its scan lines; the writer builds an 8- or 24-bit DIB in global memory and hands it to its
// bitmap as a BMP stream when it is finished (or destroyed).
#include <cstring>

#include "imagecodecs/GifPicture.h"

TDIBReader::TDIBReader(TBitmap* bitmap, TPixelFormat format) : TDIB(bitmap, format) {
    bitmap->SetPixelFormat(format);
}

BYTE* TDIBReader::RowPointer(int row) { return static_cast<BYTE*>(TargetBitmap->ScanLine(row)); }

TDIBWriter::TDIBWriter(TBitmap* bitmap, TPixelFormat format, int width, int height, HPALETTE palette)
    : TDIB(bitmap, format), Palette(palette), Height(height), Width(width) {
    if (format != pf8bit && format != pf24bit) RaiseGIFError(TGIFMessageId::UnsupportedPixelFormat);
    CheckImageDimensions(width, height);
}

TDIBWriter::~TDIBWriter() {
    if (PixelMemory) {
        try {
            StoreIntoBitmap();
        } catch (...) {
            // Only a writer left without Finish gets here, unwinding or abandoned: its bitmap stays
            // as it was; the memory goes in any case.
        }
    }
    ReleaseBits();
}

void TDIBWriter::Finish() {
    if (PixelMemory) StoreIntoBitmap();
    ReleaseBits();
}

std::int64_t TDIBWriter::Stride() const { return AlignedRowBytes(Width, RowFormat == pf8bit ? 8 : 24, 32); }

void TDIBWriter::AllocateBits() {
    ReleaseBits();
    const bool indexed = RowFormat == pf8bit;
    DIBHeaderSize = indexed ? 40 + 256 * 4 : 40;
    DIBHeader.assign(static_cast<std::size_t>(DIBHeaderSize), 0);
    BITMAPINFOHEADER h;
    h.biSize = 40;
    h.biWidth = Width;
    h.biHeight = Height;
    h.biPlanes = 1;
    h.biBitCount = indexed ? 8 : 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = 0;
    if (indexed) {
        PALETTEENTRY entries[256];
        const int n = ReadPaletteEntries(Palette, entries);
        BYTE* table = DIBHeader.data() + 40;
        for (int i = 0; i < n; ++i) {
            table[i * 4 + 0] = entries[i].peBlue;
            table[i * 4 + 1] = entries[i].peGreen;
            table[i * 4 + 2] = entries[i].peRed;
            table[i * 4 + 3] = 0;
        }
        h.biClrUsed = 256;
        h.biClrImportant = static_cast<DWORD>(n);
    }
    std::memcpy(DIBHeader.data(), &h, sizeof h);
    PixelMemorySize = Stride() * Height;
    PixelMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<std::size_t>(PixelMemorySize));
    Pixels = PixelMemory ? static_cast<BYTE*>(GlobalLock(PixelMemory)) : nullptr;
    if (!Pixels) {
        ReleaseBits();
        throw EOutOfMemory(GIFMessage(TGIFMessageId::DIBAllocationFailed));
    }
}

void TDIBWriter::ReleaseBits() {
    if (PixelMemory) {
        GlobalUnlock(PixelMemory);
        GlobalFree(PixelMemory);
    }
    PixelMemory = nullptr;
    Pixels = nullptr;
    PixelMemorySize = 0;
    DIBHeader.clear();
    DIBHeaderSize = 0;
}

BYTE* TDIBWriter::RowPointer(int row) {
    if (!PixelMemory) AllocateBits();
    if (!Pixels) RaiseGIFError(TGIFMessageId::ImageHasNoDIB);
    if (row < 0 || row >= Height) throw EInvalidGraphicOperation("Scan line index out of range");
    GdiFlush();
    return Pixels + static_cast<std::int64_t>(Height - row - 1) * Stride();
}

void TDIBWriter::StoreIntoBitmap() {
    if (!Pixels) return;
    TMemoryStream stream;
    BITMAPFILEHEADER f;
    f.bfType = 0x4D42;
    f.bfSize = static_cast<DWORD>(14 + DIBHeaderSize + PixelMemorySize);
    f.bfOffBits = static_cast<DWORD>(14 + DIBHeaderSize);
    stream.WriteBuffer(&f, 14);
    stream.WriteBuffer(DIBHeader.data(), DIBHeaderSize);
    stream.WriteBuffer(Pixels, PixelMemorySize);
    stream.SetPosition(0);
    TargetBitmap->LoadFromStream(&stream);
}
