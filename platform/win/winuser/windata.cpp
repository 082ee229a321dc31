// Named data kept per window, and the hooks of DefWindowProcA and DestroyWindow.
#include "platform/win/windata.h"

#include "platform/win/winuser/state.h"

using namespace win::detail;

namespace win {

void SetWindowData(HWND hwnd, const std::string& key, std::shared_ptr<void> data) {
    auto w = FindWindowRec(hwnd);
    if (!w) return;
    std::lock_guard lk(S().m);
    if (data)
        w->data[key] = std::move(data);
    else
        w->data.erase(key);
}

std::shared_ptr<void> GetWindowData(HWND hwnd, const std::string& key) {
    auto w = FindWindowRec(hwnd);
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
