// Menus: TMenuItem, TMainMenu and TPopupMenu.
//
// Menu items are components (the form owns them, so "Form1.CEPEKLE1" finds them) and at the same
// time children of their parent item. A menu's Items() is its invisible root item. An item whose
// Caption is "-" is a separator.
//
// A user opening a submenu runs that item's OnClick (handlers refresh the enabling of the subitems
// there); choosing an item runs its OnClick. Choosing a disabled or hidden item does nothing (the
// scripting API reports it as an error).
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/components.h"

class TMenu;
class TControl;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;  // frees the subitems that have no owner; the others only leave it
    const char* ClassName() const override { return "TMenuItem"; }

    std::string Caption;
    bool Enabled = true;
    bool Checked = false;
    bool Visible = true;
    bool RadioItem = false;
    bool Default = false;
    bool AutoCheck = false;   // a click toggles Checked (RadioItem: checks it, unchecking its group)
    int GroupIndex = 0;
    std::string Hint;
    unsigned ShortCut = 0;
    int ImageIndex = -1;
    bool IsLine() const { return Caption == "-"; }

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int i) const;  // raises EListError "List index out of bounds (%d)"
    TMenuItem* operator[](int i) const { return Items(i); }
    TMenuItem* Parent() const { return FParent; }
    TMenu* Menu() const;            // the menu whose tree holds this item, or nullptr
    int IndexOf(const TMenuItem* item) const;
    void Add(TMenuItem* item);               // takes it out of its old parent first
    void Insert(int index, TMenuItem* item); // raises EListError on a bad index
    void Delete(int index);                  // takes the item out (does not free it)
    void Remove(TMenuItem* item);
    void Clear();                            // takes every subitem out, freeing those without owner
    // The item's own path as a person reads it ("Ayarlar > CEP Listesi > CEP EKLE").
    std::string Path() const;

    TNotifyEvent OnClick;
    // Runs what choosing (or opening) the item runs: AutoCheck, then OnClick.
    virtual void Click();

private:
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr;  // set on a menu's root item
    friend class TMenu;
    std::vector<TMenuItem*> FItems;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    const char* ClassName() const override { return "TMenu"; }
    TMenuItem* Items() const { return FItems; }  // the root item

private:
    TMenuItem* FItems;
};

// The menu bar of a form (assign it to the form's Menu).
class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
    const char* ClassName() const override { return "TMainMenu"; }
    bool AutoMerge = false;
};

// A context menu. Popup(x, y) runs OnPopup and then opens the menu at screen point (x, y) through
// the backend; PopupComponent is the control it was opened for (set by a right click).
class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner);
    const char* ClassName() const override { return "TPopupMenu"; }
    bool AutoPopup = true;
    TComponent* PopupComponent = nullptr;
    TNotifyEvent OnPopup;
    virtual void Popup(int x, int y);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
};
