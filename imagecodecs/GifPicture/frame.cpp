// One image of a GIF stream: its descriptor, local colour table, index pixels and extensions; its
// reading and writing; the drawable 8-bit bitmap with its transparency mask; scaled, tiled and
// masked drawing; import from other pictures and the two optimisation edits.
#include <algorithm>
#include <cstring>

#include "imagecodecs/GifPicture.h"

namespace {

void PutWord(std::array<BYTE, 10>& d, int at, int v) {
    d[static_cast<std::size_t>(at)] = static_cast<BYTE>(v & 0xFF);
    d[static_cast<std::size_t>(at) + 1] = static_cast<BYTE>((v >> 8) & 0xFF);
}

// The ending progress report: 100 % normally, 0 % while an exception unwinds.
class ProgressScope {
public:
    ProgressScope(TGIFPicture* image, TObject* sender, TGIFMessageId message)
        : Image(image), Sender(sender), Message(message), Exceptions(std::uncaught_exceptions()) {
        if (Image) Image->Progress(Sender, psStarting, 0, false, RECT{}, GIFMessage(Message));
    }
    ~ProgressScope() {
        if (!Image) return;
        const bool failing = std::uncaught_exceptions() > Exceptions;
        try {
            Image->Progress(Sender, psEnding, failing ? 0 : 100, Image->PaletteChanged, RECT{}, GIFMessage(Message));
        } catch (...) {
        }
    }
    void Row(int y, int height) {
        if (Image && y % 32 == 0 && height > 0)
            Image->Progress(Sender, psRunning, static_cast<BYTE>(static_cast<std::int64_t>(y) * 100 / height), false,
                            RECT{}, GIFMessage(Message));
    }

private:
    TGIFPicture* Image;
    TObject* Sender;
    TGIFMessageId Message;
    int Exceptions;
};

// The transparency mask of a bitmap build: word-aligned rows of one bit a pixel, most significant
// bit first, 1 = transparent. Empty when no mask is wanted.
struct MaskRows {
    MaskRows(bool wanted, int width, int height) : RowBytes((width + 15) / 16 * 2) {
        if (wanted) Bits.assign(static_cast<std::size_t>(RowBytes) * static_cast<std::size_t>(height), 0);
    }
    // Row y, or nullptr when no mask is wanted.
    BYTE* Row(int y) { return Bits.empty() ? nullptr : Bits.data() + static_cast<std::size_t>(y) * RowBytes; }
    void Set(BYTE* row, int x) {
        row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        Any = true;
    }
    int RowBytes;
    std::vector<BYTE> Bits;
    bool Any = false;
};

// Copies the frame bitmap into dst at r through the mask (1 bits keep the destination).
void MaskedStretchBlt(HDC dst, const RECT& r, TBitmap* bitmap, HBITMAP mask) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    const int sw = bitmap->Width(), sh = bitmap->Height();
    HDC src = CreateCompatibleDC(nullptr);
    HDC msk = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSrc = SelectObject(src, ToGdiObj(bitmap->Handle()));
    if (w == sw && h == sh) {
        MaskBlt(dst, r.left, r.top, w, h, src, 0, 0, mask, 0, 0, MAKEROP4(ROP_DSTCOPY, SRCCOPY));
    } else {
        // Both stretched to the target size first, then one masked copy.
        HBITMAP big = CreateCompatibleBitmap(nullptr, w, h);
        HBITMAP bigMask = CreateBitmap(w, h, 1, 1, nullptr);
        HDC t = CreateCompatibleDC(nullptr);
        HGDIOBJ oldT = SelectObject(t, ToGdiObj(big));
        StretchBlt(t, 0, 0, w, h, src, 0, 0, sw, sh, SRCCOPY);
        HGDIOBJ oldM = SelectObject(msk, ToGdiObj(mask));
        HDC tm = CreateCompatibleDC(nullptr);
        HGDIOBJ oldTm = SelectObject(tm, ToGdiObj(bigMask));
        StretchBlt(tm, 0, 0, w, h, msk, 0, 0, sw, sh, SRCCOPY);
        SelectObject(tm, oldTm);
        DeleteDC(tm);
        SelectObject(msk, oldM);
        MaskBlt(dst, r.left, r.top, w, h, t, 0, 0, bigMask, 0, 0, MAKEROP4(ROP_DSTCOPY, SRCCOPY));
        SelectObject(t, oldT);
        DeleteDC(t);
        DeleteObject(ToGdiObj(big));
        DeleteObject(ToGdiObj(bigMask));
    }
    SelectObject(src, oldSrc);
    DeleteDC(src);
    DeleteDC(msk);
}

}  // namespace

// ---- Life ----------------------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(TGIFPicture* image)
    : TGIFItem(image), Image(image), LocalColors(std::make_unique<TGIFLocalColorMap>(this)),
      FrameExtensions(std::make_unique<TGIFExtensionList>(this)) {}

TGIFSubImage::~TGIFSubImage() {
    if (Image && Image->Frames) Image->Frames->Detach(this);
    ClearFrame();
    FrameExtensions.reset();
    LocalColors.reset();
    if (FramePaletteHandle) DeleteObject(ToGdiObj(FramePaletteHandle));
    FramePaletteHandle = nullptr;
}

void TGIFSubImage::FrameWarning(TObject* sender, int severity, const std::string& message) {
    if (Image) Image->Warning(sender, severity, message);
}

void TGIFSubImage::FreeMask() {
    if (MaskBitmap) DeleteObject(ToGdiObj(MaskBitmap));
    MaskBitmap = nullptr;
    MaskPending = true;
}

void TGIFSubImage::DropBitmap() {
    FrameBitmap.reset();
    FreeMask();
}

void TGIFSubImage::ClearFrame() {
    DropBitmap();
    FrameExtensions->FreeAll();
    LocalColors->Reset();
    if (FramePaletteHandle) DeleteObject(ToGdiObj(FramePaletteHandle));
    FramePaletteHandle = nullptr;
    IndexData.reset();
    IndexDataSize = 0;
    // An empty frame covers nothing: its size goes to 0 where it lies, and the logical screen,
    // which only ever grows to hold a frame, is left as it is (and nothing is reported).
    PutWord(Descriptor, 5, 0);
    PutWord(Descriptor, 7, 0);
    IsTransparent = false;
    ControlBlock = nullptr;
    DropBitmap();
}

bool TGIFSubImage::IsBlank() const { return !(IndexData && IndexDataSize != 0 && Width() != 0 && Height() != 0); }

TGIFVersion TGIFSubImage::RequiredVersion() {
    if (LocalColors->IsSortedByUse()) return gv89a;
    TGIFVersion v = gv87a;
    for (int i = 0; i < FrameExtensions->ItemCount(); ++i)
        v = std::max(v, FrameExtensions->ItemAt(i)->RequiredVersion());
    return v;
}

int TGIFSubImage::FrameDelay() const { return ControlBlock ? ControlBlock->DelayTime() : 0; }

// ---- Geometry and pixels ---------------------------------------------------------------------------

void TGIFSubImage::AllocIndexData() {
    IndexData.reset();
    IndexDataSize = 0;
    const std::int64_t n = static_cast<std::int64_t>(Width()) * Height();
    if (n <= 0) return;
    CheckImageDimensions(Width(), Height());
    IndexData = std::make_unique<BYTE[]>(static_cast<std::size_t>(n));
    std::memset(IndexData.get(), 0, static_cast<std::size_t>(n));
    IndexDataSize = n;
}

void TGIFSubImage::EnsureIndexData() {
    if (!IndexData && static_cast<std::int64_t>(Width()) * Height() > 0) AllocIndexData();
}

void TGIFSubImage::SetFrameBounds(int left, int top, int width, int height) {
    const int oldW = Width(), oldH = Height();
    PutWord(Descriptor, 1, left);
    PutWord(Descriptor, 3, top);
    PutWord(Descriptor, 5, width);
    PutWord(Descriptor, 7, height);
    if (width != oldW || height != oldH) {
        DropBitmap();
        AllocIndexData();
    }
    if (!Image) return;
    bool grew = false;
    TGIFHeader* h = Image->Header.get();
    if (h->Width() < left + width) {
        if (h->Width() > 0) {
            Warn(1, GIFMessage(TGIFMessageId::WidthTooSmall));
            grew = true;
        }
        h->SetWidth(left + width);
    }
    if (h->Height() < top + height) {
        if (h->Height() > 0) {
            Warn(1, GIFMessage(TGIFMessageId::HeightTooSmall));
            grew = true;
        }
        h->SetHeight(top + height);
    }
    if (grew) Warn(1, GIFMessage(TGIFMessageId::ExceedsLogicalScreen));
}

void TGIFSubImage::SetInterlaced(bool on) {
    Descriptor[9] = static_cast<BYTE>(on ? (Descriptor[9] | 0x40) : (Descriptor[9] & ~0x40));
}

TGIFColorMap* TGIFSubImage::ActiveColors() {
    if (LocalColors->Count() > 0) return LocalColors.get();
    if (Image && Image->GetGlobalColorMap()->Count() > 0) return Image->GetGlobalColorMap();
    return LocalColors.get();
}

BYTE* TGIFSubImage::ScanRow(int y) {
    if (y < 0 || y >= Height()) RaiseGIFError(TGIFMessageId::InvalidPixelCoordinates);
    if (static_cast<std::int64_t>(Width()) * Height() == 0) RaiseGIFError(TGIFMessageId::ImageIsEmpty);
    EnsureIndexData();
    return IndexData.get() + static_cast<std::int64_t>(y) * Width();
}

BYTE TGIFSubImage::PixelAt(int x, int y) {
    if (x < 0 || x >= Width()) RaiseGIFError(TGIFMessageId::InvalidPixelCoordinates);
    return ScanRow(y)[x];
}

void TGIFSubImage::SetTransparentIndex(BYTE index) {
    if (ControlBlock) ControlBlock->Block[4] = index;
}

// ---- Reading and writing -------------------------------------------------------------------------

void TGIFSubImage::LoadFromStream(TStream* stream) {
    ClearFrame();
    FrameExtensions->ReadItems(stream);
    BYTE b = 0;
    if (!TryGetByte(stream, b)) return;
    stream->Seek(-1, soFromCurrent);
    // Only an image separator starts an image; anything else leaves a frame of extensions.
    if (b != ',') return;
    std::array<BYTE, 10> d{};
    ReadExact(stream, d.data(), 10);
    Descriptor = d;
    if (Width() == 0 || Height() == 0) {
        if (Image) {
            PutWord(Descriptor, 5, Image->Header->Width());
            PutWord(Descriptor, 7, Image->Header->Height());
        }
        Warn(1, GIFMessage(TGIFMessageId::ExceedsLogicalScreen));
    }
    if (Descriptor[9] & 0x80) LocalColors->ReadTable(stream, 2 << (Descriptor[9] & 7));
    if (Width() == 0 || Height() == 0) {
        // Nothing to decode into: the image data is skipped.
        BYTE codeSize = 0;
        if (TryGetByte(stream, codeSize)) SkipSubBlocks(stream);
        return;
    }
    // The frame's own image data pays for its pixels, looked at before any pixel is made: no
    // more of it is read than the pixels need.
    const std::int64_t pixels = static_cast<std::int64_t>(Width()) * Height();
    CheckImageDimensions(Width(), Height());
    const std::int64_t needed = (pixels + GIFMaxPixelsPerByte - 1) / GIFMaxPixelsPerByte;
    const std::int64_t dataBytes = PeekImageDataBytes(stream, needed);
    if (Image)
        Image->ReserveLoadPixels(pixels, dataBytes);
    else if (pixels - dataBytes * GIFMaxPixelsPerByte > GIFUnpaidPixels)
        RaiseGIFError(TGIFMessageId::InvalidDimensions);
    AllocIndexData();
    DecodeGIFPixels(stream, IndexData.get(), Width(), Height(), Interlaced(), 0,
                    [this](int severity, const std::string& text) { Warn(severity, text); });
}

void TGIFSubImage::UpdatePackedFlags() {
    if (LocalColors->Count() == 0) {
        Descriptor[9] &= 0x58;
    } else {
        // The interlace bit stays as it is: the encoder writes the rows in that order.
        BYTE packed = static_cast<BYTE>((Descriptor[9] & 0x40) | (LocalColors->IsSortedByUse() ? 0xA0 : 0x80));
        packed |= static_cast<BYTE>((FrameBitDepth() - 1) & 7);
        Descriptor[9] = packed;
    }
}

void TGIFSubImage::EncodeFrameData(TStream* stream) {
    int bits, limit;
    if (LocalColors->Count() > 0) {
        bits = FrameBitDepth();
        limit = LocalColors->Count();
    } else {
        bits = Image ? Image->HighestBitDepth() : 8;
        bits = std::clamp(bits, 1, 8);
        limit = 1 << bits;
    }
    std::unique_ptr<TGIFEncoder> encoder;
    if (Image && Image->EncodeMode == 1)
        encoder = std::make_unique<TRLEEncoder>();
    else
        encoder = std::make_unique<TLZWEncoder>();
    encoder->Warning = [this](int severity, const std::string& text) { Warn(severity, text); };
    encoder->Encode(stream, bits, limit, IndexData.get(), Interlaced(), Height(), Width());
}

void TGIFSubImage::SaveToStream(TStream* stream) {
    FrameExtensions->WriteItems(stream);
    if (IsBlank()) return;
    UpdatePackedFlags();
    stream->WriteBuffer(Descriptor.data(), 10);
    LocalColors->WriteTable(stream);
    EncodeFrameData(stream);
}

// ---- Palette and bitmap ----------------------------------------------------------------------------

HPALETTE TGIFSubImage::GetFramePalette() {
    if (FrameBitmap) {
        if (HPALETTE p = FrameBitmap->Palette()) return p;
    }
    if (FramePaletteHandle) return FramePaletteHandle;
    if (Image && Image->ShouldDither()) {
        FramePaletteHandle = MakeCubePalette();
        return FramePaletteHandle;
    }
    if (LocalColors->Count() == 0) {
        // The global table's colours, not whatever the picture's still bitmap happens to hold.
        if (Image && Image->GetGlobalColorMap()->Count() > 0) {
            FramePaletteHandle = Image->GetGlobalColorMap()->ToPalette();
            return FramePaletteHandle;
        }
        return Image ? Image->GetPalette() : nullptr;
    }
    FramePaletteHandle = LocalColors->ToPalette();
    return FramePaletteHandle;
}

void TGIFSubImage::SetFramePalette(HPALETTE palette) {
    if (palette == FramePaletteHandle) return;
    if (FramePaletteHandle) DeleteObject(ToGdiObj(FramePaletteHandle));
    FramePaletteHandle = palette;
    if (FrameBitmap && FrameBitmap->Palette() != palette) {
        DropBitmap();
        if (Image) {
            Image->PaletteChanged = true;
            Image->Changed(this);
        }
    }
}

void TGIFSubImage::MakeMaskBitmap(const std::vector<BYTE>& rows, int rowBytes) {
    (void)rowBytes;
    MaskBitmap = CheckGDIHandle(CreateBitmap(Width(), Height(), 1, 1, rows.data()));
}

void TGIFSubImage::RenderDirect() {
    auto bitmap = std::make_unique<TBitmap>();
    const int w = Width(), h = Height();
    MaskRows mask(MaskPending && IsTransparent && !MaskBitmap, w, h);
    MaskPending = false;
    const BYTE transparent = TransparentIndex();
    ProgressScope progress(Image, this, TGIFMessageId::Rendering);
    {
        TDIBWriter writer(bitmap.get(), pf8bit, w, h, GetFramePalette());
        for (int y = 0; y < h; ++y) {
            progress.Row(y, h);
            const BYTE* src = IndexData.get() + static_cast<std::int64_t>(y) * w;
            std::memcpy(writer.RowPointer(y), src, static_cast<std::size_t>(w));
            if (BYTE* m = mask.Row(y))
                for (int x = 0; x < w; ++x)
                    if (src[x] == transparent) mask.Set(m, x);
        }
        // A bitmap that cannot take the rows raises here: a failed build is never a blank frame.
        writer.Finish();
    }
    if (mask.Any) MakeMaskBitmap(mask.Bits, mask.RowBytes);
    FrameBitmap = std::move(bitmap);
}

void TGIFSubImage::RenderDithered() {
    auto bitmap = std::make_unique<TBitmap>();
    const int w = Width(), h = Height();
    MaskRows mask(MaskPending && IsTransparent && !MaskBitmap, w, h);
    MaskPending = false;
    const BYTE transparent = TransparentIndex();
    TGIFColorMap* colors = ActiveColors();
    ProgressScope progress(Image, this, TGIFMessageId::Rendering);
    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer ditherer(w, &lookup);
    BYTE fill = 0;
    if (mask.Row(0) && colors->Count() > 0) {
        const TColor c = colors->ColorAt(transparent);
        const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        fill = static_cast<BYTE>((MulDiv(36, r, 51) + MulDiv(6, g, 51) + b / 51 + 1) & 0xFF);
    }
    {
        TDIBWriter writer(bitmap.get(), pf8bit, w, h, GetFramePalette());
        for (int y = 0; y < h; ++y) {
            progress.Row(y, h);
            const BYTE* src = IndexData.get() + static_cast<std::int64_t>(y) * w;
            BYTE* dst = writer.RowPointer(y);
            BYTE* m = mask.Row(y);
            if (m) std::memset(dst, fill, static_cast<std::size_t>(w));
            for (int i = 0; i < w; ++i) {
                const int x = ditherer.CurColumn;
                if (x < 0 || x >= w) break;
                const BYTE index = src[x];
                if (m && index == transparent) {
                    mask.Set(m, x);
                    ditherer.StepColumn();
                    continue;
                }
                TColor c = 0;
                if (index < colors->Count()) {
                    const BYTE* t = colors->Data() + 3 * index;
                    c = TripletToColor(t);
                }
                BYTE r, g, b;
                dst[x] = ditherer.Quantize(static_cast<BYTE>(c & 0xFF), static_cast<BYTE>((c >> 8) & 0xFF),
                                           static_cast<BYTE>((c >> 16) & 0xFF), r, g, b);
            }
            ditherer.NewRow();
        }
        writer.Finish();
    }
    if (mask.Any) MakeMaskBitmap(mask.Bits, mask.RowBytes);
    FrameBitmap = std::move(bitmap);
}

TBitmap* TGIFSubImage::GetFrameBitmap() {
    std::unique_lock<std::recursive_mutex> lock;
    if (Image) lock = std::unique_lock(Image->CacheLock);
    if (!FrameBitmap && !IsBlank()) {
        try {
            if (Image && Image->ShouldDither())
                RenderDithered();
            else
                RenderDirect();
        } catch (const EAbort&) {
            FrameBitmap.reset();
        }
        if (Image && Image->PaletteChanged) Image->Changed(this);
    }
    return FrameBitmap.get();
}

bool TGIFSubImage::HasMaskBitmap() {
    std::unique_lock<std::recursive_mutex> lock;
    if (Image) lock = std::unique_lock(Image->CacheLock);
    if (MaskPending && IsTransparent) {
        FrameBitmap.reset();
        GetFrameBitmap();
    }
    return MaskBitmap != nullptr;
}

// ---- Drawing ---------------------------------------------------------------------------------------

RECT TGIFSubImage::ScaledFrameRect(const RECT& rect) {
    const int iw = Image ? Image->Width() : 0, ih = Image ? Image->Height() : 0;
    const int rw = rect.right - rect.left, rh = rect.bottom - rect.top;
    // A picture of no size places the frame unscaled.
    auto sx = [&](int v) { return iw > 0 ? MulDiv(v, rw, iw) : v; };
    auto sy = [&](int v) { return ih > 0 ? MulDiv(v, rh, ih) : v; };
    return RECT{rect.left + sx(Left()), rect.top + sy(Top()), rect.left + sx(Left() + Width()),
                rect.top + sy(Top() + Height())};
}

void TGIFSubImage::DrawFrame(TCanvas* canvas, const RECT& rect, bool tile, bool transparent) {
    StretchDrawFrame(canvas, tile ? rect : ScaledFrameRect(rect), tile, transparent);
}

void TGIFSubImage::StretchDrawFrame(TCanvas* canvas, const RECT& rect, bool tile, bool transparent) {
    if (!canvas) return;
    // The mask first: making it may build the frame bitmap again.
    const bool masked = transparent && IsTransparent && HasMaskBitmap();
    TBitmap* bitmap = GetFrameBitmap();
    if (!bitmap) return;
    const int iw = std::max(Image ? Image->Width() : Width(), 1), ih = std::max(Image ? Image->Height() : Height(), 1);
    auto eachTile = [&](auto&& draw) {
        for (int y = rect.top + Top(); y < rect.bottom; y += ih)
            for (int x = rect.left + Left(); x < rect.right; x += iw) draw(RECT{x, y, x + Width(), y + Height()});
    };
    if (masked) {
        HDC dc = canvas->Handle();
        if (tile)
            eachTile([&](const RECT& r) { MaskedStretchBlt(dc, r, bitmap, MaskBitmap); });
        else
            MaskedStretchBlt(dc, rect, bitmap, MaskBitmap);
        if (canvas->OnChange) canvas->OnChange(canvas);
        return;
    }
    if (tile)
        eachTile([&](const RECT& r) { canvas->StretchDraw(r, bitmap); });
    else
        canvas->StretchDraw(rect, bitmap);
}

// ---- Copying ---------------------------------------------------------------------------------------

void TGIFSubImage::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (!Source) {
        ClearFrame();
        return;
    }
    if (auto* src = dynamic_cast<TGIFSubImage*>(Source)) {
        ClearFrame();
        if (src->IsBlank()) {
            // Extensions only.
            if (src->FrameExtensions->ItemCount() > 0) {
                TMemoryStream s;
                src->FrameExtensions->WriteItems(&s);
                s.SetPosition(0);
                FrameExtensions->ReadItems(&s);
            }
            return;
        }
        Descriptor = src->Descriptor;
        IsTransparent = src->IsTransparent;
        IndexData = std::make_unique<BYTE[]>(static_cast<std::size_t>(src->IndexDataSize));
        std::memcpy(IndexData.get(), src->IndexData.get(), static_cast<std::size_t>(src->IndexDataSize));
        IndexDataSize = src->IndexDataSize;
        LocalColors->Assign(src->LocalColors.get());
        if (src->FrameExtensions->ItemCount() > 0) {
            TMemoryStream s;
            src->FrameExtensions->WriteItems(&s);
            s.SetPosition(0);
            FrameExtensions->ReadItems(&s);
        }
        IsTransparent = src->IsTransparent;
        if (src->FrameBitmap) {
            FrameBitmap = std::make_unique<TBitmap>();
            FrameBitmap->Assign(src->FrameBitmap.get());
        }
        return;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(Source)) {
        ImportBitmap(bmp);
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(Source)) {
        ClearFrame();
        if (icon->Empty()) return;
        ImportBitmap(icon->Image());
        if (icon->Mask()) ApplyMaskBitmap(icon->Mask());
        return;
    }
    if (auto* pic = dynamic_cast<TPicture*>(Source)) {
        Assign(pic->Graphic());
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        // Any other picture: drawn into a 24-bit bitmap of its size.
        ClearFrame();
        if (g->Empty()) return;
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(g->Width(), g->Height());
        b.Canvas()->Draw(0, 0, g);
        ImportBitmap(&b);
        return;
    }
    TGIFItem::Assign(Source);
}

void TGIFSubImage::ImportBitmap(TBitmap* source) {
    ClearFrame();
    if (!source || source->Empty()) return;
    SetWidth(source->Width());
    SetHeight(source->Height());
    const int bpp = source->BitsPerPixel();
    const bool indexed = source->PixelFormat() == pf1bit || source->PixelFormat() == pf4bit || source->PixelFormat() == pf8bit;
    auto work = std::make_unique<TBitmap>();
    if (indexed) {
        work->Assign(source);
    } else {
        std::unique_ptr<TBitmap> reduced = ReduceBitmapColors(source, Image ? Image->ReductionMethod : crCube216,
                                                              Image ? Image->DitherMethod : dtNearest, nullptr,
                                                              Image ? Image->ReductionDepth : 8);
        work = std::move(reduced);
    }
    (void)bpp;
    EnsureIndexData();
    ProgressScope progress(Image, this, TGIFMessageId::Converting);
    const int w = Width(), h = Height();
    const TPixelFormat pf = work->PixelFormat();
    if (pf == pf1bit || pf == pf4bit || pf == pf8bit) {
        LocalColors->FromPalette(work->Palette());
        const int bits = pf == pf1bit ? 1 : pf == pf4bit ? 4 : 8;
        for (int y = 0; y < h; ++y) {
            progress.Row(y, h);
            const BYTE* row = static_cast<const BYTE*>(work->ScanLine(y));
            BYTE* dst = IndexData.get() + static_cast<std::int64_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                if (bits == 8)
                    dst[x] = row[x];
                else if (bits == 4)
                    dst[x] = static_cast<BYTE>((x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4));
                else
                    dst[x] = static_cast<BYTE>((row[x / 8] >> (7 - x % 8)) & 1);
            }
        }
    } else {
        work->SetPixelFormat(pf24bit);
        struct Pair {
            TColor Color;
            int Index;
        };
        Pair ring[8];
        int used = 0, last = 0;
        for (int y = 0; y < h; ++y) {
            progress.Row(y, h);
            const BYTE* row = static_cast<const BYTE*>(work->ScanLine(y));
            BYTE* dst = IndexData.get() + static_cast<std::int64_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const TColor c = row[3 * x + 2] | (row[3 * x + 1] << 8) | (row[3 * x] << 16);
                int found = -1;
                for (int k = 0, at = last; k < used; ++k, at = (at + 7) % 8)
                    if (ring[at].Color == c) {
                        found = at;
                        break;
                    }
                if (found >= 0) {
                    last = found;
                    dst[x] = static_cast<BYTE>(ring[found].Index);
                    continue;
                }
                const int index = LocalColors->MergeColor(c);
                const int slot = used < 8 ? used++ : (last + 1) % 8;
                ring[slot] = {c, index};
                last = slot;
                dst[x] = static_cast<BYTE>(index);
            }
        }
    }
    FrameBitmap = std::move(work);
    if (source->Transparent()) {
        HBITMAP mask = source->CreateMask(source->TransparentColor());
        try {
            ApplyMaskBitmap(mask);
        } catch (...) {
            DeleteObject(ToGdiObj(mask));
            throw;
        }
        DeleteObject(ToGdiObj(mask));
    }
}

void TGIFSubImage::ApplyMaskBitmap(HBITMAP mask) {
    LocalColors->Compact();
    const int count = LocalColors->Count();
    if (count == 0 || count == 256) return;
    const int index = LocalColors->AppendColor(clBlack);
    bool changed = false;
    const int w = Width(), h = Height();
    for (int y = 0; y < h; ++y) {
        BYTE* row = IndexData.get() + static_cast<std::int64_t>(y) * w;
        for (int x = 0; x < w; ++x)
            if (gdi::BitmapPixel(mask, x, y) != 0) {
                row[x] = static_cast<BYTE>(index);
                changed = true;
            }
    }
    if (!changed) {
        LocalColors->RemoveColor(index);
        return;
    }
    auto gce = std::make_unique<TGIFGraphicControlExtension>(this);
    gce->Block[4] = static_cast<BYTE>(index);
    gce->SetTransparentColorFlag(true);
    TGIFGraphicControlExtension* raw = gce.get();
    FrameExtensions->Append(std::move(gce));
    if (!ControlBlock) ControlBlock = raw;
    DropBitmap();
}

void TGIFSubImage::AssignTo(TPersistent* Dest) {
    if (auto* bmp = dynamic_cast<TBitmap*>(Dest)) {
        bmp->Assign(GetFrameBitmap());
        return;
    }
    TGIFItem::AssignTo(Dest);
}

// ---- Optimisation edits ----------------------------------------------------------------------------

void TGIFSubImage::TrimTransparentEdges() {
    if (IsBlank() || !IsTransparent) return;
    const BYTE t = TransparentIndex();
    const int w = Width(), h = Height();
    auto px = [&](int x, int y) { return IndexData[static_cast<std::size_t>(static_cast<std::int64_t>(y) * w + x)]; };
    auto colClear = [&](int x) {
        for (int y = 0; y < h; ++y)
            if (px(x, y) != t) return false;
        return true;
    };
    int left = 0, right = w;
    while (left < right && colClear(left)) ++left;
    while (right > left && colClear(right - 1)) --right;
    if (left == right) {
        ClearFrame();
        return;
    }
    auto rowClear = [&](int y) {
        for (int x = left; x < right; ++x)
            if (px(x, y) != t) return false;
        return true;
    };
    int top = 0, bottom = h;
    while (top < bottom && rowClear(top)) ++top;
    while (bottom > top && rowClear(bottom - 1)) --bottom;
    const int nw = right - left, nh = bottom - top;
    auto kept = std::make_unique<BYTE[]>(static_cast<std::size_t>(nw) * static_cast<std::size_t>(nh));
    for (int y = 0; y < nh; ++y)
        std::memcpy(kept.get() + static_cast<std::size_t>(y) * nw, IndexData.get() + static_cast<std::int64_t>(y + top) * w + left,
                    static_cast<std::size_t>(nw));
    PutWord(Descriptor, 1, Left() + left);
    PutWord(Descriptor, 3, Top() + top);
    PutWord(Descriptor, 5, nw);
    PutWord(Descriptor, 7, nh);
    IndexData = std::move(kept);
    IndexDataSize = static_cast<std::int64_t>(nw) * nh;
    DropBitmap();
}

int TGIFSubImage::SpareTransparentIndex() {
    // An index this frame draws with must not turn transparent: only an unused one is reused.
    bool used[256] = {};
    for (std::int64_t i = 0; i < IndexDataSize; ++i) used[IndexData[static_cast<std::size_t>(i)]] = true;
    if (LocalColors->Count() == 0 && Image) {
        for (int i = 0; i < Image->FrameCount(); ++i) {
            TGIFSubImage* f = Image->Frame(i);
            if (f != this && f->IsTransparent && f->ControlBlock && f->LocalColors->Count() == 0 &&
                !used[f->TransparentIndex()])
                return f->TransparentIndex();
        }
        TGIFColorMap* global = Image->GetGlobalColorMap();
        if (global->Count() > 0) return global->AppendColor(clBlack);
    }
    return LocalColors->AppendColor(clBlack);
}

void TGIFSubImage::BlankUnchangedPixels(TGIFSubImage* previous) {
    if (IsBlank() || !previous || previous->IsBlank()) return;
    if (previous->ControlBlock && (previous->ControlBlock->DisposalMethod() == 2 || previous->ControlBlock->DisposalMethod() == 3))
        return;
    RECT both;
    const RECT a = FrameArea(), b = previous->FrameArea();
    if (!IntersectRect(&both, &a, &b)) return;
    int replacement = -1;
    const bool wasTransparent = IsTransparent && ControlBlock;
    if (wasTransparent)
        replacement = TransparentIndex();
    else {
        TGIFColorMap* active = ActiveColors();
        if (active->Count() == 0 || active->Count() >= 256) return;
    }
    TGIFColorMap* mine = ActiveColors();
    TGIFColorMap* theirs = previous->ActiveColors();
    const bool prevTransparent = previous->IsTransparent && previous->ControlBlock;
    const BYTE prevIndex = previous->TransparentIndex();
    bool chosen = replacement >= 0;
    for (int y = both.top; y < both.bottom; ++y)
        for (int x = both.left; x < both.right; ++x) {
            BYTE& p = IndexData[static_cast<std::size_t>(static_cast<std::int64_t>(y - Top()) * Width() + (x - Left()))];
            const BYTE q = previous->IndexData[static_cast<std::size_t>(static_cast<std::int64_t>(y - previous->Top()) * previous->Width() +
                                                                        (x - previous->Left()))];
            if (chosen && p == replacement) continue;
            if (prevTransparent && q == prevIndex) continue;
            bool same;
            if (mine == theirs)
                same = p == q;
            else
                same = p < mine->Count() && q < theirs->Count() && std::memcmp(mine->Data() + 3 * p, theirs->Data() + 3 * q, 3) == 0;
            if (!same) continue;
            if (!chosen) {
                replacement = SpareTransparentIndex();
                chosen = true;
                mine = ActiveColors();
            }
            p = static_cast<BYTE>(replacement);
        }
    if (!wasTransparent && chosen) {
        if (!ControlBlock) {
            auto gce = std::make_unique<TGIFGraphicControlExtension>(this);
            FrameExtensions->Append(std::move(gce));
        }
        ControlBlock->Block[4] = static_cast<BYTE>(replacement);
        ControlBlock->SetTransparentColorFlag(true);
    }
    DropBitmap();
}
