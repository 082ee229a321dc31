// The wait of a thread's queue (WaitMessage, MsgWaitForMultipleObjects, the send wait) and the
// descriptor watches it serves.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/win/winbase.h"
#include "platform/win/winuser/state.h"

using namespace win::detail;

namespace {

// Whole milliseconds from now until t, rounded up so that a wait never ends just before t.
int MsUntil(Clock::time_point t, Clock::time_point now) {
    if (t <= now) return 0;
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(t - now).count();
    return static_cast<int>(std::min<long long>((us + 999) / 1000, 1 << 30));
}

// Runs the callbacks of the watches poll found ready (fds[i + 1] belongs to watches[i]).
[[gnu::hot]] bool RunReady(Queue& q, const std::vector<std::shared_ptr<Watch>>& watches, const std::vector<pollfd>& fds) {
    bool ran = false;
    for (size_t i = 0; i < watches.size(); ++i) {
        short revents = fds[i + 1].revents;
        if (revents == 0) continue;
        auto& w = watches[i];
        {
            std::lock_guard lk(q.m);
            if (w->removed || w->events == 0 || w->running) continue;
            w->running = true;
        }
        // Set before the watch was published and never changed; the list keeps the watch alive.
        const win::FdCallback& cb = w->callback;
        struct Done {
            Queue& q;
            Watch& w;
            ~Done() {
                std::lock_guard lk(q.m);
                w.running = false;
            }
        } done{q, *w};
        if (cb) cb(w->fd, revents);
        ran = true;
    }
    return ran;
}

// The watches a poll of q asks about now (q.m held): armed, and not running their callback.
[[gnu::hot]] void ArmedWatchesLocked(Queue& q, std::vector<std::shared_ptr<Watch>>& out, std::vector<pollfd>& fds) {
    for (auto& w : q.watches) {
        if (w->removed || w->events == 0 || w->running) continue;
        out.push_back(w);
        fds.push_back({w->fd, w->events, 0});
    }
}

// Lends the owner of q the lists of one poll, emptied, and takes them back at the end of the scope.
class PollListsLease {
public:
    explicit PollListsLease(Queue& q) : q_(q) {
        if (q.pollListsInUse == q.pollLists.size()) q.pollLists.push_back(std::make_unique<Queue::PollLists>());
        lists_ = q.pollLists[q.pollListsInUse++].get();
        lists_->watches.clear();
        lists_->fds.clear();
    }
    ~PollListsLease() {
        lists_->watches.clear();  // the watches are not kept alive by a poll that is over
        --q_.pollListsInUse;
    }
    PollListsLease(const PollListsLease&) = delete;
    PollListsLease& operator=(const PollListsLease&) = delete;
    std::vector<std::shared_ptr<Watch>>& watches() { return lists_->watches; }
    std::vector<pollfd>& fds() { return lists_->fds; }

private:
    Queue& q_;
    Queue::PollLists* lists_;
};

[[gnu::hot]] int Poll(std::vector<pollfd>& fds, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int n = ::poll(fds.data(), fds.size(), timeoutMs);
        if (n >= 0 || errno != EINTR) return n;
        if (timeoutMs > 0) timeoutMs = MsUntil(deadline, Clock::now());
    }
}

// Waits for input of `mask` that the thread has not looked at; see MsgWaitForMultipleObjects.
[[gnu::hot]] DWORD WaitForInput(Queue& q, DWORD mask, DWORD timeoutMs) {
    const bool limited = timeoutMs != INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    for (;;) {
        if (ServeSent(q) && (mask & QS_SENDMESSAGE)) return WAIT_OBJECT_0;
        int wait;
        {
            std::lock_guard lk(q.m);
            auto now = Clock::now();
            if (HasNewInputLocked(q, mask, now)) return WAIT_OBJECT_0;
            wait = (mask & QS_TIMER) ? MsUntilNewTimerLocked(q, now) : -1;
            if (limited) {
                int left = MsUntil(deadline, now);
                if (left == 0) return WAIT_TIMEOUT;
                wait = wait < 0 ? left : std::min(wait, left);
            }
        }
        bool ran = Block(q, wait, true, [&] { return !q.sent.empty() || HasNewInputLocked(q, mask, Clock::now()); });
        if (ran) return WAIT_OBJECT_0;
    }
}

}  // namespace

namespace win::detail {

[[gnu::hot]] bool HasNewInputLocked(const Queue& q, DWORD mask, Clock::time_point now) {
    if ((mask & QS_SENDMESSAGE) && !q.sent.empty()) return true;
    if ((mask & QS_POSTMESSAGE) && (q.postCount != q.seenCount || q.quit)) return true;
    if (mask & QS_TIMER) {
        for (auto& t : q.timers)
            if (t.due > q.lookedAt && t.due <= now) return true;
    }
    return false;
}

[[gnu::hot]] int MsUntilNewTimerLocked(const Queue& q, Clock::time_point now) {
    int best = -1;
    for (auto& t : q.timers) {
        if (t.due <= q.lookedAt) continue;  // seen and left by a filtered look
        int ms = MsUntil(t.due, now);
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

[[gnu::hot]] void PollWatches(Queue& q) {
    PollListsLease lease(q);
    auto& watches = lease.watches();
    auto& fds = lease.fds();
    fds.push_back({-1, 0, 0});  // slot 0 is the wake-up descriptor's in Block; unused here
    {
        std::lock_guard lk(q.m);
        q.watchesPolledAt = Clock::now();
        ArmedWatchesLocked(q, watches, fds);
    }
    win::PollSource* source = q.source;
    const size_t base = fds.size();
    if (source) source->Prepare(fds);
    if (fds.size() == 1) {
        if (source) source->Dispatch(fds.data() + base, 0);
        return;
    }
    int n = Poll(fds, 0);
    if (source) source->Dispatch(fds.data() + base, fds.size() - base);
    if (n > 0 && !watches.empty()) RunReady(q, watches, fds);
}

[[gnu::hot]] bool BlockImpl(Queue& q, int timeoutMs, bool withWatches, bool (*ready)(void*), void* ctx) {
    PollListsLease lease(q);
    auto& watches = lease.watches();
    auto& fds = lease.fds();
    fds.push_back({q.wakeFd, POLLIN, 0});
    {
        std::lock_guard lk(q.m);
        if (ready(ctx)) return false;
        q.blocked = true;
        if (withWatches) ArmedWatchesLocked(q, watches, fds);
    }
    // The joined source is asked after the ready check, so that its Prepare always meets its
    // Dispatch below.
    win::PollSource* source = withWatches ? q.source : nullptr;
    const size_t base = fds.size();
    if (source) {
        int limit = source->Prepare(fds);
        if (limit >= 0 && (timeoutMs < 0 || limit < timeoutMs)) timeoutMs = limit;
    }
    int n = Poll(fds, timeoutMs);
    {
        std::lock_guard lk(q.m);
        q.blocked = false;
        if (withWatches) q.watchesPolledAt = Clock::now();
        if (q.wakePending) {
            uint64_t v;
            ssize_t r = read(q.wakeFd, &v, sizeof v);
            (void)r;
            q.wakePending = false;
        }
    }
    bool ran = false;
    if (source) ran = source->Dispatch(fds.data() + base, fds.size() - base);
    if (n > 0 && RunReady(q, watches, fds)) ran = true;
    return ran;
}

}  // namespace win::detail

[[gnu::hot]] BOOL WaitMessage() {
    WaitForInput(*MyQueue(), QS_ALLINPUT, INFINITE);
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs, DWORD wakeMask) {
    (void)handles;
    (void)waitAll;
    if (nCount != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return WaitForInput(*MyQueue(), wakeMask, timeoutMs);
}

// ---- descriptor watches and the joined source ----

namespace win {

PollSource* SetPollSource(PollSource* source) {
    auto q = MyQueue();
    PollSource* old = q->source;
    q->source = source;
    return old;
}

int WatchFd(HWND window, int fd, short events, FdCallback callback) {
    auto q = QueueOf(window);
    if (!q) return 0;
    auto watch = std::make_shared<Watch>();
    watch->fd = fd;
    watch->events = events;
    watch->callback = std::move(callback);
    {
        std::lock_guard lk(S().m);
        watch->id = S().nextWatch++;
        S().watchOwners[watch->id] = q;
    }
    std::lock_guard lk(q->m);
    q->watches.push_back(watch);
    q->WakeLocked();
    return watch->id;
}

namespace {
std::shared_ptr<Queue> WatchQueue(int id) {
    std::lock_guard lk(S().m);
    auto it = S().watchOwners.find(id);
    if (it == S().watchOwners.end()) return nullptr;
    return it->second.lock();
}
}  // namespace

[[gnu::hot]] void SetFdEvents(int watchId, short events) {
    // A watch of the caller's own queue, the usual case, is found there without the table.
    if (Queue* mine = MyQueueIfAny()) {
        std::lock_guard lk(mine->m);
        for (auto& w : mine->watches) {
            if (w->id != watchId) continue;
            w->events = events;
            mine->WakeLocked();
            return;
        }
    }
    auto q = WatchQueue(watchId);
    if (!q) return;
    std::lock_guard lk(q->m);
    for (auto& w : q->watches)
        if (w->id == watchId) w->events = events;
    q->WakeLocked();
}

void UnwatchFd(int watchId) {
    auto q = WatchQueue(watchId);
    {
        std::lock_guard lk(S().m);
        S().watchOwners.erase(watchId);
    }
    if (!q) return;
    std::lock_guard lk(q->m);
    auto& ws = q->watches;
    for (auto& w : ws)
        if (w->id == watchId) w->removed = true;
    ws.erase(std::remove_if(ws.begin(), ws.end(), [](const std::shared_ptr<Watch>& w) { return w->removed; }), ws.end());
    q->WakeLocked();
}

}  // namespace win
