// TTrayIcon: the main window's icon in the notification area.
//
// This is the component's outer shape: the properties and events the main window sets and the
// minimise/restore rule uses (Visible, Hint, PopupMenu, OnDblClick and the rest of its events). The
// shell icon itself, its hidden window and the mouse notifications arrive with the tray component's
// own implementation; until then Visible only records whether the icon would be shown, and
// DblClick() is the entry a script uses in place of the shell's double-click notification.
#pragma once

#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/controls.h"

class TPopupMenu;

class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* AOwner);
    const char* ClassName() const override { return "TTrayIcon"; }

    int IconID = 0;
    int ImageIndex = 0;
    bool Enabled = true;

    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v.substr(0, 63); }  // the shell's tip holds 63

    TPopupMenu* PopupMenu = nullptr;

    // What the shell's notifications run.
    void Click();
    void DblClick();

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnPopupMenu;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool FVisible = false;
    std::string FHint;
};
