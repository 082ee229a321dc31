#include "platform/classlib/menus.h"

#include <algorithm>

#include "platform/classlib/backend.h"

namespace {
[[noreturn]] void IndexError(int i) {
    throw EListError(Format(sysconst::ListIndexError, {static_cast<std::int64_t>(i)}));
}
}  // namespace

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    if (FParent) FParent->Remove(this);
    Clear();
}

TMenuItem* TMenuItem::Items(int i) const {
    if (i < 0 || i >= Count()) IndexError(i);
    return FItems[static_cast<size_t>(i)];
}

TMenu* TMenuItem::Menu() const {
    const TMenuItem* p = this;
    while (p->FParent) p = p->FParent;
    return p->FMenu;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    if (index < 0 || index > Count()) IndexError(index);
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (p == item) throw EInvalidOperation("A menu item cannot hold itself");
    if (item->FParent) {
        if (item->FParent == this && IndexOf(item) < index) --index;
        item->FParent->Remove(item);
    }
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
}

void TMenuItem::Delete(int index) {
    if (index < 0 || index >= Count()) IndexError(index);
    TMenuItem* item = FItems[static_cast<size_t>(index)];
    FItems.erase(FItems.begin() + index);
    item->FParent = nullptr;
}

void TMenuItem::Remove(TMenuItem* item) {
    int i = IndexOf(item);
    if (i >= 0) Delete(i);
}

void TMenuItem::Clear() {
    while (!FItems.empty()) {
        TMenuItem* item = FItems.back();
        FItems.pop_back();
        item->FParent = nullptr;
        if (!item->Owner()) delete item;
    }
}

std::string TMenuItem::Path() const {
    std::string path;
    for (const TMenuItem* p = this; p && p->FParent; p = p->FParent)
        path = path.empty() ? p->Caption : p->Caption + " > " + path;
    return path;
}

void TMenuItem::Click() {
    if (AutoCheck) {
        if (RadioItem) {
            if (FParent)
                for (TMenuItem* s : FParent->FItems)
                    if (s != this && s->RadioItem && s->GroupIndex == GroupIndex) s->Checked = false;
            Checked = true;
        } else {
            Checked = !Checked;
        }
    }
    if (OnClick) OnClick(this);
}

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) { FItems->FMenu = this; }

TMenu::~TMenu() {
    // Items owned by a form outlive the menu's tree; the root goes with it.
    delete FItems;
    FItems = nullptr;
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    ActiveBackend()->PopupMenu(this, x, y);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMenu::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == PopupComponent) PopupComponent = nullptr;
}
