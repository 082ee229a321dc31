// The seam between the visual classes and whatever shows them.
//
// Forms, controls, menus, message boxes and file dialogs are models: they keep their state, run
// their events and do what a person's input means (a default button's Enter, a list box's arrows:
// the user-input members of controls.h). A backend only shows them and feeds a person's input back
// in. The headless backend (headless.h) is active unless another one is installed; a desktop
// backend attaches through SetBackend without any change to a window's code.
//
// What a backend does:
//  - Shows: every control gets a peer (CreatePeer), told of each change of what it shows; a peer
//    reads the rest from its control (Text, bounds, Visible, Enabled, Describe). Forms are shown
//    and hidden through FormShown / FormHidden; popup menus, message boxes and file dialogs are
//    asked through the calls below; a web browser control's pages through Navigate.
//  - Feeds input back: a person's mouse goes to the form's window (Handle) as window messages; keys
//    to the focused control's UserKey / KeyPress; a choice of item to UserSelect; a paste to
//    UserPaste; a menu choice to TMenuItem::Click; the close box and minimise to the form's window
//    as WM_SYSCOMMAND. The scripting API of headless.h does exactly this and is the reference.
//  - Waits: ModalIdle runs when a modal form has nothing to do.
// The shell's requests and its notification area are not part of this seam: they are in
// platform/win/shellapi.h, which keeps what was asked for tests and the scripting API.
//
// Every call happens on the user-interface thread.
#pragma once

#include <memory>
#include <string>

#include "platform/win/wintypes.h"

class TControl;
class TCustomForm;
class TPopupMenu;
class TMenuItem;
class TWebBrowser;

// A control's on-screen counterpart. The model calls these after its own state changed; the peer
// reads whatever else it needs from the control. All do nothing by default.
class TControlPeer {
public:
    virtual ~TControlPeer() = default;
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void TextChanged() {}     // Caption / Text / Lines / Items / Checked / Down / panels
    virtual void BoundsChanged() {}
    virtual void FontChanged() {}     // the control's Font (family, size, style or colour)
    virtual void Invalidate() {}      // repaint request
};

// One message box, as asked. Flags are the MB_ values of dialogs.h.
struct TMessageBoxRequest {
    std::string Text;
    std::string Caption;
    UINT Flags = 0;
    // Text is UTF-8 already, not Windows-1254: the box shows a file system name that the code page
    // cannot hold (ProgramFileName, dialogs.h). The caption stays a 1254 string.
    bool TextUtf8 = false;
};

// One open or save dialog, as asked. On success the backend writes the chosen name to FileName
// (and may change FilterIndex) and returns true; false means cancelled.
struct TFileDialogRequest {
    bool Save = false;
    std::string Title;
    std::string FileName;
    std::string DefaultExt;
    std::string Filter;       // "Description|*.ext|Other|*.x;*.y"
    int FilterIndex = 1;
    std::string InitialDir;
    unsigned Options = 0;     // TOpenOption flags (dialogs.h)
};

class TBackend {
public:
    virtual ~TBackend() = default;

    // The peer of a new control (called once, from the control's constructor); nullptr = no peer.
    virtual std::unique_ptr<TControlPeer> CreatePeer(TControl* control);

    // A form became visible / hidden (after its own state changed, before OnShow runs / after
    // OnHide ran).
    virtual void FormShown(TCustomForm* form);
    virtual void FormHidden(TCustomForm* form);
    // A form is being destroyed (its peer goes with it).
    virtual void FormDestroying(TCustomForm* form);

    // Shows a message box and returns the button chosen (IDOK, IDYES, ...).
    virtual int MessageBox(const TMessageBoxRequest& request) = 0;
    // Runs an open/save dialog; see TFileDialogRequest.
    virtual bool FileDialog(TFileDialogRequest& request) = 0;

    // A popup menu opens at screen point (x, y) (after its OnPopup ran). A backend that can let a
    // person choose an item calls item->Click() later; the default does nothing.
    virtual void PopupMenu(TPopupMenu* menu, int x, int y);

    // The application was minimised / restored (after the forms changed state, before the
    // OnMinimize / OnRestore events run).
    virtual void ApplicationMinimized();
    virtual void ApplicationRestored();

    // A web browser control goes to `url` (webbrowser.h). The backend runs browser->BeforeNavigate
    // and, unless that cancelled, browser->NavigateComplete once the page is there. The default
    // shows nothing and runs both at once.
    virtual void Navigate(TWebBrowser* browser, const std::string& url);

    // A modal loop (TCustomForm::ShowModal) has nothing to do: no message is ready and the form's
    // ModalResult is still 0. A backend either waits for input that will set ModalResult (a desktop
    // backend: wait for messages) or sets it itself. The default waits for the next message.
    virtual void ModalIdle(TCustomForm* form);
};

// The active backend (the headless one unless another was installed). Never null.
TBackend* ActiveBackend();
// Installs a backend (nullptr = back to the headless one) and returns the previous one. The caller
// keeps ownership. Install before creating forms: existing controls keep the peers they have.
TBackend* SetBackend(TBackend* backend);
