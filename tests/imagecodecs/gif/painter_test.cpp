// The animation painter on a test clock: passes, loops, delays, speeds, disposal methods, the five
// callbacks in order, restarts from a callback, failures, and stopping threaded painters while
// the message loop runs.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "gif_bytes.h"
#include "platform/win/winuser.h"

namespace giftest {
namespace {

// Time passes only when a painter waits: each wait moves the clock by what was asked.
class TestClock : public TGIFPainterClock {
public:
    DWORD Now() override { return T; }
    DWORD WaitWake(HANDLE event, DWORD ms) override {
        Record(ms);
        if (ms == INFINITE) return WaitForSingleObject(event, INFINITE);
        if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) return WAIT_OBJECT_0;
        T += ms;
        return WAIT_TIMEOUT;
    }
    void WaitQueue(DWORD ms) override {
        Record(ms);
        T += ms;
    }
    void Reset() {
        std::lock_guard lk(Lock);
        FWaits.clear();
    }
    std::vector<DWORD> Waits() {
        std::lock_guard lk(Lock);
        return FWaits;
    }

    std::atomic<DWORD> T{5000};

private:
    void Record(DWORD ms) {
        std::lock_guard lk(Lock);
        FWaits.push_back(ms);
    }
    std::mutex Lock;
    std::vector<DWORD> FWaits;
};

class Painter : public ::testing::Test {
protected:
    void SetUp() override {
        SetGIFPainterClock(&clock);
        // The first drawing makes the GDI's stock objects; they stay for the whole run.
        Make({1, 1}, {2, 3});
        picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poAnimated | poTransparent);
        picture.reset();
        target.reset();
        clock.Reset();
        objects = gdi::LiveObjectCount();
    }
    void TearDown() override {
        picture.reset();
        target.reset();
        SetGIFPainterClock(nullptr);
        EXPECT_EQ(gdi::LiveObjectCount(), objects);
    }

    // Three 4x4 frames of the grey indices 1, 2, 3 with the given delays and disposals.
    void Make(std::vector<int> delays, std::vector<int> disposals, const std::string& loopFrame0 = "",
              const std::string& loopFrame1 = "") {
        std::string gif = GifHeader(4, 4, 2);
        for (std::size_t i = 0; i < delays.size(); ++i) {
            if (i == 0) gif += loopFrame0;
            if (i == 1) gif += loopFrame1;
            gif += Gce(disposals[i], delays[i]);
            gif += ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, static_cast<std::uint8_t>(i + 1)), 2);
        }
        gif += ";";
        picture = std::make_unique<TGIFPicture>();
        TStringStream s(gif);
        picture->LoadFromStream(&s);
        target = std::make_unique<TBitmap>();
        target->SetSize(4, 4);
    }

    // Records the callbacks as letters: S start, F frame paint, A after frame paint (with the
    // frame number), R repeat, E end.
    void Record() {
        picture->PainterEvents.OnPaintStart = [this](TGIFPainter*) { Log("S"); };
        picture->PainterEvents.OnFramePaint = [this](TGIFPainter* p) { Log("F" + std::to_string(p->CurrentFrame)); };
        picture->PainterEvents.OnAfterFramePaint = [this](TGIFPainter* p) {
            Log("A" + std::to_string(p->CurrentFrame));
            if (afterFrame) afterFrame(p);
        };
        picture->PainterEvents.OnPaintRepeat = [this](TGIFPainter*) { Log("R"); };
        picture->PainterEvents.OnPaintEnd = [this](TGIFPainter*) { Log("E"); };
    }
    void Log(const std::string& s) {
        std::lock_guard lk(logLock);
        log += s + " ";
    }
    std::string Logged() {
        std::lock_guard lk(logLock);
        return log;
    }
    // Runs the message loop until the picture has no painter left.
    void PumpUntilDone() {
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            {
                std::lock_guard lk(picture->PainterLock);
                if (picture->Painters.empty()) return;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        }
    }
    // Runs the message loop until the condition holds.
    template <class F>
    void PumpUntil(F done) {
        while (!done()) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        }
    }

    TestClock clock;
    std::size_t objects = 0;
    std::unique_ptr<TGIFPicture> picture;
    std::unique_ptr<TBitmap> target;
    std::mutex logLock;
    std::string log;
    std::function<void(TGIFPainter*)> afterFrame;
};

constexpr TGIFPaintOptions kSync = poAnimated | poRepeat;
constexpr TGIFPaintOptions kThreaded = poThreaded | poAnimated | poRepeat;

TEST_F(Painter, SynchronousPassesDelaysAndCallbacksInOrder) {
    Make({1, 0, 5000}, {1, 1, 1}, LoopBlock(2));
    Record();
    EXPECT_EQ(picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kSync), nullptr);
    EXPECT_EQ(Logged(), "S F0 A0 F1 A1 F2 A2 R F0 A0 F1 A1 F2 A2 E ");
    // One unit before the first frame; 1 -> 3 units, 0 -> 10 units, 5000 -> 1000 units when synchronous.
    EXPECT_EQ(clock.Waits(), (std::vector<DWORD>{12, 36, 120, 12000, 36, 120}));
    EXPECT_TRUE(picture->Painters.empty());
}

TEST_F(Painter, SpeedScalesTheWaits) {
    struct Case {
        int Rate;
        std::vector<DWORD> Waits;
    };
    const Case cases[] = {
        {200, {6, 18, 60}},
        {50, {24, 72, 240}},
        {-1, {12000, 12000, 12000}},  // a negative speed: the longest wait on a synchronous painter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Rate);
        TestClock fresh;
        SetGIFPainterClock(&fresh);
        Make({1, 0, 7}, {0, 0, 0});
        picture->AnimationRate = c.Rate;
        picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kSync);
        EXPECT_EQ(fresh.Waits(), c.Waits);
        SetGIFPainterClock(&clock);
    }
}

TEST_F(Painter, LoopCountsRepeatOptionsAndTheLoopingFrame) {
    struct Case {
        std::string Loop0, Loop1;
        TGIFPaintOptions Options;
        std::string Frames;  // frames painted, in order
    };
    const Case cases[] = {
        {LoopBlock(3), "", kSync, "012012012"},
        {LoopBlock(0), "", kSync, "012"},                  // endless only on a threaded painter
        {LoopBlock(3), "", poAnimated, "012"},             // without poRepeat: once
        {"", LoopBlock(2), kSync, "01212"},                // later passes start at the looping frame
        {"", "", kSync, "012"},
        {"", "", 0, "0"},                                  // not animated: one frame
    };
    for (const Case& c : cases) {
        Make({2, 2, 2}, {1, 1, 1}, c.Loop0, c.Loop1);
        std::string frames;
        picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter* p) { frames += std::to_string(p->CurrentFrame); };
        picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, c.Options);
        EXPECT_EQ(frames, c.Frames) << c.Options;
    }
}

TEST_F(Painter, RepeatForeverAndCallbacksThatMoveOrStopThePainter) {
    Make({2, 2, 2}, {1, 1, 1});
    Record();
    int painted = 0;
    afterFrame = [&](TGIFPainter* p) {
        if (++painted == 7) p->StopPainting();
    };
    picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kSync | poRepeatForever);
    EXPECT_EQ(painted, 7);
    // Stopped painters deliver nothing more, not even the end.
    EXPECT_EQ(Logged().find("E"), std::string::npos);

    // A callback that sets CurrentFrame makes the painter go on from there without skipping it.
    Make({2, 2, 2}, {1, 1, 1});
    std::string frames;
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter* p) {
        frames += std::to_string(p->CurrentFrame);
        if (frames == "01") p->CurrentFrame = 0;
    };
    picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kSync);
    EXPECT_EQ(frames, "01012");
}

TEST_F(Painter, ASynchronousFailureIsRaisedByPaintOnceThePainterIsFreed) {
    Make({2, 2, 2}, {1, 1, 1});
    picture->PainterEvents.OnFramePaint = [](TGIFPainter* p) {
        if (p->CurrentFrame == 1) throw Exception("frame refused");
    };
    try {
        picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kSync);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "frame refused");
    }
    EXPECT_TRUE(picture->Painters.empty());
}

// The composite shown after each frame, as grey levels of the four corners' 2x2 quarters.
TEST_F(Painter, DisposalMethodsComposeTheFrames) {
    // Screen 4x4, global greys 0, 85, 170, 255, background index 0. Frame 0 fills the screen with
    // 1; frame 1 (2x2 at 0,0) draws 2; frame 2 (2x2 at 2,2) draws 3.
    auto build = [&](int disposal1, TColor backdrop) {
        std::string gif = GifHeader(4, 4, 2);
        gif += Gce(1, 2) + ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 2);
        gif += Gce(disposal1, 2) + ImageBlock(0, 0, 2, 2, std::vector<std::uint8_t>(4, 2), 2);
        gif += Gce(1, 2) + ImageBlock(2, 2, 2, 2, std::vector<std::uint8_t>(4, 3), 2);
        gif += ";";
        picture = std::make_unique<TGIFPicture>();
        TStringStream s(gif);
        picture->LoadFromStream(&s);
        picture->BackdropColor = backdrop;
        target = std::make_unique<TBitmap>();
        target->SetSize(4, 4);
    };
    auto grey = [&](int x, int y) { return static_cast<int>(gdi::BitmapPixel(target->Handle(), x, y) & 0xFF); };
    struct Case {
        int Disposal;
        std::vector<std::string> Shown;  // top-left, bottom-right quarters after each frame
        bool Buffered;
    };
    const Case cases[] = {
        {0, {"85 85", "170 85", "170 255"}, false},
        {1, {"85 85", "170 85", "170 255"}, false},
        {2, {"85 85", "170 85", "16 255"}, true},  // restored to the backdrop (grey 16)
        {3, {"85 85", "170 85", "85 255"}, true},  // restored to what was there before frame 1
        {5, {"85 85", "170 85", "170 255"}, false},  // 4-7 read as "keep"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Disposal);
        build(c.Disposal, 0x101010);
        std::vector<std::string> shown;
        bool buffered = false;
        picture->PainterEvents.OnPaintStart = [&](TGIFPainter* p) { buffered = p->CompositeBuffer != nullptr; };
        picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) {
            shown.push_back(std::to_string(grey(0, 0)) + " " + std::to_string(grey(3, 3)));
        };
        picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poAnimated);
        EXPECT_EQ(shown, c.Shown);
        EXPECT_EQ(buffered, c.Buffered);
    }
}

TEST_F(Painter, ThreadedLoopsUntilStoppedWithUnclampedDelays) {
    Make({5000, 1, 0}, {1, 1, 1}, LoopBlock(0));
    Record();
    std::atomic<int> painted{0};
    afterFrame = [&](TGIFPainter*) { ++painted; };
    // The painter thread builds the frames' bitmaps; their reports arrive on this thread.
    const std::thread::id self = std::this_thread::get_id();
    int rendering = 0, elsewhere = 0;
    picture->OnProgress = [&](TObject*, TProgressStage stage, BYTE, bool, const RECT&, const std::string& m) {
        if (std::this_thread::get_id() != self) ++elsewhere;
        if (m == "Rendering..." && stage == psStarting) ++rendering;
    };
    TGIFPainter* painter = picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kThreaded);
    ASSERT_NE(painter, nullptr);
    painter->StartPainting();
    PumpUntil([&] { return painted >= 8; });
    {
        std::lock_guard lk(picture->PainterLock);
        for (TGIFPainter* p : picture->Painters) p->StopPainting();
    }
    PumpUntilDone();
    EXPECT_GE(painted.load(), 8);
    const std::vector<DWORD> waits = clock.Waits();
    // The first frame has no wait; then 5000 units are 60 s on a threaded painter.
    ASSERT_GE(waits.size(), 5u);
    EXPECT_EQ(waits[0], 60000u);
    EXPECT_EQ(waits[1], 36u);
    EXPECT_EQ(waits[2], 120u);
    EXPECT_EQ(waits[3], 60000u);
    EXPECT_EQ(Logged().substr(0, 12), "S F0 A0 F1 A");
    EXPECT_EQ(rendering, 3);  // each frame built once: frame 0 here, frames 1 and 2 by the painter
    EXPECT_EQ(elsewhere, 0);
}

TEST_F(Painter, ThreadedSpeedZeroWaitsForTheStopAndNegativeSpeedDoesNotWait) {
    Make({2, 2, 2}, {1, 1, 1});
    picture->AnimationRate = 0;
    std::atomic<int> painted{0};
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) { ++painted; };
    TGIFPainter* painter = picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, kThreaded);
    ASSERT_NE(painter, nullptr);
    painter->StartPainting();
    PumpUntil([&] { return clock.Waits() == std::vector<DWORD>{INFINITE}; });
    EXPECT_EQ(painted.load(), 1);
    picture->PaintStop();
    EXPECT_TRUE(picture->Painters.empty());
    EXPECT_EQ(painted.load(), 1);

    TestClock fresh;
    SetGIFPainterClock(&fresh);
    Make({2, 2, 2}, {1, 1, 1});
    picture->AnimationRate = -1;
    std::string frames;
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter* p) { frames += std::to_string(p->CurrentFrame); };
    painter = picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poThreaded | poAnimated);
    painter->StartPainting();
    PumpUntilDone();
    EXPECT_EQ(frames, "012");
    EXPECT_TRUE(fresh.Waits().empty());
    SetGIFPainterClock(&clock);
}

TEST_F(Painter, DrawingAnAnimationStartsAPainterAndFreeingThePictureStopsIt) {
    Make({2, 2, 2}, {1, 1, 1}, LoopBlock(0));
    picture->PaintOptions = GIFDefaultPaintOptions;  // threaded, animated, repeating
    TBitmap canvas;
    canvas.SetSize(8, 8);
    canvas.Canvas()->StretchDraw(RECT{0, 0, 8, 8}, picture.get());
    // The draw waited for the first frame: it shows grey 85 stretched over the whole target.
    EXPECT_EQ(gdi::BitmapPixel(canvas.Handle(), 0, 0) & 0xFFFFFF, 0x555555u);
    EXPECT_EQ(gdi::BitmapPixel(canvas.Handle(), 7, 7) & 0xFFFFFF, 0x555555u);
    {
        std::lock_guard lk(picture->PainterLock);
        EXPECT_EQ(picture->Painters.size(), 1u);
        EXPECT_NE(picture->DrawPainter, nullptr);
    }
    picture.reset();  // stops the running painter; the fixture checks that nothing was left behind
}

TEST_F(Painter, OneFramePicturesAreDrawnWithoutAPainter) {
    picture = std::make_unique<TGIFPicture>();
    std::string gif = GifHeader(2, 2, 2) + ImageBlock(0, 0, 2, 2, {1, 1, 1, 1}, 2) + ";";
    TStringStream s(gif);
    picture->LoadFromStream(&s);
    TBitmap canvas;
    canvas.SetSize(2, 2);
    canvas.Canvas()->Draw(0, 0, picture.get());
    EXPECT_EQ(gdi::BitmapPixel(canvas.Handle(), 1, 1) & 0xFFFFFF, 0x555555u);
    EXPECT_TRUE(picture->Painters.empty());
    EXPECT_EQ(picture->Paint(canvas.Canvas(), RECT{0, 0, 2, 2}, GIFDefaultPaintOptions), nullptr);
}

}  // namespace
}  // namespace giftest

namespace giftest {
namespace {

TEST_F(Painter, AVanishedCanvasEndsACheckingPainterSilently) {
    Make({2, 2, 2}, {2, 2, 2});
    std::string frames;
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter* p) {
        frames += std::to_string(p->CurrentFrame);
        // The bitmap's canvas lets its device context go: the painter's remembered one is gone.
        static_cast<TBitmapCanvas*>(target->Canvas())->Release();
    };
    picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poAnimated | poCheckCanvas);
    EXPECT_EQ(frames, "0");
    frames.clear();
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter* p) { frames += std::to_string(p->CurrentFrame); };
    picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poAnimated | poCheckCanvas);
    EXPECT_EQ(frames, "012");
}

}  // namespace
}  // namespace giftest

namespace giftest {
namespace {

TEST_F(Painter, TransparentPaintingRestoresWhatTheCanvasShowedBefore) {
    std::string gif = GifHeader(4, 4, 2);
    gif += Gce(2, 2) + ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 2);
    gif += Gce(1, 2) + ImageBlock(0, 0, 2, 2, std::vector<std::uint8_t>(4, 2), 2) + ";";
    picture = std::make_unique<TGIFPicture>();
    TStringStream s(gif);
    picture->LoadFromStream(&s);
    picture->BackdropColor = 0x101010;
    target = std::make_unique<TBitmap>();
    target->SetSize(4, 4);
    target->Canvas()->Brush()->SetColor(clRed);
    target->Canvas()->FillRect(RECT{0, 0, 4, 4});
    std::vector<std::string> shown;
    auto at = [&](int x, int y) { return gdi::BitmapPixel(target->Handle(), x, y) & 0xFFFFFF; };
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) {
        shown.push_back(std::to_string(at(0, 0)) + " " + std::to_string(at(3, 3)));
    };
    picture->Paint(target->Canvas(), RECT{0, 0, 4, 4}, poAnimated | poTransparent);
    // Frame 0 is restored to the red the canvas had, not to the backdrop.
    EXPECT_EQ(shown, (std::vector<std::string>{std::to_string(0x555555) + " " + std::to_string(0x555555),
                                               std::to_string(0xAAAAAA) + " " + std::to_string(0x0000FF)}));
}

}  // namespace
}  // namespace giftest

namespace giftest {
namespace {

TEST_F(Painter, TiledRestoreToBackgroundFillsWithTheScreensBackgroundColour) {
    // Screen 4x4 with the global greys 0, 85, 170, 255 and background index 2; no backdrop colour
    // set. Frame 0 fills the screen with 85; frame 1 (2x2 at 0,0, white) restores to the
    // background; frame 2 (2x2 at 2,2, black) stays. Tiled twice over an 8x8 target.
    std::string gif = GifHeader(4, 4, 2, "89a", 2);
    gif += Gce(1, 2) + ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 2);
    gif += Gce(2, 2) + ImageBlock(0, 0, 2, 2, std::vector<std::uint8_t>(4, 3), 2);
    gif += Gce(1, 2) + ImageBlock(2, 2, 2, 2, std::vector<std::uint8_t>(4, 0), 2) + ";";
    picture = std::make_unique<TGIFPicture>();
    TStringStream s(gif);
    picture->LoadFromStream(&s);
    ASSERT_EQ(picture->BackdropColor, clNone);
    target = std::make_unique<TBitmap>();
    target->SetSize(8, 8);
    auto grey = [&](int x, int y) { return static_cast<int>(gdi::BitmapPixel(target->Handle(), x, y) & 0xFFFFFF); };
    std::vector<std::vector<int>> shown;
    picture->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) {
        shown.push_back({grey(0, 0), grey(5, 5), grey(2, 2), grey(6, 7), grey(0, 3)});
    };
    picture->Paint(target->Canvas(), RECT{0, 0, 8, 8}, poAnimated | poTiled);
    const std::vector<std::vector<int>> want = {
        {0x555555, 0x555555, 0x555555, 0x555555, 0x555555},
        {0xFFFFFF, 0xFFFFFF, 0x555555, 0x555555, 0x555555},
        {0xAAAAAA, 0xAAAAAA, 0x000000, 0x000000, 0x555555},  // frame 1's tiles restored to grey 170
    };
    EXPECT_EQ(shown, want);
}

}  // namespace
}  // namespace giftest
