// What the parts of the desktop backend share: text conversion, the guard around model code run
// from GTK's callbacks, the joined loop and the backend's records. Internal to platform/desktop.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/classlib/backend.h"
#include "platform/classlib/components.h"
#include "platform/win/wintypes.h"

class TControl;
class TCustomForm;
class TFont;
class TMenuItem;
class TPopupMenu;
class TWebBrowser;

namespace desktop::detail {

// Windows-1254 text to a widget's UTF-8 and back.
std::string Utf8(const std::string& cp1254);
std::string FromUtf8(const char* utf8);
// A caption with '&' marking its accelerator in GTK's mnemonic form ('_'), "&&" a plain '&'.
std::string Mnemonic(const std::string& caption);

// Runs model code from a GTK callback: inside the application's exception trap, and anything that
// still escapes (a halt under a scripted session) is kept and thrown again from the dispatch of the
// queue's tick that ran the callback, so that no exception crosses GTK's frames.
void Guard(TObject* sender, const std::function<void()>& fn);

// The joined loop (eventloop.cpp): GLib's events are served when the tick of the loop's timer that
// tells of them is dispatched, in order with the thread's other messages.
bool JoinLoop();
void LeaveLoop();
// Runs the queue until done() holds (or the application terminates or a quit arrives, which is
// posted again for the outer loop); a modal dialog's loop.
void RunUntil(const std::function<bool()>& done);

// A component that watches others being freed (FreeNotification) and forgets them.
class TLiveSet : public TComponent {
public:
    TLiveSet() : TComponent(nullptr) {}
    const char* ClassName() const override { return "TLiveSet"; }
    void Watch(TComponent* c);
    bool Alive(const TComponent* c) const;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::vector<TComponent*> FItems;
};

// Menus (menus.cpp): fills a GtkMenuShell with the items of a menu item; opening a submenu runs its
// item's Click and refills it. Choosing an item runs its Click.
void FillMenu(GtkWidget* shell, TMenuItem* parent, GtkAccelGroup* accel);
// Pops up a popup menu at the pointer (`trigger` may be null).
void PopupAtPointer(TPopupMenu* menu, GtkWidget* relativeTo);
// Where a popup is collected instead of shown (the status-notifier item's menu), or nullptr.
extern GtkWidget* g_collectPopup;

// Fonts (fonts.cpp): the widget and its parts show the font (family, size, style, colour).
void ApplyFont(GtkWidget* widget, TFont* font);
// A control's own background colour (a class-library colour value: an RGB, black included, or a
// system colour) on its widget; none for the theme's.
void ApplyBackground(GtkWidget* widget, std::optional<int> colour);

// Forms and controls (peers.cpp, forms.cpp, controls.cpp, lists.cpp, browser.cpp; peer.h).
std::unique_ptr<TControlPeer> MakePeer(TControl* control);
void ShowForm(TCustomForm* form);
void HideForm(TCustomForm* form);
void ForgetForm(TCustomForm* form);
GtkWindow* WindowOfForm(const TCustomForm* form);
GtkWidget* WidgetOfControl(const TControl* control);
// The window a dialog is kept above: the active form's, or nullptr.
GtkWindow* DialogParent();
void MinimizeAll(bool minimize);
// Moves a form's window with the pointer from the press that is being handled; false when there is
// no such form or press.
bool BeginMoveDrag(HWND hwnd);

// Text the GDI draws on the forms' surfaces is drawn by the toolkit's renderer when they are shown
// (from Start to Stop).
void StartTextPainter();
void StopTextPainter();

// A main window the application hid while minimised is kept iconified, not hidden, until an icon
// of the notification area is really shown (else nothing would bring it back); then it goes.
void HideParkedForms();
// A web browser control goes to `url` (the backend's Navigate).
void NavigateBrowser(TWebBrowser* browser, const std::string& url);
// Whether a web browser control built from now on shows its pages in a view of its own (true, the
// default, where WebKit is built in and its view can be made). Without a view, each page opens
// through the shell in the person's browser and the control's two events follow at once.
void UseBrowserViews(bool use);

// The notification area (tray.cpp).
void StartTray();
void StopTray();
// Whether an icon is shown where a person sees it (a registered status-notifier item or an
// embedded tray icon).
bool TrayShown();
// The shell's double click on the first icon that has a callback; false when there is none.
bool TrayDoubleClick();

}  // namespace desktop::detail
