// The control base classes: TControl, TWinControl and TGraphicControl, with alignment, mouse and
// key event types and the control messages.
//
// Conventions of the visual classes:
//  - A value whose change has an effect (repaint, events, the backend) is a getter/setter pair:
//    `Caption()` / `SetCaption(v)`, `Visible()` / `SetVisible(v)`. A value that is only stored is a
//    plain public member (`Tag`, `Hint`, `Color`, `Cursor`, ...).
//  - Events are std::function members that fire only when assigned.
//  - A control is a component: its Owner (usually the form) frees it; its Parent (a TWinControl)
//    holds it on screen. Setting Parent inserts it into the parent's Controls list.
//  - Coordinates: Left/Top relative to the parent's client area, mouse X/Y relative to the control.
//  - Messages reach a control through WindowProc (a TWndMethod that starts out calling the virtual
//    WndProc); a component may replace WindowProc to hook a control's or a form's messages and call
//    the saved one for the rest.
//  - What a person can do with a control (click it, type into it, choose an item, press a key) and
//    what a person sees of it are the control's own virtual members (the "user input" and
//    Describe members below). Backends and the scripting API go through them and never name
//    control classes, so a new control brings its behaviour to every backend.
//  - Canvases belong to graphics.h: TGraphicControl holds a forward-declared TCanvas pointer slot
//    that the graphics classes fill.
//  - Fonts: every control owns its Font. With ParentFont set (the default for controls; a form has
//    its own font) it holds a copy of its parent's font and follows each change of it; a change of
//    a control's own font clears ParentFont. Each change is a CM_FONTCHANGED to the control, which
//    tells its peer, repaints it and (a windowed control) sends CM_PARENTFONTCHANGED to its
//    children. A graphic control's canvas takes the control's font before each Paint.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/backend.h"
#include "platform/classlib/components.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/messages.h"
#include "platform/win/winuser.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TCanvas;
class TStrings;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// TShiftState: a set of these flags.
enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

// Shift state of the MK_ flags of a mouse message's wParam (and back).
TShiftState ShiftStateFromMK(WPARAM mk);
WPARAM MKFromShiftState(TShiftState shift);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;      // Key = 0 swallows it
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;  // Key = 0 swallows

// Virtual key codes used by the key events.
constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_TAB = 0x09;
constexpr WORD VK_RETURN = 0x0D;
constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_CONTROL = 0x11;
constexpr WORD VK_ESCAPE = 0x1B;
constexpr WORD VK_SPACE = 0x20;
constexpr WORD VK_LEFT = 0x25;
constexpr WORD VK_UP = 0x26;
constexpr WORD VK_RIGHT = 0x27;
constexpr WORD VK_DOWN = 0x28;
constexpr WORD VK_DELETE = 0x2E;


// Control notifications (sent with Perform; never reach the window layer).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 1;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 2;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 3;
constexpr UINT CM_FONTCHANGED = CM_BASE + 4;    // the control's font changed
constexpr UINT CM_COLORCHANGED = CM_BASE + 5;
constexpr UINT CM_MOUSEENTER = CM_BASE + 6;     // the mouse moved onto the control
constexpr UINT CM_MOUSELEAVE = CM_BASE + 7;     // the mouse left it
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 8;   // LParam = the TWinControl* now focused (or 0)
constexpr UINT CM_DIALOGCHAR = CM_BASE + 9;     // WParam = the character
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 10;
constexpr UINT CM_RELEASE = CM_BASE + 11;       // posted to a form's window: free the form
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 12;  // the parent's font changed

// What a person sees of a control, told in words to a listing (the scripting API's DescribeVisible,
// a desktop backend's accessibility). A control calls these in the order they are to be read.
class TControlDescription {
public:
    virtual void Text(const std::string& text) = 0;                  // a shown text
    virtual void List(const char* name, const TStrings& items) = 0;   // a named list of texts
    virtual void Value(const char* name, int value) = 0;              // a named number
    virtual void State(const char* word) = 0;                         // "checked", "down", ...

protected:
    ~TControlDescription() = default;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    const char* ClassName() const override { return "TControl"; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);  // nullptr takes it out of its parent
    // The form this control lies on (walking up the parents; a form is its own), or nullptr.
    TCustomForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    RECT ClientRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign a);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent visible (a form: shown).
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool v);

    // Caption and Text are the same string (a label's caption, an edit's text).
    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& v) { SetText(v); }
    virtual std::string Text() const { return FText; }
    virtual void SetText(const std::string& v);

    std::string Hint;
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool v);
    int Color = 0;           // a colour value of graphics.h (red in the low byte)
    bool ParentColor = true;
    // The control's font (owned; never null). Changing it (Font()->SetStyle(...), SetFont) clears
    // ParentFont. SetParentFont(true) takes the parent's font again.
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* font);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    int Cursor = 0;          // crDefault
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* menu);  // a right button release over the control pops it up

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Messages: WindowProc is what the form's window procedure (and Perform) calls; it starts out
    // as a call of WndProc.
    TWndMethod WindowProc;
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void Invalidate();
    void BringToFront();

    // Runs what a user's click runs (for a button: its ModalResult and OnClick; for a check box:
    // the toggle). Code may call it; the scripting API calls it for a scripted click.
    virtual void Click();
    virtual void DblClick();

    // ---- user input: what a person can do with the control ----
    // Whether a left press and release on the control counts as a click (buttons, labels, panels...
    // every control by default; list and combo boxes choose an item on the press instead, so a
    // scripted click runs their Click directly).
    virtual bool ClicksOnMouseUp() const { return true; }
    // Items a person chooses from by index (list and combo boxes): how many, and which one is
    // chosen (-1 none). A control without items has the count -1.
    virtual int UserItemCount() const { return -1; }
    virtual int UserItemIndex() const { return -1; }
    // A person's choice of item `index` (0 <= index < UserItemCount()): the user events run.
    virtual void UserSelect(int index);
    // Whether a person's double click chooses the item under the pointer first (a list box).
    virtual bool DblClickChoosesItem() const { return false; }
    // A person's double click; `index` is the item under the pointer when DblClickChoosesItem.
    virtual void UserDblClick(int index);
    // Why the control takes no typed text ("does not take typing"), or nullptr when it takes it
    // through KeyPress (edits, editable combo boxes).
    virtual const char* RefusesTyping() const { return "does not take typing"; }
    // Whether it takes a person's paste (UserPaste of TWinControl).
    virtual bool TakesPaste() const { return false; }

    // What a person sees of the control (its text by default); "disabled" is the lister's to add.
    virtual void Describe(TControlDescription& d) const;

    TControlPeer* Peer() const { return FPeer.get(); }

protected:
    virtual void WndProc(TMessage& Message);
    // Mouse handling. X, Y are relative to this control. They run the events.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void TextChanged() {}     // after Text changed (CM_TEXTCHANGED)
    virtual void EnabledChanged() {}  // after Enabled changed
    virtual void VisibleChanged() {}  // after Visible changed
    void NotifyPeerText();            // tells the peer the shown text or state changed
    // Copies the parent's font into Font, keeping ParentFont set.
    void TakeParentFont();

    friend class TWinControl;
    friend class TCustomForm;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FVisible = true;
    bool FEnabled = true;
    bool FShowHint = false;
    bool FParentShowHint = true;
    std::string FText;
    TPopupMenu* FPopupMenu = nullptr;
    bool FParentFont = true;
    bool FTakingParentFont = false;   // Font is being set from the parent's
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TControlPeer> FPeer;

    void Notification(TComponent* AComponent, TOperation Operation) override;
};

// A control that can hold other controls and take the keyboard focus.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    const char* ClassName() const override { return "TWinControl"; }

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int i) const;  // in z-order, bottom first
    // The visible (and, unless allowDisabled, enabled) child whose bounds contain client point
    // (x, y), topmost first; nullptr when none.
    TControl* ControlAtPos(int x, int y, bool allowDisabled = false) const;
    bool ContainsControl(const TControl* c) const;  // a child at any depth

    int TabOrder = 0;
    bool TabStop = true;
    // Moves the keyboard focus here (OnExit of the old, OnEnter of the new focused control).
    virtual void SetFocus();
    // Whether a person's click gives the control the focus (TabStop; edits and lists always).
    virtual bool TakesFocusOnClick() const { return TabStop; }

    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // Runs a typed character through the form's key preview and OnKeyPress (which may change or
    // swallow it) and then the control's own handling (an edit inserts it). Returns false when it
    // was swallowed.
    virtual bool KeyPress(char& Key);
    // Runs the form's key preview and OnKeyDown; returns false when swallowed.
    virtual bool KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    // A person's key press with virtual key code Key: KeyDown, then (unless it was swallowed) the
    // control's handling of the key (KeyAction), then KeyUp.
    void UserKey(WORD Key, TShiftState Shift);
    // A person's paste at the caret; returns the number of characters that went in (none unless
    // TakesPaste).
    virtual int UserPaste(const std::string& text);

    // Lays out the aligned children (alTop, alBottom, alLeft, alRight, alClient) in the client area.
    void Realign();

protected:
    void WndProc(TMessage& Message) override;
    virtual void DoEnter();
    virtual void DoExit();
    // What the control does with a key press nobody swallowed: Enter runs the form's Default button
    // and Escape its Cancel button (TCustomForm::DialogKey); descendants add their own keys (a list
    // box's arrows, a memo's Enter).
    virtual void KeyAction(WORD Key, TShiftState Shift);
    friend class TControl;
    friend class TCustomForm;
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    std::vector<TControl*> FControls;
    bool FAligning = false;
};

// A control without a window of its own (labels, speed buttons, bevels, skinned parts). It paints
// on its parent; the graphics classes give it a canvas.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    const char* ClassName() const override { return "TGraphicControl"; }
    TCanvas* Canvas = nullptr;  // filled by the graphics classes

protected:
    virtual void Paint() {}
};
