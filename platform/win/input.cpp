// The process's pointer position, key states and foreground window.
#include "platform/win/input.h"

#include <array>
#include <mutex>

#include "platform/win/winuser.h"

namespace {

struct TInput {
    std::mutex lock;
    POINT cursor;
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
    HWND foreground = nullptr;
};

TInput& Input() {
    static TInput input;
    return input;
}

}  // namespace

BOOL GetCursorPos(POINT* lpPoint) {
    if (!lpPoint) return FALSE;
    TInput& in = Input();
    std::lock_guard<std::mutex> g(in.lock);
    *lpPoint = in.cursor;
    return TRUE;
}

BOOL SetCursorPos(int X, int Y) {
    TInput& in = Input();
    std::lock_guard<std::mutex> g(in.lock);
    in.cursor.x = X;
    in.cursor.y = Y;
    return TRUE;
}

void keybd_event(BYTE bVk, BYTE, DWORD dwFlags, UINT_PTR) {
    TInput& in = Input();
    std::lock_guard<std::mutex> g(in.lock);
    const bool press = !(dwFlags & KEYEVENTF_KEYUP);
    if (press && !in.down[bVk]) in.toggled[bVk] = !in.toggled[bVk];
    in.down[bVk] = press;
}

std::int16_t GetKeyState(int nVirtKey) {
    if (nVirtKey < 0 || nVirtKey > 255) return 0;
    TInput& in = Input();
    std::lock_guard<std::mutex> g(in.lock);
    return static_cast<std::int16_t>((in.down[nVirtKey] ? 0x8000 : 0) | (in.toggled[nVirtKey] ? 1 : 0));
}

BOOL SetForegroundWindow(HWND hWnd) {
    if (!IsWindow(hWnd)) return FALSE;
    TInput& in = Input();
    std::lock_guard<std::mutex> g(in.lock);
    in.foreground = hWnd;
    return TRUE;
}

HWND GetForegroundWindow() {
    HWND w;
    {
        TInput& in = Input();
        std::lock_guard<std::mutex> g(in.lock);
        w = in.foreground;
    }
    return IsWindow(w) ? w : nullptr;
}
