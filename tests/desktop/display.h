// The display of the desktop tests: a private Xvfb server started once per test process, the
// desktop backend on it, the message loop driven until a condition holds, a person's input through
// xdotool and screenshots of the screen.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/classlib/headless.h"
#include "support/tempstate.h"

class TForm;
class TWinControl;

namespace desktoptest {

// From the first call on, a GLib warning or critical of the process fails the running test.
void WatchGLibMessages();
// While it lives, a GLib message holding `part` does not fail the test (a warning the test
// provokes on purpose).
class AllowGLibMessage {
public:
    explicit AllowGLibMessage(std::string part);
    ~AllowGLibMessage();
    AllowGLibMessage(const AllowGLibMessage&) = delete;
    AllowGLibMessage& operator=(const AllowGLibMessage&) = delete;

private:
    std::string part_;
};
// Starts the private server (once) and points DISPLAY at it; false when Xvfb cannot be started.
// GLib's messages are watched from then on (WatchGLibMessages).
bool EnsureDisplay();

// Runs the message loop (our queue and GTK's events) until done() holds or `ms` passed; returns
// done(). The waits block in the queue's wait with a short limit, never sleep.
bool PumpUntil(const std::function<bool()>& done, int ms = 5000);
// Lets the loop take everything for `ms` milliseconds (for "nothing else happens" checks).
void PumpFor(int ms);

// Runs xdotool with the arguments (on the private display); true when it succeeded. Waits for the
// tool while pumping the loop, so that the windows answer the server meanwhile.
bool XDo(const std::string& args);
// The folder the screenshots go to: DESKTOP_SHOTS, or /tmp/desktop-shots (made when missing).
std::string ShotDir();
// Saves the whole screen as a PNG with ImageMagick's import; true on success.
bool Screenshot(const std::string& path);
// The colour of a screen pixel (0xRRGGBB), read from the server; -1 when it cannot be read.
long ScreenPixel(int x, int y);
// Where a widget's top-left lies on the screen.
void WidgetOrigin(GtkWidget* w, int& x, int& y);

// The file dialog on screen (its chooser, and the dialog in `dialog` when asked), or nullptr.
GtkFileChooser* ShownChooser(GtkDialog** dialog);
// A message box on screen, or nullptr.
GtkDialog* ShownBox();

// What a person does in the file dialog, from the loop's timer (g_timeout_add(25, Tick, &hand)):
// looks at the folder and the name the dialog opened with, picks `want` in the list when `pick` is
// set, and takes the file chosen with Open (Save). A box that answers the choice is read and
// closed, and the dialog then cancelled. After about 10 seconds whatever is open is closed.
struct ChooserHand {
    std::string want;  // the machine's name of the file the dialog is to end on
    bool pick = false;
    std::string folderSeen, fileSeen, boxText, boxTitle;
    int stage = 0, ticks = 0;
    static gboolean Tick(gpointer p);
};

// What keeps a person from seeing or reaching a control of a shown form: a control outside its
// parent's client area or empty, one that covers a sibling (but those named in `under` as
// "FORM.NAME", which lie under another by design), and a widget shown at another size than its control's bounds (its
// content spills over its neighbours or loses its edge at the window's). One line each.
std::vector<std::string> LayoutFaults(const TWinControl* form, const std::set<std::string>& under = {});

// A scripted session on the desktop backend: a private state folder, a headless session (halts
// throw, the application is reset) with the desktop backend started inside it. The person's
// programs for addresses and documents are those under the state folder's "share" and "config"
// (none unless a test puts one there). Fails the test when no display can be had.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A form of the test's own: "Form1", a single border, at the given bounds, with the caption
    // (UTF-8 here; none when empty).
    static TForm* MakeForm(const std::string& captionUtf8, int left, int top, int width, int height);
    testsupport::TempState state;
    std::unique_ptr<headless::TSession> session;
    bool started = false;
};

}  // namespace desktoptest
