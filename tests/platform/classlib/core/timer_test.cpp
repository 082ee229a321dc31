#include "platform/classlib/timer.h"

#include <gtest/gtest.h>

#include <memory>

#include "pump.h"

namespace {

using pumptest::PumpUntil;

TEST(TTimer, DefaultsAndTicksWhilePumping) {
    TComponent owner(nullptr);
    auto* t = new TTimer(&owner);
    EXPECT_TRUE(t->Enabled());
    EXPECT_EQ(t->Interval(), 1000u);
    EXPECT_FALSE(t->Running()) << "no OnTimer, no timer";
    int ticks = 0;
    TObject* sender = nullptr;
    t->SetInterval(10);
    t->OnTimer = [&](TObject* s) {
        ++ticks;
        sender = s;
    };
    EXPECT_TRUE(t->Running());
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(sender, t);
}

TEST(TTimer, NoTimerRunsWhenDisabledIntervalZeroOrNoHandler) {
    TTimer t(nullptr);
    int ticks = 0;
    t.SetInterval(5);
    t.OnTimer = [&](TObject*) { ++ticks; };
    struct Case {
        const char* what;
        std::function<void()> set;
        std::function<void()> undo;
    } cases[] = {
        {"disabled", [&] { t.SetEnabled(false); }, [&] { t.SetEnabled(true); }},
        {"interval 0", [&] { t.SetInterval(0); }, [&] { t.SetInterval(5); }},
        {"no handler", [&] { t.OnTimer = nullptr; }, [&] { t.OnTimer = [&](TObject*) { ++ticks; }; }},
    };
    for (auto& c : cases) {
        c.set();
        EXPECT_FALSE(t.Running()) << c.what;
        ticks = 0;
        int rounds = 0;
        // Several ticks of the pump's own 20 ms ticker: our timer would have fired many times.
        PumpUntil([&] { return ++rounds > 8; });
        EXPECT_EQ(ticks, 0) << c.what;
        c.undo();
        EXPECT_TRUE(t.Running()) << c.what;
        ASSERT_TRUE(PumpUntil([&] { return ticks > 0; })) << c.what << ": did not restart";
    }
}

TEST(TTimer, IntervalChangeRestartsWithTheNewInterval) {
    TTimer t(nullptr);
    int ticks = 0;
    t.SetInterval(60000);
    t.OnTimer = [&](TObject*) { ++ticks; };
    int rounds = 0;
    PumpUntil([&] { return ++rounds > 3; });
    EXPECT_EQ(ticks, 0);
    t.SetInterval(5);
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }));
}

TEST(TTimer, FreeingKillsTheTimerEvenWithATickPending) {
    int ticks = 0;
    auto t = std::make_unique<TTimer>(nullptr);
    t->SetInterval(1);
    t->OnTimer = [&](TObject*) { ++ticks; };
    HWND wnd = t->WindowHandle();
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }));
    Sleep(5);  // let the next tick fall due before the timer goes
    t.reset();
    EXPECT_FALSE(IsWindow(wnd));
    int before = ticks, rounds = 0;
    PumpUntil([&] { return ++rounds > 3; });
    EXPECT_EQ(ticks, before);
}

TEST(TTimer, HandlerMayDisableItsTimer) {
    TComponent owner(nullptr);
    auto* t = new TTimer(&owner);
    int ticks = 0;
    t->SetInterval(1);
    t->OnTimer = [&](TObject* s) {
        ++ticks;
        static_cast<TTimer*>(s)->SetEnabled(false);
    };
    ASSERT_TRUE(PumpUntil([&] { return ticks == 1; }));
    int rounds = 0;
    PumpUntil([&] { return ++rounds > 3; });
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

}  // namespace
