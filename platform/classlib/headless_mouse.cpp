#include "platform/classlib/headless_mouse.h"

#include <memory>

#include "platform/classlib/forms.h"
#include "platform/gdi/wingdi.h"
#include "platform/win/capture.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace headless {

namespace {

constexpr const char* kHeldKey = "headless.mouse.held";

struct Held {
    WPARAM buttons = 0;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON
};

std::shared_ptr<Held> HeldOf(HWND hwnd) {
    auto d = std::static_pointer_cast<Held>(win::GetWindowData(hwnd, kHeldKey));
    if (!d) {
        d = std::make_shared<Held>();
        win::SetWindowData(hwnd, kHeldKey, d);
    }
    return d;
}

WPARAM ButtonFlag(TMouseButton b) {
    switch (b) {
        case mbRight: return MK_RBUTTON;
        case mbMiddle: return MK_MBUTTON;
        default: return MK_LBUTTON;
    }
}

LPARAM Point(int x, int y) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                               static_cast<std::uint16_t>(x));
}

WPARAM Keys(TShiftState shift) {
    // Only the keyboard part of the shift state; the buttons come from what is held.
    return MKFromShiftState(shift & (ssShift | ssCtrl)) & (MK_SHIFT | MK_CONTROL);
}

bool MouseTaken(HWND hwnd, const Held& held) { return held.buttons != 0 || GetCapture() == hwnd; }

}  // namespace

bool InWindowShape(TCustomForm* form, int x, int y) {
    if (!form || !form->Handle()) return false;
    HRGN rgn = gdi::WindowRegion(form->Handle());
    return !rgn || PtInRegion(rgn, x, y);
}

bool PostMouseDown(TCustomForm* form, int x, int y, TMouseButton button, TShiftState shift) {
    if (!form || !form->Handle()) return false;
    HWND hwnd = form->Handle();
    auto held = HeldOf(hwnd);
    if (GetCapture() != hwnd && !InWindowShape(form, x, y)) return false;
    held->buttons |= ButtonFlag(button);
    if (button == mbLeft) win::NoteMousePress(hwnd, POINT{x, y});
    UINT msg = button == mbRight ? WM_RBUTTONDOWN : button == mbMiddle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    return PostMessageA(hwnd, msg, held->buttons | Keys(shift), Point(x, y));
}

bool PostMouseMove(TCustomForm* form, int x, int y, TShiftState shift) {
    if (!form || !form->Handle()) return false;
    HWND hwnd = form->Handle();
    auto held = HeldOf(hwnd);
    if (!MouseTaken(hwnd, *held) && !InWindowShape(form, x, y)) return false;
    return PostMessageA(hwnd, WM_MOUSEMOVE, held->buttons | Keys(shift), Point(x, y));
}

bool PostMouseUp(TCustomForm* form, int x, int y, TMouseButton button, TShiftState shift) {
    if (!form || !form->Handle()) return false;
    HWND hwnd = form->Handle();
    auto held = HeldOf(hwnd);
    const bool wasHeld = (held->buttons & ButtonFlag(button)) != 0;
    if (!wasHeld && GetCapture() != hwnd && !InWindowShape(form, x, y)) return false;
    held->buttons &= ~ButtonFlag(button);
    UINT msg = button == mbRight ? WM_RBUTTONUP : button == mbMiddle ? WM_MBUTTONUP : WM_LBUTTONUP;
    return PostMessageA(hwnd, msg, held->buttons | Keys(shift), Point(x, y));
}

}  // namespace headless
