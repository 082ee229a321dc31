// Timers: kept per queue, due ones become WM_TIMER messages when the queue holds nothing else.
#include <algorithm>

#include "platform/win/winbase.h"
#include "platform/win/winuser/state.h"

using namespace win::detail;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<Queue> q;
    if (hwnd) {
        q = QueueOf(hwnd);
        if (!q) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        q = MyQueue();
        std::lock_guard lk(S().m);
        id = S().nextTimerId++;
    }
    UINT interval = std::max<UINT>(elapseMs, 1);
    {
        std::lock_guard lk(q->m);
        auto due = Clock::now() + std::chrono::milliseconds(interval);
        for (auto& t : q->timers) {
            if (t.hwnd == hwnd && t.id == id) {
                t.interval = interval;
                t.due = due;
                t.proc = proc;
                q->WakeLocked();
                return id ? id : 1;  // id 0 is a valid window timer id but cannot be returned as success
            }
        }
        q->timers.push_back(Timer{hwnd, id, interval, due, proc});
        q->WakeLocked();
    }
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<Queue> q;
    if (hwnd) {
        auto w = FindWindowRec(hwnd);
        if (!w) return FALSE;
        q = w->queue;
    } else {
        q = MyQueue();
    }
    std::lock_guard lk(q->m);
    auto& ts = q->timers;
    auto it = std::find_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == ts.end()) return FALSE;
    ts.erase(it);
    return TRUE;
}
