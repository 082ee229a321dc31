// The animation painter: steps through a picture's frames with their delays, disposal methods and
// the looping block, drawing straight onto the canvas or through a composite buffer, and reports
// through five callbacks. A threaded painter runs its loop on its own thread and draws and calls
// back on the user-interface thread.
#include <algorithm>
#include <cmath>
#include <thread>

#include "imagecodecs/GifPicture.h"
#include "imagecodecs/GifPicture/painterthread.h"

// ---- Threads and clock -----------------------------------------------------------------------------

namespace gifpainter {
namespace {
thread_local bool tPainterThread = false;
thread_local bool tChangeNoted = false;
}  // namespace

bool OnPainterThread() { return tPainterThread; }
void MarkPainterThread(bool on) { tPainterThread = on; }
void NoteChange() { tChangeNoted = true; }
bool TakeChange() {
    const bool noted = tChangeNoted;
    tChangeNoted = false;
    return noted;
}

}  // namespace gifpainter

DWORD TGIFPainterClock::Now() { return GetTickCount(); }
DWORD TGIFPainterClock::WaitWake(HANDLE event, DWORD ms) { return WaitForSingleObject(event, ms); }
void TGIFPainterClock::WaitQueue(DWORD ms) { MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT); }

namespace {
TGIFPainterClock gSystemClock;
std::atomic<TGIFPainterClock*> gClock{&gSystemClock};

// Bitmap of the rectangle's size with a solid brush, optionally holding what the canvas shows there.
std::unique_ptr<TBitmap> MakeBuffer(int w, int h, TColor brush, TCanvas* copyFrom, const RECT& area) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(brush);
    b->Canvas()->Brush()->SetStyle(bsSolid);
    b->Canvas()->CopyMode = cmSrcCopy;
    if (copyFrom)
        b->Canvas()->CopyRect(RECT{0, 0, w, h}, copyFrom, area);
    else
        b->Canvas()->FillRect(RECT{0, 0, w, h});
    return b;
}

int ReadDisposal(int method) { return method >= 4 ? 1 : method; }
}  // namespace

void SetGIFPainterClock(TGIFPainterClock* clock) { gClock = clock ? clock : &gSystemClock; }
TGIFPainterClock* GIFPainterClock() { return gClock; }

// ---- Construction ----------------------------------------------------------------------------------

TGIFPainter::TGIFPainter(TGIFPainter** slot, TGIFPaintOptions options, const RECT& rect, TCanvas* canvas,
                         TGIFPicture* image)
    : TThread(true), PainterSlot(slot), Image(image), Canvas(canvas), PaintRect(rect), Options(options),
      Speed(image->AnimationRate) {
    if (PainterSlot) *PainterSlot = this;
    if ((Options & poThreaded) && (Options & poAnimated) && image->FrameCount() > 1 && Speed >= 0)
        WakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (image->BackdropColor != clNone)
        Backdrop = ColorToRGB(image->BackdropColor);
    else if (image->GetGlobalColorMap()->Count() == 0)
        Backdrop = ColorToRGB(clWindow);
    else
        Backdrop = image->ScreenBackground();
    bool restoreBackground = (Options & poEraseOnRepeat) != 0, restorePrevious = false;
    for (int i = 0; i < image->FrameCount(); ++i)
        if (TGIFGraphicControlExtension* gce = image->Frame(i)->ControlBlock) {
            const int d = ReadDisposal(gce->DisposalMethod());
            restoreBackground |= d == 2;
            restorePrevious |= d == 3;
        }
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (restoreBackground && (Options & poTransparent)) BackgroundCopy = MakeBuffer(w, h, Backdrop, canvas, rect);
    if (restoreBackground || restorePrevious) {
        CompositeBuffer = MakeBuffer(w, h, Backdrop, canvas, rect);
        PreviousFrameBuffer = MakeBuffer(w, h, Backdrop, nullptr, rect);
    }
    if (Options & poThreaded) {
        FreeOnTerminate = true;
        OnTerminate = [this](TObject*) { ReleasePainter(); };
    }
}

TGIFPainter::~TGIFPainter() {
    if (WakeEvent) CloseHandle(WakeEvent);
    WakeEvent = nullptr;
}

void TGIFPainter::StartPainting() {
    if (Threaded()) Resume();
}

void TGIFPainter::StopPainting() {
    Terminate();
    if (!Threaded()) return;
    if (WakeEvent) SetEvent(WakeEvent);
    SetPriority(TThreadPriority::tpNormal);
    if (Suspended()) Resume();
}

void TGIFPainter::ReleasePainter() {
    if (TGIFPicture* image = Image) {
        std::lock_guard lk(image->PainterLock);
        if (PainterSlot && *PainterSlot == this) *PainterSlot = nullptr;
        auto& list = image->Painters;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    Image = nullptr;
    CompositeBuffer.reset();
    PreviousFrameBuffer.reset();
    BackgroundCopy.reset();
}

// ---- Synchronisation -------------------------------------------------------------------------------

void TGIFPainter::RunSynchronized(const std::function<void()>& method) {
    if (Terminated()) return;
    if (Threaded())
        TThread::Synchronize(this, method);
    else
        method();
}

void TGIFPainter::Fire(const TGIFPainterEvent& event) {
    if (!event) return;
    RunSynchronized([&] { event(this); });
}

// ---- The body --------------------------------------------------------------------------------------

void TGIFPainter::Execute() {
    // Everything this thread does to the picture stays quiet until it is handed over.
    struct Mark {
        bool On;
        explicit Mark(bool on) : On(on) {
            if (On) gifpainter::MarkPainterThread(true);
        }
        ~Mark() {
            if (On) gifpainter::MarkPainterThread(false);
        }
    } mark(Threaded());
    try {
        if (!Image) return;
        if (Options & poCheckCanvas) CanvasDC = Canvas->Handle();
        RestartRequested = true;
        while (RestartRequested && !Terminated()) {
            CurrentFrame = 0;
            Fire(Events.OnPaintStart);
            HasPainted = false;
            RestartRequested = false;
            int passes = 1;
            int startFrame = 0;
            bool loopSeen = false;
            int delay = Threaded() ? 0 : 1;
            LastDisposal = 1;
            DWORD stamp = GIFPainterClock()->Now();
            int lastWait = 0;
            while ((passes != 0 || (Options & poRepeatForever)) && !Terminated() && !RestartRequested) {
                CurrentFrame = startFrame;
                if (HasPainted) Fire(Events.OnPaintRepeat);
                do {
                    if (!Image || CurrentFrame < 0 || CurrentFrame >= Image->FrameCount() || Terminated() || RestartRequested)
                        break;
                    TGIFSubImage* frame = Image->Frame(CurrentFrame);
                    if (frame->IsBlank()) break;
                    WaitDelay(delay, stamp, lastWait);
                    if (Terminated()) break;
                    Fire(Events.OnFramePaint);
                    if (Terminated()) break;
                    FrameDisposal = 1;
                    for (int i = 0; i < frame->FrameExtensions->ItemCount(); ++i) {
                        TGIFItem* e = frame->FrameExtensions->ItemAt(i);
                        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(e)) {
                            if (loopSeen) continue;
                            loopSeen = true;
                            passes = ((loop->LoopCount == 0 || (Options & poRepeatForever)) && Threaded()) ? -1 : loop->LoopCount;
                            startFrame = CurrentFrame;
                        } else if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(e)) {
                            FrameDisposal = static_cast<BYTE>(ReadDisposal(gce->DisposalMethod()));
                        }
                    }
                    if (CompositeBuffer)
                        RunSynchronized([this] { PaintBuffered(); });
                    else
                        RunSynchronized([this] { PaintPlain(); });
                    LastDisposal = FrameDisposal;
                    if (Terminated()) break;
                    delay = 10;
                    if (frame->ControlBlock && frame->ControlBlock->DelayTime() != 0) {
                        delay = frame->ControlBlock->DelayTime();
                        if (delay < 3) delay = 3;
                        if (delay > 1000 && !Threaded()) delay = 1000;
                    }
                    const int remembered = CurrentFrame;
                    Fire(Events.OnAfterFramePaint);
                    if (Terminated()) break;
                    if (CurrentFrame == remembered) ++CurrentFrame;
                } while (Options & poAnimated);
                if (passes > 0) --passes;
                if (!((Options & poAnimated) && (Options & poRepeat))) break;
            }
        }
        CurrentFrame = -1;
        Fire(Events.OnPaintEnd);
    } catch (const Exception& e) {
        Terminate();
        Failed = true;
        FailureMessage = e.Message;
    } catch (const std::exception& e) {
        // Nothing may leave the painter's thread.
        Terminate();
        Failed = true;
        FailureMessage = e.what();
    }
}

// ---- Waiting ---------------------------------------------------------------------------------------

void TGIFPainter::WaitDelay(int delay, DWORD& stamp, int& lastWait) {
    TGIFPainterClock* clock = GIFPainterClock();
    if (delay < 1) {
        std::this_thread::yield();
        return;
    }
    // The frame's bitmap is built now, so that drawing it is only a copy.
    if (Image && CurrentFrame >= 0 && CurrentFrame < Image->FrameCount()) {
        Image->Frame(CurrentFrame)->GetFrameBitmap();
        if (gifpainter::TakeChange()) RunSynchronized([this] {
                if (Image) Image->Changed(Image);
            });
    }
    const DWORD t = clock->Now();
    std::int64_t wait;
    if (Speed < 1) {
        wait = Threaded() ? -1 : 1000 * GIFDelayUnit;
    } else {
        const std::int64_t overshoot = static_cast<std::int64_t>(static_cast<std::int32_t>(t - stamp)) - lastWait;
        const std::int64_t planned = static_cast<std::int64_t>(delay) * GIFDelayUnit - overshoot / 2;
        const double scaled = std::round(static_cast<double>(planned) * 100.0 / Speed);
        if (scaled < -2147483647.0 || scaled > 2147483647.0) {
            wait = 1000 * GIFDelayUnit;
            lastWait = 0;
        } else {
            wait = static_cast<std::int64_t>(scaled);
            lastWait = static_cast<int>(wait);
        }
    }
    stamp = t;
    LastPlannedWait = wait < 0 ? INFINITE : static_cast<DWORD>(wait);
    if (Threaded()) {
        if ((wait > 0 || Speed == 0) && WakeEvent) {
            const DWORD r = clock->WaitWake(WakeEvent, wait < 0 ? INFINITE : static_cast<DWORD>(wait));
            if (r == WAIT_OBJECT_0) {
                lastWait = 0;
                stamp = clock->Now();
            }
        }
        return;
    }
    // Synchronous: the caller's queue keeps moving while the time passes.
    const std::int64_t total = std::max<std::int64_t>(wait, 1);
    const DWORD start = clock->Now();
    std::int64_t remaining = total;
    while (remaining > 0 && !Terminated() && !RestartRequested) {
        clock->WaitQueue(static_cast<DWORD>(remaining));
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                Terminate();
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        remaining = total - static_cast<std::int32_t>(clock->Now() - start);
    }
}

// ---- Drawing ---------------------------------------------------------------------------------------

void TGIFPainter::PaintPlain() {
    if (!Image) return;
    Image->Frame(CurrentFrame)->DrawFrame(Canvas, PaintRect, (Options & poTiled) != 0, (Options & poTransparent) != 0);
    HasPainted = true;
}

void TGIFPainter::RestoreFrameArea(TGIFSubImage* frame, TBitmap* target) {
    const RECT area{0, 0, target->Width(), target->Height()};
    const int sw = std::max(Image->Width(), 1), sh = std::max(Image->Height(), 1);
    auto eachTile = [&](auto&& f) {
        for (int y = area.top + frame->Top(); y < area.bottom; y += sh)
            for (int x = area.left + frame->Left(); x < area.right; x += sw)
                f(RECT{x, y, x + frame->Width(), y + frame->Height()});
    };
    TCanvas* c = target->Canvas();
    if ((Options & poTransparent) && BackgroundCopy) {
        TCanvas* from = BackgroundCopy->Canvas();
        if (Options & poTiled)
            eachTile([&](const RECT& r) { c->CopyRect(r, from, r); });
        else {
            const RECT r = frame->ScaledFrameRect(area);
            c->CopyRect(r, from, r);
        }
        return;
    }
    c->Brush()->SetColor(Backdrop);
    c->Brush()->SetStyle(bsSolid);
    if ((Options & poTiled) && frame->Width() != Image->Width() && frame->Height() != Image->Height())
        eachTile([&](const RECT& r) { c->FillRect(r); });
    else
        c->FillRect(frame->ScaledFrameRect(area));
}

void TGIFPainter::PaintBuffered() {
    if (!Image) return;
    if ((Options & poCheckCanvas) && GetObjectType(reinterpret_cast<HGDIOBJ>(CanvasDC)) == 0) {
        Terminate();
        return;
    }
    TGIFSubImage* frame = Image->Frame(CurrentFrame);
    const int w = PaintRect.right - PaintRect.left, h = PaintRect.bottom - PaintRect.top;
    const RECT bufferArea{0, 0, w, h};
    TCanvas* target = nullptr;
    RECT targetArea = bufferArea;
    TBitmap* shown = nullptr;
    switch (FrameDisposal) {
        case 0:
        case 1:
        case 2:
            target = CompositeBuffer->Canvas();
            shown = CompositeBuffer.get();
            break;
        case 3:
            if (LastDisposal == 0 || LastDisposal == 1) {
                target = Canvas;
                targetArea = PaintRect;
            } else {
                PreviousFrameBuffer->Canvas()->CopyRect(bufferArea, CompositeBuffer->Canvas(), bufferArea);
                target = PreviousFrameBuffer->Canvas();
                shown = PreviousFrameBuffer.get();
            }
            break;
        default:
            return;
    }
    HDC dc = target->Handle();
    HPALETTE palette = frame->GetFramePalette();
    HPALETTE system16 = nullptr;
    if (!palette) {
        PALETTEENTRY e[20];
        GetSystemPaletteEntries(nullptr, 0, 20, e);
        PALETTEENTRY sixteen[16];
        std::copy_n(e, 8, sixteen);
        std::copy_n(e + 12, 8, sixteen + 8);
        palette = system16 = MakeLogPalette(sixteen, 16);
    }
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
    if ((Options & poEraseOnRepeat) && CurrentFrame == 0) RestoreFrameArea(frame, CompositeBuffer.get());
    frame->DrawFrame(target, targetArea, (Options & poTiled) != 0, (Options & poTransparent) != 0);
    SelectPalette(dc, old, FALSE);
    if (system16) DeleteObject(ToGdiObj(system16));
    if (shown) Canvas->CopyRect(PaintRect, shown->Canvas(), bufferArea);
    if (FrameDisposal == 2) RestoreFrameArea(frame, CompositeBuffer.get());
    HasPainted = true;
}
