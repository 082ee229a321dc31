// Running the calling thread's message loop until a condition holds, bounded in time so that a
// fault fails the test instead of hanging it. The loop blocks in the queue's timed wait.
#pragma once

#include <functional>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace testsupport {

inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - spent, QS_ALLINPUT);
    }
}

}  // namespace testsupport
