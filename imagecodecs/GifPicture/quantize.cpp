// Colour reduction: the fixed palettes, the octree quantiser and ReduceBitmapColors, which turns a
// private 24-bit copy of any bitmap into an 8-bit bitmap through a palette, a lookup and a ditherer.
#include <algorithm>
#include <cstring>

#include "imagecodecs/GifPicture.h"

namespace {

constexpr BYTE kNoCollapse = 4;  // PC_NOCOLLAPSE

HPALETTE Greys(std::initializer_list<int> levels) {
    PALETTEENTRY entries[256];
    int n = 0;
    for (int v : levels) entries[n++] = {static_cast<BYTE>(v), static_cast<BYTE>(v), static_cast<BYTE>(v), kNoCollapse};
    return MakeLogPalette(entries, n);
}

int SystemPaletteEntries(PALETTEENTRY out[20]) {
    return ReadPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), out);
}

}  // namespace

HPALETTE MakeGreyPalette() {
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), kNoCollapse};
    return MakeLogPalette(entries, 256);
}

HPALETTE MakeMonoPalette() { return Greys({0, 255}); }
HPALETTE MakeFourGreyPalette() { return Greys({0, 128, 192, 255}); }

HPALETTE MakeHalftonePalette() {
    HDC screen = CheckGDIHandle(GetDC(nullptr));
    RGBQUAD colors[256];
    gdi::HalftoneColors(colors);
    ReleaseDC(nullptr, screen);
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    return MakeLogPalette(entries, 256);
}

// ---- Octree ----------------------------------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int maxColors, int depth) : ColorLimit(maxColors), ColorDepth(std::clamp(depth, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() { FreeTree(); }

void TColorQuantizer::FreeTree() {
    QuantTree.reset();
    std::fill(std::begin(MergeLists), std::end(MergeLists), nullptr);
    LeavesInTree = 0;
}

void TColorQuantizer::InsertColor(std::unique_ptr<TOctreeNode>& slot, BYTE red, BYTE green, BYTE blue, int level) {
    if (!slot) {
        slot = std::make_unique<TOctreeNode>();
        if (level == ColorDepth) {
            slot->LeafFlag = true;
            ++LeavesInTree;
        } else {
            slot->NextReducible = MergeLists[level];
            MergeLists[level] = slot.get();
        }
    }
    TOctreeNode* node = slot.get();
    if (node->LeafFlag) {
        ++node->PixelTally;
        node->RedTotal += red;
        node->GreenTotal += green;
        node->BlueTotal += blue;
        return;
    }
    const int mask = 0x80 >> level, shift = 7 - level;
    const int child = ((red & mask) >> shift) * 4 + ((green & mask) >> shift) * 2 + ((blue & mask) >> shift);
    InsertColor(node->Children[child], red, green, blue, level + 1);
}

void TColorQuantizer::MergeDeepest() {
    int level = ColorDepth - 1;
    while (level > 0 && !MergeLists[level]) --level;
    TOctreeNode* node = MergeLists[level];
    if (!node) return;
    MergeLists[level] = node->NextReducible;
    node->NextReducible = nullptr;
    int children = 0;
    std::uint64_t red = 0, green = 0, blue = 0;
    for (auto& child : node->Children) {
        if (!child) continue;
        node->PixelTally += child->PixelTally;
        red += child->RedTotal;
        green += child->GreenTotal;
        blue += child->BlueTotal;
        child.reset();
        ++children;
    }
    node->RedTotal = red;
    node->GreenTotal = green;
    node->BlueTotal = blue;
    node->LeafFlag = true;
    LeavesInTree += 1 - children;
}

void TColorQuantizer::ProcessImage(TDIB* reader, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const BYTE* p = reader->RowPointer(y);
        for (int x = 0; x < width; ++x, p += 3) {
            InsertColor(QuantTree, p[2], p[1], p[0], 0);
            while (LeavesInTree > ColorLimit) MergeDeepest();
        }
    }
}

void TColorQuantizer::Collect(TOctreeNode* node, RGBQUAD* quads, int capacity, int& count) {
    if (node->LeafFlag) {
        if (count < capacity) {
            const std::uint64_t n = node->PixelTally;
            RGBQUAD& q = quads[count];
            q.rgbRed = n ? static_cast<BYTE>(node->RedTotal / n) : 0;
            q.rgbGreen = n ? static_cast<BYTE>(node->GreenTotal / n) : 0;
            q.rgbBlue = n ? static_cast<BYTE>(node->BlueTotal / n) : 0;
            q.rgbReserved = 0;
        }
        ++count;
        return;
    }
    for (auto& child : node->Children)
        if (child) Collect(child.get(), quads, capacity, count);
}

int TColorQuantizer::CollectColors(RGBQUAD* quads, int capacity) {
    int count = 0;
    if (QuantTree) Collect(QuantTree.get(), quads, capacity, count);
    return std::min(count, capacity);
}

HPALETTE BuildOctreePalette(TDIB* reader, int width, int height, int colors, int depth, bool withSystemColors) {
    PALETTEENTRY entries[256] = {};
    RGBQUAD quads[256] = {};
    if (withSystemColors) {
        PALETTEENTRY system[20] = {};
        SystemPaletteEntries(system);
        TColorQuantizer q(236, depth);
        q.ProcessImage(reader, width, height);
        q.CollectColors(quads, 236);
        for (int i = 0; i < 10; ++i) entries[i] = system[i];
        for (int i = 0; i < 236; ++i) entries[10 + i] = {quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, 0};
        for (int i = 10; i < 20; ++i) entries[236 + i] = system[i];
        return MakeLogPalette(entries, 256);
    }
    colors = std::clamp(colors, 1, 256);
    TColorQuantizer q(colors, depth);
    q.ProcessImage(reader, width, height);
    q.CollectColors(quads, colors);
    for (int i = 0; i < colors; ++i) entries[i] = {quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, 0};
    return MakeLogPalette(entries, colors);
}

HPALETTE OctreePaletteForBitmap(TBitmap* bitmap, int colors, int depth, bool withSystemColors) {
    TDIBReader reader(bitmap, pf24bit);
    return BuildOctreePalette(&reader, bitmap->Width(), bitmap->Height(), colors, depth, withSystemColors);
}

// ---- Reduction -------------------------------------------------------------------------------------

namespace {

struct PaletteHolder {
    HPALETTE Handle = nullptr;
    ~PaletteHolder() {
        if (Handle) DeleteObject(ToGdiObj(Handle));  // the stock palette stays whatever is asked
    }
};

HPALETTE CopyPalette(HPALETTE source) {
    PALETTEENTRY entries[256];
    const int n = ReadPaletteEntries(source, entries);
    return n ? MakeLogPalette(entries, n) : nullptr;
}

}  // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap* source, TColorReduction method, TDitherMode dither,
                                            HPALETTE customPalette, int bits) {
    if (method > crCustomPalette || dither > dtBurkes) RaiseGIFError(TGIFMessageId::InvalidReductionMethod);
    auto result = std::make_unique<TBitmap>();
    TBitmap copy;
    copy.Assign(source);
    if (method == crNone) {
        copy.SetPixelFormat(pf24bit);
        result->Assign(&copy);
        return result;
    }
    const int width = copy.Width(), height = copy.Height();
    if (static_cast<std::int64_t>(width) * height > 500000) result->SetPixelFormat(pf1bit);
    TDIBReader reader(&copy, pf24bit);

    PaletteHolder palette;
    std::unique_ptr<TColorLookup> lookup;
    switch (method) {
        case crSystem20: palette.Handle = CopyPalette(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))); break;
        case crHalftone: palette.Handle = MakeHalftonePalette(); break;
        case crFourGreys: palette.Handle = MakeFourGreyPalette(); break;
        case crBlackWhite: palette.Handle = MakeMonoPalette(); lookup = std::make_unique<TMonochromeLookup>(); break;
        case crGreys256: palette.Handle = MakeGreyPalette(); lookup = std::make_unique<TGrayScaleLookup>(); break;
        case crCube216: palette.Handle = MakeCubePalette(); lookup = std::make_unique<TNetscapeColorLookup>(); break;
        case crOctree:
            palette.Handle = BuildOctreePalette(&reader, width, height, 1 << std::clamp(bits, 1, 8), 8, false);
            break;
        case crOctreeSystem: palette.Handle = BuildOctreePalette(&reader, width, height, 236, 8, true); break;
        case crCustomPalette: palette.Handle = CopyPalette(customPalette); break;
        case crNone: break;
    }
    if (!lookup) lookup = std::make_unique<TFastColorLookup>(palette.Handle);
    if (lookup->PaletteSize == 0) RaiseGIFError(TGIFMessageId::InvalidReductionMethod);

    std::unique_ptr<TDitherEngine> ditherer = MakeDitherer(dither, width, lookup.get());
    TDIBWriter writer(result.get(), pf8bit, width, height, palette.Handle);
    BYTE r, g, b;
    for (int y = 0; y < height; ++y) {
        const BYTE* src = reader.RowPointer(y);
        BYTE* dst = writer.RowPointer(y);
        while (ditherer->CurColumn >= 0 && ditherer->CurColumn < width) {
            const int x = ditherer->CurColumn;
            const BYTE* p = src + 3 * x;
            dst[x] = ditherer->Quantize(p[2], p[1], p[0], r, g, b);
        }
        ditherer->NewRow();
    }
    writer.Finish();
    return result;
}
