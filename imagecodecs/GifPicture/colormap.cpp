// GIF colour tables: growing, reading and writing the raw table, searching, appending and removing
// colours, conversion to and from logical palettes and DIB colour tables, and the ordering by use
// that drops entries no pixel uses. The global and local tables differ only in whose pixels they count.
#include <algorithm>
#include <cstring>
#include <utility>

#include "imagecodecs/GifPicture.h"

TGIFColorMap::~TGIFColorMap() { Reset(); }

void TGIFColorMap::Reset() {
    Triplets.reset();
    ColorCount = 0;
    Allocated = 0;
    SortedByUse = false;
}

void TGIFColorMap::EnsureRoom(int n) {
    if (n < Allocated) return;
    int room = n <= 16 ? 16 : (n + 31) / 32 * 32;
    room = std::min(room, 256);
    auto grown = std::make_unique<BYTE[]>(static_cast<std::size_t>(room) * 3);
    if (Triplets) std::memcpy(grown.get(), Triplets.get(), static_cast<std::size_t>(std::min(Allocated, room)) * 3);
    Triplets = std::move(grown);
    Allocated = room;
}

void TGIFColorMap::ReadTable(TStream* stream, int n) {
    Reset();
    n = std::clamp(n, 0, 256);
    EnsureRoom(n);
    ReadExact(stream, Triplets.get(), static_cast<std::int64_t>(n) * 3);
    ColorCount = n;
}

void TGIFColorMap::WriteTable(TStream* stream) const {
    if (ColorCount == 0) return;
    const int entries = 1 << TableBits();
    std::vector<BYTE> bytes(static_cast<std::size_t>(entries) * 3, 0);
    std::memcpy(bytes.data(), Triplets.get(), static_cast<std::size_t>(ColorCount) * 3);
    stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

int TGIFColorMap::FindColor(TColor color) const {
    BYTE t[3];
    ColorToTriplet(color, t);
    auto same = [&](int i) { return std::memcmp(Triplets.get() + 3 * i, t, 3) == 0; };
    if (SortedByUse) {
        for (int i = 0; i < ColorCount; ++i)
            if (same(i)) return i;
    } else {
        for (int i = ColorCount - 1; i >= 0; --i)
            if (same(i)) return i;
    }
    return -1;
}

int TGIFColorMap::AppendColor(TColor color) {
    if (ColorCount >= 256) RaiseGIFError(TGIFMessageId::ColorTableOverflow);
    if (ColorCount >= Allocated) EnsureRoom(ColorCount + 1);
    ColorToTriplet(color, Triplets.get() + 3 * ColorCount);
    const int index = ColorCount++;
    SortedByUse = false;
    NotifyOwner();
    return index;
}

int TGIFColorMap::MergeColor(TColor color) {
    const int found = FindColor(color);
    return found >= 0 ? found : AppendColor(color);
}

void TGIFColorMap::RemoveColor(int index) {
    if (index < 0 || index >= ColorCount) RaiseGIFError(TGIFMessageId::InvalidColorIndex);
    BYTE* t = Triplets.get();
    std::memmove(t + 3 * index, t + 3 * (index + 1), static_cast<std::size_t>(ColorCount - index - 1) * 3);
    --ColorCount;
    SortedByUse = false;
    NotifyOwner();
}

TColor TGIFColorMap::ColorAt(int index) {
    if (index < 0 || index >= ColorCount) {
        Warn(1, GIFMessage(TGIFMessageId::InvalidColorIndex));
        if (ColorCount == 0) RaiseGIFError(TGIFMessageId::EmptyColorTable);
        index = 0;
    }
    return TripletToColor(Triplets.get() + 3 * index);
}

void TGIFColorMap::FromPalette(HPALETTE palette) {
    PALETTEENTRY entries[256];
    const int n = ReadPaletteEntries(palette, entries);
    RGBQUAD quads[256];
    for (int i = 0; i < n; ++i) quads[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    FromRGBQuads(quads, n);
}

void TGIFColorMap::FromRGBQuads(const RGBQUAD* quads, int n) {
    Reset();
    n = std::min(n, 256);
    if (n <= 0) return;
    EnsureRoom(n);
    for (int i = 0; i < n; ++i) {
        Triplets[3 * i] = quads[i].rgbRed;
        Triplets[3 * i + 1] = quads[i].rgbGreen;
        Triplets[3 * i + 2] = quads[i].rgbBlue;
    }
    ColorCount = n;
    NotifyOwner();
}

void TGIFColorMap::FromDIBColors(HDC dc) {
    Reset();
    RGBQUAD quads[256];
    const UINT n = GetDIBColorTable(dc, 0, 256, quads);
    FromRGBQuads(quads, static_cast<int>(n));
    NotifyOwner();
}

HPALETTE TGIFColorMap::ToPalette() const {
    if (ColorCount == 0) return nullptr;
    PALETTEENTRY entries[256];
    for (int i = 0; i < ColorCount; ++i)
        entries[i] = {Triplets[3 * i], Triplets[3 * i + 1], Triplets[3 * i + 2], 4 /* PC_NOCOLLAPSE */};
    return MakeLogPalette(entries, ColorCount);
}

void TGIFColorMap::Assign(TPersistent* Source) {
    auto* other = dynamic_cast<TGIFColorMap*>(Source);
    if (!other) {
        TPersistent::Assign(Source);
        return;
    }
    if (other == this) return;
    Reset();
    Allocated = other->Allocated;
    ColorCount = other->ColorCount;
    SortedByUse = other->SortedByUse;
    if (Allocated > 0) {
        Triplets = std::make_unique<BYTE[]>(static_cast<std::size_t>(Allocated) * 3);
        std::memcpy(Triplets.get(), other->Triplets.get(), static_cast<std::size_t>(ColorCount) * 3);
    }
    NotifyOwner();
}

void SortUseCounts(TGIFUseTable& table, int count) {
    auto sort = [&table](auto& self, int l, int r) -> void {
        int i;
        do {
            i = l;
            int j = r;
            const std::uint32_t pivot = table[(l + r) / 2].Count;
            do {
                while (table[i].Count > pivot) ++i;
                while (table[j].Count < pivot) --j;
                if (i <= j) {
                    std::swap(table[i], table[j]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (j > l) self(self, l, j);
            l = i;
        } while (i < r);
    };
    if (count > 1) sort(sort, 0, count - 1);
}

bool TGIFColorMap::SortByUse() {
    if (ColorCount <= 1) return false;
    SortedByUse = true;
    TGIFUseTable table;
    for (int i = 0; i < 256; ++i) table[i] = {0, static_cast<std::uint32_t>(i)};
    CountUses(table);
    SortUseCounts(table, ColorCount);
    bool inOrder = true;
    for (int i = 0; i < ColorCount; ++i)
        if (table[i].Index != static_cast<std::uint32_t>(i)) inOrder = false;
    if (inOrder) return true;
    // Pixels past the table keep their values.
    BYTE map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<BYTE>(i);
    for (int k = 0; k < ColorCount; ++k) map[table[k].Index] = static_cast<BYTE>(k);
    RemapPixels(map);
    std::vector<BYTE> old(Triplets.get(), Triplets.get() + 3 * ColorCount);
    for (int i = 0; i < ColorCount; ++i) std::memcpy(Triplets.get() + 3 * map[i], old.data() + 3 * i, 3);
    for (int k = 0; k < ColorCount; ++k)
        if (table[k].Count == 0) {
            ColorCount = k;
            break;
        }
    NotifyOwner();
    return true;
}

// ---- The global table ------------------------------------------------------------------------------

TGIFGlobalColorMap::~TGIFGlobalColorMap() { NotifyOwner(); }

void TGIFGlobalColorMap::Warn(int severity, const std::string& text) {
    if (OwnerHeader && OwnerHeader->OwnerImage) OwnerHeader->OwnerImage->Warning(this, severity, text);
}

namespace {
void CountFramePixels(TGIFFrameLink* frame, TGIFUseTable& table) {
    const BYTE* p = frame->IndexPixels();
    if (!p) return;
    const std::int64_t n = frame->IndexPixelCount();
    for (std::int64_t i = 0; i < n; ++i) ++table[p[i]].Count;
}

void RemapFrame(TGIFFrameLink* frame, const BYTE map[256]) {
    if (BYTE* p = frame->IndexPixels()) {
        const std::int64_t n = frame->IndexPixelCount();
        for (std::int64_t i = 0; i < n; ++i) p[i] = map[p[i]];
    }
    if (frame->HasTransparentIndex()) frame->SetTransparentIndex(map[frame->TransparentIndex()]);
}
}  // namespace

void TGIFGlobalColorMap::CountUses(TGIFUseTable& table) {
    TGIFImageLink* image = OwnerHeader ? OwnerHeader->OwnerImage : nullptr;
    if (!image) return;
    for (int i = 0; i < image->FrameLinkCount(); ++i) {
        TGIFFrameLink* frame = image->FrameLink(i);
        if (frame && frame->ActiveColorMap() == this) CountFramePixels(frame, table);
    }
    ++table[OwnerHeader->BackgroundIndex()].Count;
}

void TGIFGlobalColorMap::RemapPixels(const BYTE map[256]) {
    TGIFImageLink* image = OwnerHeader ? OwnerHeader->OwnerImage : nullptr;
    if (image)
        for (int i = 0; i < image->FrameLinkCount(); ++i) {
            TGIFFrameLink* frame = image->FrameLink(i);
            if (frame && frame->ActiveColorMap() == this) RemapFrame(frame, map);
        }
    if (OwnerHeader) OwnerHeader->SetBackgroundIndex(map[OwnerHeader->BackgroundIndex()]);
}

bool TGIFGlobalColorMap::Compact() {
    TGIFImageLink* image = OwnerHeader ? OwnerHeader->OwnerImage : nullptr;
    if (!image || image->FrameLinkCount() == 0) return false;
    return SortByUse();
}

void TGIFGlobalColorMap::NotifyOwner() {
    if (OwnerHeader && OwnerHeader->OwnerImage) OwnerHeader->OwnerImage->SetPalette(nullptr);
}

// ---- The local table -------------------------------------------------------------------------------

TGIFLocalColorMap::~TGIFLocalColorMap() { NotifyOwner(); }

void TGIFLocalColorMap::Warn(int severity, const std::string& text) {
    if (OwnerFrame) OwnerFrame->FrameWarning(this, severity, text);
}

void TGIFLocalColorMap::CountUses(TGIFUseTable& table) {
    if (OwnerFrame) CountFramePixels(OwnerFrame, table);
}

void TGIFLocalColorMap::RemapPixels(const BYTE map[256]) {
    if (OwnerFrame) RemapFrame(OwnerFrame, map);
}

void TGIFLocalColorMap::NotifyOwner() {
    if (OwnerFrame) OwnerFrame->SetFramePalette(nullptr);
}
