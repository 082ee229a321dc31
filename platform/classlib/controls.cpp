#include "platform/classlib/controls.h"

#include <algorithm>

#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"

TShiftState ShiftStateFromMK(WPARAM mk) {
    TShiftState s = 0;
    if (mk & MK_SHIFT) s |= ssShift;
    if (mk & MK_CONTROL) s |= ssCtrl;
    if (mk & MK_LBUTTON) s |= ssLeft;
    if (mk & MK_RBUTTON) s |= ssRight;
    if (mk & MK_MBUTTON) s |= ssMiddle;
    return s;
}

WPARAM MKFromShiftState(TShiftState shift) {
    WPARAM mk = 0;
    if (shift & ssShift) mk |= MK_SHIFT;
    if (shift & ssCtrl) mk |= MK_CONTROL;
    if (shift & ssLeft) mk |= MK_LBUTTON;
    if (shift & ssRight) mk |= MK_RBUTTON;
    if (shift & ssMiddle) mk |= MK_MBUTTON;
    return mk;
}

// ---- TControl ----

namespace {

bool SameFont(const TFont& a, const TFont& b) {
    return a.Name() == b.Name() && a.Height() == b.Height() && a.Color() == b.Color() && a.Style() == b.Style() &&
           a.Charset() == b.Charset() && a.Pitch() == b.Pitch() && a.PixelsPerInch == b.PixelsPerInch;
}

}  // namespace

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    FPeer = ActiveBackend()->CreatePeer(this);
    FFont->OnChange = [this](TObject*) {
        if (!FTakingParentFont) FParentFont = false;
        Perform(CM_FONTCHANGED);
    };
}

TControl::~TControl() {
    FFont->OnChange = nullptr;
    if (TCustomForm* form = ParentForm(); form && form != static_cast<TControl*>(this)) form->ForgetControl(this);
    if (FParent) FParent->RemoveControl(this);
    FParent = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent) {
        if (TCustomForm* form = ParentForm()) form->ForgetControl(this);
        FParent->RemoveControl(this);
    }
    FParent = nullptr;
    if (parent) parent->InsertControl(this);
}

TCustomForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->FParent) c = c->FParent;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (FPeer) FPeer->BoundsChanged();
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::SetClientWidth(int v) { SetWidth(FWidth - ClientWidth() + v); }
void TControl::SetClientHeight(int v) { SetHeight(FHeight - ClientHeight() + v); }

void TControl::SetAlign(TAlign a) {
    if (a == FAlign) return;
    FAlign = a;
    if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    if (FPeer) FPeer->VisibleChanged();
    VisibleChanged();
    Perform(CM_VISIBLECHANGED, v ? 1 : 0);
    if (FParent && FAlign != alNone) FParent->Realign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    if (FPeer) FPeer->EnabledChanged();
    EnabledChanged();
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& v) {
    if (v == FText) return;
    FText = v;
    NotifyPeerText();
    TextChanged();
    Perform(CM_TEXTCHANGED);
}

void TControl::NotifyPeerText() {
    if (FPeer) FPeer->TextChanged();
}

void TControl::SetFont(TFont* font) {
    if (font) FFont->Assign(font);
}

void TControl::SetParentFont(bool v) {
    FParentFont = v;
    if (v) TakeParentFont();
}

void TControl::TakeParentFont() {
    if (!FParentFont || !FParent || SameFont(*FFont, *FParent->Font())) return;
    FTakingParentFont = true;
    try {
        FFont->Assign(FParent->Font());
    } catch (...) {
        FTakingParentFont = false;
        throw;
    }
    FTakingParentFont = false;
}

void TControl::SetShowHint(bool v) {
    FShowHint = v;
    FParentShowHint = false;
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
    FParentShowHint = v;
    if (v && FParent) FShowHint = FParent->ShowHint();
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (FPopupMenu == menu) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = menu;
    if (menu) menu->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc) WindowProc(m);
    else WndProc(m);
    return m.Result;
}

void TControl::Invalidate() {
    if (FPeer) FPeer->Invalidate();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto& v = FParent->FControls;
    auto it = std::find(v.begin(), v.end(), this);
    if (it == v.end()) return;
    v.erase(it);
    v.push_back(this);
    Invalidate();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::UserSelect(int) {}

void TControl::UserDblClick(int) { DblClick(); }

void TControl::Describe(TControlDescription& d) const { d.Text(Text()); }

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

namespace {
int LX(LPARAM l) { return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(l))); }
int LY(LPARAM l) { return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(l))); }
}  // namespace

void TControl::WndProc(TMessage& m) {
    TShiftState shift = ShiftStateFromMK(m.WParam);
    switch (m.Msg) {
        case WM_LBUTTONDOWN: MouseDown(mbLeft, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_RBUTTONDOWN: MouseDown(mbRight, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_LBUTTONDBLCLK:
            DblClick();
            MouseDown(mbLeft, shift | ssDouble, LX(m.LParam), LY(m.LParam));
            break;
        case WM_RBUTTONDBLCLK: MouseDown(mbRight, shift | ssDouble, LX(m.LParam), LY(m.LParam)); break;
        case WM_LBUTTONUP: MouseUp(mbLeft, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_RBUTTONUP: MouseUp(mbRight, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_MBUTTONUP: MouseUp(mbMiddle, shift, LX(m.LParam), LY(m.LParam)); break;
        case WM_MOUSEMOVE: MouseMove(shift, LX(m.LParam), LY(m.LParam)); break;
        case CM_MOUSEENTER: MouseEnter(); break;
        case CM_MOUSELEAVE: MouseLeave(); break;
        case CM_FONTCHANGED:
            if (FPeer) FPeer->FontChanged();
            Invalidate();
            break;
        case CM_PARENTFONTCHANGED: TakeParentFont(); break;
        default: break;
    }
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    // Children owned elsewhere stay alive; they only lose their parent.
    for (TControl* c : FControls) c->FParent = nullptr;
    FControls.clear();
}

TControl* TWinControl::Controls(int i) const {
    if (i < 0 || i >= ControlCount()) throw EListError(Format(sysconst::ListIndexError, {static_cast<std::int64_t>(i)}));
    return FControls[static_cast<size_t>(i)];
}

void TWinControl::InsertControl(TControl* c) {
    c->FParent = this;
    FControls.push_back(c);
    if (c->FParentShowHint) c->FShowHint = FShowHint;
    c->TakeParentFont();
    if (c->FAlign != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* c) {
    auto it = std::find(FControls.begin(), FControls.end(), c);
    if (it != FControls.end()) FControls.erase(it);
    c->FParent = nullptr;
    if (c->FAlign != alNone && !Destroying()) Realign();
}

TControl* TWinControl::ControlAtPos(int x, int y, bool allowDisabled) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
        if (x >= c->Left() && x < c->Left() + c->Width() && y >= c->Top() && y < c->Top() + c->Height()) return c;
    }
    return nullptr;
}

bool TWinControl::ContainsControl(const TControl* c) const {
    for (const TControl* p = c ? c->Parent() : nullptr; p; p = p->Parent())
        if (p == this) return true;
    return false;
}

void TWinControl::SetFocus() {
    TCustomForm* form = ParentForm();
    if (!form || form == static_cast<TControl*>(this)) return;
    form->SetFocusedControl(this);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

bool TWinControl::KeyPress(char& Key) {
    TCustomForm* form = ParentForm();
    if (form && form != static_cast<TControl*>(this) && form->KeyPreview && form->OnKeyPress) {
        form->OnKeyPress(form, Key);
        if (Key == 0) return false;
    }
    if (OnKeyPress) OnKeyPress(this, Key);
    return Key != 0;
}

bool TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
    TCustomForm* form = ParentForm();
    if (form && form != static_cast<TControl*>(this) && form->KeyPreview && form->OnKeyDown) {
        form->OnKeyDown(form, Key, Shift);
        if (Key == 0) return false;
    }
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    return Key != 0;
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::UserKey(WORD Key, TShiftState Shift) {
    if (KeyDown(Key, Shift)) KeyAction(Key, Shift);
    KeyUp(Key, Shift);
}

void TWinControl::KeyAction(WORD Key, TShiftState) {
    if (Key != VK_RETURN && Key != VK_ESCAPE) return;
    if (TCustomForm* form = ParentForm()) form->DialogKey(Key);
}

int TWinControl::UserPaste(const std::string&) { return 0; }

void TWinControl::Realign() {
    if (FAligning) return;
    FAligning = true;
    int l = 0, t = 0, r = ClientWidth(), b = ClientHeight();
    auto place = [&](TAlign which) {
        for (TControl* c : FControls) {
            if (c->Align() != which || !c->Visible()) continue;
            switch (which) {
                case alTop: c->SetBounds(l, t, std::max(0, r - l), c->Height()); t += c->Height(); break;
                case alBottom: c->SetBounds(l, b - c->Height(), std::max(0, r - l), c->Height()); b -= c->Height(); break;
                case alLeft: c->SetBounds(l, t, c->Width(), std::max(0, b - t)); l += c->Width(); break;
                case alRight: c->SetBounds(r - c->Width(), t, c->Width(), std::max(0, b - t)); r -= c->Width(); break;
                case alClient: c->SetBounds(l, t, std::max(0, r - l), std::max(0, b - t)); break;
                default: break;
            }
        }
    };
    place(alTop);
    place(alBottom);
    place(alLeft);
    place(alRight);
    place(alClient);
    FAligning = false;
}

void TWinControl::WndProc(TMessage& m) {
    TControl::WndProc(m);
    // The children that follow this control's font take it.
    if (m.Msg == CM_FONTCHANGED)
        for (size_t i = 0; i < FControls.size(); ++i) FControls[i]->Perform(CM_PARENTFONTCHANGED);
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
