#include "messenger/TrayIcon.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/menus.h"
#include "platform/classlib/messages.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner), FFlags(NIF_MESSAGE | NIF_TIP) {
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); }, "TTrayIconWindow");
}

TTrayIcon::~TTrayIcon() {
    SetVisible(false);
    DeallocateHWnd(FWindow);
}

void TTrayIcon::Shell(DWORD message) {
    NOTIFYICONDATAA data;
    data.hWnd = FWindow;
    data.uID = static_cast<UINT>(IconID);
    data.uFlags = FFlags;
    data.uCallbackMessage = WmTrayNotify;
    std::memcpy(data.szTip, FHint.data(), std::min(FHint.size(), sizeof data.szTip - 1));
    Shell_NotifyIconA(message, &data);  // a refusal (a change while hidden) passes silently
}

void TTrayIcon::SetVisible(bool v) {
    if (v == FVisible) return;
    if (v) Show();
    else Hide();
}

void TTrayIcon::Show() {
    FFlags |= NIF_ICON;
    Shell(NIM_ADD);
    FVisible = true;
    if (OnShow) OnShow(this);
}

void TTrayIcon::Hide() {
    FFlags &= ~static_cast<unsigned>(NIF_ICON);
    Shell(NIM_DELETE);
    FVisible = false;
    if (OnHide) OnHide(this);
}

void TTrayIcon::SetHint(const std::string& v) {
    FHint = v.substr(0, 63);
    Shell(NIM_MODIFY);
}

void TTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TTrayIcon::Click() {
    if (OnClick) OnClick(this);
}

void TTrayIcon::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TTrayIcon::ShowPopup() {
    if (!PopupMenu) return;
    PopupMenu->Popup(0, 0);
    PostMessageA(FWindow, WM_NULL, 0, 0);
    if (OnPopupMenu) OnPopupMenu(this);
}

void TTrayIcon::WndProc(TMessage& m) {
    if (m.Msg != WmTrayNotify || !Enabled) {
        m.Result = DefWindowProcA(FWindow, m.Msg, m.WParam, m.LParam);
        return;
    }
    const int x = 0, y = 0;
    const TShiftState shift = 0;
    switch (m.LParam) {
        case WM_LBUTTONDOWN:
            FClickPending = true;
            MouseDown(mbLeft, shift | ssLeft, x, y);
            break;
        case WM_LBUTTONUP:
            MouseUp(mbLeft, shift | ssLeft, x, y);
            if (FClickPending) Click();
            FClickPending = false;
            break;
        case WM_LBUTTONDBLCLK:
            DblClick();
            break;
        case WM_RBUTTONDOWN:
            MouseDown(mbRight, shift | ssRight, x, y);
            break;
        case WM_RBUTTONUP:
            ShowPopup();
            MouseUp(mbRight, shift | ssRight, x, y);
            break;
        default:
            break;
    }
}

void TTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == static_cast<TComponent*>(PopupMenu))
        PopupMenu = nullptr;
}
