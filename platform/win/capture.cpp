#include "platform/win/capture.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace {

thread_local HWND tCapture = nullptr;

struct PressPoint {
    POINT pt{};
};
constexpr const char* kPressKey = "capture.press";

int gMoveLoops = 0;

std::int16_t LoWordSigned(LPARAM l) { return static_cast<std::int16_t>(static_cast<std::uint32_t>(l) & 0xFFFF); }
std::int16_t HiWordSigned(LPARAM l) {
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(l) >> 16) & 0xFFFF);
}

// Follows the queued mouse messages of hwnd until the left button is released.
void RunMoveLoop(HWND hwnd) {
    ++gMoveLoops;
    RECT start{};
    if (!GetWindowRect(hwnd, &start)) return;
    POINT press{};
    if (auto d = std::static_pointer_cast<PressPoint>(win::GetWindowData(hwnd, kPressKey))) press = d->pt;
    const int w = start.right - start.left, h = start.bottom - start.top;
    MSG msg;
    while (IsWindow(hwnd) && PeekMessageA(&msg, hwnd, WM_MOUSEMOVE, WM_MBUTTONUP, PM_REMOVE)) {
        if (msg.message != WM_MOUSEMOVE && msg.message != WM_LBUTTONUP) continue;  // other buttons
        const int x = start.left + LoWordSigned(msg.lParam) - press.x;
        const int y = start.top + HiWordSigned(msg.lParam) - press.y;
        MoveWindow(hwnd, x, y, w, h, TRUE);
        if (msg.message == WM_LBUTTONUP) break;
    }
}

LRESULT WindowModelSysCommand(const win::SysCommandHook& previous, HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const UINT cmd = static_cast<UINT>(wParam) & 0xFFF0;
    switch (cmd) {
        case SC_MOVE:  // SC_DRAGMOVE is SC_MOVE with the caption hit code
            ReleaseCapture();
            RunMoveLoop(hwnd);
            return 0;
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            return 0;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            return 0;
        default:
            return previous ? previous(hwnd, wParam, lParam) : 0;
    }
}

}  // namespace

namespace win {

void InstallWindowModel() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto previous = std::make_shared<SysCommandHook>();
        *previous = SetSysCommandHook([previous](HWND hwnd, WPARAM wParam, LPARAM lParam) {
            return WindowModelSysCommand(*previous, hwnd, wParam, lParam);
        });
        AddDestroyHook([](HWND hwnd) {
            if (tCapture == hwnd) tCapture = nullptr;
        });
    });
}

void NoteMousePress(HWND hwnd, POINT clientPoint) {
    InstallWindowModel();
    auto d = std::make_shared<PressPoint>();
    d->pt = clientPoint;
    SetWindowData(hwnd, kPressKey, d);
}

int MoveLoopCount() { return gMoveLoops; }

}  // namespace win

HWND SetCapture(HWND hwnd) {
    win::InstallWindowModel();
    HWND old = tCapture;
    if (hwnd && !IsWindow(hwnd)) return old;
    tCapture = hwnd;
    if (old && old != hwnd && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    win::InstallWindowModel();
    HWND old = tCapture;
    tCapture = nullptr;
    if (old && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() { return tCapture; }
