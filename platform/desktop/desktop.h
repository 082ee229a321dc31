// The desktop display: the programs' windows shown with GTK 3 on the person's desktop.
//
// Start opens the display, joins the GLib main context to the calling thread's message-queue wait
// (one poll serves GTK's events, posted messages, timers and descriptor watches, in the order they
// come) and installs the desktop backend (platform/classlib/backend.h), so that every form, control,
// menu, message box and file dialog appears on screen and a person's mouse and keyboard reach the
// models through their user-input members. Texts are Windows-1254 in the models and UTF-8 at every
// widget. Graphic controls and owner-drawn parts are painted by our GDI into the window's surface
// and shown as it is; a form's window region (SetWindowRgn) is its shape and its input shape; the
// shell's notification-area icons (Shell_NotifyIconA) appear as status-notifier items, or in an
// XEmbed tray, with the shell's notifications sent to the icon's window.
#pragma once

class TControl;
class TCustomForm;

namespace desktop {

// Whether a program is to show its windows on the desktop: not with "--console" among its
// arguments nor with the environment's UI=console; otherwise when a display is named (DISPLAY or
// WAYLAND_DISPLAY). A program that asks and then fails to Start keeps the console driver.
bool WantDesktop(int argc, char** argv);

// Opens the display and installs the backend and the joined event loop on the calling thread (the
// user-interface thread). False when no display can be opened (nothing is installed then). Install
// before creating forms. Screen takes the display's size.
bool Start();
// Puts the headless backend back and leaves the loop. Windows still open are closed.
void Stop();
bool Started();

// The toplevel GtkWindow of a form shown on the desktop, or nullptr (for tests and diagnostics).
void* FormWindow(const TCustomForm* form);
// The widget that shows a control (its outermost one), or nullptr.
void* ControlWidget(const TControl* control);

}  // namespace desktop
