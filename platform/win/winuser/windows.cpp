// Window classes, windows and their attributes, and the thread and process identities.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/win/winbase.h"
#include "platform/win/winuser/state.h"

using namespace win::detail;

namespace {

std::string Lower(const char* s) {
    std::string r = s ? s : "";
    for (auto& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
// The thread's remembered look at a window. t_viewGone is set when it is destroyed at the end of
// the thread; being trivial, the flag itself can still be read by what runs after that.
thread_local bool t_viewGone = false;
struct ViewSlot {
    WindowView view;
    ~ViewSlot() { t_viewGone = true; }
};
thread_local ViewSlot t_view;

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
    WindowsChanged();
    RefuseSent(*w->queue, w->hwnd);
    {
        std::lock_guard lk(w->queue->m);
        auto& ps = w->queue->posted;
        ps.erase(std::remove_if(ps.begin(), ps.end(), [&](const Posted& p) { return p.msg.hwnd == w->hwnd; }), ps.end());
        auto& ts = w->queue->timers;
        ts.erase(std::remove_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == w->hwnd; }), ts.end());
    }
    std::vector<win::DestroyHook> hooks;
    {
        std::lock_guard lk(S().m);
        hooks = S().destroyHooks;
    }
    for (auto& hk : hooks) hk(w->hwnd);
    {
        std::lock_guard lk(S().m);
        S().windows.erase(reinterpret_cast<uintptr_t>(w->hwnd));
    }
    // The destroying thread lets go of the record at once; another thread does at its next look.
    if (!t_viewGone && t_view.view.hwnd == w->hwnd) t_view.view = WindowView{};
}

}  // namespace

namespace win::detail {

[[gnu::hot]] State& S() {
    static State* s = new State;  // lives for the whole process; queues of exiting threads unregister
    return *s;
}

std::shared_ptr<WindowRec> FindWindowRec(HWND h) {
    std::lock_guard lk(S().m);
    auto it = S().windows.find(reinterpret_cast<uintptr_t>(h));
    if (it == S().windows.end()) return nullptr;
    return it->second;
}

[[gnu::hot]] const WindowView* ViewWindow(HWND h, WindowView& spare) {
    const std::uint64_t changed = S().windowsChanged.load(std::memory_order_acquire);
    WindowView& v = t_viewGone ? spare : t_view.view;
    if (v.rec && v.hwnd == h && v.changed == changed) return &v;
    std::shared_ptr<WindowRec> old = std::move(v.rec);  // released after the lock
    std::lock_guard lk(S().m);
    auto it = S().windows.find(reinterpret_cast<uintptr_t>(h));
    if (it == S().windows.end()) return nullptr;
    v.hwnd = h;
    v.changed = changed;
    v.proc = it->second->proc;
    v.mine = it->second->queue->threadId == GetCurrentThreadId();
    v.rec = it->second;
    return &v;
}

void WindowsChanged() { S().windowsChanged.fetch_add(1, std::memory_order_acq_rel); }

}  // namespace win::detail

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
        w->extra = std::vector<std::atomic<LONG_PTR>>(static_cast<size_t>(slots));
        w->hwnd = reinterpret_cast<HWND>(S().nextHwnd);
        S().nextHwnd += 4;
    }
    w->queue = MyQueue();
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

BOOL DestroyWindow(HWND hwnd) {
    auto w = FindWindowRec(hwnd);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DestroyOne(w);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    auto w = FindWindowRec(hwnd);
    return w && w->life->alive ? TRUE : FALSE;
}

namespace {

// The slot of the window's extra bytes at a byte offset, or null (the error set) when the offset is
// not one of them.
[[gnu::hot]] std::atomic<LONG_PTR>* ExtraSlot(WindowRec& w, int index) {
    if (index < 0 || index % static_cast<int>(sizeof(LONG_PTR)) != 0 ||
        static_cast<size_t>(index) / sizeof(LONG_PTR) >= w.extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &w.extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
}

}  // namespace

LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
    auto w = FindWindowRec(hwnd);
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
            WindowsChanged();
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
    std::atomic<LONG_PTR>* slot = ExtraSlot(*w, index);
    return slot ? slot->exchange(value, std::memory_order_acq_rel) : 0;
}

[[gnu::hot]] LONG_PTR GetWindowLongA(HWND hwnd, int index) {
    WindowView spare;
    const WindowView* v = ViewWindow(hwnd, spare);
    if (!v) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    WindowRec* w = v->rec.get();
    if (index >= 0) {
        // The extra bytes of a window procedure that reads its object from them on every message.
        std::atomic<LONG_PTR>* slot = ExtraSlot(*w, index);
        return slot ? slot->load(std::memory_order_acquire) : 0;
    }
    std::lock_guard lk(S().m);
    switch (index) {
        case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWL_STYLE: return w->style;
        case GWL_EXSTYLE: return w->exStyle;
        case GWL_USERDATA: return w->userData;
        default: break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
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

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    auto w = FindWindowRec(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    w->text = text ? text : "";
    return TRUE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int maxCount) {
    auto w = FindWindowRec(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    std::lock_guard lk(S().m);
    int n = std::min(static_cast<int>(w->text.size()), maxCount - 1);
    std::memcpy(buffer, w->text.data(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

int GetClassNameA(HWND hwnd, char* buffer, int maxCount) {
    auto w = FindWindowRec(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    int n = std::min(static_cast<int>(w->className.size()), maxCount - 1);
    std::memcpy(buffer, w->className.data(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    auto w = FindWindowRec(hwnd);
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
    auto w = FindWindowRec(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    return (w->style & WS_VISIBLE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto w = FindWindowRec(hwnd);
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
    auto w = FindWindowRec(hwnd);
    if (!w) return FALSE;
    std::lock_guard lk(S().m);
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    auto w = FindWindowRec(hwnd);
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
    auto w = FindWindowRec(hwnd);
    if (!w || !rect) return FALSE;
    std::lock_guard lk(S().m);
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto w = FindWindowRec(hwnd);
    if (!w || !rect) return FALSE;
    std::lock_guard lk(S().m);
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

// ---- threads and process ----

[[gnu::hot]] DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId++;
    return t_threadId;
}

HINSTANCE GetModuleHandleA(const char*) { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)); }
