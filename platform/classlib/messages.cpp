// Hidden utility windows: one window procedure for every class AllocateHWnd registers, and the
// table from window to method.
#include "platform/classlib/messages.h"

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
};

UtilWindows& Table() {
    static UtilWindows t;
    return t;
}

LRESULT UtilWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<TWndMethod> method;
    {
        auto& t = Table();
        std::lock_guard lk(t.m);
        auto it = t.methods.find(hwnd);
        if (it != t.methods.end()) method = it->second;
    }
    if (!method || !*method) return DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    (*method)(m);  // the shared copy keeps the method alive if it frees its own window
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
    }
    DestroyWindow(Wnd);
}
