// Message queues, windows and timers.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "platform/win/msgwait.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM w;
};
thread_local std::vector<Seen>* g_seen = nullptr;

LRESULT RecordProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (g_seen && m >= WM_USER) g_seen->push_back({h, m, w});
    if (m == WM_TIMER && g_seen) g_seen->push_back({h, m, w});
    return DefWindowProcA(h, m, w, l);
}

void EnsureClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, "QueueTestClass", &wc)) return;
    wc.lpfnWndProc = RecordProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = "QueueTestClass";
    ASSERT_NE(RegisterClassA(&wc), 0);
}

HWND MakeWindow() {
    EnsureClass();
    return CreateWindowExA(0, "QueueTestClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

// Takes every message that is ready now and dispatches it.
int Drain() {
    MSG m;
    int n = 0;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) break;
        DispatchMessageA(&m);
        ++n;
    }
    return n;
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        Drain();
        g_seen = &seen;
    }
    void TearDown() override { g_seen = nullptr; }
    std::vector<Seen> seen;
};

TEST_F(QueueTest, PostedMessagesArriveInOrderAndPeekWithoutRemoveLeavesThem) {
    HWND a = MakeWindow(), b = MakeWindow();
    ASSERT_TRUE(a && b);
    for (WPARAM i = 0; i < 5; ++i) ASSERT_TRUE(PostMessageA(i % 2 ? a : b, WM_USER + 1, i, 0));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 0u);
    // a window filter takes the first message of that window only
    ASSERT_TRUE(PeekMessageA(&m, a, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(Drain(), 5);
    ASSERT_EQ(seen.size(), 5u);
    for (WPARAM i = 0; i < 5; ++i) {
        EXPECT_EQ(seen[i].w, i);
        EXPECT_EQ(seen[i].hwnd, i % 2 ? a : b);
    }
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(QueueTest, HandlesAreNeverReusedAndMessagesForDeadWindowsAreDropped) {
    std::set<HWND> handles;
    HWND first = MakeWindow();
    PostMessageA(first, WM_USER + 2, 1, 0);
    HWND live = MakeWindow();
    PostMessageA(live, WM_USER + 2, 2, 0);
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(PostMessageA(first, WM_USER + 2, 3, 0));
    EXPECT_EQ(SendMessageA(first, WM_USER + 2, 4, 0), 0);
    for (int i = 0; i < 50; ++i) {
        HWND h = MakeWindow();
        EXPECT_NE(h, first);
        EXPECT_TRUE(handles.insert(h).second);
        DestroyWindow(h);
    }
    Drain();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].hwnd, live);
    DestroyWindow(live);
}

TEST_F(QueueTest, WindowLongSlotHoldsAPointer) {
    HWND h = MakeWindow();
    int object = 0;
    EXPECT_EQ(SetWindowLongA(h, 0, reinterpret_cast<LONG_PTR>(&object)), 0);
    EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongA(h, 0)), &object);
    EXPECT_EQ(SetWindowLongA(h, 8, 1), 0);  // beyond the class's extra bytes
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DestroyWindow(h);
}

TEST_F(QueueTest, QuitComesAfterPostedMessagesAndEndsGetMessage) {
    HWND h = MakeWindow();
    PostMessageA(h, WM_USER + 3, 7, 0);
    PostQuitMessage(42);
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 3);
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 42u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // taken once only
    // a filtered peek still sees a quit
    PostQuitMessage(1);
    EXPECT_TRUE(PeekMessageA(&m, h, 0x8FFE, 0x8FFF, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    DestroyWindow(h);
}

TEST_F(QueueTest, TimersAreLowPriorityAndNeverPileUp) {
    HWND h = MakeWindow();
    ASSERT_EQ(SetTimer(h, 5, 10, nullptr), 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // several intervals pass unserved
    PostMessageA(h, WM_USER + 4, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 4);  // posted before timer
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // one pending, not one per interval
    // GetMessage waits for the next tick
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_TRUE(KillTimer(h, 5));
    EXPECT_FALSE(KillTimer(h, 5));
    DestroyWindow(h);
}

TEST_F(QueueTest, DestroyingAWindowKillsItsTimers) {
    HWND h = MakeWindow();
    SetTimer(h, 1, 1, nullptr);
    DestroyWindow(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, PostFromAnotherThreadWakesTheWaitingThread) {
    HWND h = MakeWindow();
    constexpr int kPosts = 200;
    std::thread poster([h] {
        for (int i = 0; i < kPosts; ++i) PostMessageA(h, WM_USER + 5, static_cast<WPARAM>(i), 0);
    });
    MSG m;
    int got = 0;
    while (got < kPosts && GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_USER + 5) {
            EXPECT_EQ(m.wParam, static_cast<WPARAM>(got));
            ++got;
        }
    }
    poster.join();
    EXPECT_EQ(got, kPosts);
    DestroyWindow(h);
}

TEST_F(QueueTest, SendFromAnotherThreadIsServedByThePump) {
    HWND h = MakeWindow();
    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = SendMessageA(h, WM_USER + 6, 9, 0); });
    // the reply comes only when this thread pumps
    while (result == -1) {
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        else std::this_thread::yield();
    }
    sender.join();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].w, 9u);
    DestroyWindow(h);
}

TEST_F(QueueTest, ReadyDescriptorCallsItsWatchFromTheWait) {
    HWND h = MakeWindow();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    int id = 0;
    id = win::WatchFd(h, fds[0], POLLIN, [&](int fd, short ev) {
        EXPECT_EQ(fd, fds[0]);
        EXPECT_TRUE(ev & POLLIN);
        ++calls;
        win::SetFdEvents(id, 0);  // level-triggered: suspend until re-armed
        PostMessageA(h, WM_USER + 7, 0, 0);
    });
    ASSERT_GT(id, 0);
    std::thread writer([&] { ASSERT_EQ(write(fds[1], "x", 1), 1); });
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 7);
    writer.join();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    win::SetFdEvents(id, POLLIN);  // still readable: fires again on a peek
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(calls, 2);
    win::UnwatchFd(id);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(calls, 2);
    close(fds[0]);
    close(fds[1]);
    DestroyWindow(h);
}

TEST(Kernel, EventsSignalAcrossThreads) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE autoEv = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    std::thread t([&] {
        SetEvent(manual);
        SetEvent(autoEv);
    });
    EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays set
    EXPECT_EQ(WaitForSingleObject(autoEv, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEv, 0), WAIT_TIMEOUT);  // reset by the wait
    t.join();
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(autoEv));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
}

TEST(Kernel, LastErrorIsPerThread) {
    SetLastError(5);
    std::thread t([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(7);
    });
    t.join();
    EXPECT_EQ(GetLastError(), 5u);
}

}  // namespace
