#include "platform/classlib/timer.h"

namespace {
constexpr const char* TimerWindowClass = "TTimerWindow";
constexpr UINT_PTR TimerId = 1;
}  // namespace

TTimerEvent& TTimerEvent::operator=(TNotifyEvent f) {
    FEvent = std::move(f);
    FOwner->UpdateTimer();
    return *this;
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    WNDCLASSA wc{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), TimerWindowClass, &wc)) {
        wc.lpfnWndProc = &TTimer::WndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = TimerWindowClass;
        RegisterClassA(&wc);  // a race with another thread registering it is harmless
    }
    FWindow = CreateWindowExA(0, TimerWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (!FWindow) throw EOutOfMemory("Not enough timers available");
    SetWindowLongA(FWindow, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTimer::~TTimer() {
    if (FRunning) KillTimer(FWindow, TimerId);
    FRunning = false;
    SetWindowLongA(FWindow, GWL_USERDATA, 0);
    DestroyWindow(FWindow);
}

void TTimer::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == FInterval) return;
    FInterval = ms;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindow) return;  // still being built
    if (FRunning) KillTimer(FWindow, TimerId);
    FRunning = false;
    if (FEnabled && FInterval != 0 && OnTimer) {
        if (!SetTimer(FWindow, TimerId, FInterval, nullptr)) throw EOutOfMemory("Not enough timers available");
        FRunning = true;
    }
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

LRESULT TTimer::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == TimerId) {
        auto* self = reinterpret_cast<TTimer*>(GetWindowLongA(hwnd, GWL_USERDATA));
        if (self && self->FRunning) self->Timer();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
