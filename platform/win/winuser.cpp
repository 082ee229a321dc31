// Windows, classes, per-thread message queues, timers and the wait.
#include "platform/win/winuser.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/msgwait.h"
#include "platform/win/winbase.h"
#include "platform/win/windata.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(const char* s) {
    std::string r = s ? s : "";
    for (auto& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

struct Life {
    std::atomic<bool> alive{true};
};

struct Posted {
    MSG msg;
    std::shared_ptr<Life> life;  // null for thread messages
};

struct Sent {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    Clock::time_point due;
    TIMERPROC proc;
};

struct Watch {
    int id;
    int fd;
    short events;
    win::FdCallback callback;
    bool removed = false;
};

struct Queue {
    DWORD threadId = 0;
    std::mutex m;
    std::condition_variable sentDone;
    std::deque<Posted> posted;
    std::deque<Sent*> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    std::vector<std::shared_ptr<Watch>> watches;
    int wakeFd = -1;
    bool polling = false;  // guards against polling again from inside a watch callback

    Queue() { wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }
    ~Queue() {
        if (wakeFd >= 0) close(wakeFd);
    }
    void Wake() {
        uint64_t one = 1;
        ssize_t r = write(wakeFd, &one, sizeof one);
        (void)r;
    }
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
    std::vector<LONG_PTR> extra;
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
    uintptr_t nextHwnd = 0x10000;
    UINT_PTR nextTimerId = 0x7000;
    int nextWatch = 1;
    win::SysCommandHook sysHook;
    std::vector<win::DestroyHook> destroyHooks;
};

State& S() {
    static State* s = new State;  // lives for the whole process; queues of exiting threads unregister
    return *s;
}

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

struct QueueHolder {
    std::shared_ptr<Queue> q;
    ~QueueHolder() {
        if (!q) return;
        std::lock_guard lk(S().m);
        S().queues.erase(q->threadId);
    }
};
thread_local QueueHolder t_queue;

Queue& MyQueue() {
    if (!t_queue.q) {
        auto q = std::make_shared<Queue>();
        q->threadId = GetCurrentThreadId();
        std::lock_guard lk(S().m);
        S().queues[q->threadId] = q;
        t_queue.q = q;
    }
    return *t_queue.q;
}

std::shared_ptr<WindowRec> FindWindow(HWND h) {
    std::lock_guard lk(S().m);
    auto it = S().windows.find(reinterpret_cast<uintptr_t>(h));
    if (it == S().windows.end()) return nullptr;
    return it->second;
}

bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

bool HwndMatches(HWND msgHwnd, HWND filter) {
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return msgHwnd == nullptr;
    return msgHwnd == filter;
}

// Serves messages sent from other threads to this thread's windows.
void ServeSent(Queue& q) {
    for (;;) {
        Sent* s = nullptr;
        {
            std::lock_guard lk(q.m);
            if (q.sent.empty()) return;
            s = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT r = SendMessageA(s->hwnd, s->msg, s->wParam, s->lParam);
        {
            std::lock_guard lk(q.m);
            s->result = r;
            s->done = true;
        }
        q.sentDone.notify_all();
    }
}

// Polls the watched descriptors with the given timeout (ms, -1 = forever) together with the wake fd.
void PollWatches(Queue& q, int timeoutMs) {
    if (q.polling) {
        if (timeoutMs == 0) return;
    }
    std::vector<std::shared_ptr<Watch>> watches;
    {
        std::lock_guard lk(q.m);
        for (auto& w : q.watches)
            if (!w->removed && w->events != 0) watches.push_back(w);
    }
    if (watches.empty() && timeoutMs == 0) return;
    std::vector<pollfd> fds;
    fds.push_back({q.wakeFd, POLLIN, 0});
    for (auto& w : watches) fds.push_back({w->fd, w->events, 0});
    int n;
    do {
        n = ::poll(fds.data(), fds.size(), timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return;
    if (fds[0].revents & POLLIN) {
        uint64_t v;
        ssize_t r = read(q.wakeFd, &v, sizeof v);
        (void)r;
    }
    bool was = q.polling;
    q.polling = true;
    for (size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        auto& w = watches[i - 1];
        win::FdCallback cb;
        {
            std::lock_guard lk(q.m);
            if (w->removed || w->events == 0) continue;
            cb = w->callback;
        }
        if (cb) cb(w->fd, fds[i].revents);
    }
    q.polling = was;
}

int MsUntilNextTimer(Queue& q) {
    std::lock_guard lk(q.m);
    if (q.timers.empty()) return -1;
    auto now = Clock::now();
    auto next = q.timers.front().due;
    for (auto& t : q.timers) next = std::min(next, t.due);
    if (next <= now) return 0;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
    return static_cast<int>(std::min<long long>(ms, 1 << 30));
}

bool Take(Queue& q, MSG* out, HWND filter, UINT lo, UINT hi, UINT flags) {
    std::lock_guard lk(q.m);
    for (auto it = q.posted.begin(); it != q.posted.end();) {
        if (it->life && !it->life->alive) {
            it = q.posted.erase(it);  // the window is gone: its messages are dropped
            continue;
        }
        if (HwndMatches(it->msg.hwnd, filter) && InRange(it->msg.message, lo, hi)) {
            *out = it->msg;
            if (flags & PM_REMOVE) q.posted.erase(it);
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
    if (InRange(WM_TIMER, lo, hi)) {
        auto now = Clock::now();
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
    return false;
}

void DestroyOne(const std::shared_ptr<WindowRec>& w);

}  // namespace

// ---- classes ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lk(S().m);
    auto key = Lower(wc->lpszClassName);
    if (S().classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto rec = std::make_unique<ClassRec>();
    rec->wc = *wc;
    rec->name = wc->lpszClassName;
    rec->wc.lpszClassName = rec->name.c_str();
    rec->wc.lpszMenuName = nullptr;
    S().classes[key] = std::move(rec);
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    std::lock_guard lk(S().m);
    auto key = Lower(className);
    auto it = S().classes.find(key);
    if (it == S().classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto& [h, w] : S().windows)
        if (w->cls == it->second.get()) return FALSE;  // still in use
    S().classes.erase(it);
    return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* out) {
    std::lock_guard lk(S().m);
    auto it = S().classes.find(Lower(className));
    if (it == S().classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (out) *out = it->second->wc;
    return TRUE;
}

// ---- windows ----

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    auto w = std::make_shared<WindowRec>();
    {
        std::lock_guard lk(S().m);
        auto it = S().classes.find(Lower(className));
        if (it == S().classes.end()) {
            SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
            return nullptr;
        }
        if (parent && !S().windows.count(reinterpret_cast<uintptr_t>(parent))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        w->cls = it->second.get();
        w->className = it->second->name;
        w->proc = it->second->wc.lpfnWndProc;
        int slots = (std::max(0, it->second->wc.cbWndExtra) + static_cast<int>(sizeof(LONG_PTR)) - 1) /
                    static_cast<int>(sizeof(LONG_PTR));
        w->extra.assign(static_cast<size_t>(slots), 0);
        w->hwnd = reinterpret_cast<HWND>(S().nextHwnd);
        S().nextHwnd += 4;
    }
    w->queue = t_queue.q ? t_queue.q : (MyQueue(), t_queue.q);
    w->life = std::make_shared<Life>();
    w->style = style;
    w->exStyle = exStyle;
    w->parent = parent;
    w->text = windowName ? windowName : "";
    w->rect = RECT{x, y, x + width, y + height};
    {
        std::lock_guard lk(S().m);
        S().windows[reinterpret_cast<uintptr_t>(w->hwnd)] = w;
    }
    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    HWND h = w->hwnd;
    if (!SendMessageA(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageA(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return h;
}

namespace {

void DestroyOne(const std::shared_ptr<WindowRec>& w) {
    if (w->destroying) return;
    w->destroying = true;
    // children first
    std::vector<std::shared_ptr<WindowRec>> children;
    {
        std::lock_guard lk(S().m);
        for (auto& [h, c] : S().windows)
            if (c->parent == w->hwnd) children.push_back(c);
    }
    SendMessageA(w->hwnd, WM_DESTROY, 0, 0);
    for (auto& c : children) DestroyOne(c);
    SendMessageA(w->hwnd, WM_NCDESTROY, 0, 0);
    w->life->alive = false;
    {
        std::lock_guard lk(w->queue->m);
        auto& ts = w->queue->timers;
        ts.erase(std::remove_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == w->hwnd; }), ts.end());
    }
    std::vector<win::DestroyHook> hooks;
    {
        std::lock_guard lk(S().m);
        hooks = S().destroyHooks;
    }
    for (auto& hk : hooks) hk(w->hwnd);
    std::lock_guard lk(S().m);
    S().windows.erase(reinterpret_cast<uintptr_t>(w->hwnd));
}

}  // namespace

BOOL DestroyWindow(HWND hwnd) {
    auto w = FindWindow(hwnd);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DestroyOne(w);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    auto w = FindWindow(hwnd);
    return w && w->life->alive ? TRUE : FALSE;
}

LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
    auto w = FindWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::lock_guard lk(S().m);
    LONG_PTR old = 0;
    switch (index) {
        case GWL_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWL_STYLE:
            old = w->style;
            w->style = static_cast<DWORD>(value);
            return old;
        case GWL_EXSTYLE:
            old = w->exStyle;
            w->exStyle = static_cast<DWORD>(value);
            return old;
        case GWL_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        default:
            break;
    }
    if (index < 0 || index % static_cast<int>(sizeof(LONG_PTR)) != 0 ||
        static_cast<size_t>(index) / sizeof(LONG_PTR) >= w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& slot = w->extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
    old = slot;
    slot = value;
    return old;
}

LONG_PTR GetWindowLongA(HWND hwnd, int index) {
    auto w = FindWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::lock_guard lk(S().m);
    switch (index) {
        case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWL_STYLE: return w->style;
        case GWL_EXSTYLE: return w->exStyle;
        case GWL_USERDATA: return w->userData;
        default: break;
    }
    if (index < 0 || index % static_cast<int>(sizeof(LONG_PTR)) != 0 ||
        static_cast<size_t>(index) / sizeof(LONG_PTR) >= w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return w->extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_NCCREATE: return TRUE;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_SETTEXT: return SetWindowTextA(hwnd, reinterpret_cast<const char*>(lParam));
        case WM_GETTEXT: return GetWindowTextA(hwnd, reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
        case WM_SYSCOMMAND: {
            win::SysCommandHook hook;
            {
                std::lock_guard lk(S().m);
                hook = S().sysHook;
            }
            if (hook) return hook(hwnd, wParam, lParam);
            return 0;
        }
        default: return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    auto w = FindWindow(hwnd);
    if (processId) *processId = GetCurrentProcessId();
    return w ? w->queue->threadId : 0;
}

HWND GetParent(HWND hwnd) {
    auto w = FindWindow(hwnd);
    return w ? w->parent : nullptr;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    w->text = text ? text : "";
    return TRUE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int maxCount) {
    auto w = FindWindow(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    std::lock_guard lk(S().m);
    int n = std::min(static_cast<int>(w->text.size()), maxCount - 1);
    std::memcpy(buffer, w->text.data(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

int GetClassNameA(HWND hwnd, char* buffer, int maxCount) {
    auto w = FindWindow(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    int n = std::min(static_cast<int>(w->className.size()), maxCount - 1);
    std::memcpy(buffer, w->className.data(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    bool was;
    {
        std::lock_guard lk(S().m);
        was = (w->style & WS_VISIBLE) != 0;
        if (cmd == SW_HIDE)
            w->style &= ~WS_VISIBLE;
        else
            w->style |= WS_VISIBLE;
    }
    bool now = cmd != SW_HIDE;
    if (was != now) SendMessageA(hwnd, WM_SHOWWINDOW, now ? TRUE : FALSE, 0);
    return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    return (w->style & WS_VISIBLE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    bool wasDisabled;
    {
        std::lock_guard lk(S().m);
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (wasDisabled == static_cast<bool>(enable)) SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    auto w = FindWindow(hwnd);
    if (!w) return FALSE;
    RECT old;
    {
        std::lock_guard lk(S().m);
        old = w->rect;
        w->rect = RECT{x, y, x + width, y + height};
    }
    if (old.left != x || old.top != y) SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    if (old.right - old.left != width || old.bottom - old.top != height)
        SendMessageA(hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    auto w = FindWindow(hwnd);
    if (!w || !rect) return FALSE;
    std::lock_guard lk(S().m);
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto w = FindWindow(hwnd);
    if (!w || !rect) return FALSE;
    std::lock_guard lk(S().m);
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

// ---- messages ----

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == nullptr) return PostThreadMessageA(GetCurrentThreadId(), msg, wParam, lParam);
    auto w = FindWindow(hwnd);
    if (!w || !w->life->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Posted p;
    p.msg.hwnd = hwnd;
    p.msg.message = msg;
    p.msg.wParam = wParam;
    p.msg.lParam = lParam;
    p.msg.time = GetTickCount();
    p.life = w->life;
    {
        std::lock_guard lk(w->queue->m);
        w->queue->posted.push_back(std::move(p));
    }
    w->queue->Wake();
    return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> q;
    if (threadId == GetCurrentThreadId()) {
        MyQueue();
        q = t_queue.q;
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
    p.msg.time = GetTickCount();
    {
        std::lock_guard lk(q->m);
        q->posted.push_back(std::move(p));
    }
    q->Wake();
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto w = FindWindow(hwnd);
    if (!w || !w->life->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->queue->threadId == GetCurrentThreadId()) {
        WNDPROC proc;
        {
            std::lock_guard lk(S().m);
            proc = w->proc;
        }
        return proc ? proc(hwnd, msg, wParam, lParam) : 0;
    }
    // Another thread's window: hand the call to its queue and wait until its pump serves it.
    Sent s{hwnd, msg, wParam, lParam};
    auto q = w->queue;
    {
        std::lock_guard lk(q->m);
        q->sent.push_back(&s);
    }
    q->Wake();
    std::unique_lock lk(q->m);
    while (!s.done) {
        if (!w->life->alive) {
            auto it = std::find(q->sent.begin(), q->sent.end(), &s);
            if (it != q->sent.end()) {
                q->sent.erase(it);
                return 0;
            }
        }
        q->sentDone.wait_for(lk, std::chrono::milliseconds(50));
    }
    return s.result;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    Queue& q = MyQueue();
    ServeSent(q);
    PollWatches(q, 0);
    ServeSent(q);
    MSG m;
    if (!Take(q, &m, hwnd, filterMin, filterMax, removeFlags)) return FALSE;
    if (msg) *msg = m;
    return TRUE;
}

BOOL WaitMessage() {
    Queue& q = MyQueue();
    {
        std::lock_guard lk(q.m);
        if (!q.posted.empty() || q.quit || !q.sent.empty()) return TRUE;
    }
    int timeout = MsUntilNextTimer(q);
    if (timeout == 0) return TRUE;
    PollWatches(q, timeout);
    ServeSent(q);
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

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, static_cast<UINT_PTR>(msg->wParam), msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    auto w = FindWindow(msg->hwnd);
    if (!w || !w->life->alive) return 0;
    if (w->queue->threadId != GetCurrentThreadId()) return 0;
    WNDPROC proc;
    {
        std::lock_guard lk(S().m);
        proc = w->proc;
    }
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    Queue& q = MyQueue();
    {
        std::lock_guard lk(q.m);
        q.quit = true;
        q.quitCode = exitCode;
    }
    q.Wake();
}

// ---- timers ----

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<Queue> q;
    if (hwnd) {
        auto w = FindWindow(hwnd);
        if (!w || !w->life->alive) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q = w->queue;
    } else {
        MyQueue();
        q = t_queue.q;
        std::lock_guard lk(S().m);
        id = S().nextTimerId++;
    }
    if (hwnd && id == 0) id = 0;  // id 0 is a valid window timer id but cannot be returned as success
    UINT interval = std::max<UINT>(elapseMs, 1);
    {
        std::lock_guard lk(q->m);
        auto due = Clock::now() + std::chrono::milliseconds(interval);
        for (auto& t : q->timers) {
            if (t.hwnd == hwnd && t.id == id) {
                t.interval = interval;
                t.due = due;
                t.proc = proc;
                q->Wake();
                return id ? id : 1;
            }
        }
        q->timers.push_back(Timer{hwnd, id, interval, due, proc});
    }
    q->Wake();
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<Queue> q;
    if (hwnd) {
        auto w = FindWindow(hwnd);
        if (!w) return FALSE;
        q = w->queue;
    } else {
        MyQueue();
        q = t_queue.q;
    }
    std::lock_guard lk(q->m);
    auto& ts = q->timers;
    auto it = std::find_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == ts.end()) return FALSE;
    ts.erase(it);
    return TRUE;
}

// ---- threads and process ----

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId++;
    return t_threadId;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HINSTANCE GetModuleHandleA(const char*) { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)); }

// ---- descriptor watches ----

namespace win {

int WatchFd(HWND window, int fd, short events, FdCallback callback) {
    std::shared_ptr<Queue> q;
    if (window) {
        auto w = FindWindow(window);
        if (!w || !w->life->alive) return 0;
        q = w->queue;
    } else {
        MyQueue();
        q = t_queue.q;
    }
    auto watch = std::make_shared<Watch>();
    watch->fd = fd;
    watch->events = events;
    watch->callback = std::move(callback);
    {
        std::lock_guard lk(S().m);
        watch->id = S().nextWatch++;
        S().watchOwners[watch->id] = q;
    }
    {
        std::lock_guard lk(q->m);
        q->watches.push_back(watch);
    }
    q->Wake();
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

void SetFdEvents(int watchId, short events) {
    auto q = WatchQueue(watchId);
    if (!q) return;
    {
        std::lock_guard lk(q->m);
        for (auto& w : q->watches)
            if (w->id == watchId) w->events = events;
    }
    q->Wake();
}

void UnwatchFd(int watchId) {
    auto q = WatchQueue(watchId);
    {
        std::lock_guard lk(S().m);
        S().watchOwners.erase(watchId);
    }
    if (!q) return;
    {
        std::lock_guard lk(q->m);
        auto& ws = q->watches;
        for (auto& w : ws)
            if (w->id == watchId) w->removed = true;
        ws.erase(std::remove_if(ws.begin(), ws.end(), [](const std::shared_ptr<Watch>& w) { return w->removed; }),
                 ws.end());
    }
    q->Wake();
}

void SetWindowData(HWND hwnd, const std::string& key, std::shared_ptr<void> data) {
    auto w = FindWindow(hwnd);
    if (!w) return;
    std::lock_guard lk(S().m);
    if (data)
        w->data[key] = std::move(data);
    else
        w->data.erase(key);
}

std::shared_ptr<void> GetWindowData(HWND hwnd, const std::string& key) {
    auto w = FindWindow(hwnd);
    if (!w) return nullptr;
    std::lock_guard lk(S().m);
    auto it = w->data.find(key);
    return it == w->data.end() ? nullptr : it->second;
}

SysCommandHook SetSysCommandHook(SysCommandHook hook) {
    std::lock_guard lk(S().m);
    auto old = std::move(S().sysHook);
    S().sysHook = std::move(hook);
    return old;
}

void AddDestroyHook(DestroyHook hook) {
    std::lock_guard lk(S().m);
    S().destroyHooks.push_back(std::move(hook));
}

}  // namespace win
