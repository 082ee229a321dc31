// GIF pictures (GIF87a and GIF89a): the module's exception and message texts, stream routines for
// GIF blocks, DIB row access, colour lookups, ditherers, colour reduction with the octree quantiser,
// GIF colour tables, the items and lists a GIF stream is made of, the stream header, the LZW decoder
// of table-based image data and its two encoders (LZW and run-length) with the sub-block writer.
//
// Colour byte orders: GIF colour tables hold red, green, blue triplets; TColor keeps red in the low
// byte; DIB colour tables and octree output use blue, green, red, 0 quads; logical palettes use red,
// green, blue, flags. Warnings are never exceptions: they carry severity 1 and reach the owning
// picture's warning path. Every size is computed in 64 bits, and no picture of more than
// GIFMaxPixels pixels is made or read.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "imagecodecs/GifPicture/messages.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/threads.h"
#include "platform/gdi/picturelimits.h"

// ==== Support: errors, warnings, stream routines =================================================

CLASSLIB_EXCEPTION(GIFException, EInvalidGraphic);

// Raises GIFException with the text as its message.
[[noreturn]] void RaiseGIFError(const std::string& text);
[[noreturn]] inline void RaiseGIFError(TGIFMessageId id) { RaiseGIFError(std::string(GIFMessage(id))); }

// The one cap of every picture reader (platform/gdi/picturelimits.h): pictures of more pixels are
// refused with "Invalid image dimensions".
constexpr std::int64_t GIFMaxPixels = static_cast<std::int64_t>(gdi::kMaxPicturePixels);
// Width x height within 1 .. GIFMaxPixels (both above 0); otherwise "Invalid image dimensions".
void CheckImageDimensions(std::int64_t width, std::int64_t height);
// The most pixels `bytes` bytes of LZW data can describe. A code gives at most one pixel more than
// the codes read since the last clear, and no more than 4096, while codes are 12 bits wide from the
// 2048th on: no data yields more than about 2731 pixels a byte, and GIFMaxPixelsPerByte stays above
// that.
constexpr std::int64_t GIFMaxPixelsPerByte = 4096;
// The pixels a whole stream may hold beyond what its frames' own data describes (frames cut short,
// whose missing pixels keep the fill): as many as 256 bytes could describe, once per stream.
constexpr std::int64_t GIFUnpaidPixels = 256 * GIFMaxPixelsPerByte;
// The most pixels `bytes` bytes of a GIF stream can describe: bytes x GIFMaxPixelsPerByte, plus
// GIFUnpaidPixels.
std::int64_t GIFPixelsFromBytes(std::int64_t bytes);

// A warning as the codecs report it: severity (always 1) and text; the caller knows the sender.
using TGIFWarnProc = std::function<void(int Severity, const std::string& Message)>;

// GIF versions: 0 unknown, 1 "87a", 2 "89a".
enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

void PutByte(TStream* stream, BYTE b);
// One byte; the end of the stream raises "Premature end of data".
BYTE GetByte(TStream* stream);
// One byte into b; false at the end of the stream.
bool TryGetByte(TStream* stream, BYTE& b);
// Exactly n bytes; fewer raise "Premature end of data".
void ReadExact(TStream* stream, void* buffer, std::int64_t n);
// Each line as data sub-blocks of at most 255 bytes (an empty line writes nothing), then one 0.
void WriteTextBlocks(TStream* stream, TStrings* lines);
// Clears lines; each sub-block up to the 0 (or the end of the stream) becomes one line. A sub-block
// cut short raises "Premature end of data".
void ReadTextBlocks(TStream* stream, TStrings* lines);
// Skips data sub-blocks through the 0 terminator; false when the stream ended first.
bool SkipSubBlocks(TStream* stream);
// The bytes of the image data that follows (the data sub-blocks after the code size byte, without
// their size bytes), counted up to the terminator, the end of the stream or `enough`, whichever
// comes first. The stream is left where it was.
std::int64_t PeekImageDataBytes(TStream* stream, std::int64_t enough);

// Reads another stream through a buffer of its own, so that the many small reads and steps back
// of a GIF stream's blocks cost no call on the stream beneath. Read-only. The source's size is taken
// once; the source is left where reading stands when the buffer is freed.
class TGIFReadBuffer : public TStream {
public:
    explicit TGIFReadBuffer(TStream* source);
    ~TGIFReadBuffer() override;
    TGIFReadBuffer(const TGIFReadBuffer&) = delete;
    TGIFReadBuffer& operator=(const TGIFReadBuffer&) = delete;
    const char* ClassName() const override { return "TGIFReadBuffer"; }
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t Size() override { return SourceSize; }

private:
    // Reads from the source at Pos into dst; what arrived.
    std::int64_t ReadSource(void* dst, std::int64_t count);

    TStream* Source;
    std::vector<BYTE> Buffer;
    std::int64_t BufferStart = 0, BufferLength = 0;  // the source bytes the buffer holds
    std::int64_t Pos = 0, SourcePos = 0, SourceSize = 0;
};

// The handle when it is not 0; otherwise EOutOfResources with the system text of the last error
// (or "Out of system resources").
HGDIOBJ CheckGDIHandle(HGDIOBJ handle);
template <class H>
H CheckGDIHandle(H handle) { return reinterpret_cast<H>(CheckGDIHandle(ToGdiObj(handle))); }

// ((pixels x bits + alignment - 1) rounded down to a multiple of alignment) div 8.
std::int64_t AlignedRowBytes(std::int64_t pixels, int bits, int alignment);
// 0 for 0; else the smallest b >= 1 with 2^b >= n.
int BitsForColors(int n);
// A new logical palette (version 0x300) of the entries (1 to 256), owned by the caller.
HPALETTE MakeLogPalette(const PALETTEENTRY* entries, int count);
// Up to 256 entries of a palette into out; the number read (0 for no palette).
int ReadPaletteEntries(HPALETTE palette, PALETTEENTRY* out);
// A new 216-entry palette: entry 36r + 6g + b is (51r, 51g, 51b), flags 0. Owned by the caller.
HPALETTE MakeCubePalette();

// ==== DIB rows ===================================================================================

// Row access to a bitmap's pixels in a fixed pixel format.
class TDIB : public TObject {
public:
    TDIB(TBitmap* bitmap, TPixelFormat format) : TargetBitmap(bitmap), RowFormat(format) {}
    const char* ClassName() const override { return "TDIB"; }
    virtual BYTE* RowPointer(int row) = 0;

    TBitmap* TargetBitmap;  // not owned
    TPixelFormat RowFormat;
};

// Reads the rows of a bitmap, which it converts to the format in place.
class TDIBReader : public TDIB {
public:
    TDIBReader(TBitmap* bitmap, TPixelFormat format);
    const char* ClassName() const override { return "TDIBReader"; }
    BYTE* RowPointer(int row) override;  // the bitmap's own scan line
};

// Builds an 8- or 24-bit DIB in memory and hands it to the bitmap: at Finish, where a bitmap that
// cannot take it raises, or else when destroyed, where nothing can be raised.
class TDIBWriter : public TDIB {
public:
    // "Unsupported PixelFormat" unless 8 or 24 bits; "Invalid image dimensions" for a zero size or
    // one above GIFMaxPixels. The palette is not owned.
    TDIBWriter(TBitmap* bitmap, TPixelFormat format, int width, int height, HPALETTE palette);
    ~TDIBWriter() override;
    const char* ClassName() const override { return "TDIBWriter"; }
    // Row r (0 = top) of the bottom-up pixel memory, allocated on first use. "Scan line index out of
    // range" (EInvalidGraphicOperation) outside 0 .. height - 1.
    BYTE* RowPointer(int row) override;

    // Hands the rows written to the bitmap now and releases the memory; a failure passes on.
    void Finish();
    void AllocateBits();
    void StoreIntoBitmap();
    void ReleaseBits();
    std::int64_t Stride() const;
    const std::vector<BYTE>& Header() const { return DIBHeader; }

private:
    std::vector<BYTE> DIBHeader;  // BITMAPINFOHEADER and the colour table
    HGLOBAL PixelMemory = nullptr;
    BYTE* Pixels = nullptr;
    std::int64_t DIBHeaderSize = 0;
    std::int64_t PixelMemorySize = 0;
    HPALETTE Palette;
    int Height;
    int Width;
};

// ==== Colour lookups =============================================================================

// Maps a colour to an entry of its palette: answers the index and the palette colour chosen.
class TColorLookup : public TObject {
public:
    explicit TColorLookup(int paletteSize) : PaletteSize(paletteSize) {}
    const char* ClassName() const override { return "TColorLookup"; }
    virtual BYTE Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) = 0;
    int PaletteSize;
};

// Nearest colour of a palette by the sum of absolute differences, cached per 5-5-5 cell.
class TFastColorLookup : public TColorLookup {
public:
    explicit TFastColorLookup(HPALETTE palette);
    const char* ClassName() const override { return "TFastColorLookup"; }
    BYTE Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;

private:
    std::array<PALETTEENTRY, 256> PaletteCopy{};
    std::vector<std::int16_t> NearestCache;  // 32768 cells, -1 = not known
};

// The 216-colour cube: each component to the nearest of 0, 51, ..., 255.
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    const char* ClassName() const override { return "TNetscapeColorLookup"; }
    BYTE Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;
};

class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    const char* ClassName() const override { return "TGrayScaleLookup"; }
    BYTE Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;
};

class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    const char* ClassName() const override { return "TMonochromeLookup"; }
    BYTE Match(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;
};

// ==== Dithering ==================================================================================

// Rows of 24-bit colours to palette indices, in serpentine order: the first row left to right, the
// next right to left. Quantize takes the pixel at CurColumn and steps the column; NewRow turns.
class TDitherEngine : public TObject {
public:
    TDitherEngine(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TDitherEngine"; }
    virtual BYTE Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue);
    virtual void NewRow();
    void StepColumn() { CurColumn += StepDir; }

    int StepDir = 1;
    int CurColumn = 0;
    TColorLookup* ColorMatcher;  // not owned
    int RowWidth;
};

class TFloydSteinbergDitherer : public TDitherEngine {
public:
    TFloydSteinbergDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TFloydSteinbergDitherer"; }
    BYTE Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;
    void NewRow() override;

private:
    struct Channel {
        std::vector<int> Row;  // RowWidth + 2 cells: cell c + 1 holds column c of the next row
        int Carry = 0, Below = 0, BelowBehind = 0;
    };
    Channel Channels[3];
    int Pointer = 0;  // the cell of the column behind the pixel
};

// Error diffusion over a kernel of several rows (each row of RowWidth + 2 x margin cells).
class TKernelDitherer : public TDitherEngine {
public:
    struct Share {
        int Row, Offset, Weight;  // offset in pixels along the scan direction
    };
    TKernelDitherer(int rowWidth, TColorLookup* lookup, int rows, int margin, int divisor,
                    std::vector<Share> kernel);
    BYTE Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) override;
    void NewRow() override;

    int ErrorDivisor;

private:
    std::vector<Share> Kernel;
    int Margin;
    std::vector<std::vector<int>> Rows[3];  // per channel, row 0 first
    int Cell = 0;                           // cell of the current column
};

class T5by3Ditherer : public TKernelDitherer {
public:
    using TKernelDitherer::TKernelDitherer;
};
class TStuckiDitherer : public T5by3Ditherer {
public:
    TStuckiDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TStuckiDitherer"; }
};
class TSierraDitherer : public T5by3Ditherer {
public:
    TSierraDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TSierraDitherer"; }
};
class TJaJuNiDitherer : public T5by3Ditherer {
public:
    TJaJuNiDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TJaJuNiDitherer"; }
};
class TSteveArcheDitherer : public TKernelDitherer {
public:
    TSteveArcheDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TSteveArcheDitherer"; }
};
class TBurkesDitherer : public TKernelDitherer {
public:
    TBurkesDitherer(int rowWidth, TColorLookup* lookup);
    const char* ClassName() const override { return "TBurkesDitherer"; }
};

// ==== Colour reduction ===========================================================================

enum TColorReduction : BYTE {
    crNone = 0,
    crSystem20 = 1,
    crHalftone = 2,
    crFourGreys = 3,
    crBlackWhite = 4,
    crGreys256 = 5,
    crCube216 = 6,
    crOctree = 7,
    crOctreeSystem = 8,
    crCustomPalette = 9,
};

enum TDitherMode : BYTE {
    dtNearest = 0,
    dtFloydSteinberg = 1,
    dtStucki = 2,
    dtSierra = 3,
    dtJarvis = 4,
    dtStevensonArce = 5,
    dtBurkes = 6,
};

// New logical palettes owned by the caller.
HPALETTE MakeGreyPalette();      // 256 greys, flags PC_NOCOLLAPSE
HPALETTE MakeMonoPalette();      // black, white
HPALETTE MakeFourGreyPalette();  // 0, 128, 192, 255
HPALETTE MakeHalftonePalette();  // the screen's halftone palette

// The ditherer of a mode over a lookup; "Invalid reduction method" for a mode above 6.
std::unique_ptr<TDitherEngine> MakeDitherer(TDitherMode mode, int rowWidth, TColorLookup* lookup);

// A new 8-bit bitmap (24-bit for crNone) owned by the caller, made from a private copy of the source,
// which keeps its format. "Invalid reduction method" for a method above 9, a dither mode above 6 or
// a palette without colours. Bits gives 2^bits octree colours (1..8).
std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap* source, TColorReduction method, TDitherMode dither,
                                            HPALETTE customPalette, int bits);

class TOctreeNode : public TObject {
public:
    bool LeafFlag = false;
    std::uint32_t PixelTally = 0;
    std::uint64_t RedTotal = 0, GreenTotal = 0, BlueTotal = 0;  // 64 bits: no overflow at any size
    TOctreeNode* NextReducible = nullptr;
    std::unique_ptr<TOctreeNode> Children[8];
};

class TColorQuantizer : public TObject {
public:
    TColorQuantizer(int maxColors, int depth);
    ~TColorQuantizer() override;
    void ProcessImage(TDIB* reader, int width, int height);
    void InsertColor(std::unique_ptr<TOctreeNode>& slot, BYTE red, BYTE green, BYTE blue, int level);
    void MergeDeepest();
    // Writes one blue, green, red, 0 quad per leaf (walk order); returns how many.
    int CollectColors(RGBQUAD* quads, int capacity);
    void FreeTree();
    int LeavesInTree = 0;

private:
    void Collect(TOctreeNode* node, RGBQUAD* quads, int capacity, int& count);
    std::unique_ptr<TOctreeNode> QuantTree;
    TOctreeNode* MergeLists[8] = {};
    int ColorLimit;
    int ColorDepth;
};

// A palette of n colours (n <= 256) from the 24-bit rows of the reader; with system colours 256
// entries: the system's first and last ten around 236 octree colours. Entries past the colours the
// image holds are black.
HPALETTE BuildOctreePalette(TDIB* reader, int width, int height, int colors, int depth, bool withSystemColors);
HPALETTE OctreePaletteForBitmap(TBitmap* bitmap, int colors, int depth, bool withSystemColors);

// ==== The picture as its items see it ============================================================

class TGIFColorMap;
class TGIFHeader;

// A frame as its colour tables see it: its index pixels, its active table, its transparent index
// and its cached palette. The frame class implements it.
class TGIFFrameLink {
public:
    virtual ~TGIFFrameLink() = default;
    virtual TGIFColorMap* ActiveColorMap() = 0;
    virtual BYTE* IndexPixels() = 0;              // width x height bytes, or nullptr
    virtual std::int64_t IndexPixelCount() = 0;
    virtual bool HasTransparentIndex() = 0;
    virtual BYTE TransparentIndex() = 0;
    virtual void SetTransparentIndex(BYTE index) = 0;
    virtual void SetFramePalette(HPALETTE palette) = 0;  // nullptr drops the cached palette
    virtual void FrameWarning(TObject* sender, int severity, const std::string& message) = 0;
};

// What the items of a GIF stream ask of the picture that owns them. The picture class implements it.
class TGIFImageLink {
public:
    virtual ~TGIFImageLink() = default;
    virtual void Warning(TObject* sender, int severity, const std::string& message) = 0;
    virtual TGIFVersion FileVersion() = 0;
    virtual int HighestResolution() = 0;  // colour resolution (bits per primary - 1) of the screen
    virtual int FrameLinkCount() = 0;
    virtual TGIFFrameLink* FrameLink(int index) = 0;
    virtual void SetPalette(HPALETTE palette) = 0;  // nullptr drops the picture's palette
};

// ==== Colour tables ==============================================================================

struct TGIFUseCount {
    std::uint32_t Count = 0;
    std::uint32_t Index = 0;
};
using TGIFUseTable = std::array<TGIFUseCount, 256>;

// Sorts the first count pairs by decreasing use (not stable).
void SortUseCounts(TGIFUseTable& table, int count);

// A GIF colour table of up to 256 red, green, blue triplets.
class TGIFColorMap : public TPersistent {
public:
    TGIFColorMap() = default;
    ~TGIFColorMap() override;
    const char* ClassName() const override { return "TGIFColorMap"; }
    void Assign(TPersistent* Source) override;

    virtual void Warn(int severity, const std::string& text) = 0;
    virtual void CountUses(TGIFUseTable& table) = 0;
    virtual void RemapPixels(const BYTE map[256]) = 0;
    virtual bool Compact() = 0;
    virtual void NotifyOwner() = 0;

    void Reset();
    void EnsureRoom(int n);
    void ReadTable(TStream* stream, int n);
    void WriteTable(TStream* stream) const;
    int TableBits() const { return BitsForColors(ColorCount); }
    int FindColor(TColor color) const;
    int AppendColor(TColor color);
    int MergeColor(TColor color);
    void RemoveColor(int index);
    TColor ColorAt(int index);
    void FromPalette(HPALETTE palette);
    void FromRGBQuads(const RGBQUAD* quads, int n);
    void FromDIBColors(HDC dc);
    HPALETTE ToPalette() const;
    bool SortByUse();

    int Count() const { return ColorCount; }
    int Capacity() const { return Allocated; }
    bool IsSortedByUse() const { return SortedByUse; }
    const BYTE* Data() const { return Triplets.get(); }

protected:
    std::unique_ptr<BYTE[]> Triplets;
    int ColorCount = 0;
    int Allocated = 0;
    bool SortedByUse = false;
};

inline void ColorToTriplet(TColor color, BYTE* triplet) {
    triplet[0] = static_cast<BYTE>(color & 0xFF);
    triplet[1] = static_cast<BYTE>((color >> 8) & 0xFF);
    triplet[2] = static_cast<BYTE>((color >> 16) & 0xFF);
}
inline TColor TripletToColor(const BYTE* t) { return t[0] | (t[1] << 8) | (t[2] << 16); }

// The global table, owned by the header. The screen's background index counts as a use and is
// remapped with the pixels.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader* header) : OwnerHeader(header) {}
    ~TGIFGlobalColorMap() override;
    const char* ClassName() const override { return "TGIFGlobalColorMap"; }
    void Warn(int severity, const std::string& text) override;
    void CountUses(TGIFUseTable& table) override;
    void RemapPixels(const BYTE map[256]) override;
    bool Compact() override;
    void NotifyOwner() override;

private:
    TGIFHeader* OwnerHeader;
};

// The local table of one frame.
class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFFrameLink* frame) : OwnerFrame(frame) {}
    ~TGIFLocalColorMap() override;
    const char* ClassName() const override { return "TGIFLocalColorMap"; }
    void Warn(int severity, const std::string& text) override;
    void CountUses(TGIFUseTable& table) override;
    void RemapPixels(const BYTE map[256]) override;
    bool Compact() override { return SortByUse(); }
    void NotifyOwner() override;

private:
    TGIFFrameLink* OwnerFrame;
};

// ==== Items, lists and the header ================================================================

// A piece of a GIF stream that belongs to one picture.
class TGIFItem : public TPersistent {
public:
    explicit TGIFItem(TGIFImageLink* image) : OwnerImage(image) {}
    const char* ClassName() const override { return "TGIFItem"; }
    virtual TGIFVersion RequiredVersion() { return gv87a; }
    virtual void Warn(int severity, const std::string& text);
    virtual void SaveToStream(TStream* stream) = 0;
    virtual void LoadFromStream(TStream* stream) = 0;
    virtual void WriteFile(const std::string& fileName);
    virtual void ReadFile(const std::string& fileName);

    TGIFImageLink* OwnerImage;  // not owned
};

// An owning list of items.
class TGIFList : public TPersistent {
public:
    explicit TGIFList(TGIFImageLink* image) : OwnerImage(image) {}
    ~TGIFList() override;
    const char* ClassName() const override { return "TGIFList"; }
    virtual void Warn(int severity, const std::string& text);
    virtual void WriteItems(TStream* stream);
    virtual void ReadItems(TStream* stream) = 0;

    TGIFItem* ItemAt(int index) const;
    int ItemCount() const { return static_cast<int>(ListItems.size()); }
    int Append(std::unique_ptr<TGIFItem> item);
    int Detach(TGIFItem* item);  // the former index (-1 when absent); the item is not freed
    std::unique_ptr<TGIFItem> Extract(TGIFItem* item);
    void FreeAt(int index);
    void FreeAll();

    TGIFImageLink* OwnerImage;  // not owned

private:
    void CheckIndex(int index) const;
    std::vector<std::unique_ptr<TGIFItem>> ListItems;
};

// The signature, the logical screen descriptor and the global colour table.
class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImageLink* image);
    ~TGIFHeader() override;
    const char* ClassName() const override { return "TGIFHeader"; }
    void Assign(TPersistent* Source) override;
    TGIFVersion RequiredVersion() override;
    void SaveToStream(TStream* stream) override;
    void LoadFromStream(TStream* stream) override;

    void Reset();
    TColor BackgroundRGB();
    int TableBits() const { return GlobalMap->TableBits(); }
    int ResolutionBits() const { return TableBits() - 1; }
    void PackFlags();

    int Width() const { return ScreenDescriptor[0] | (ScreenDescriptor[1] << 8); }
    int Height() const { return ScreenDescriptor[2] | (ScreenDescriptor[3] << 8); }
    void SetWidth(int w);
    void SetHeight(int h);
    BYTE Packed() const { return ScreenDescriptor[4]; }
    BYTE BackgroundIndex() const { return ScreenDescriptor[5]; }
    void SetBackgroundIndex(BYTE i) { ScreenDescriptor[5] = i; }
    BYTE AspectRatio() const { return ScreenDescriptor[6]; }
    void SetAspectRatio(BYTE a) { ScreenDescriptor[6] = a; }

    std::array<BYTE, 7> ScreenDescriptor{};
    std::unique_ptr<TGIFGlobalColorMap> GlobalMap;
};

// ==== LZW decoder ================================================================================

// Decodes one frame's table-based image data (the minimum code size byte and the data sub-blocks)
// into width x height index bytes, rows top to bottom; interlaced data is stored in GIF pass order.
// Every pixel is first set to fill; data that ends early leaves the rest at fill. The stream is left
// after the block terminator. Warnings: "Premature end of data" (the stream ends inside the data),
// "Decoder bit buffer under-run" (the codes end before the pixels and the end code),
// "Circular decoder table entry" (a code past the next free one) and "Invalid GIF data" (a minimum
// code size above 11); each stops the decoding, never the load.
void DecodeGIFPixels(TStream* stream, BYTE* pixels, int width, int height, bool interlaced, BYTE fill,
                     const TGIFWarnProc& warn);

// ==== Writer and encoders ========================================================================

// The string table of the LZW encoder: 8009 slots of (key shl 12) or code; key = (prefix shl 8) or pixel.
class THashTable {
public:
    static constexpr int Size = 8009;
    THashTable();
    void ResetTable();
    void StoreCode(std::uint32_t key, int code);
    int FindCode(std::uint32_t key) const;  // -1 when absent

    static int HashOf(std::uint32_t key) { return static_cast<int>((key ^ (key >> 4)) % Size); }
    // A fixed step per key: the table size is prime, so the probe visits every slot once.
    static int ProbeStep(int h) { return h == 0 ? 1 : Size - h; }
    static int NextProbe(int h, int step) {
        h -= step;
        return h < 0 ? h + Size : h;
    }

private:
    static constexpr std::uint32_t Empty = 0xFFFFFFFFu;
    std::unique_ptr<std::uint32_t[]> Slots;
};

// Called once a pixel: kept here so that the encoder's loop inlines it.
inline int THashTable::FindCode(std::uint32_t key) const {
    int h = HashOf(key);
    const std::uint32_t want = key << 12;
    std::uint32_t slot = Slots[h];
    if ((slot & 0xFFFFF000u) == want) return static_cast<int>(slot & 0xFFF);
    const int step = ProbeStep(h);
    for (int tries = 1; tries < Size && slot != Empty; ++tries) {
        h = NextProbe(h, step);
        slot = Slots[h];
        if ((slot & 0xFFFFF000u) == want) return static_cast<int>(slot & 0xFFF);
    }
    return -1;
}

// A write-only stream that refuses reads and seeks ("Invalid stream operation").
class TGIFStream : public TStream {
public:
    TGIFStream(TStream* target, TGIFWarnProc warn) : Target(target), Warn(std::move(warn)) {}
    const char* ClassName() const override { return "TGIFStream"; }
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;

protected:
    TStream* Target;
    TGIFWarnProc Warn;
    BYTE Buffer[256] = {};  // the size byte, then up to 255 data bytes
    int FillCount = 1;
};

// Cuts what is written into data sub-blocks of at most 255 bytes.
class TGIFWriter : public TGIFStream {
public:
    TGIFWriter(TStream* target, TGIFWarnProc warn) : TGIFStream(target, std::move(warn)) {}
    ~TGIFWriter() override;
    const char* ClassName() const override { return "TGIFWriter"; }
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    void FlushSubBlock();
    void PutByte(BYTE b) {
        Dirty = true;
        Buffer[FillCount++] = b;
        if (FillCount > 255) FlushSubBlock();
    }

private:
    bool Dirty = false;
};

// The driver, the bit packer and the pixel walk shared by the two encoders.
class TGIFEncoder {
public:
    virtual ~TGIFEncoder();
    // Writes the minimum code size, the sub-blocks and the terminator. Every pixel is checked against
    // the colour limit before anything is written ("Color not in color table").
    void Encode(TStream* stream, int codeSize, int colorLimit, const BYTE* pixels, bool interlaced, int height,
                int width);

    TGIFWarnProc Warning;

protected:
    virtual void PutCode(int code);
    virtual void EmitClear();
    virtual void Compress() = 0;
    void PackCode(int code);
    // The next pixel of the walk into pixel; false when the walk has ended.
    bool NextPixel(int& pixel);
    static int MaxCodeFor(int width) { return (1 << width) - 1; }

    int ColorLimit = 0;
    TStream* TargetStream = nullptr;
    int CodeSize = 0;
    int FrameWidth = 0, FrameHeight = 0;
    bool Interlaced = false;
    const BYTE* PixelBase = nullptr;
    bool ClearPending = false;
    int InitialCodeWidth = 0;
    int CodeWidth = 0;
    int LargestCode = 0;
    int ClearCode = 0;
    int EndCode = 0;
    int FirstFreeCode = 0;
    std::uint32_t Bucket = 0;
    int BucketBits = 0;
    std::unique_ptr<TGIFWriter> Writer;
    const BYTE* Cursor = nullptr;
    std::int64_t PixelsLeft = 0;
    int CurrentRow = 0;
    int CurrentPass = 0;
    bool WalkEnded = false;
};

class TLZWEncoder : public TGIFEncoder {
protected:
    void PutCode(int code) override;
    void EmitClear() override;
    void Compress() override;

private:
    int Prefix = 0;
    int NextCode = 0;
    std::unique_ptr<THashTable> Table;
};

// Emits only colours and run codes of one colour, so that no string table is searched.
class TRLEEncoder : public TGIFEncoder {
protected:
    void EmitClear() override;
    void Compress() override;

private:
    void PutRunCode(int code);
    void FlushRun(int n);
    void FlushAfterClear(int n);
    void FlushByRepeat(int n);
    void FlushByKnownCode(int n);
    void RestoreClearLimit();
    int InitialWidenLimit = 0, WidenLimit = 0;
    int InitialClearLimit = 0, ClearLimit = 0;
    int CodesSinceClear = 0;
    int LongestRun = 0;
    int LongestRunColor = -1;
    int RunCapacity = 0;
    int CurrentColor = -1;
};

// The smallest number of run codes that spell count pixels of one colour when runs grow 1, 2, ...
// up to limit: whole groups of limit x (limit + 1) / 2 pixels cost limit codes each.
int TriangleCount(int count, int limit);

// ==== Frames, extensions and the frame list ======================================================

class TGIFPicture;
class TGIFSubImage;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFPainter;

// A class of extension blocks: its label, how to make one for a frame, and which class should
// read the bytes behind the label (an application block picks its class by its identifier).
struct TGIFExtensionClass {
    const char* Name;
    BYTE Label;
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* frame);
    // The class to use; the stream stands behind the label. nullptr: none can read the block.
    const TGIFExtensionClass* (*FindSubClass)(const TGIFExtensionClass* self, TStream* stream);
};

// One extension block in front of an image ("!" and a label, then the class's data).
class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* frame);
    ~TGIFExtension() override;
    const char* ClassName() const override { return "TGIFExtension"; }
    TGIFVersion RequiredVersion() override { return gv89a; }
    virtual const TGIFExtensionClass& Class() const = 0;
    BYTE ExtensionLabel() const { return Class().Label; }
    // Reads and checks "!" and the label; writes them.
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;

    TGIFSubImage* Frame;  // not owned
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
    ~TGIFGraphicControlExtension() override;
    const char* ClassName() const override { return "TGIFGraphicControlExtension"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void Assign(TPersistent* Source) override;
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;

    bool TransparentColorFlag() const { return (Block[1] & 1) != 0; }
    void SetTransparentColorFlag(bool on);
    BYTE TransparentColorIndex() const { return Block[4]; }
    void SetTransparentColorIndex(int index);
    int DelayTime() const { return Block[2] | (Block[3] << 8); }  // units of 12 ms
    void SetDelayTime(int units);
    bool UserInputFlag() const { return (Block[1] & 2) != 0; }
    int DisposalMethod() const { return (Block[1] >> 2) & 7; }
    void SetDisposalMethod(int method);

    // Block size, packed, delay (2), transparent index, terminator: as on the wire.
    std::array<BYTE, 6> Block{4, 0, 0, 0, 0, 0};
};

class TGIFTextExtension : public TGIFExtension {
public:
    explicit TGIFTextExtension(TGIFSubImage* frame);
    const char* ClassName() const override { return "TGIFTextExtension"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;

    std::unique_ptr<TStringList> TextLines;
    // Block size (12), grid left, top, width, height (2 bytes each), cell width, height,
    // foreground and background indices.
    std::array<BYTE, 13> TextHeader{12};
};

class TGIFCommentExtension : public TGIFExtension {
public:
    explicit TGIFCommentExtension(TGIFSubImage* frame);
    const char* ClassName() const override { return "TGIFCommentExtension"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;

    std::unique_ptr<TStringList> TextLines;
};

class TGIFApplicationExtension : public TGIFExtension {
public:
    explicit TGIFApplicationExtension(TGIFSubImage* frame);
    const char* ClassName() const override { return "TGIFApplicationExtension"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;
    virtual void SaveAppData(TStream* stream);
    virtual void LoadAppData(TStream* stream);

    std::array<BYTE, 11> Identifier{};  // 8-byte application identifier, 3-byte authentication code
    BYTE BlockSize = 11;                // as read: 10 or 11 and more
};

// One data sub-block.
struct TGIFBlock {
    explicit TGIFBlock(int size) : Data(static_cast<std::size_t>(size), 0) {}
    void SaveBlock(TStream* stream) const;
    void LoadBlock(TStream* stream);
    std::vector<BYTE> Data;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    explicit TGIFUnknownAppExtension(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {}
    const char* ClassName() const override { return "TGIFUnknownAppExtension"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveAppData(TStream* stream) override;
    void LoadAppData(TStream* stream) override;

    std::vector<TGIFBlock> DataBlocks;
};

// The looping block ("NETSCAPE2.0", also read under "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage* frame);
    const char* ClassName() const override { return "TGIFAppExtNSLoop"; }
    static const TGIFExtensionClass& StaticClass();
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveAppData(TStream* stream) override;
    void LoadAppData(TStream* stream) override;

    std::uint16_t LoopCount = 0;
    std::uint32_t BufferBytes = 0;
};

class TGIFTrailer : public TGIFItem {
public:
    explicit TGIFTrailer(TGIFImageLink* image) : TGIFItem(image) {}
    const char* ClassName() const override { return "TGIFTrailer"; }
    void SaveToStream(TStream* stream) override;
    void LoadFromStream(TStream* stream) override;
};

// The registries of extension classes: by label, and application classes by their 11 identifier
// bytes. Made on first use; lookups run from the latest registration back.
void RegisterExtension(BYTE label, const TGIFExtensionClass* cls);
const TGIFExtensionClass* ClassOfLabel(BYTE label);
void RegisterAppExtension(const std::array<BYTE, 11>& identifier, const TGIFExtensionClass* cls);
const TGIFExtensionClass* ClassOfIdentifier(const BYTE* identifier);
void FreeExtensionRegistries();
// The class for the block at the stream ("!" already read, the label next); the stream keeps its place.
const TGIFExtensionClass* PeekExtensionClass(TStream* stream);

// The extensions in front of one image.
class TGIFExtensionList : public TGIFList {
public:
    explicit TGIFExtensionList(TGIFSubImage* frame);
    const char* ClassName() const override { return "TGIFExtensionList"; }
    void ReadItems(TStream* stream) override;
    TGIFExtension* ExtensionAt(int index) const { return static_cast<TGIFExtension*>(ItemAt(index)); }

    TGIFSubImage* Frame;  // not owned
};

// The frames of a picture in file order.
class TGIFFrameList : public TGIFList {
public:
    explicit TGIFFrameList(TGIFPicture* image);
    const char* ClassName() const override { return "TGIFFrameList"; }
    void ReadItems(TStream* stream) override;
    void WriteItems(TStream* stream) override;
    TGIFSubImage* FrameAt(int index) const;

    TGIFPicture* Image;  // not owned
};

// One image of a GIF stream: descriptor, local table, index pixels and the extensions before it.
class TGIFSubImage : public TGIFItem, public TGIFFrameLink {
public:
    explicit TGIFSubImage(TGIFPicture* image);
    ~TGIFSubImage() override;
    const char* ClassName() const override { return "TGIFSubImage"; }
    TGIFVersion RequiredVersion() override;
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) override;
    void Assign(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;

    void ClearFrame();
    bool IsBlank() const;
    int Left() const { return Descriptor[1] | (Descriptor[2] << 8); }
    int Top() const { return Descriptor[3] | (Descriptor[4] << 8); }
    int Width() const { return Descriptor[5] | (Descriptor[6] << 8); }
    int Height() const { return Descriptor[7] | (Descriptor[8] << 8); }
    void SetLeft(int v) { SetFrameBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetFrameBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetFrameBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetFrameBounds(Left(), Top(), Width(), v); }
    void SetFrameBounds(int left, int top, int width, int height);
    RECT FrameArea() const { return RECT{Left(), Top(), Left() + Width(), Top() + Height()}; }
    bool Interlaced() const { return (Descriptor[9] & 0x40) != 0; }
    void SetInterlaced(bool on);
    int FrameBitDepth() const { return LocalColors->TableBits(); }
    TGIFColorMap* ActiveColors();
    BYTE* ScanRow(int y);
    BYTE PixelAt(int x, int y);
    HPALETTE GetFramePalette();
    TBitmap* GetFrameBitmap();
    bool HasMaskBitmap();
    HBITMAP Mask() const { return MaskBitmap; }
    // The frame's rectangle scaled from the logical screen into rect.
    RECT ScaledFrameRect(const RECT& rect);
    void DrawFrame(TCanvas* canvas, const RECT& rect, bool tile, bool transparent);
    void StretchDrawFrame(TCanvas* canvas, const RECT& rect, bool tile, bool transparent);
    void TrimTransparentEdges();
    void BlankUnchangedPixels(TGIFSubImage* previous);
    // The control block's delay in units of 12 ms (0 without one).
    int FrameDelay() const;

    // TGIFFrameLink
    TGIFColorMap* ActiveColorMap() override { return ActiveColors(); }
    BYTE* IndexPixels() override { return IndexData.get(); }
    std::int64_t IndexPixelCount() override { return IndexDataSize; }
    bool HasTransparentIndex() override { return IsTransparent && ControlBlock; }
    BYTE TransparentIndex() override { return ControlBlock ? ControlBlock->TransparentColorIndex() : 0; }
    void SetTransparentIndex(BYTE index) override;
    void SetFramePalette(HPALETTE palette) override;
    void FrameWarning(TObject* sender, int severity, const std::string& message) override;

    TGIFPicture* Image;  // not owned
    std::unique_ptr<TBitmap> FrameBitmap;
    HBITMAP MaskBitmap = nullptr;
    bool MaskPending = true;
    HPALETTE FramePaletteHandle = nullptr;
    std::unique_ptr<BYTE[]> IndexData;
    std::int64_t IndexDataSize = 0;
    std::unique_ptr<TGIFLocalColorMap> LocalColors;
    std::array<BYTE, 10> Descriptor{0x2C};
    std::unique_ptr<TGIFExtensionList> FrameExtensions;
    bool IsTransparent = false;
    TGIFGraphicControlExtension* ControlBlock = nullptr;  // lives in FrameExtensions

private:
    void AllocIndexData();
    void EnsureIndexData();
    void FreeMask();
    void DropBitmap();
    void UpdatePackedFlags();
    void EncodeFrameData(TStream* stream);
    void RenderDirect();
    void RenderDithered();
    void MakeMaskBitmap(const std::vector<BYTE>& rows, int rowBytes);
    void ImportBitmap(TBitmap* bitmap);
    void ApplyMaskBitmap(HBITMAP mask);
    int SpareTransparentIndex();
};

// ==== The picture class ==========================================================================

using TGIFPaintOptions = std::uint16_t;
constexpr TGIFPaintOptions poThreaded = 0x001, poTransparent = 0x002, poAnimated = 0x004, poRepeat = 0x008,
                           poRepeatForever = 0x010, poCheckCanvas = 0x020, poPaintDirect = 0x040,
                           poEraseOnRepeat = 0x080, poTiled = 0x100, poDither = 0x200,
                           poDitherPaletteDisplayOnly = 0x400;
constexpr TGIFPaintOptions GIFDefaultPaintOptions = 0x060F;

// Steps of TGIFPicture::Compact.
constexpr int goCrop = 0x01, goMerge = 0x02, goCleanup = 0x04, goColorOptimize = 0x08, goReduceColors = 0x10,
              goAll = 0x1F;

using TGIFWarningEvent = std::function<void(TObject* Sender, int Severity, const std::string& Message)>;
using TGIFPainterEvent = std::function<void(TGIFPainter* Sender)>;

// The painter callbacks, copied as one block into every painter a picture makes.
struct TGIFPainterEvents {
    TGIFPainterEvent OnPaintStart, OnFramePaint, OnAfterFramePaint, OnPaintRepeat, OnPaintEnd;
};

// A GIF file as a picture: the header and the frames. Draws the first frame, or animates.
class TGIFPicture : public TGraphic, public TGIFImageLink {
public:
    TGIFPicture();
    ~TGIFPicture() override;
    const char* ClassName() const override { return "TGIFPicture"; }

    void Assign(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;
    void Draw(TCanvas* ACanvas, const RECT& R) override;
    bool Equals(TGraphic* Other) override { return Other == this; }
    bool Empty() const override { return Frames->ItemCount() == 0; }
    int Width() const override { return Header->Width(); }
    int Height() const override { return Header->Height(); }
    void SetWidth(int w) override;
    void SetHeight(int h) override;
    HPALETTE Palette() override { return GetPalette(); }
    void SetPalette(HPALETTE palette) override;
    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    // Stored picture data: the size, then the stream.
    void WriteData(TStream* Stream);
    void LoadFromClipboardFormat(WORD Format, HANDLE Data, HPALETTE Palette);
    void SaveToClipboardFormat(WORD& Format, HANDLE& Data, HPALETTE& Palette);

    void Clear();
    TBitmap* ScreenBitmap();
    TBitmap* GetBufferBitmap();
    void DiscardBitmap();
    HPALETTE GetPalette();
    bool ShouldDither() const;
    // A frame made from a picture of the class library (converted with ReductionMethod,
    // ReductionDepth and DitherMethod), or a TGIFSubImage, which the picture then owns. Answers the
    // frame's index; any other object raises "Object type not supported for operation".
    int Add(TPersistent* Source);
    // A threaded painter, not yet started; nullptr when nothing is painted or the painting is done.
    TGIFPainter* Paint(TCanvas* ACanvas, const RECT& R, TGIFPaintOptions Options);
    void StopDraw();
    void PaintStop();
    void Compact(int Steps, TColorReduction Method, TDitherMode Dither, int Depth);
    void StretchOrTile(TCanvas* ACanvas, const RECT& R, TBitmap* Bitmap);

    int FrameCount() const { return Frames->ItemCount(); }
    TGIFSubImage* Frame(int i) const { return Frames->FrameAt(i); }
    TGIFColorMap* GetGlobalColorMap() { return Header->GlobalMap.get(); }
    TColor ScreenBackground() { return Header->BackgroundRGB(); }
    int HighestBitDepth();
    // A frame being read pays for its pixels with the bytes of its own image data: those its data
    // cannot describe come out of the stream's GIFUnpaidPixels, or raise "Invalid image dimensions"
    // when that cannot cover them, so that what a stream's frames take follows what their data can
    // describe, never what other blocks (comments, application data) hold.
    void ReserveLoadPixels(std::int64_t pixels, std::int64_t dataBytes);

    // TGIFImageLink
    void Warning(TObject* Sender, int Severity, const std::string& Message) override;
    TGIFVersion FileVersion() override;
    int HighestResolution() override;
    int FrameLinkCount() override { return FrameCount(); }
    TGIFFrameLink* FrameLink(int index) override { return Frame(index); }
    void Changed(TObject* Sender) override;
    void Progress(TObject* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow, const RECT& R,
                  const std::string& Msg) override;

    std::unique_ptr<TGIFFrameList> Frames;
    std::unique_ptr<TGIFHeader> Header;
    TGIFPaintOptions PaintOptions = GIFDefaultPaintOptions;
    TColorReduction ReductionMethod = crCube216;
    int ReductionDepth = 8;
    TDitherMode DitherMethod = dtNearest;
    BYTE EncodeMode = 0;
    TGIFWarningEvent OnGIFWarning;
    TThreadPriority PainterPriority = TThreadPriority::tpNormal;
    int AnimationRate = 100;
    TColor BackdropColor = clNone;
    TGIFPainterEvents PainterEvents;

    // The painters of this picture and the draw painter, under one lock.
    std::recursive_mutex PainterLock;
    std::vector<TGIFPainter*> Painters;
    TGIFPainter* DrawPainter = nullptr;
    // Held around the frames' caches, which threaded painters build on their own threads.
    std::recursive_mutex CacheLock;
    bool PaletteChanged = false;

private:
    void SetPaletteHandle(HPALETTE palette);
    bool Drawing = false;
    bool PaletteRequest = false;
    HPALETTE GlobalPalette = nullptr;
    std::unique_ptr<TBitmap> CachedBitmap;
    // What is left of the stream's GIFUnpaidPixels while a stream is read; -1 outside a read.
    std::int64_t LoadUnpaidLeft = -1;
};

// The module's start-up and shutdown, called by the program on its user-interface thread: "gif"
// (TGIFPicture, "GIF Image") in the picture-format list, the clipboard format "GIF Image", whether
// the display has a palette, and the module's idle thread object; the shutdown also frees the
// extension registries.
void GIFStartup();
void GIFShutdown();
// The clipboard format number registered by GIFStartup (0 before).
WORD GIFClipboardFormat();
// Whether the display has a palette (computed by GIFStartup).
bool GIFDisplayHasPalette();

// ==== The animation painter ======================================================================

// The painter's clock and waits. The default reads the millisecond system timer, waits on the
// wake event, and for a synchronous painter waits in the calling thread's message queue; tests
// put a clock of their own in its place (SetGIFPainterClock).
class TGIFPainterClock {
public:
    virtual ~TGIFPainterClock() = default;
    virtual DWORD Now();
    // A threaded painter's wait: WAIT_OBJECT_0 when the event ended it, WAIT_TIMEOUT otherwise.
    virtual DWORD WaitWake(HANDLE event, DWORD ms);
    // A synchronous painter's wait: returns when input reaches the queue or ms passed.
    virtual void WaitQueue(DWORD ms);
};
// nullptr puts the system clock back. Set while no painter runs.
void SetGIFPainterClock(TGIFPainterClock* clock);
TGIFPainterClock* GIFPainterClock();

// One delay unit of a graphic control extension, in milliseconds.
constexpr int GIFDelayUnit = 12;

// Paints a picture onto a canvas rectangle and animates it: frames, delays, disposal methods and
// the looping block, with five callbacks. Threaded painters run their loop on their own thread and
// draw and call back on the user-interface thread (TThread::Synchronize); synchronous ones run in
// the caller's thread.
class TGIFPainter : public TThread {
public:
    TGIFPainter(TGIFPainter** slot, TGIFPaintOptions options, const RECT& rect, TCanvas* canvas, TGIFPicture* image);
    ~TGIFPainter() override;
    const char* ClassName() const override { return "TGIFPainter"; }

    void StartPainting();
    void StopPainting();
    // The body, run by the thread or, for a synchronous painter, by the picture.
    void Execute() override;
    bool Threaded() const { return (Options & poThreaded) != 0; }

    TGIFPainter** PainterSlot;
    TGIFPicture* Image;
    TCanvas* Canvas;
    RECT PaintRect;
    int CurrentFrame = -1;
    TGIFPaintOptions Options;
    std::atomic<bool> HasPainted{false};
    std::unique_ptr<TBitmap> CompositeBuffer, PreviousFrameBuffer, BackgroundCopy;
    HANDLE WakeEvent = nullptr;
    int Speed;
    BYTE FrameDisposal = 0, LastDisposal = 0;
    std::atomic<bool> RestartRequested{false};
    HDC CanvasDC = nullptr;
    TGIFPainterEvents Events;
    // An exception of the class library that ended the painting: its message.
    bool Failed = false;
    std::string FailureMessage;
    // The delay, in milliseconds, that the last wait planned (for tests and diagnostics).
    DWORD LastPlannedWait = 0;

    // Removes the painter from its picture and frees its buffers (under the picture's lock).
    void ReleasePainter();

private:
    void Fire(const TGIFPainterEvent& event);
    void RunSynchronized(const std::function<void()>& method);
    void WaitDelay(int delay, DWORD& stamp, int& lastWait);
    void PaintPlain();
    void PaintBuffered();
    void RestoreFrameArea(TGIFSubImage* frame, TBitmap* target);
    TColor Backdrop = clBlack;
    std::atomic<bool> Quit{false};
};
