// The GIF picture class: a header and its frames as a graphic of the class library. Reading and
// writing streams, the still bitmap, palettes, copying, the clipboard, drawing (the first frame, or
// an animation through painters) and compaction.
#include <algorithm>
#include <cstring>
#include <optional>

#include "imagecodecs/GifPicture.h"
#include "imagecodecs/GifPicture/painterthread.h"
#include "platform/classlib/clipboard.h"

namespace {

HPALETTE CopyPalette(HPALETTE palette) {
    PALETTEENTRY entries[256];
    const int n = ReadPaletteEntries(palette, entries);
    return n > 0 ? MakeLogPalette(entries, n) : nullptr;
}

HBITMAP CopyBitmapHandle(HBITMAP h) {
    BITMAP info{};
    if (!h || GetObjectA(ToGdiObj(h), sizeof info, &info) == 0) return nullptr;
    return gdi::ConvertBitmap(h, info.bmBitsPixel);
}

class ProgressScope {
public:
    ProgressScope(TGIFPicture* image, TGIFMessageId message, bool redraw)
        : Image(image), Message(message), Redraw(redraw), Exceptions(std::uncaught_exceptions()) {
        Image->Progress(Image, psStarting, 0, false, RECT{}, GIFMessage(Message));
    }
    ~ProgressScope() {
        const bool failing = std::uncaught_exceptions() > Exceptions;
        try {
            Image->Progress(Image, psEnding, failing ? 0 : 100, Redraw, RECT{}, GIFMessage(Message));
        } catch (...) {
        }
    }

private:
    TGIFPicture* Image;
    TGIFMessageId Message;
    bool Redraw;
    int Exceptions;
};

// Handles the class library's thread window messages (its synchronised calls); false when a quit
// was met, which is posted again.
bool PumpThreadWindow() {
    MSG msg;
    HWND window = ThreadWindow();
    if (!window) return true;
    while (PeekMessageA(&msg, window, CM_DESTROYWINDOW, CM_EXECPROC, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchMessageA(&msg);
    }
    return true;
}

// Blocks until the queue has new input (a synchronised call arrives as a send, which ends the
// wait) or a short while passed.
void WaitForPainters() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT); }

// Puts the looping block in front of the frame's extensions.
void PutLoopFirst(TGIFSubImage* frame, std::unique_ptr<TGIFItem> loop) {
    TMemoryStream s;
    loop->SaveToStream(&s);
    loop.reset();
    frame->FrameExtensions->WriteItems(&s);
    s.SetPosition(0);
    frame->FrameExtensions->FreeAll();
    frame->FrameExtensions->ReadItems(&s);
}

}  // namespace

// ---- Life ----------------------------------------------------------------------------------------

TGIFPicture::TGIFPicture()
    : Frames(std::make_unique<TGIFFrameList>(this)), Header(std::make_unique<TGIFHeader>(this)) {
    Clear();
}

TGIFPicture::~TGIFPicture() {
    // A picture going away tells no one: its warning, progress and change handlers belong to
    // whoever is freeing it.
    OnGIFWarning = nullptr;
    OnProgress = nullptr;
    OnChange = nullptr;
    PaintStop();
    {
        std::lock_guard lk(PainterLock);
        for (TGIFPainter* p : Painters) p->Image = nullptr;
        Painters.clear();
        DrawPainter = nullptr;
    }
    CachedBitmap.reset();
    Frames->FreeAll();
    Frames.reset();
    Header->OwnerImage = nullptr;  // its colour table tells no one any more
    Header.reset();
    if (GlobalPalette) DeleteObject(ToGdiObj(GlobalPalette));
    GlobalPalette = nullptr;
}

void TGIFPicture::Clear() {
    PaintStop();
    DiscardBitmap();
    Frames->FreeAll();
    Header->GlobalMap->Reset();
    Header->SetWidth(0);
    Header->SetHeight(0);
    Header->PackFlags();
    SetPalette(static_cast<HPALETTE>(nullptr));
}

// ---- Notifications -------------------------------------------------------------------------------

void TGIFPicture::Warning(TObject* Sender, int Severity, const std::string& Message) {
    if (gifpainter::OnPainterThread()) {
        gifpainter::Defer([this, Sender, Severity, Message] { Warning(Sender, Severity, Message); });
        return;
    }
    if (OnGIFWarning) OnGIFWarning(Sender, Severity, Message);
}

void TGIFPicture::Changed(TObject* Sender) {
    // A painter's thread does not call the user-interface thread's handlers: its painter hands
    // the notification over once its frame is built.
    if (gifpainter::OnPainterThread()) {
        gifpainter::Defer([this, Sender] { Changed(Sender); });
        return;
    }
    TGraphic::Changed(Sender);
}

void TGIFPicture::Progress(TObject* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow, const RECT& R,
                           const std::string& Msg) {
    if (gifpainter::OnPainterThread()) {
        gifpainter::Defer([=, this] { Progress(Sender, Stage, PercentDone, RedrawNow, R, Msg); });
        return;
    }
    TGraphic::Progress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

// ---- Queries -------------------------------------------------------------------------------------

TGIFVersion TGIFPicture::FileVersion() {
    // The highest of 87a, what the header needs and what every frame needs.
    TGIFVersion v = std::max(gv87a, Header->RequiredVersion());
    for (int i = 0; i < FrameCount() && v < gv89a; ++i) v = std::max(v, Frame(i)->RequiredVersion());
    return v;
}

int TGIFPicture::HighestResolution() {
    int r = Header->ResolutionBits();
    for (int i = 0; i < FrameCount(); ++i) r = std::max(r, Frame(i)->FrameBitDepth() - 1);
    return std::max(r, 0);
}

int TGIFPicture::HighestBitDepth() {
    int b = Header->TableBits();
    for (int i = 0; i < FrameCount(); ++i) b = std::max(b, Frame(i)->FrameBitDepth());
    return b;
}

bool TGIFPicture::ShouldDither() const {
    if (!(PaintOptions & poDither)) return false;
    if (!(PaintOptions & poDitherPaletteDisplayOnly)) return true;
    return GIFDisplayHasPalette();
}

// ---- Size ----------------------------------------------------------------------------------------

void TGIFPicture::SetWidth(int w) {
    for (int i = 0; i < FrameCount(); ++i)
        if (w < Frame(i)->Left() + Frame(i)->Width()) RaiseGIFError(TGIFMessageId::WidthTooSmall);
    if (w != Header->Width()) {
        Header->SetWidth(w);
        DiscardBitmap();
        Changed(this);
    }
}

void TGIFPicture::SetHeight(int h) {
    for (int i = 0; i < FrameCount(); ++i)
        if (h < Frame(i)->Top() + Frame(i)->Height()) RaiseGIFError(TGIFMessageId::HeightTooSmall);
    if (h != Header->Height()) {
        Header->SetHeight(h);
        DiscardBitmap();
        Changed(this);
    }
}

// ---- Palette -------------------------------------------------------------------------------------

HPALETTE TGIFPicture::GetPalette() {
    if (PaletteRequest) RaiseGIFError(TGIFMessageId::NoColorTable);
    PaletteRequest = true;
    struct Reset {
        bool& Flag;
        ~Reset() { Flag = false; }
    } reset{PaletteRequest};
    if (CachedBitmap)
        if (HPALETTE p = CachedBitmap->Palette()) return p;
    if (GlobalPalette) return GlobalPalette;
    HPALETTE p = nullptr;
    if (ShouldDither())
        p = MakeCubePalette();
    else if (Header->GlobalMap->Count() > 0)
        p = Header->GlobalMap->ToPalette();
    else
        return FrameCount() > 0 ? Frame(0)->GetFramePalette() : nullptr;
    GlobalPalette = p;
    return p;
}

void TGIFPicture::SetPalette(HPALETTE palette) {
    if (palette == GlobalPalette) return;
    if (GlobalPalette) DeleteObject(ToGdiObj(GlobalPalette));
    GlobalPalette = palette;
    // Frames without a table of their own took their palette from the global one.
    for (int i = 0; i < FrameCount(); ++i)
        if (Frame(i)->LocalColors->Count() == 0) Frame(i)->SetFramePalette(nullptr);
    if (CachedBitmap && CachedBitmap->Palette() != palette) {
        CachedBitmap.reset();
        SetPaletteModified(true);
        Changed(this);
    }
}

// ---- Reading and writing -------------------------------------------------------------------------

void TGIFPicture::ReserveLoadPixels(std::int64_t pixels, std::int64_t dataBytes) {
    const std::int64_t unpaid = pixels - dataBytes * GIFMaxPixelsPerByte;
    if (unpaid <= 0) return;
    // A frame read on its own, outside a stream's read, has the whole allowance.
    const std::int64_t left = LoadUnpaidLeft < 0 ? GIFUnpaidPixels : LoadUnpaidLeft;
    if (unpaid > left) RaiseGIFError(TGIFMessageId::InvalidDimensions);
    if (LoadUnpaidLeft >= 0) LoadUnpaidLeft -= unpaid;
}

void TGIFPicture::LoadFromStream(TStream* Stream) {
    ProgressScope progress(this, TGIFMessageId::Loading, true);
    Clear();
    const std::int64_t start = Stream->Position();
    // A stream not in memory is read through a buffer: a GIF stream is read in small pieces.
    std::optional<TGIFReadBuffer> buffered;
    TStream* in = Stream;
    if (!dynamic_cast<TCustomMemoryStream*>(Stream)) in = &buffered.emplace(Stream);
    // The logical screen is drawn whole, once: any screen within the picture cap is taken,
    // whatever the stream's size. A refused screen is not kept: what was read stays, on a screen
    // of no size.
    auto checkScreen = [this] {
        const std::int64_t w = Header->Width(), h = Header->Height();
        if (w == 0 || h == 0 || gdi::PictureSizeAllowed(w, h)) return;
        Header->SetWidth(0);
        Header->SetHeight(0);
        RaiseGIFError(TGIFMessageId::InvalidDimensions);
    };
    struct Budget {
        std::int64_t& Left;
        ~Budget() { Left = -1; }
    } budget{LoadUnpaidLeft};
    LoadUnpaidLeft = GIFUnpaidPixels;
    try {
        Header->LoadFromStream(in);
        checkScreen();
        Frames->ReadItems(in);
        TGIFTrailer trailer(this);
        trailer.LoadFromStream(in);
        // A logical screen of no size takes the frames' extent.
        if (Header->Width() == 0 || Header->Height() == 0) {
            int w = 0, h = 0;
            for (int i = 0; i < FrameCount(); ++i) {
                w = std::max(w, Frame(i)->Left() + Frame(i)->Width());
                h = std::max(h, Frame(i)->Top() + Frame(i)->Height());
            }
            if (Header->Width() == 0) Header->SetWidth(std::min(w, 0xFFFF));
            if (Header->Height() == 0) Header->SetHeight(std::min(h, 0xFFFF));
            checkScreen();
        }
    } catch (const std::bad_alloc&) {
        // Memory that runs out anyway is the class library's failure, not the runtime's.
        in->SetPosition(start);
        throw EOutOfMemory("Out of memory");
    } catch (...) {
        in->SetPosition(start);
        throw;
    }
}

void TGIFPicture::SaveToStream(TStream* Stream) {
    ProgressScope progress(this, TGIFMessageId::Saving, true);
    Header->SaveToStream(Stream);
    Frames->WriteItems(Stream);
    TGIFTrailer trailer(this);
    trailer.SaveToStream(Stream);
}

void TGIFPicture::WriteData(TStream* Stream) {
    TMemoryStream data;
    SaveToStream(&data);
    const std::int32_t size = static_cast<std::int32_t>(data.Size());
    Stream->WriteBuffer(&size, 4);
    Stream->WriteBuffer(data.Memory(), data.Size());
}

// ---- Bitmaps ---------------------------------------------------------------------------------------

TBitmap* TGIFPicture::GetBufferBitmap() {
    if (CachedBitmap) return CachedBitmap.get();
    CachedBitmap = std::make_unique<TBitmap>();
    CachedBitmap->OnChange = [this](TObject*) { Changed(this); };
    CachedBitmap->SetPalette(CopyPalette(GetPalette()));
    CachedBitmap->SetHeight(Height());
    CachedBitmap->SetWidth(Width());
    return CachedBitmap.get();
}

TBitmap* TGIFPicture::ScreenBitmap() {
    // A screen of no size shows nothing.
    if (Empty() || Width() == 0 || Height() == 0) return nullptr;
    std::lock_guard cache(CacheLock);
    if (CachedBitmap) return CachedBitmap.get();
    TGIFSubImage* first = Frame(0);
    if (first->Width() == Width() && first->Height() == Height() && !first->IsBlank()) {
        CachedBitmap = std::make_unique<TBitmap>();
        CachedBitmap->Assign(first->GetFrameBitmap());
        CachedBitmap->OnChange = [this](TObject*) { Changed(this); };
        return CachedBitmap.get();
    }
    TBitmap* b = GetBufferBitmap();
    b->OnChange = nullptr;
    first->DrawFrame(b->Canvas(), b->Canvas()->ClipRect(), false, false);
    b->OnChange = [this](TObject*) { Changed(this); };
    return b;
}

void TGIFPicture::DiscardBitmap() {
    StopDraw();
    std::lock_guard cache(CacheLock);
    CachedBitmap.reset();
}

// ---- Copying ---------------------------------------------------------------------------------------

int TGIFPicture::Add(TPersistent* Source) {
    int index;
    if (auto* frame = dynamic_cast<TGIFSubImage*>(Source)) {
        frame->Image = this;
        frame->OwnerImage = this;
        index = Frames->Append(std::unique_ptr<TGIFItem>(frame));
    } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        auto frame2 = std::make_unique<TGIFSubImage>(this);
        frame2->Assign(g);
        index = Frames->Append(std::move(frame2));
    } else {
        RaiseGIFError(TGIFMessageId::UnsupportedObjectType);
    }
    DiscardBitmap();
    Changed(this);
    return index;
}

void TGIFPicture::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (!Source) {
        Clear();
        return;
    }
    if (auto* src = dynamic_cast<TGIFPicture*>(Source)) {
        Clear();
        // The source's handlers report while copying; this picture's own come back afterwards.
        TProgressEvent ownProgress = std::move(OnProgress);
        TGIFWarningEvent ownWarning = std::move(OnGIFWarning);
        OnProgress = src->OnProgress;
        OnGIFWarning = src->OnGIFWarning;
        struct Restore {
            TGIFPicture* P;
            TProgressEvent& Progress;
            TGIFWarningEvent& Warning;
            ~Restore() {
                P->OnProgress = std::move(Progress);
                P->OnGIFWarning = std::move(Warning);
            }
        } restore{this, ownProgress, ownWarning};
        ProgressScope progress(this, TGIFMessageId::Copying, false);
        Header->Assign(src->Header.get());
        PainterPriority = src->PainterPriority;
        BackdropColor = src->BackdropColor;
        PaintOptions = src->PaintOptions;
        ReductionMethod = src->ReductionMethod;
        DitherMethod = src->DitherMethod;
        const int count = src->FrameCount();
        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TGIFSubImage>(this);
            frame->Assign(src->Frame(i));
            Frames->Append(std::move(frame));
            Progress(this, psRunning, static_cast<BYTE>(MulDiv(i + 1, 100, count)), false, RECT{},
                     GIFMessage(TGIFMessageId::Copying));
        }
        DiscardBitmap();
        Changed(this);
        return;
    }
    Clear();
    auto frame = std::make_unique<TGIFSubImage>(this);
    try {
        frame->Assign(Source);
    } catch (const EConvertError&) {
        frame.reset();
        TGraphic::Assign(Source);
        return;
    }
    Frames->Append(std::move(frame));
    DiscardBitmap();
    Changed(this);
}

void TGIFPicture::AssignTo(TPersistent* Dest) {
    if (auto* bmp = dynamic_cast<TBitmap*>(Dest)) {
        bmp->Assign(ScreenBitmap());
        return;
    }
    TGraphic::AssignTo(Dest);
}

// ---- Clipboard ---------------------------------------------------------------------------------------

void TGIFPicture::LoadFromClipboardFormat(WORD Format, HANDLE Data, HPALETTE) {
    if (!Data) Data = GetClipboardData(Format);
    if (Data && Format == GIFClipboardFormat() && Format != 0) {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(Data);
        const std::size_t size = GlobalSize(block);
        const void* bytes = GlobalLock(block);
        if (!bytes) RaiseGIFError(TGIFMessageId::UnsupportedClipboard);
        TMemoryStream s;
        try {
            s.WriteBuffer(bytes, static_cast<std::int64_t>(size));
        } catch (...) {
            GlobalUnlock(block);
            throw;
        }
        GlobalUnlock(block);
        s.SetPosition(0);
        LoadFromStream(&s);
        return;
    }
    if (Data && Format == CF_BITMAP) {
        TBitmap b;
        HBITMAP copy = CopyBitmapHandle(reinterpret_cast<HBITMAP>(Data));
        if (!copy) RaiseGIFError(TGIFMessageId::UnsupportedClipboard);
        b.SetHandle(copy);
        Assign(&b);
        return;
    }
    RaiseGIFError(TGIFMessageId::UnsupportedClipboard);
}

void TGIFPicture::SaveToClipboardFormat(WORD& Format, HANDLE& Data, HPALETTE& Palette) {
    if (Empty()) return;
    TBitmap* still = ScreenBitmap();
    TMemoryStream s;
    SaveToStream(&s);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<std::size_t>(s.Size()));
    if (!block) RaiseGIFError(TGIFMessageId::ClipboardFailed);
    void* bytes = GlobalLock(block);
    std::memcpy(bytes, s.Memory(), static_cast<std::size_t>(s.Size()));
    GlobalUnlock(block);
    if (!SetClipboardData(GIFClipboardFormat(), reinterpret_cast<HANDLE>(block))) {
        GlobalFree(block);
        RaiseGIFError(TGIFMessageId::ClipboardFailed);
    }
    // A picture of no size (extensions only) has no still bitmap to offer beside its stream.
    if (!still) {
        Format = 0;
        Data = nullptr;
        Palette = nullptr;
        return;
    }
    Format = CF_BITMAP;
    Data = reinterpret_cast<HANDLE>(CopyBitmapHandle(still->Handle()));
    Palette = CopyPalette(still->Palette());
}

// ---- Drawing ---------------------------------------------------------------------------------------

void TGIFPicture::StretchOrTile(TCanvas* ACanvas, const RECT& R, TBitmap* Bitmap) {
    if (!Bitmap || Bitmap->Empty()) return;
    if (!(PaintOptions & poTiled)) {
        ACanvas->StretchDraw(R, Bitmap);
        return;
    }
    const int w = std::max(Width(), 1), h = std::max(Height(), 1);
    for (int y = R.top; y < R.bottom; y += h)
        for (int x = R.left; x < R.right; x += w) ACanvas->Draw(x, y, Bitmap);
}

void TGIFPicture::Draw(TCanvas* ACanvas, const RECT& R) {
    if (Drawing || Empty()) return;
    Drawing = true;
    struct Reset {
        bool& Flag;
        ~Reset() { Flag = false; }
    } reset{Drawing};
    if (FrameCount() == 1 || !(PaintOptions & poAnimated)) {
        Frame(0)->DrawFrame(ACanvas, R, (PaintOptions & poTiled) != 0, (PaintOptions & poTransparent) != 0);
        return;
    }
    if (CachedBitmap && !(PaintOptions & poPaintDirect)) {
        StretchOrTile(ACanvas, R, CachedBitmap.get());
        return;
    }
    std::unique_lock lk(PainterLock);
    if (DrawPainter && DrawPainter->Canvas == ACanvas && EqualRect(&DrawPainter->PaintRect, &R)) return;
    lk.unlock();
    StopDraw();
    TCanvas* target = ACanvas;
    RECT area = R;
    if (!(PaintOptions & poPaintDirect)) {
        TBitmap* buffer = GetBufferBitmap();
        area = RECT{0, 0, buffer->Width(), buffer->Height()};
        buffer->Canvas()->CopyRect(area, ACanvas, R);
        target = buffer->Canvas();
    }
    TGIFPainter* painter = Paint(target, area, PaintOptions);
    if (!painter) return;
    {
        std::lock_guard lk2(PainterLock);
        DrawPainter = painter;
        painter->PainterSlot = &DrawPainter;
    }
    painter->StartPainting();
    if (PaintOptions & poPaintDirect) return;
    for (;;) {
        {
            std::lock_guard lk2(PainterLock);
            if (!DrawPainter || DrawPainter->Terminated() || DrawPainter->HasPainted) break;
        }
        if (!PumpThreadWindow()) return;
        WaitForPainters();
    }
    if (CachedBitmap) StretchOrTile(ACanvas, R, CachedBitmap.get());
}

TGIFPainter* TGIFPicture::Paint(TCanvas* ACanvas, const RECT& R, TGIFPaintOptions Options) {
    if (Empty() || R.left >= R.right || R.top >= R.bottom) return nullptr;
    if (FrameCount() == 1) Options &= static_cast<TGIFPaintOptions>(~(poThreaded | poAnimated));
    auto* painter = new TGIFPainter(nullptr, Options, R, ACanvas, this);  // owned by the painter list
    {
        std::lock_guard lk(PainterLock);
        Painters.push_back(painter);
    }
    painter->Events = PainterEvents;
    if (Options & poThreaded) {
        painter->SetPriority(PainterPriority);
        return painter;
    }
    // A synchronous painter paints to the end here; its failure is raised once it is freed.
    std::unique_ptr<TGIFPainter> owned(painter);
    owned->Execute();
    owned->ReleasePainter();
    const bool failed = owned->Failed;
    const std::string message = owned->FailureMessage;
    owned.reset();
    if (failed) throw Exception(message);
    return nullptr;
}

void TGIFPicture::StopDraw() {
    for (;;) {
        bool threaded = false;
        {
            std::lock_guard lk(PainterLock);
            if (DrawPainter) {
                DrawPainter->StopPainting();
                threaded = DrawPainter->Threaded();
            }
        }
        if (!threaded) break;
        if (!PumpThreadWindow()) return;
        WaitForPainters();
    }
    std::lock_guard cache(CacheLock);
    CachedBitmap.reset();
}

void TGIFPicture::PaintStop() {
    for (;;) {
        int threaded = 0;
        {
            std::lock_guard lk(PainterLock);
            for (auto it = Painters.rbegin(); it != Painters.rend(); ++it) {
                (*it)->StopPainting();
                if ((*it)->Threaded()) ++threaded;
            }
        }
        if (threaded == 0) break;
        // The painters end by themselves once their synchronised calls are served.
        if (!PumpThreadWindow()) {
            // A quit is on its way: serve the rest without the queue's other messages.
            while (!Painters.empty()) {
                CheckSynchronize();
                WaitForPainters();
                CheckSynchronize();
                std::lock_guard lk(PainterLock);
                if (Painters.empty()) break;
            }
            break;
        }
        WaitForPainters();
    }
    std::lock_guard cache(CacheLock);
    CachedBitmap.reset();
}

// ---- Compaction ------------------------------------------------------------------------------------

void TGIFPicture::Compact(int Steps, TColorReduction Method, TDitherMode Dither, int Depth) {
    (void)Dither;
    (void)Depth;
    if (Empty()) return;
    PaintStop();
    std::lock_guard lk(PainterLock);
    ProgressScope progress(this, TGIFMessageId::Optimizing, false);
    const int count = FrameCount();
    if (Steps & goColorOptimize) {
        Header->GlobalMap->Compact();
        for (int i = 0; i < FrameCount(); ++i)
            if (Frame(i)->LocalColors->Count() > 0) Frame(i)->LocalColors->Compact();
    }
    if (Steps & goCleanup) {
        for (int i = 0; i < FrameCount(); ++i) {
            TGIFSubImage* f = Frame(i);
            if (f->IsTransparent && f->ControlBlock && !f->IsBlank()) {
                const BYTE t = f->TransparentIndex();
                bool used = false;
                for (std::int64_t k = 0; k < f->IndexDataSize && !used; ++k) used = f->IndexData[static_cast<std::size_t>(k)] == t;
                if (!used) f->ControlBlock->SetTransparentColorFlag(false);
            }
            if (f->ControlBlock && i + 1 < FrameCount()) {
                TGIFSubImage* next = Frame(i + 1);
                const int d = f->ControlBlock->DisposalMethod();
                RECT inter;
                const RECT a = f->FrameArea(), b = next->FrameArea();
                // Only when the next, opaque frame covers all of this one does its disposal not show.
                if ((d == 2 || d == 3) && !next->IsTransparent && IntersectRect(&inter, &a, &b) && EqualRect(&inter, &a))
                    f->ControlBlock->SetDisposalMethod(0);
            }
        }
    }
    if (Steps & goMerge) {
        for (int i = FrameCount() - 1; i >= 1; --i) {
            int j = i - 1;
            while (j > 0 && Frame(j)->ControlBlock && Frame(j)->ControlBlock->DisposalMethod() == 3) --j;
            Frame(i)->BlankUnchangedPixels(Frame(j));
        }
    }
    if (Steps & goCrop) {
        for (int i = FrameCount() - 1; i >= 0; --i) {
            TGIFSubImage* f = Frame(i);
            if (f->IsBlank() || !f->IsTransparent) continue;
            // The delay is read before the frame may be cleared, and frame 0's looping block is
            // taken out first so that it survives the frame.
            const int delay = f->FrameDelay();
            std::unique_ptr<TGIFItem> loop;
            if (i == 0)
                for (int k = 0; k < f->FrameExtensions->ItemCount() && !loop; ++k)
                    if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(f->FrameExtensions->ItemAt(k))) {
                        loop = f->FrameExtensions->Extract(l);
                        l->Frame = nullptr;
                    }
            f->TrimTransparentEdges();
            if (f->IsBlank()) {
                // The time the frame was shown goes to the frame before it, whatever that one is.
                if (i > 0 && delay > 0) {
                    TGIFSubImage* before = Frame(i - 1);
                    if (!before->ControlBlock) before->FrameExtensions->Append(std::make_unique<TGIFGraphicControlExtension>(before));
                    before->ControlBlock->SetDelayTime(std::min(before->FrameDelay() + delay, 0xFFFF));
                }
                Frames->FreeAt(i);
            }
            if (loop && FrameCount() > 0) PutLoopFirst(Frame(0), std::move(loop));
        }
    }
    if (Steps & goCleanup) {
        const int n = FrameCount();
        for (int i = FrameCount() - 1; i >= 0; --i) {
            TGIFSubImage* f = Frame(i);
            for (int k = f->FrameExtensions->ItemCount() - 1; k >= 0; --k) {
                TGIFItem* e = f->FrameExtensions->ItemAt(k);
                const bool loop = dynamic_cast<TGIFAppExtNSLoop*>(e) != nullptr;
                if (dynamic_cast<TGIFCommentExtension*>(e) || dynamic_cast<TGIFTextExtension*>(e) ||
                    dynamic_cast<TGIFUnknownAppExtension*>(e) || (loop && !(i == 0 && n >= 2))) {
                    f->FrameExtensions->FreeAt(k);
                    continue;
                }
                if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(e)) {
                    const int d = gce->DisposalMethod();
                    if ((gce->DelayTime() == 0 || n == 1) && !gce->TransparentColorFlag() && !gce->UserInputFlag() &&
                        (d == 0 || d == 1 || n == 1))
                        f->FrameExtensions->FreeAt(k);
                }
            }
            if (f->IsBlank() && f->FrameExtensions->ItemCount() == 0) Frames->FreeAt(i);
        }
    } else if ((Steps & goReduceColors) && Method == crCustomPalette) {
        RaiseGIFError(TGIFMessageId::InvalidReductionMethod);
    }
    (void)count;
    DiscardBitmap();
    Changed(this);
}
