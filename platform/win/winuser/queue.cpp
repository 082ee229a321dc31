// The message queue of each thread: posting, sending across threads, peeking, getting and
// dispatching.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/win/winbase.h"
#include "platform/win/winuser/state.h"

using namespace win::detail;

namespace {

// Keeps the thread's queue; when the thread ends the queue leaves the table and every send
// waiting in it, or made to its windows afterwards, is answered with 0.
struct QueueHolder {
    std::shared_ptr<Queue> q;
    ~QueueHolder() {
        if (!q) return;
        {
            std::lock_guard lk(q->m);
            q->ended = true;
        }
        RefuseSent(*q, nullptr);
        std::lock_guard lk(S().m);
        S().queues.erase(q->threadId);
    }
};
thread_local QueueHolder t_queue;

void Answer(const std::shared_ptr<Sent>& s, LRESULT result) {
    s->result = result;
    s->done.store(true, std::memory_order_release);
    std::lock_guard lk(s->from->m);
    s->from->WakeLocked();
}

// Takes the first message matching the filter; a look that finds none marks the queue as seen.
// Called with q.m held.
[[gnu::hot]] bool TakeLocked(Queue& q, MSG* out, HWND filter, UINT lo, UINT hi, UINT flags) {
    for (auto it = q.posted.begin(); it != q.posted.end();) {
        if (HwndMatches(it->msg.hwnd, filter) && InRange(it->msg.message, lo, hi)) {
            *out = it->msg;
            if (flags & PM_REMOVE) {
                if (it == q.posted.begin()) q.posted.pop_front();
                else q.posted.erase(it);
            }
            return true;
        }
        ++it;
    }
    if (q.quit) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q.quitCode);
        out->time = GetTickCount();
        if (flags & PM_REMOVE) q.quit = false;
        return true;
    }
    const auto now = Clock::now();
    if (!q.timers.empty() && InRange(WM_TIMER, lo, hi)) {
        Timer* best = nullptr;
        for (auto& t : q.timers) {
            if (t.due <= now && HwndMatches(t.hwnd, filter) && (!best || t.due < best->due)) best = &t;
        }
        if (best) {
            *out = MSG{};
            out->hwnd = best->hwnd;
            out->message = WM_TIMER;
            out->wParam = best->id;
            out->lParam = reinterpret_cast<LPARAM>(best->proc);
            out->time = GetTickCount();
            if (flags & PM_REMOVE) best->due = now + std::chrono::milliseconds(best->interval);
            return true;
        }
    }
    q.seenCount = q.postCount;
    q.lookedAt = now;
    return false;
}

[[gnu::hot]] bool Take(Queue& q, MSG* out, HWND filter, UINT lo, UINT hi, UINT flags) {
    std::lock_guard lk(q.m);
    return TakeLocked(q, out, filter, lo, hi, flags);
}

// A posted message's time stamp: the tick count at the system tick's resolution.
[[gnu::hot]] DWORD CoarseTickCount() {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(CoarseNow().time_since_epoch()).count());
}

// Queues p; a window destroyed meanwhile (life no longer alive) takes no more messages.
[[gnu::hot]] bool Post(Queue& q, const Posted& p, const Life* life) {
    std::lock_guard lk(q.m);
    if (life && !life->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    q.posted.push_back(p);
    ++q.postCount;
    q.WakeLocked();
    return true;
}

}  // namespace

namespace win::detail {

[[gnu::hot]] Clock::time_point CoarseNow() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return Clock::time_point(std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec));
}

Queue::Queue() { wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

Queue::~Queue() {
    if (wakeFd >= 0) close(wakeFd);
}

[[gnu::hot]] void Queue::WakeLocked() {
    if (!blocked || wakePending) return;
    wakePending = true;
    uint64_t one = 1;
    ssize_t r = write(wakeFd, &one, sizeof one);
    (void)r;
}

[[gnu::hot]] std::shared_ptr<Queue> MyQueue() {
    if (!t_queue.q) {
        auto q = std::make_shared<Queue>();
        q->threadId = GetCurrentThreadId();
        std::lock_guard lk(S().m);
        S().queues[q->threadId] = q;
        t_queue.q = q;
    }
    return t_queue.q;
}

[[gnu::hot]] Queue* MyQueueIfAny() { return t_queue.q.get(); }

[[gnu::hot]] Queue& MyQueueRef() {
    if (!t_queue.q) MyQueue();
    return *t_queue.q;
}

std::shared_ptr<Queue> QueueOf(HWND hwnd) {
    if (!hwnd) return MyQueue();
    auto w = FindWindowRec(hwnd);
    if (!w || !w->life->alive) return nullptr;
    return w->queue;
}

[[gnu::hot]] bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

[[gnu::hot]] bool HwndMatches(HWND msgHwnd, HWND filter) {
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return msgHwnd == nullptr;
    return msgHwnd == filter;
}

[[gnu::hot]] bool ServeSent(Queue& q) {
    bool any = false;
    // A send queued while this look passes is seen by the next look, or wakes the wait.
    if (!q.anySent.load(std::memory_order_acquire)) return false;
    for (;;) {
        std::shared_ptr<Sent> s;
        {
            std::lock_guard lk(q.m);
            if (q.sent.empty()) return any;
            s = std::move(q.sent.front());
            q.sent.pop_front();
            q.anySent.store(!q.sent.empty(), std::memory_order_release);
        }
        Answer(s, SendMessageA(s->hwnd, s->msg, s->wParam, s->lParam));
        any = true;
    }
}

void RefuseSent(Queue& q, HWND hwnd) {
    std::vector<std::shared_ptr<Sent>> refused;
    {
        std::lock_guard lk(q.m);
        auto keep = std::stable_partition(q.sent.begin(), q.sent.end(),
                                          [&](const std::shared_ptr<Sent>& s) { return hwnd && s->hwnd != hwnd; });
        refused.assign(std::make_move_iterator(keep), std::make_move_iterator(q.sent.end()));
        q.sent.erase(keep, q.sent.end());
        q.anySent.store(!q.sent.empty(), std::memory_order_release);
    }
    for (auto& s : refused) Answer(s, 0);
}

}  // namespace win::detail

[[gnu::hot]] BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == nullptr) return PostThreadMessageA(GetCurrentThreadId(), msg, wParam, lParam);
    WindowView spare;
    const WindowView* v = ViewWindow(hwnd, spare);
    if (!v || !v->rec->life->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Posted p;
    p.msg.hwnd = hwnd;
    p.msg.message = msg;
    p.msg.wParam = wParam;
    p.msg.lParam = lParam;
    p.msg.time = CoarseTickCount();
    return Post(*v->rec->queue, p, v->rec->life.get()) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> q;
    if (threadId == GetCurrentThreadId()) {
        q = MyQueue();
    } else {
        std::lock_guard lk(S().m);
        auto it = S().queues.find(threadId);
        if (it != S().queues.end()) q = it->second;
    }
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Posted p;
    p.msg.message = msg;
    p.msg.wParam = wParam;
    p.msg.lParam = lParam;
    p.msg.time = CoarseTickCount();
    return Post(*q, p, nullptr) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowView spare;
    const WindowView* v = ViewWindow(hwnd, spare);
    if (!v || !v->rec->life->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (v->mine) {
        WNDPROC proc = v->proc;
        return proc ? proc(hwnd, msg, wParam, lParam) : 0;
    }
    const std::shared_ptr<WindowRec> w = v->rec;
    // Another thread's window: hand the call to its queue, then serve the sends made to this
    // thread's own windows until the answer comes.
    auto me = MyQueue();
    auto s = std::make_shared<Sent>();
    s->hwnd = hwnd;
    s->msg = msg;
    s->wParam = wParam;
    s->lParam = lParam;
    s->from = me;
    {
        auto& q = *w->queue;
        std::lock_guard lk(q.m);
        if (q.ended) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q.sent.push_back(s);
        q.anySent.store(true, std::memory_order_release);
        q.WakeLocked();
    }
    for (;;) {
        if (s->done.load(std::memory_order_acquire)) return s->result;
        ServeSent(*me);
        Block(*me, -1, false, [&] { return s->done.load(std::memory_order_acquire) || !me->sent.empty(); });
    }
}

[[gnu::hot]] BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    // Sends first, then posted messages, timers and quit. The watches are polled when the look
    // finds nothing, and otherwise once WatchPollInterval has passed: a watch's event is a posted
    // message behind those already queued either way, and a busy queue spends no system call on
    // descriptors per message taken. A joined source is asked at every look.
    auto& q = MyQueueRef();
    ServeSent(q);
    MSG m;
    bool watched;
    {
        std::lock_guard lk(q.m);
        watched = !q.watches.empty() || q.source;
        const bool due = q.source || (watched && CoarseNow() - q.watchesPolledAt >= WatchPollInterval);
        if (!due && TakeLocked(q, &m, hwnd, filterMin, filterMax, removeFlags)) {
            if (msg) *msg = m;
            return TRUE;
        }
    }
    if (!watched) return FALSE;  // the look above found nothing, and nothing else can come in
    PollWatches(q);
    ServeSent(q);
    if (!Take(q, &m, hwnd, filterMin, filterMax, removeFlags)) return FALSE;
    if (msg) *msg = m;
    return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    for (;;) {
        MSG m;
        if (PeekMessageA(&m, hwnd, filterMin, filterMax, PM_REMOVE)) {
            if (msg) *msg = m;
            return m.message == WM_QUIT ? FALSE : TRUE;
        }
        WaitMessage();
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

[[gnu::hot]] LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, static_cast<UINT_PTR>(msg->wParam), msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    WindowView spare;
    const WindowView* v = ViewWindow(msg->hwnd, spare);
    if (!v || !v->rec->life->alive || !v->mine) return 0;
    WNDPROC proc = v->proc;
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    auto q = MyQueue();
    std::lock_guard lk(q->m);
    q->quit = true;
    q->quitCode = exitCode;
}
