// Hidden utility windows: one window procedure for every class AllocateHWnd registers, and the
// table from window to method.
#include "platform/classlib/messages.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace {

struct UtilWindows {
    std::mutex m;
    std::set<std::string> classes;
    std::map<HWND, std::shared_ptr<TWndMethod>> methods;
    std::atomic<std::uint64_t> changed{0};  // moves whenever a window leaves the table
};

// The method of the window this thread last dispatched to, kept while no window has left the
// table: a component's hidden window that gets message after message costs no lock, lookup or
// shared-pointer copy per message. During a call the method is lent out of the slot.
struct LastMethod {
    HWND hwnd = nullptr;
    std::uint64_t changed = 0;
    std::shared_ptr<TWndMethod> method;
};
thread_local LastMethod t_last;

UtilWindows& Table() {
    static UtilWindows t;
    return t;
}

LRESULT UtilWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& t = Table();
    std::shared_ptr<TWndMethod> method;
    const std::uint64_t changed = t.changed.load(std::memory_order_acquire);
    if (t_last.hwnd == hwnd && t_last.changed == changed && t_last.method) {
        method = std::move(t_last.method);
    } else {
        std::lock_guard lk(t.m);
        auto it = t.methods.find(hwnd);
        if (it != t.methods.end()) method = it->second;
        t_last.hwnd = hwnd;
        t_last.changed = changed;
        t_last.method.reset();
    }
    if (!method || !*method) return DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    (*method)(m);  // the local copy keeps the method alive if it frees its own window
    // Back into the slot, unless the window left the table or a nested message took the slot.
    if (t_last.hwnd == hwnd && t_last.changed == changed && t.changed.load(std::memory_order_acquire) == changed)
        t_last.method = std::move(method);
    return m.Result;
}

bool EnsureClass(const char* name) {
    auto& t = Table();
    std::lock_guard lk(t.m);
    if (t.classes.count(name)) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = &UtilWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    WNDCLASSA found{};
    if (GetClassInfoA(wc.hInstance, name, &found)) {
        if (found.lpfnWndProc != &UtilWindowProc) return false;  // someone else's class
    } else if (!RegisterClassA(&wc)) {
        return false;
    }
    t.classes.insert(name);
    return true;
}

}  // namespace

HWND AllocateHWnd(TWndMethod Method, const char* ClassName) {
    if (!ClassName || !*ClassName) ClassName = UtilWindowClass;
    if (!EnsureClass(ClassName)) return nullptr;
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, ClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!h) return nullptr;
    auto& t = Table();
    std::lock_guard lk(t.m);
    t.methods[h] = std::make_shared<TWndMethod>(std::move(Method));
    return h;
}

void DeallocateHWnd(HWND Wnd) {
    if (!Wnd) return;
    std::shared_ptr<TWndMethod> keep;  // released after the lock, outside the table
    {
        auto& t = Table();
        std::lock_guard lk(t.m);
        auto it = t.methods.find(Wnd);
        if (it != t.methods.end()) {
            keep = std::move(it->second);
            t.methods.erase(it);
        }
        t.changed.fetch_add(1, std::memory_order_acq_rel);
    }
    if (t_last.hwnd == Wnd) {
        // This thread's slot must not keep the method (and what it holds) alive.
        std::shared_ptr<TWndMethod> last = std::move(t_last.method);
        t_last.hwnd = nullptr;
    }
    DestroyWindow(Wnd);
}
