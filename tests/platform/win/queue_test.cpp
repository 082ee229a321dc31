// Message queues, windows and timers.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <set>
#include <string>
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

// A queue that never runs dry still serves a ready descriptor: each message dispatched posts
// the next one, and the watch must get its turn among them.
TEST_F(QueueTest, AReadyDescriptorIsServedWhileTheQueueNeverRunsDry) {
    HWND h = MakeWindow();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    bool fired = false;
    int id = win::WatchFd(h, fds[0], 0, [&](int, short) {
        fired = true;
        win::SetFdEvents(id, 0);
    });
    ASSERT_GT(id, 0);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // the look that found nothing polled
    PostMessageA(h, WM_USER + 1, 0, 0);
    win::SetFdEvents(id, POLLIN);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    long taken = 0;
    while (!fired && std::chrono::steady_clock::now() < limit) {
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // never empty: one is always queued
        PostMessageA(h, WM_USER + 1, 0, 0);
        ++taken;
    }
    EXPECT_TRUE(fired) << "after " << taken << " messages";
    win::UnwatchFd(id);
    Drain();
    close(fds[0]);
    close(fds[1]);
    DestroyWindow(h);
}

// Runs fn on a thread of its own; a run that does not end within limitMs (a deadlock) ends the
// test program, so the fault fails the test instead of hanging it.
void RunBounded(const std::function<void()>& fn, int limitMs = 10000) {
    auto task = std::async(std::launch::async, fn);
    if (task.wait_for(std::chrono::milliseconds(limitMs)) != std::future_status::ready) {
        std::fprintf(stderr, "still waiting after %d ms: deadlock\n", limitMs);
        std::_Exit(1);
    }
    task.get();
}

constexpr UINT kPing = WM_USER + 30;

LRESULT PingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kPing) return static_cast<LRESULT>(w) + 1;
    return DefWindowProcA(h, m, w, l);
}

HWND MakePingWindow() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "QueuePingClass", &wc)) {
        wc.lpfnWndProc = PingProc;
        wc.lpszClassName = "QueuePingClass";
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "QueuePingClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

TEST(QueueSend, TwoThreadsSendingToEachOthersWindowsAreBothAnswered) {
    RunBounded([] {
        constexpr int kRounds = 200;
        std::atomic<HWND> windows[2] = {nullptr, nullptr};
        std::atomic<int> finished{0};
        auto side = [&](int me) {
            HWND own = MakePingWindow();
            windows[me] = own;
            while (!windows[1 - me]) std::this_thread::yield();
            HWND other = windows[1 - me];
            for (int i = 0; i < kRounds; ++i) EXPECT_EQ(SendMessageA(other, kPing, static_cast<WPARAM>(i), 0), i + 1);
            ++finished;
            // keep answering until the other side is done too
            while (finished < 2) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            DestroyWindow(own);
        };
        std::thread a(side, 0), b(side, 1);
        a.join();
        b.join();
    });
}

TEST(QueueSend, SendToAWindowWhoseThreadHasEndedReturnsZeroAtOnce) {
    RunBounded([] {
        HWND orphan = nullptr;
        std::thread([&] { orphan = MakePingWindow(); }).join();  // its thread ends without destroying it
        ASSERT_NE(orphan, nullptr);
        SetLastError(0);
        EXPECT_EQ(SendMessageA(orphan, kPing, 1, 0), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    });
}

TEST(QueueSend, ASendWaitingWhenTheThreadEndsIsAnsweredWithZero) {
    RunBounded([] {
        std::promise<HWND> made;
        std::promise<void> sending;
        std::thread owner([&] {
            made.set_value(MakePingWindow());
            sending.get_future().wait();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // ends without pumping
        });
        HWND h = made.get_future().get();
        sending.set_value();
        EXPECT_EQ(SendMessageA(h, kPing, 1, 0), 0);
        owner.join();
    });
}

// The thread's own CPU time, in milliseconds.
double ThreadCpuMs() {
    rusage ru{};
    getrusage(RUSAGE_THREAD, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

TEST_F(QueueTest, AFilteredWaitSleepsWhileOnlyOtherMessagesAreQueued) {
    HWND wanted = MakeWindow(), other = MakeWindow();
    PostMessageA(other, WM_USER + 31, 0, 0);  // left queued by the filter throughout
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, wanted, 0, 0, PM_NOREMOVE));
    // WaitMessage does not return for the message the filter already passed over
    std::atomic<bool> posted{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        posted = true;
        PostMessageA(wanted, WM_USER + 32, 1, 0);
    });
    WaitMessage();
    EXPECT_TRUE(posted);
    poster.join();
    // GetMessageA with the filter blocks (no CPU burnt) until its message comes
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostMessageA(wanted, WM_USER + 33, 2, 0);
    });
    ASSERT_TRUE(GetMessageA(&m, wanted, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 32u);
    double cpu0 = ThreadCpuMs();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(GetMessageA(&m, wanted, 0, 0));
    double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    double cpuMs = ThreadCpuMs() - cpu0;
    later.join();
    EXPECT_EQ(m.message, WM_USER + 33u);
    EXPECT_GT(wallMs, 150);
    EXPECT_LT(cpuMs, wallMs / 4) << "the wait spun";
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, other);
    DestroyWindow(wanted);
    DestroyWindow(other);
}

// The counters of every eventfd the process holds (the queues' wake-up descriptors).
std::vector<long> EventFdCounts() {
    std::vector<long> counts;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return counts;
    while (dirent* e = readdir(d)) {
        std::string fd = e->d_name;
        if (fd == "." || fd == "..") continue;
        char target[256] = {};
        std::string link = "/proc/self/fd/" + fd;
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0 || std::string(target, static_cast<size_t>(n)) != "anon_inode:[eventfd]") continue;
        std::ifstream info("/proc/self/fdinfo/" + fd);
        std::string key;
        while (info >> key)
            if (key == "eventfd-count:") {
                std::string hex;
                info >> hex;
                counts.push_back(std::strtol(hex.c_str(), nullptr, 16));
            }
    }
    closedir(d);
    return counts;
}

TEST_F(QueueTest, PostingFromTheQueuesOwnThreadLeavesTheWakeUpDescriptorAlone) {
    HWND h = MakeWindow();
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    auto before = EventFdCounts();
    ASSERT_FALSE(before.empty());  // the queue's descriptor exists
    for (long c : before) EXPECT_EQ(c, 0);
    for (int i = 0; i < 10; ++i) PostMessageA(h, WM_USER + 34, static_cast<WPARAM>(i), 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 35, 0, 0);
    SetTimer(h, 3, 1000, nullptr);
    for (long c : EventFdCounts()) EXPECT_EQ(c, 0) << "a wake-up was written";
    EXPECT_EQ(Drain(), 11);
    KillTimer(h, 3);
    DestroyWindow(h);
}

TEST_F(QueueTest, MsgWaitEndsOnEachKindOfInputOrOnItsTimeLimit) {
    HWND h = MakeWindow();
    MSG m;
    Drain();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(60));
    // a timer falling due
    SetTimer(h, 4, 30, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
    KillTimer(h, 4);
    // ... which a mask without QS_TIMER ignores
    SetTimer(h, 4, 10, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60, QS_POSTMESSAGE), static_cast<DWORD>(WAIT_TIMEOUT));
    KillTimer(h, 4);
    Drain();
    // a post from another thread, and a send (answered during the wait)
    std::thread poster([h] { PostMessageA(h, WM_USER + 36, 0, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    poster.join();
    Drain();
    std::atomic<LRESULT> answer{-1};
    std::thread sender([&] { answer = SendMessageA(h, WM_USER + 37, 5, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_SENDMESSAGE), WAIT_OBJECT_0);
    sender.join();
    EXPECT_EQ(answer.load(), 0);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().msg, WM_USER + 37u);
    // a ready descriptor whose watch ran
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int id = 0;
    id = win::WatchFd(h, fds[0], POLLIN, [&](int, short) { win::SetFdEvents(id, 0); });
    std::thread writer([&] { ASSERT_EQ(write(fds[1], "x", 1), 1); });
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    writer.join();
    win::UnwatchFd(id);
    close(fds[0]);
    close(fds[1]);
    // kernel objects are not waited for
    HANDLE ev = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &ev, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(ev);
    DestroyWindow(h);
}

// A pipe with one byte waiting in it.
bool ReadablePipe(int fds[2]) { return pipe(fds) == 0 && write(fds[1], "x", 1) == 1; }

TEST_F(QueueTest, AWatchCallbackThatWaitsIsNotReenteredButOtherWatchesAreServed) {
    HWND h = MakeWindow();
    int a[2], b[2];
    ASSERT_TRUE(ReadablePipe(a) && ReadablePipe(b));
    int depth = 0, maxDepth = 0, aCalls = 0, bCalls = 0;
    int idA = 0, idB = 0;
    idB = win::WatchFd(h, b[0], 0, [&](int, short) {
        ++bCalls;
        win::SetFdEvents(idB, 0);
    });
    idA = win::WatchFd(h, a[0], POLLIN, [&](int, short) {
        ++aCalls;
        maxDepth = std::max(maxDepth, ++depth);
        if (aCalls == 1) {
            win::SetFdEvents(idB, POLLIN);  // b is ready: the nested wait serves it
            WaitMessage();
            SetTimer(h, 6, 20, nullptr);
            WaitMessage();  // a stays readable, yet only the timer ends this wait
            KillTimer(h, 6);
            char c;
            ASSERT_EQ(read(a[0], &c, 1), 1);
        }
        --depth;
    });
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(aCalls, 1);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(bCalls, 1);
    win::UnwatchFd(idA);
    win::UnwatchFd(idB);
    for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
    DestroyWindow(h);
}

// A callback that peeks makes a poll of its own inside the outer one; the outer poll then goes on
// with the watches it found ready, as it found them.
TEST_F(QueueTest, APollInsideACallbackLeavesTheOuterPollsWatchesAlone) {
    HWND h = MakeWindow();
    int a[2], b[2];
    ASSERT_TRUE(ReadablePipe(a) && ReadablePipe(b));
    int aCalls = 0, bCalls = 0;
    int idA = 0;
    idA = win::WatchFd(h, a[0], POLLIN, [&](int, short) {
        ++aCalls;
        win::SetFdEvents(idA, 0);
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // polls b, which stays readable
        EXPECT_EQ(bCalls, 1);
    });
    const int idB = win::WatchFd(h, b[0], POLLIN, [&](int, short) { ++bCalls; });
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(aCalls, 1);
    EXPECT_EQ(bCalls, 2) << "once in the callback's poll, once more in the outer poll that found it ready";
    win::UnwatchFd(idA);
    win::UnwatchFd(idB);
    for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
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

namespace {

thread_local int g_otherProcCalls = 0;
LRESULT OtherProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m >= WM_USER) ++g_otherProcCalls;
    return DefWindowProcA(h, m, w, l);
}

}  // namespace

// A thread that keeps posting to and dispatching for one window must still see that window's
// procedure replaced, the window destroyed, and another window in between.
TEST(WindowLookup, FollowsProcedureChangesAndDestruction) {
    std::vector<Seen> seen;
    g_seen = &seen;
    g_otherProcCalls = 0;
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostMessageA(a, WM_USER + 1, static_cast<WPARAM>(i), 0));
    ASSERT_TRUE(PostMessageA(b, WM_USER + 2, 9, 0));
    ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 3, 0));
    EXPECT_EQ(Drain(), 5);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3].hwnd, b);
    EXPECT_EQ(seen[4].w, 3u);

    SetWindowLongA(a, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&OtherProc));
    ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 4, 0));
    Drain();
    EXPECT_EQ(g_otherProcCalls, 1);
    EXPECT_EQ(SendMessageA(a, WM_USER + 1, 5, 0), 0);
    EXPECT_EQ(g_otherProcCalls, 2);
    EXPECT_EQ(seen.size(), 5u);

    // Posted before the window goes: never dispatched; posted after: refused.
    ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 6, 0));
    ASSERT_TRUE(DestroyWindow(a));
    EXPECT_FALSE(PostMessageA(a, WM_USER + 1, 7, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    MSG m{};
    m.hwnd = a;
    m.message = WM_USER + 1;
    EXPECT_EQ(DispatchMessageA(&m), 0);
    Drain();
    EXPECT_EQ(g_otherProcCalls, 2);
    DestroyWindow(b);
    g_seen = nullptr;
}

namespace {

std::atomic<int> g_countedCalls{0};
LRESULT CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m >= WM_USER) ++g_countedCalls;
    return DefWindowProcA(h, m, w, l);
}

}  // namespace

// What one thread remembers of a window is its own: another thread that posts to the window sees
// it gone once its owner destroys it, and never runs the window's procedure itself.
TEST(WindowLookup, EachThreadSeesTheWindowAsItIs) {
    g_countedCalls = 0;
    HWND a = MakeWindow();
    ASSERT_TRUE(a);
    SetWindowLongA(a, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc));
    ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 0, 0));
    EXPECT_EQ(Drain(), 1);
    EXPECT_EQ(g_countedCalls, 1);
    std::promise<void> posted, destroyed;
    std::promise<bool> postedAfter;
    std::thread other([&] {
        PostMessageA(a, WM_USER + 1, 1, 0);
        MSG m{};
        m.hwnd = a;
        m.message = WM_USER + 1;
        DispatchMessageA(&m);  // not this thread's window: nothing runs
        posted.set_value();
        destroyed.get_future().wait();
        postedAfter.set_value(PostMessageA(a, WM_USER + 1, 2, 0) != FALSE);
    });
    posted.get_future().wait();
    EXPECT_EQ(g_countedCalls, 1);
    EXPECT_EQ(Drain(), 1);
    EXPECT_EQ(g_countedCalls, 2);
    ASSERT_TRUE(DestroyWindow(a));
    destroyed.set_value();
    EXPECT_FALSE(postedAfter.get_future().get());
    other.join();
    EXPECT_EQ(Drain(), 0);
    EXPECT_EQ(g_countedCalls, 2);
}

namespace {

// Made before the thread's first window call, so destroyed after what the queue layer keeps per
// thread: its destructor still posts to and destroys a window.
struct WindowEndsWithThread {
    HWND hwnd = nullptr;
    BOOL postedAtEnd = TRUE;
    std::promise<BOOL>* result = nullptr;
    ~WindowEndsWithThread() {
        if (!hwnd) return;
        PostMessageA(hwnd, WM_USER + 1, 0, 0);
        DestroyWindow(hwnd);
        if (result) result->set_value(PostMessageA(hwnd, WM_USER + 1, 0, 0));
    }
};
thread_local WindowEndsWithThread t_endsWithThread;

}  // namespace

TEST(WindowLookup, AWindowCanStillBeUsedAndDestroyedAtTheEndOfItsThread) {
    EnsureClass();
    std::promise<BOOL> postedAfterDestroy;
    HWND made = nullptr;
    std::thread t([&] {
        t_endsWithThread.result = &postedAfterDestroy;  // made first
        made = MakeWindow();
        t_endsWithThread.hwnd = made;
        PostMessageA(made, WM_USER + 1, 0, 0);
        Drain();
    });
    t.join();
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(postedAfterDestroy.get_future().get());
    EXPECT_FALSE(IsWindow(made));
}
