// Forms: TCustomForm / TForm and TScreen.
//
// A form owns a real window of the window layer (Handle, registered class "TFormWindow"); its
// window procedure calls the form's WindowProc, whose default handling (WndProc) does:
//   WM_CLOSE                      -> Close()
//   WM_SYSCOMMAND SC_CLOSE        -> Close()
//   WM_SYSCOMMAND SC_MINIMIZE     -> Application->Minimize() for the main form, else WindowState
//                                    := wsMinimized; SC_RESTORE likewise restores
//   other WM_SYSCOMMAND           -> DefWindowProcA (which runs the layer's system-command hook:
//                                    SC_DRAGMOVE moves a borderless window)
//   mouse messages (client coordinates in lParam, MK_ flags in wParam)
//                                 -> the control under the point (or the one that took the press,
//                                    until the button is released), else the form's own events;
//                                    OnClick after a left press and release on the same control;
//                                    a right release pops up the control's PopupMenu
//   CM_RELEASE (posted by Release / caFree) -> the form is freed
// Exceptions out of the handlers go to Application->HandleException.
//
// Lifecycle: construct through Application->CreateForm (or call AfterConstruction after `new`).
// While the constructor runs the form is loading: setting Visible only stores it; AfterConstruction
// then runs OnCreate and shows the form when Visible was set. OnShow runs each time the form
// becomes visible (never for a form that is already visible), OnHide each time it becomes hidden.
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/controls.h"

class TMainMenu;
class TButton;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// TBorderIcons: a set of these flags.
enum TBorderIcon : unsigned { biSystemMenu = 1u << 0, biMinimize = 1u << 1, biMaximize = 1u << 2, biHelp = 1u << 3 };
using TBorderIcons = unsigned;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition {
    poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
    poMainFormCenter, poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

// Modal results (a button's ModalResult, ShowModal's value).
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;
    const char* ClassName() const override { return "TCustomForm"; }

    // Ends construction: leaves the loading state, runs OnCreate (exceptions go to
    // HandleException) and shows the form when Visible was set while loading. Runs once.
    virtual void AfterConstruction();
    // Runs OnDestroy (once; exceptions go to HandleException). Whoever deletes a form calls it
    // first, while the derived form is still whole (Release, caFree and Application->Reset do);
    // the destructor runs it when nobody did.
    virtual void BeforeDestruction();

    HWND Handle() const { return FHandle; }

    // Visibility. Show = Visible := true (and brings the form to the front); Hide = Visible := false.
    void SetVisible(bool v) override;
    bool Showing() const override { return FVisible && !Loading(); }
    void Show();
    void Hide();
    // Asks OnCloseQuery, then OnClose with Action = caHide:
    //  caNone keeps the form; caHide hides it; caMinimize minimises it; caFree hides it and frees it
    //  through a posted CM_RELEASE. Closing the main form (any action but caNone) terminates the
    //  application. Closing a modal form sets ModalResult to mrCancel instead.
    void Close();
    bool CloseQuery();   // OnCloseQuery; true when the form may close
    void Release();      // frees the form later, from the message loop
    // Shows the form modally: runs a nested message loop until ModalResult is set (or the
    // application terminates), hides the form and returns ModalResult. Other forms are disabled
    // meanwhile and enabled again afterwards.
    int ShowModal();
    TModalResult ModalResult = mrNone;

    // Enabled: a disabled form takes no user input.
    void SetEnabled(bool v) override;

    TFormStyle FormStyle = fsNormal;
    TBorderStyle BorderStyle = bsSizeable;
    TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition Position = poDesigned;
    bool KeyPreview = false;   // the form's OnKeyPress/OnKeyDown see keys before the focused control
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState s);
    void SetBounds(int left, int top, int width, int height) override;
    // The client area equals the window (our forms draw no frame of their own).
    TMainMenu* Menu = nullptr;

    // Keyboard focus within the form.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* c);
    // The Default / Cancel button (the first enabled visible one found), used by Enter and Escape.
    TButton* DefaultButton() const;
    TButton* CancelButton() const;
    // A dialog key typed in one of the form's controls: VK_RETURN runs the Default button's Click,
    // VK_ESCAPE the Cancel button's. True when a button took the key.
    bool DialogKey(WORD Key);

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnResize;
    TNotifyEvent OnPaint;

    // Internal: a control of this form is going away (drops the form's references to it).
    void ForgetControl(TControl* c);
    // Internal: the window procedure of the form window class.
    static LRESULT FormWindowProcEntry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    void WndProc(TMessage& Message) override;
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void DoDestroy();
    bool Loading() const { return (ComponentState() & csLoading) != 0; }
    void TextChanged() override;  // the window's text follows Caption

private:
    friend class TWinControl;
    friend class TApplication;
    void ApplyVisible(bool v);
    void HandleMouse(TMessage& Message);
    void SetFocusedControl(TWinControl* c);
    HWND FHandle = nullptr;
    bool FCreated = false;
    bool FModal = false;
    bool FDestroyRan = false;
    TWindowState FWindowState = wsNormal;
    TWinControl* FActiveControl = nullptr;
    TControl* FMouseCapture = nullptr;  // took the press; gets moves and the release
    TControl* FMouseOver = nullptr;     // under the mouse (for CM_MOUSEENTER/LEAVE)
    TControl* FPressed = nullptr;       // took the left press (click on release over it)
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
    const char* ClassName() const override { return "TForm"; }
};

// The screen: its size (fixed for headless use) and the forms that exist.
class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}
    const char* ClassName() const override { return "TScreen"; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetSize(int width, int height) { FWidth = width; FHeight = height; }  // for a backend
    int FormCount() const;
    TCustomForm* Forms(int i) const;  // in creation order
    TCustomForm* ActiveForm() const;
    int Cursor = 0;

private:
    int FWidth = 1024;
    int FHeight = 768;
};

extern TScreen* Screen;
