// Pumping helpers for the tests of this folder: run the calling thread's message loop until a
// condition holds, with a bound so that a fault fails the test instead of hanging it.
#pragma once

#include <functional>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace pumptest {

// Pumps (PeekMessageA/DispatchMessageA, WaitMessage when idle) until done() or limitMs passed. A
// helper window ticks every 20 ms so that the wait wakes up to look at the clock.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000) {
    static const char* kClass = "PumpTestTicker";
    WNDCLASSA wc{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), kClass, &wc)) {
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassA(&wc);
    }
    HWND ticker = CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetTimer(ticker, 1, 20, nullptr);
    DWORD start = GetTickCount();
    bool ok = false;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done()) {
            ok = true;
            break;
        }
        if (GetTickCount() - start > limitMs) break;
        WaitMessage();
    }
    KillTimer(ticker, 1);
    DestroyWindow(ticker);
    return ok;
}

}  // namespace pumptest
