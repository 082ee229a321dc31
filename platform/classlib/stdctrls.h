// Standard controls: labels, edits, memos, list boxes, combo boxes, buttons, check boxes, radio
// buttons and group boxes.
//
// "By code" versus "by a user": setting a property from code never runs the user events unless
// stated (TCheckBox / TRadioButton Checked run OnClick). A user's actions come in through the
// scripting API (headless.h) or a desktop backend, which call the user-input members of the
// control classes (User*, KeyPress, Describe and the rest in controls.h).
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/strings.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A label: shows Caption; no focus, no window of its own.
class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomLabel"; }
    bool AutoSize = true;
    bool Transparent = false;
    bool WordWrap = false;
    bool ShowAccelChar = true;
    TAlignment Alignment = taLeftJustify;
    TTextLayout Layout = tlTop;
    TWinControl* FocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
    explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
    const char* ClassName() const override { return "TLabel"; }
};

// A one-line edit. Text (= Caption) set by code is stored whole and puts the caret at its end;
// MaxLength (0 = none) limits only what a user types or pastes. OnChange runs on every change of
// Text, by code or by a user.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomEdit"; }

    void SetText(const std::string& v) override;  // runs OnChange when the text differs
    int MaxLength = 0;
    bool ReadOnly = false;
    char PasswordChar = 0;
    bool AutoSelect = true;
    void Clear() { SetText(""); }
    void SelectAll();
    // The selection / caret (0-based); typing and pasting replace the selection at SelStart.
    int SelStart() const { return FSelStart; }
    void SetSelStart(int v);   // clipped to the text; clears the selection

    TNotifyEvent OnChange;

    // A user's typed character at the caret: OnKeyPress first (it may swallow or change the key);
    // backspace deletes the selection or the character before the caret; Enter types CR LF in a
    // memo and runs the form's Default button in a one-line edit; Escape runs the form's Cancel
    // button; any other character replaces the selection when MaxLength leaves room and the edit
    // is not ReadOnly. Returns false when the key was swallowed.
    bool KeyPress(char& Key) override;
    // A user's paste at the caret: as much of `text` as MaxLength allows (a one-line edit takes only
    // the text before the first line break); one OnChange; no key events; nothing when ReadOnly.
    // Returns the number of characters that went in.
    int UserPaste(const std::string& text) override;

    // User input: typing and pasting; a click focuses; Describe masks a password.
    const char* RefusesTyping() const override { return nullptr; }
    bool TakesPaste() const override { return true; }
    bool TakesFocusOnClick() const override { return true; }
    void Describe(TControlDescription& d) const override;

protected:
    virtual void Change();                 // runs OnChange
    virtual bool MultiLine() const { return false; }
    int Room() const;                      // characters MaxLength still allows (large when 0)
    void ReplaceSelection(const std::string& s);
    int FSelStart = 0;
    int FSelLength = 0;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
    const char* ClassName() const override { return "TEdit"; }
};

// A multi-line edit. Text is the raw text, lines separated by CR LF; Lines shows it as a list
// (a trailing CR LF makes no extra empty line; Lines->Add("x") appends "x" CR LF; Lines->Text() is
// the raw text). Enter types CR LF.
class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;
    const char* ClassName() const override { return "TMemo"; }
    TStrings* Lines() const { return FLines.get(); }
    TScrollStyle ScrollBars = ssNone;
    bool WordWrap = true;
    bool WantReturns = true;
    bool WantTabs = false;
    TAlignment Alignment = taLeftJustify;

protected:
    bool MultiLine() const override { return true; }
    void KeyAction(WORD Key, TShiftState Shift) override;  // Enter types a line break (KeyPress)

private:
    std::unique_ptr<TStrings> FLines;
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// A list box. Items belong to it; ItemIndex is the selection (-1 none). Setting ItemIndex by code
// runs no event. A user's selection (UserSelect: a click on an item or a keyboard move) sets
// ItemIndex and runs OnClick; a user's double click selects the item under it (OnClick) and then
// runs OnDblClick. Changes of Items keep the selection on the same item: inserting before it moves
// it down, deleting the selected item (or Clear) leaves none.
class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;
    const char* ClassName() const override { return "TCustomListBox"; }

    TStrings* Items() const;
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int i);  // -1 clears; out of range raises EListError "List index out of bounds (%d)"
    bool Sorted() const;
    void SetSorted(bool v);
    TListBoxStyle Style = lbStandard;
    int ItemHeight = 13;
    bool MultiSelect = false;
    int Columns = 0;
    int TopIndex = 0;
    void Clear();
    int ItemAtPos(int x, int y) const;  // by ItemHeight from TopIndex; -1 outside the items

    void UserSelect(int index) override;    // a user's click on item `index` (or keyboard move to it)
    void UserDblClick(int index) override;  // a user's double click on item `index`

    // User input: items chosen by a press, a double click on an item, the arrow keys.
    bool ClicksOnMouseUp() const override { return false; }
    int UserItemCount() const override;
    int UserItemIndex() const override { return FItemIndex; }
    bool DblClickChoosesItem() const override { return true; }
    bool TakesFocusOnClick() const override { return true; }
    void Describe(TControlDescription& d) const override;  // items=[...] index=N

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyAction(WORD Key, TShiftState Shift) override;  // VK_UP / VK_DOWN move the selection

private:
    friend class TListBoxStrings;
    std::unique_ptr<TStringList> FItems;
    int FItemIndex = -1;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
    const char* ClassName() const override { return "TListBox"; }
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// A combo box: Items, ItemIndex and Text. Setting ItemIndex by code sets Text to the item and runs
// no event. Setting Text by code: in a drop-down list it selects the item equal to it (ignoring
// case; -1 and empty text when none); otherwise the text is kept and ItemIndex becomes the item
// equal to it (or -1). A user's choice (UserSelect) sets both and runs OnClick then OnChange; a
// user's typing (csDropDown / csSimple only; MaxLength limits it) runs OnChange.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;
    const char* ClassName() const override { return "TComboBox"; }

    TStrings* Items() const;
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int i);  // -1 clears the selection (and, in a drop-down list, the text)
    void SetText(const std::string& v) override;
    TComboBoxStyle Style = csDropDown;
    bool Sorted() const;
    void SetSorted(bool v);
    int MaxLength = 0;         // limits typing only
    int DropDownCount = 8;
    int ItemHeight = 16;
    void Clear();

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

    void UserSelect(int index) override;
    // Typing: OnKeyPress, then backspace or the character at the end of the text, then OnChange.
    // Raises EInvalidOperation in a drop-down list (no text to type into).
    bool KeyPress(char& Key) override;

    // User input: items, typing unless a drop-down list.
    bool ClicksOnMouseUp() const override { return false; }
    int UserItemCount() const override;
    int UserItemIndex() const override { return FItemIndex; }
    const char* RefusesTyping() const override;
    bool TakesFocusOnClick() const override { return true; }
    void Describe(TControlDescription& d) const override;  // "text" index=N items=N

private:
    friend class TComboStrings;
    std::unique_ptr<TStringList> FItems;
    int FItemIndex = -1;
};

// A push button. Click sets the parent form's ModalResult to ModalResult (when not mrNone) and runs
// OnClick. Default: Enter in the form runs it; Cancel: Escape runs it.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    const char* ClassName() const override { return "TButton"; }
    bool Default = false;
    bool Cancel = false;
    int ModalResult = 0;  // a TModalResult (forms.h)
    void Click() override;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box. Setting Checked (by code, or by a user's click, which toggles it) runs OnClick when
// the state changes.
class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    const char* ClassName() const override { return "TCheckBox"; }
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool v);
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState s);
    bool AllowGrayed = false;
    TAlignment Alignment = taRightJustify;
    void Click() override;  // a user's click: toggles (OnClick runs through SetChecked)
    void Describe(TControlDescription& d) const override;  // adds checked / unchecked

private:
    TCheckBoxState FState = cbUnchecked;
};

// A radio button. Checking it (by code or by a user's click) unchecks the other radio buttons of
// the same parent and runs OnClick; clicking a checked one changes nothing. Unchecking by code runs
// no event.
class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    const char* ClassName() const override { return "TRadioButton"; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool v);
    TAlignment Alignment = taRightJustify;
    void Click() override;  // a user's click: SetChecked(true)
    void Describe(TControlDescription& d) const override;  // adds checked / unchecked

private:
    bool FChecked = false;
};

// A frame with a caption around other controls.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    const char* ClassName() const override { return "TGroupBox"; }
};
