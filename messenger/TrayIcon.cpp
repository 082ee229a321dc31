#include "messenger/TrayIcon.h"

#include "platform/classlib/menus.h"

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner) {}

void TTrayIcon::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    if (v) {
        if (OnShow) OnShow(this);
    } else if (OnHide) {
        OnHide(this);
    }
}

void TTrayIcon::Click() {
    if (Enabled && OnClick) OnClick(this);
}

void TTrayIcon::DblClick() {
    if (Enabled && OnDblClick) OnDblClick(this);
}

void TTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == static_cast<TComponent*>(PopupMenu))
        PopupMenu = nullptr;
}
