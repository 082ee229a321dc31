// Drives the calling thread's message loop for a test: dispatches what is queued, then blocks in the
// queue's wait (cross-thread sends such as a worker's Synchronize are answered there) until a
// condition holds or the time limit passes.
#pragma once

#include <functional>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace testsupport {

inline bool RunLoopUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000) {
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (pred()) return true;
        int left = static_cast<int>(end - GetTickCount());
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

}  // namespace testsupport
