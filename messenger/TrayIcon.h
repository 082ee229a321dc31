// TTrayIcon: the main window's icon in the notification area.
//
// The icon goes into the shell's notification area (Shell_NotifyIconA, platform/win/shellapi.h)
// when shown and leaves it when hidden. The shell's mouse notifications come back to the
// component's hidden window as WmTrayNotify and become its events: a left press and release is
// MouseDown, MouseUp and Click; the shell's double click (down, up, double click, up) adds DblClick
// and no second Click; a right press and release pops up PopupMenu (OnPopupMenu) and then runs
// MouseUp. With Enabled false the notifications run nothing. The events get the screen point (0, 0)
// and an empty keyboard state: the window layer keeps no pointer position or key state.
#pragma once

#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/controls.h"

class TPopupMenu;

// The callback message the shell sends to the icon's window.
constexpr UINT WmTrayNotify = 1025;

class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* AOwner);
    ~TTrayIcon() override;
    const char* ClassName() const override { return "TTrayIcon"; }

    int IconID = 0;
    int ImageIndex = 0;
    bool Enabled = true;

    // Setting Visible to a new value shows or hides the icon.
    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    // Show puts the icon into the notification area and runs OnShow; Hide takes it out and runs
    // OnHide. Both do so every time they are called.
    void Show();
    void Hide();

    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& v);  // keeps the first 63 characters (the shell's tip holds 63)

    TPopupMenu* PopupMenu = nullptr;

    // The events' firers, as the shell's notifications run them.
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void Click();
    void DblClick();
    // Pops up PopupMenu (when set) at the pointer and runs OnPopupMenu.
    void ShowPopup();

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnPopupMenu;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

    HWND Handle() const { return FWindow; }  // the hidden window the shell notifies

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void WndProc(TMessage& Message);
    void Shell(DWORD message);  // fills the notify-icon record and calls the shell
    HWND FWindow = nullptr;
    unsigned FFlags;            // NIF_ values
    bool FVisible = false;
    bool FClickPending = false;
    std::string FHint;
};
