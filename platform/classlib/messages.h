// The message record of the class library and its hidden utility windows.
//
// TMessage is what a control's WindowProc and a component's hidden window see of a window message.
// AllocateHWnd makes a hidden top-level window on the calling thread whose messages all go to one
// method; every asynchronous component (socket, timer, thread window, HTTP client, watcher, tray,
// decoder binding) gets its window here. The method decides what to answer: it sets Result, and
// calls DefWindowProcA itself for messages it does not handle.
#pragma once

#include <functional>

#include "platform/win/wintypes.h"

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage& Message)>;

// The window class a window gets when the caller names none.
constexpr const char* UtilWindowClass = "TPUtilWindow";

// A hidden window (WS_POPUP, WS_EX_TOOLWINDOW, size 0) of class ClassName on the calling thread,
// every message of which is handed to Method. Returns nullptr when the window cannot be made.
// The method may free the window (DeallocateHWnd) while it runs.
HWND AllocateHWnd(TWndMethod Method, const char* ClassName = UtilWindowClass);
// Destroys a window made by AllocateHWnd; its method is never called afterwards. Null is ignored.
void DeallocateHWnd(HWND Wnd);
