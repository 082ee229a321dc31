// The shared records behind winuser.h, msgwait.h and windata.h: window classes, windows, and the
// message queue of each thread. Internal to platform/win.
//
// Locks: the process-wide State lock guards the class and window tables and every window's fields;
// each Queue has a lock of its own for what it holds. A queue lock is never held while the State
// lock is taken, and no lock is held while a window procedure or a watch callback runs.
#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/msgwait.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace win::detail {

using Clock = std::chrono::steady_clock;

struct Life {
    std::atomic<bool> alive{true};
};

// A posted message. A window's messages leave its queue when the window is destroyed, and a post
// that meets a destroyed window is refused under the queue's lock, so none outlives its window.
struct Posted {
    MSG msg;
};

struct Queue;

// A message sent from one thread to a window of another; the sender waits until `done`.
struct Sent {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    std::atomic<bool> done{false};
    std::shared_ptr<Queue> from;  // the sender's queue, woken when the call is answered
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    Clock::time_point due;
    TIMERPROC proc;
};

struct Watch {
    int id = 0;
    int fd = -1;
    short events = 0;
    FdCallback callback;  // set before the watch is published, never changed
    bool removed = false;
    bool running = false;  // its callback runs now: nested waits leave it out
};

struct Queue {
    DWORD threadId = 0;
    std::mutex m;
    std::deque<Posted> posted;
    std::deque<std::shared_ptr<Sent>> sent;
    std::atomic<bool> anySent{false};  // sent is not empty; set and cleared with m held, read without
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    std::vector<std::shared_ptr<Watch>> watches;
    bool ended = false;  // the owning thread has ended: sends are refused

    // When the watches were last polled: a peek that finds a message polls them again only once
    // WatchPollInterval has passed, so a busy queue costs no system call per message while a
    // ready descriptor still gets its turn.
    Clock::time_point watchesPolledAt{};

    // What the owner has looked at: a look that found nothing (PeekMessageA returning FALSE, or
    // the search of GetMessageA) marks every posted message present as seen, and every timer due
    // by then. The wait returns only for input that is new after that.
    std::uint64_t postCount = 0;
    std::uint64_t seenCount = 0;
    Clock::time_point lookedAt{};

    // The wake-up descriptor is written only while the owner blocks in poll (blocked), once per
    // block (wakePending); the owner drains it when it returns.
    int wakeFd = -1;
    // The outside event source joined to the owner's looks (msgwait.h); used by the owner only.
    win::PollSource* source = nullptr;

    // The lists one poll of the watches fills, kept for the next: one per nesting level, since a
    // callback may look at the queue again while the outer poll's lists are in use. Owner only.
    struct PollLists {
        std::vector<std::shared_ptr<Watch>> watches;
        std::vector<pollfd> fds;
    };
    std::vector<std::unique_ptr<PollLists>> pollLists;
    std::size_t pollListsInUse = 0;
    bool blocked = false;
    bool wakePending = false;

    Queue();
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    // Called with m held: wakes the owner when it blocks.
    void WakeLocked();
};

struct ClassRec {
    WNDCLASSA wc;
    std::string name;
};

struct WindowRec {
    HWND hwnd = nullptr;
    ClassRec* cls = nullptr;
    std::string className;
    WNDPROC proc = nullptr;
    std::shared_ptr<Queue> queue;
    std::shared_ptr<Life> life;
    std::vector<std::atomic<LONG_PTR>> extra;  // sized at creation; read without the lock
    LONG_PTR userData = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    std::string text;
    RECT rect{};
    bool destroying = false;
    std::map<std::string, std::shared_ptr<void>> data;
};

struct State {
    std::recursive_mutex m;
    std::map<std::string, std::unique_ptr<ClassRec>> classes;
    std::unordered_map<uintptr_t, std::shared_ptr<WindowRec>> windows;
    std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
    std::unordered_map<int, std::weak_ptr<Queue>> watchOwners;
    // Moves whenever a remembered look at a window (WindowView) can have gone stale: a window
    // destroyed, a window procedure replaced. Handles are never reused, so a new window needs none.
    std::atomic<std::uint64_t> windowsChanged{0};
    uintptr_t nextHwnd = 0x10000;
    UINT_PTR nextTimerId = 0x7000;
    int nextWatch = 1;
    SysCommandHook sysHook;
    std::vector<DestroyHook> destroyHooks;
};

State& S();

// The calling thread's queue, made on first use; it lives as long as the thread.
std::shared_ptr<Queue> MyQueue();
Queue& MyQueueRef();
// The calling thread's queue, or null when it has made none.
Queue* MyQueueIfAny();
// The queue of a window (null when the window does not exist or is destroyed), or the calling
// thread's for a null window.
std::shared_ptr<Queue> QueueOf(HWND hwnd);

std::shared_ptr<WindowRec> FindWindowRec(HWND h);

// What posting, sending and dispatching need of a window, as the calling thread saw it at its last
// look: a thread that keeps talking to one window (a component's hidden window) pays no table
// lookup, lock or reference count per message. Null when the window does not exist. Valid until
// the thread's next call; the record stays alive meanwhile. Once the thread's remembered look is
// gone (its thread-local objects are being destroyed) the look is made into `spare`.
struct WindowView {
    HWND hwnd = nullptr;
    std::uint64_t changed = 0;
    WNDPROC proc = nullptr;
    bool mine = false;  // the window belongs to the calling thread
    std::shared_ptr<WindowRec> rec;
};
const WindowView* ViewWindow(HWND h, WindowView& spare);
// Makes every thread look at its remembered window again (State::windowsChanged).
void WindowsChanged();

// Runs the messages other threads sent to this thread's windows; true when one ran.
bool ServeSent(Queue& q);
// Answers, with 0, every send waiting in q for `hwnd` (every send when hwnd is null) and wakes
// their senders.
void RefuseSent(Queue& q, HWND hwnd);

// The shortest time a peek that keeps finding messages goes without polling the watches. The
// peek reads the coarse clock (CoarseNow), so the longest is this plus one system tick.
inline constexpr std::chrono::microseconds WatchPollInterval{500};

// The steady clock read at the system tick's resolution (a few milliseconds; never ahead of
// Clock::now()), at a tenth of the cost: for what a message taken must not pay a full read for.
Clock::time_point CoarseNow();

// Polls the watched descriptors without blocking and runs the ready callbacks.
void PollWatches(Queue& q);
// Blocks the owner of q in poll on its wake-up descriptor (and its watches when withWatches)
// for at most timeoutMs (-1: no limit), unless ready() holds first; ready is called with q.m held.
// Runs the callbacks of ready watches; true when one ran.
template <class Ready>
bool Block(Queue& q, int timeoutMs, bool withWatches, Ready ready);
bool BlockImpl(Queue& q, int timeoutMs, bool withWatches, bool (*ready)(void*), void* ctx);

template <class Ready>
bool Block(Queue& q, int timeoutMs, bool withWatches, Ready ready) {
    return BlockImpl(q, timeoutMs, withWatches, [](void* c) { return (*static_cast<Ready*>(c))(); }, &ready);
}

// Input the owner has not looked at (see Queue); called with q.m held.
bool HasNewInputLocked(const Queue& q, DWORD wakeMask, Clock::time_point now);
// Milliseconds until the next timer the owner has not seen falls due (-1: none); q.m held.
int MsUntilNewTimerLocked(const Queue& q, Clock::time_point now);

bool InRange(UINT msg, UINT lo, UINT hi);
bool HwndMatches(HWND msgHwnd, HWND filter);

}  // namespace win::detail
