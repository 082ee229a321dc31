// TTrayIcon: the main window's icon in the notification area.
//
// The icon goes into the shell's notification area (Shell_NotifyIconA, platform/win/shellapi.h)
// when shown and leaves it when hidden; every shell call hands over the 88-byte notify-icon record
// (hidden window, IconID, flags, callback message WmTrayNotify, icon, tip). The shell's mouse
// notifications come back to the component's hidden window as WmTrayNotify and become its events:
// a left press and release is MouseDown, MouseUp and Click; the shell's double click (down, up,
// double click, up) gives MouseDown, MouseUp, Click, DblClick, MouseUp (no second Click); a right
// press and release pops up PopupMenu (OnPopupMenu) and then runs MouseUp. With Enabled false the
// notifications run nothing. The events get the pointer's screen position and the Shift, Alt and
// Control keys held at the notification; a right press first brings the icon's window to the
// foreground, and every release the application's main window.
//
// The shell's answers are not acted on (a change while hidden passes silently), but InTaskbar
// tells whether the icon is really there, so that an owner hides its window only when the icon can
// bring it back. An image list that is freed is forgotten. An exception while calling the shell
// becomes ETrayIcon "<Name>.AddToTaskbar failed" (DeleteFromTaskbar, UpDate likewise).
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/messages.h"
#include "platform/classlib/sysutils.h"

class TPopupMenu;
class TIcon;
class TImageList;

// The callback message the shell sends to the icon's window.
constexpr UINT WmTrayNotify = 1025;

CLASSLIB_EXCEPTION(ETrayIcon, Exception);

class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* AOwner);
    ~TTrayIcon() override;
    const char* ClassName() const override { return "TTrayIcon"; }

    // The icon shown (owned); SetIcon copies the given one and updates the shell.
    TIcon* Icon() const { return FIcon.get(); }
    void SetIcon(TIcon* icon);
    // When an image list is set, the icon is image ImageIndex of it (copied in, then the shell is
    // updated) each time either changes.
    TImageList* ImageList() const { return FImageList; }
    void SetImageList(TImageList* list);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    // The icon's identifier towards the shell; a change while shown removes the icon and adds it
    // again under the new identifier.
    int IconID() const { return FIconID; }
    void SetIconID(int v);
    bool Enabled = true;  // mouse notifications are handled

    // Setting Visible to a new value shows or hides the icon.
    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    // Show puts the icon into the notification area and runs OnShow; Hide takes it out and runs
    // OnHide. Both do so every time they are called.
    virtual void Show();
    virtual void Hide();
    // Whether the shell took the icon at the last Show (and it was not taken out since).
    bool InTaskbar() const { return FInTaskbar; }

    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& v);  // keeps the first 63 characters (the shell's tip holds 63)

    TPopupMenu* PopupMenu = nullptr;

    // The events' firers, as the shell's notifications run them.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();
    // Pops up PopupMenu (when set) at the pointer, posts WM_NULL to the hidden window and runs
    // OnPopupMenu.
    virtual void ShowPopup();

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnPopupMenu;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

    HWND Handle() const { return FWindow; }  // the hidden window the shell notifies

    void Loaded() override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void WndProc(TMessage& Message);
    virtual void AddToTaskbar();
    virtual void DeleteFromTaskbar();
    virtual void UpDate();
    virtual void IconFromImageList();

private:
    // Fills the notify-icon record and calls the shell; `what` names the operation in ETrayIcon.
    bool Shell(DWORD message, const char* what);
    HWND FWindow = nullptr;
    std::unique_ptr<TIcon> FIcon;
    TImageList* FImageList = nullptr;
    int FImageIndex = 0;
    int FIconID = 0;
    unsigned FFlags;            // NIF_ values
    bool FVisible = false;
    bool FInTaskbar = false;
    bool FClickPending = false;
    std::string FHint;
};
