#include "platform/classlib/forms.h"

#include <algorithm>

#include "platform/classlib/application.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/stdctrls.h"

TScreen* Screen = new TScreen(nullptr);

int TScreen::FormCount() const { return Application->FormCount(); }
TCustomForm* TScreen::Forms(int i) const { return Application->Forms(i); }
TCustomForm* TScreen::ActiveForm() const { return Application->ActiveForm(); }

namespace {

constexpr const char* FormWindowClass = "TFormWindow";

void RegisterFormClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), FormWindowClass, &wc)) return;
    wc.lpfnWndProc = &TCustomForm::FormWindowProcEntry;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = FormWindowClass;
    RegisterClassA(&wc);
}

int LX(LPARAM l) { return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(l))); }
int LY(LPARAM l) { return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(l))); }

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEMOVE && m <= WM_MBUTTONUP; }

bool Holds(const TControl* outer, const TControl* inner) {
    if (!outer || !inner) return false;
    if (outer == inner) return true;
    auto* w = dynamic_cast<const TWinControl*>(outer);
    return w && w->ContainsControl(inner);
}

}  // namespace

LRESULT TCustomForm::FormWindowProcEntry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TCustomForm*>(GetWindowLongA(hwnd, GWL_USERDATA));
    if (!form) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == CM_RELEASE) {
        form->BeforeDestruction();
        delete form;
        return 0;
    }
    TMessage m{msg, wParam, lParam, 0};
    Application->Trap(form, [&] {
        if (form->WindowProc) form->WindowProc(m);
        else form->WndProc(m);
    });
    return m.Result;
}

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    SetComponentState(csLoading, true);
    FVisible = false;
    FParentFont = false;  // a form has its own font, the class library's default
    FWidth = 320;
    FHeight = 240;
    RegisterFormClass();
    FHandle = CreateWindowExA(0, FormWindowClass, "", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0, FWidth, FHeight,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (FHandle) SetWindowLongA(FHandle, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Application->RegisterForm(this);
}

TCustomForm::~TCustomForm() {
    BeforeDestruction();
    if (FVisible && !Loading()) {
        FVisible = false;
        ActiveBackend()->FormHidden(this);
    }
    ActiveBackend()->FormDestroying(this);
    Application->FormDestroyed(this);
    DestroyComponents();
    FActiveControl = nullptr;
    FMouseCapture = FMouseOver = FPressed = nullptr;
    if (FHandle) {
        SetWindowLongA(FHandle, GWL_USERDATA, 0);
        DestroyWindow(FHandle);
        FHandle = nullptr;
    }
}

void TCustomForm::AfterConstruction() {
    if (FCreated) return;
    FCreated = true;
    bool wantVisible = FVisible;
    FVisible = false;
    Loaded();
    DoCreate();
    if (wantVisible) SetVisible(true);
}

void TCustomForm::BeforeDestruction() {
    if (FDestroyRan) return;
    FDestroyRan = true;
    SetComponentState(csDestroying, true);
    Application->Trap(this, [&] { DoDestroy(); });
}

void TCustomForm::DoCreate() {
    Application->Trap(this, [&] {
        if (OnCreate) OnCreate(this);
    });
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::DoDestroy() {
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::SetVisible(bool v) {
    if (Loading()) {
        FVisible = v;
        return;
    }
    if (v == FVisible) return;
    ApplyVisible(v);
}

void TCustomForm::ApplyVisible(bool v) {
    if (v) {
        if (Position == poScreenCenter || Position == poDesktopCenter ||
            ((Position == poMainFormCenter || Position == poOwnerFormCenter) && !Application->MainForm())) {
            SetBounds((Screen->Width() - FWidth) / 2, (Screen->Height() - FHeight) / 2, FWidth, FHeight);
        } else if (Position == poMainFormCenter || Position == poOwnerFormCenter) {
            TCustomForm* m = Application->MainForm();
            SetBounds(m->Left() + (m->Width() - FWidth) / 2, m->Top() + (m->Height() - FHeight) / 2, FWidth, FHeight);
        }
        FVisible = true;
        auto reveal = [this] {
            if (!FVisible) return;
            if (FHandle) ShowWindow(FHandle, SW_SHOW);
            if (FPeer) FPeer->VisibleChanged();
            ActiveBackend()->FormShown(this);
            Application->SetActiveForm(this);
        };
        try {
            DoShow();
        } catch (...) {
            reveal();
            throw;
        }
        reveal();
    } else {
        FVisible = false;
        FMouseCapture = FPressed = nullptr;
        auto conceal = [this] {
            if (FHandle) ShowWindow(FHandle, SW_HIDE);
            if (FPeer) FPeer->VisibleChanged();
            ActiveBackend()->FormHidden(this);
            if (Application->ActiveForm() == this) Application->SetActiveForm(nullptr);
            if (FModal && ModalResult == mrNone) ModalResult = mrCancel;
        };
        try {
            DoHide();
        } catch (...) {
            conceal();
            throw;
        }
        conceal();
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    if (FVisible && !Loading()) Application->SetActiveForm(this);
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (FModal) {
        ModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
        case caHide: Hide(); break;
        case caMinimize: SetWindowState(wsMinimized); break;
        case caFree:
            Hide();
            Release();
            break;
        default: break;
    }
}

void TCustomForm::Release() {
    if (FHandle) PostMessageA(FHandle, CM_RELEASE, 0, 0);
}

int TCustomForm::ShowModal() {
    if (FVisible || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    std::vector<TCustomForm*> disabled;
    for (int i = 0; i < Application->FormCount(); ++i) {
        TCustomForm* f = Application->Forms(i);
        if (f != this && f->Enabled()) {
            f->SetEnabled(false);
            disabled.push_back(f);
        }
    }
    auto restore = [&] {
        FModal = false;
        for (TCustomForm* f : disabled) {
            bool alive = false;
            for (int i = 0; i < Application->FormCount(); ++i)
                if (Application->Forms(i) == f) alive = true;
            if (alive) f->SetEnabled(true);
        }
    };
    FModal = true;
    ModalResult = mrNone;
    try {
        Show();
        for (;;) {
            if (Application->Terminated()) {
                if (ModalResult == mrNone) ModalResult = mrCancel;
                break;
            }
            if (ModalResult != mrNone) {
                // Closing: the form may still refuse.
                bool canClose = CloseQuery();
                TCloseAction action = caHide;
                if (canClose) DoClose(action);
                if (!canClose || action == caNone) {
                    ModalResult = mrNone;
                } else {
                    break;
                }
            }
            if (!Application->HandleMessageNoWait()) ActiveBackend()->ModalIdle(this);
        }
        FModal = false;
        Hide();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return ModalResult;
}

void TCustomForm::SetEnabled(bool v) {
    TWinControl::SetEnabled(v);
    if (FHandle) EnableWindow(FHandle, v ? TRUE : FALSE);
}

void TCustomForm::SetWindowState(TWindowState s) {
    if (s == FWindowState) return;
    FWindowState = s;
    if (FHandle && FVisible && !Loading())
        ShowWindow(FHandle, s == wsMinimized ? SW_MINIMIZE : s == wsMaximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
    bool resized = width != FWidth || height != FHeight;
    TWinControl::SetBounds(left, top, width, height);
    if (FHandle) MoveWindow(FHandle, FLeft, FTop, FWidth, FHeight, TRUE);
    if (resized && !Loading() && OnResize) OnResize(this);
}

void TCustomForm::SetActiveControl(TWinControl* c) {
    if (!c) {
        SetFocusedControl(nullptr);
        return;
    }
    if (c->ParentForm() != this) throw EInvalidOperation("Control is not on this form");
    SetFocusedControl(c);
}

void TCustomForm::SetFocusedControl(TWinControl* c) {
    if (c == FActiveControl) return;
    TWinControl* old = FActiveControl;
    FActiveControl = c;
    if (old) old->DoExit();
    if (c && FActiveControl == c) c->DoEnter();
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(FActiveControl));
}

namespace {
TButton* FindButton(const TWinControl* w, bool wantDefault) {
    for (int i = 0; i < w->ControlCount(); ++i) {
        TControl* c = w->Controls(i);
        if (!c->Visible() || !c->Enabled()) continue;
        if (auto* b = dynamic_cast<TButton*>(c)) {
            if (wantDefault ? b->Default : b->Cancel) return b;
        }
        if (auto* cw = dynamic_cast<TWinControl*>(c))
            if (TButton* b = FindButton(cw, wantDefault)) return b;
    }
    return nullptr;
}
}  // namespace

TButton* TCustomForm::DefaultButton() const { return FindButton(this, true); }
TButton* TCustomForm::CancelButton() const { return FindButton(this, false); }

bool TCustomForm::DialogKey(WORD Key) {
    TButton* button = Key == VK_RETURN ? DefaultButton() : Key == VK_ESCAPE ? CancelButton() : nullptr;
    if (!button) return false;
    button->Click();
    return true;
}

void TCustomForm::ForgetControl(TControl* c) {
    if (Holds(c, FActiveControl)) FActiveControl = nullptr;
    if (Holds(c, FMouseCapture)) FMouseCapture = nullptr;
    if (Holds(c, FMouseOver)) FMouseOver = nullptr;
    if (Holds(c, FPressed)) FPressed = nullptr;
}

void TCustomForm::TextChanged() {
    if (FHandle) SetWindowTextA(FHandle, FText.c_str());
}

void TCustomForm::WndProc(TMessage& m) {
    if (IsMouseMessage(m.Msg)) {
        HandleMouse(m);
        return;
    }
    switch (m.Msg) {
        case WM_CLOSE: Close(); return;
        case WM_SYSCOMMAND:
            switch (m.WParam & 0xFFF0) {
                case SC_CLOSE: Close(); return;
                case SC_MINIMIZE:
                    if (Application->MainForm() == this) Application->Minimize();
                    else SetWindowState(wsMinimized);
                    return;
                case SC_RESTORE:
                    if (Application->MainForm() == this && Application->Minimized()) Application->Restore();
                    else SetWindowState(wsNormal);
                    return;
                default: m.Result = DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam); return;
            }
        default: break;
    }
    if (m.Msg >= CM_BASE && m.Msg < CM_BASE + 0x100) {
        TWinControl::WndProc(m);
        return;
    }
    TWinControl::WndProc(m);
    if (m.Msg < WM_USER && m.Msg != WM_NCCREATE) m.Result = DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam);
}

void TCustomForm::HandleMouse(TMessage& m) {
    if (!Enabled()) return;
    int x = LX(m.LParam), y = LY(m.LParam);
    // The control under the point, and the point in its coordinates.
    auto hit = [this](int px, int py, int& cx, int& cy) -> TControl* {
        TWinControl* w = this;
        cx = px;
        cy = py;
        for (;;) {
            TControl* c = w->ControlAtPos(cx, cy);
            if (!c) return w;
            cx -= c->Left();
            cy -= c->Top();
            auto* cw = dynamic_cast<TWinControl*>(c);
            if (!cw) return c;
            w = cw;
        }
    };
    auto toLocal = [this](TControl* c, int px, int py, int& cx, int& cy) {
        cx = px;
        cy = py;
        for (TControl* p = c; p && p != this; p = p->Parent()) {
            cx -= p->Left();
            cy -= p->Top();
        }
    };
    int hx = 0, hy = 0;
    TControl* under = hit(x, y, hx, hy);

    if (m.Msg == WM_MOUSEMOVE && under != FMouseOver) {
        TControl* old = FMouseOver;
        FMouseOver = under;
        if (old && old != this) old->Perform(CM_MOUSELEAVE);
        if (under && under != this && FMouseOver == under) under->Perform(CM_MOUSEENTER);
    }

    bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN ||
                m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK;
    bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
    TControl* target = under;
    if (down) {
        FMouseCapture = under;
        if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) FPressed = under;
    } else if (FMouseCapture) {
        target = FMouseCapture;
    }
    if (up) FMouseCapture = nullptr;
    if (!target) return;

    int cx = 0, cy = 0;
    toLocal(target, x, y, cx, cy);
    TMessage local{m.Msg, m.WParam, MAKELPARAM(static_cast<WORD>(static_cast<short>(cx)), static_cast<WORD>(static_cast<short>(cy))), 0};
    if (target == this) TWinControl::WndProc(local);
    else target->Perform(local.Msg, local.WParam, local.LParam);

    if (m.Msg == WM_LBUTTONUP) {
        TControl* pressed = FPressed;
        FPressed = nullptr;
        if (pressed && pressed == target && pressed == under && pressed->Enabled() && pressed->ClicksOnMouseUp())
            pressed->Click();
    } else if (m.Msg == WM_RBUTTONUP && under == target) {
        for (TControl* c = target; c; c = c->Parent()) {
            if (TPopupMenu* menu = c->PopupMenu()) {
                if (menu->AutoPopup) {
                    menu->PopupComponent = c;
                    menu->FreeNotification(c);
                    menu->Popup(FLeft + x, FTop + y);
                }
                break;
            }
        }
    }
}
