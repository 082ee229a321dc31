// The notification-area icon: the shell calls and the mouse notifications.
#include "messenger/TrayIcon.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/imagelist.h"
#include "platform/classlib/menus.h"
#include "platform/win/input.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

namespace {
constexpr int kAltKey = 0x12;  // VK_MENU
}  // namespace

TTrayIcon::TTrayIcon(TComponent* AOwner)
    : TComponent(AOwner), FIcon(std::make_unique<TIcon>()), FFlags(NIF_MESSAGE | NIF_TIP) {
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); }, "TTrayIconWindow");
}

TTrayIcon::~TTrayIcon() {
    if (FImageList) FImageList->RemoveFreeNotification(this);
    try {
        SetVisible(false);
    } catch (...) {
        // nothing can be reported from here
    }
    DeallocateHWnd(FWindow);
}

bool TTrayIcon::Shell(DWORD message, const char* what) {
    try {
        NOTIFYICONDATAA data;
        data.hWnd = FWindow;
        data.uID = static_cast<UINT>(FIconID);
        data.uFlags = FFlags;
        data.uCallbackMessage = WmTrayNotify;
        // The shell keeps the icon by reference: the component's own icon object names it.
        data.hIcon = FIcon->Empty() ? nullptr : reinterpret_cast<HICON>(FIcon.get());
        std::memcpy(data.szTip, FHint.data(), std::min(FHint.size(), sizeof data.szTip - 1));
        return Shell_NotifyIconA(message, &data) != FALSE;
    } catch (...) {
        throw ETrayIcon(Name() + "." + what + " failed");
    }
}

// The shell refuses to add an icon twice: one it still shows (it takes a change of its record)
// counts as shown.
void TTrayIcon::AddToTaskbar() {
    FInTaskbar = Shell(NIM_ADD, "AddToTaskbar") || (FInTaskbar && Shell(NIM_MODIFY, "AddToTaskbar"));
}

void TTrayIcon::DeleteFromTaskbar() {
    Shell(NIM_DELETE, "DeleteFromTaskbar");
    FInTaskbar = false;
}

void TTrayIcon::UpDate() { Shell(NIM_MODIFY, "UpDate"); }

void TTrayIcon::SetIcon(TIcon* icon) {
    FIcon->Assign(icon);
    UpDate();
}

void TTrayIcon::SetImageList(TImageList* list) {
    if (FImageList) FImageList->RemoveFreeNotification(this);
    FImageList = list;
    if (FImageList) FImageList->FreeNotification(this);
    IconFromImageList();
}

void TTrayIcon::SetImageIndex(int index) {
    FImageIndex = index;
    IconFromImageList();
}

void TTrayIcon::IconFromImageList() {
    if (!FImageList) return;
    FIcon->Assign(nullptr);
    FImageList->GetIcon(FImageIndex, FIcon.get());
    UpDate();
}

void TTrayIcon::SetIconID(int v) {
    if (v == FIconID) return;
    const bool was = FVisible;
    SetVisible(false);
    FIconID = v;
    SetVisible(was);
}

void TTrayIcon::SetVisible(bool v) {
    if (v == FVisible) return;
    if (v) Show();
    else Hide();
}

void TTrayIcon::Show() {
    FFlags |= NIF_ICON;
    AddToTaskbar();
    FVisible = true;
    if (OnShow) OnShow(this);
}

void TTrayIcon::Hide() {
    FFlags &= ~static_cast<unsigned>(NIF_ICON);
    DeleteFromTaskbar();
    FVisible = false;
    if (OnHide) OnHide(this);
}

void TTrayIcon::SetHint(const std::string& v) {
    FHint = v.substr(0, 63);
    UpDate();
}

void TTrayIcon::Loaded() {
    TComponent::Loaded();
    if (FVisible) Show();
}

void TTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Application && Application->MainForm()) SetForegroundWindow(Application->MainForm()->Handle());
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
    POINT at;
    GetCursorPos(&at);
    const int x = at.x, y = at.y;
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(kAltKey) < 0) shift |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
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
            SetForegroundWindow(FWindow);
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
    if (Operation != TOperation::opRemove) return;
    if (AComponent == static_cast<TComponent*>(PopupMenu)) PopupMenu = nullptr;
    if (AComponent == static_cast<TComponent*>(FImageList)) FImageList = nullptr;
}
