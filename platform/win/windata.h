// Named data attached to a window, for parts of the layer that keep more per window (regions,
// capture, backend peers). Dropped when the window is destroyed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/win/wintypes.h"

namespace win {

void SetWindowData(HWND hwnd, const std::string& key, std::shared_ptr<void> data);
std::shared_ptr<void> GetWindowData(HWND hwnd, const std::string& key);

// DefWindowProcA hands WM_SYSCOMMAND to this hook when one is installed (the window backend's
// move loop, minimise and so on). Returns the previous hook.
using SysCommandHook = std::function<LRESULT(HWND, WPARAM, LPARAM)>;
SysCommandHook SetSysCommandHook(SysCommandHook hook);

// Called (on the destroying thread) for every window being destroyed, after WM_NCDESTROY.
using DestroyHook = std::function<void(HWND)>;
void AddDestroyHook(DestroyHook hook);

}  // namespace win
